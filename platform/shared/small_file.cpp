// The one reader of picture and sound files. Implements: OpenSmallFile,
// ReadSmallFile, ReportRefused.
#include "platform/shared/small_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>

namespace platform {

namespace {

#ifdef _WIN32
// The C runtime's descriptors, in binary, not handed to child processes; sizes of
// 64 bits, so that a file of 4 GiB is not taken for a small one.
constexpr int kOpenFlags = _O_RDONLY | _O_BINARY | _O_NOINHERIT;
using FileStatus = struct _stat64;
int StatusOf(int fd, FileStatus* st) { return _fstat64(fd, st); }
#else
// Never waits on a named pipe or a device, and never makes one the terminal.
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
using FileStatus = struct stat;
int StatusOf(int fd, FileStatus* st) { return fstat(fd, st); }
#endif

}  // namespace

int OpenSmallFile(const std::string& path, size_t max_bytes, size_t* size, std::string* why) {
  int fd;
  do {
    fd = open(path.c_str(), kOpenFlags);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    *why = std::string("cannot open: ") + std::strerror(errno);
    return -1;
  }
  FileStatus st;
  if (StatusOf(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *why = "not a regular file";
  } else if (uint64_t(st.st_size) > max_bytes) {
    *why = "larger than the limit of " + std::to_string(max_bytes) + " bytes";
  } else {
    *size = size_t(st.st_size);
    return fd;
  }
  close(fd);
  return -1;
}

std::optional<std::vector<uint8_t>> ReadSmallFile(const std::string& path, size_t max_bytes, std::string* why) {
  size_t size = 0;
  const int fd = OpenSmallFile(path, max_bytes, &size, why);
  if (fd < 0) return std::nullopt;
  std::optional<std::vector<uint8_t>> bytes(std::in_place, size);
  size_t got = 0;
  while (got < size) {
    const auto n = read(fd, bytes->data() + got, static_cast<unsigned>(std::min<size_t>(size - got, 1u << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *why = std::string("cannot read: ") + std::strerror(errno);
      bytes.reset();
      break;
    }
    if (n == 0) break;
    got += size_t(n);
  }
  close(fd);
  if (bytes) bytes->resize(got);
  return bytes;
}

void ReportRefused(const std::string& path, const std::string& why) {
  std::fprintf(stderr, "%s: %s\n", path.c_str(), why.c_str());
#ifdef _WIN32
  // A program of the Windows subsystem has a standard error only where whoever
  // started it gave one; the line goes to the debugger's output as well.
  OutputDebugStringA((path + ": " + why + "\n").c_str());
#endif
}

}  // namespace platform
