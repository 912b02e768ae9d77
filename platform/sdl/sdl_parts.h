// The pieces of the SDL platform, one per concern, as SdlPlatform assembles them.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <random>
#include <string>

#include "platform/platform.h"

namespace platform::sdl {

class SdlPointer final : public Pointer {
 public:
  int ShowCursor(bool show) override;

 private:
  int count_ = 0;
};

class SdlMedia final : public Media {
 public:
  explicit SdlMedia(std::string app_path) : app_path_(std::move(app_path)) {}
  ~SdlMedia() override;
  uint32_t mciSendString(const std::string& command) override;
  bool sndPlaySound(const char* name, uint32_t flags) override;
  // Halts what plays and closes the audio device, if it was ever opened.
  void Shutdown();

 private:
  std::string app_path_;
};

class StdRandom final : public Random {
 public:
  void Randomize() override;
  float Rnd() override;

 private:
  std::mt19937 generator_;
};

class SdlSystem final : public System {
 public:
  SdlSystem(std::string program_name, SdlMedia& media);
  ~SdlSystem() override;
  bool PrevInstance() override;
  std::string AppPath() override { return app_path_; }
  void EndProgram() override;

  static std::string ProgramFolder();

 private:
  std::string program_name_;
  std::string app_path_;
  SdlMedia& media_;
  int instance_socket_ = -1;
};

// Writes "<what>: <SDL's reason>" to standard error.
void Report(const char* what);

}  // namespace platform::sdl
