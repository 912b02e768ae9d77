// The media control command strings: OPEN, PLAY and CLOSE over a table of aliases
// that the process owns, carried out on a music device. Errors are numbers, as the
// command interface reports them; nothing throws.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace platform::mci {

// Error codes, numbered as on the platform the commands come from.
constexpr uint32_t kOk = 0;
constexpr uint32_t kUnrecognizedCommand = 261;  // the first word is no command
constexpr uint32_t kHardware = 262;             // no audio device could be opened
constexpr uint32_t kInvalidDeviceName = 263;    // no device is open under that alias
constexpr uint32_t kCannotLoadDriver = 266;     // an unsupported TYPE, or no soundfont for it
constexpr uint32_t kMissingCommandString = 267; // an empty command
constexpr uint32_t kMissingParameter = 273;     // OPEN without a file, PLAY or CLOSE without an alias
constexpr uint32_t kUnsupportedFunction = 274;  // PLAY FROM a place other than 0
constexpr uint32_t kFileNotFound = 275;         // missing, unreadable, or not a file
constexpr uint32_t kDuplicateAlias = 289;       // the alias is open already
constexpr uint32_t kInvalidFile = 304;          // the file is not music the device can play

// What plays the music. Open returns an id, or 0 with *error set.
class MusicDevice {
 public:
  virtual ~MusicDevice() = default;
  virtual int Open(const std::string& host_path, uint32_t* error) = 0;
  virtual uint32_t PlayFromStart(int id) = 0;  // asynchronous, once through
  virtual void Close(int id) = 0;
};

class Interpreter {
 public:
  // Paths are the program's folder plus a literal; see HostPath.
  Interpreter(MusicDevice& device, std::string app_path)
      : device_(device), app_path_(std::move(app_path)) {}

  uint32_t Send(const std::string& command);
  bool IsOpen(const std::string& alias) const { return aliases_.count(Upper(alias)) != 0; }

  static std::string Upper(std::string text);

 private:
  uint32_t Open(const std::string& rest);
  uint32_t Play(const std::string& rest);
  uint32_t Close(const std::string& rest);

  MusicDevice& device_;
  std::string app_path_;
  std::map<std::string, int> aliases_;  // upper-case alias -> device id
};

}  // namespace platform::mci
