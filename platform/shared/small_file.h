// How every picture and sound file is read: whole, into memory, within a limit. The
// open never blocks (a named pipe or a device put where a file was expected), the
// open descriptor is what is judged, and no more than the limit is ever read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The system's calls the reader makes, behind one interface so that a test can make
// the system's rarer answers happen at will: an interrupted read, a short one, a file
// that shrinks while it is read. Each returns what the system call does, with errno.
class FileCalls {
 public:
  virtual ~FileCalls() = default;
  // Opens for reading: never waiting on a named pipe or a device, never making one
  // the terminal, not handed to child processes.
  virtual int Open(const char* path);
  // Whether fd is a regular file, and its size.
  virtual int Status(int fd, bool* regular, uint64_t* size);
  virtual long Read(int fd, void* buffer, unsigned bytes);
  virtual void Close(int fd);
  // The system's own.
  static FileCalls& System();
};

// Opens path for reading and judges what was opened: a regular file of at most
// max_bytes. The descriptor, for the caller to close, with the file's size; or -1,
// and why in one phrase ("cannot open: <reason>", "not a regular file", "larger
// than the limit of N bytes").
int OpenSmallFile(const std::string& path, size_t max_bytes, size_t* size, std::string* why,
                  FileCalls& calls = FileCalls::System());

// The whole of a file that OpenSmallFile admits, read through interruptions; a file
// that shrank meanwhile is taken as read. Nothing, and why, where it cannot be.
std::optional<std::vector<uint8_t>> ReadSmallFile(const std::string& path, size_t max_bytes, std::string* why,
                                                  FileCalls& calls = FileCalls::System());

// Writes the one line every refused file gets: "<path>: <why>".
void ReportRefused(const std::string& path, const std::string& why);

}  // namespace platform
