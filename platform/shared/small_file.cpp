// The one reader of picture and sound files. Implements: FileCalls, OpenSmallFile,
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

int FileCalls::Open(const char* path) { return open(path, kOpenFlags); }

int FileCalls::Status(int fd, bool* regular, uint64_t* size) {
  FileStatus st;
  if (StatusOf(fd, &st) != 0) return -1;
  *regular = S_ISREG(st.st_mode);
  *size = uint64_t(st.st_size);
  return 0;
}

long FileCalls::Read(int fd, void* buffer, unsigned bytes) { return long(read(fd, buffer, bytes)); }

void FileCalls::Close(int fd) { close(fd); }

FileCalls& FileCalls::System() {
  static FileCalls calls;
  return calls;
}

int OpenSmallFile(const std::string& path, size_t max_bytes, size_t* size, std::string* why, FileCalls& calls) {
  int fd;
  do {
    fd = calls.Open(path.c_str());
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    *why = std::string("cannot open: ") + std::strerror(errno);
    return -1;
  }
  bool regular = false;
  uint64_t bytes = 0;
  if (calls.Status(fd, &regular, &bytes) != 0 || !regular) {
    *why = "not a regular file";
  } else if (bytes > max_bytes) {
    *why = "larger than the limit of " + std::to_string(max_bytes) + " bytes";
  } else {
    *size = size_t(bytes);
    return fd;
  }
  calls.Close(fd);
  return -1;
}

std::optional<std::vector<uint8_t>> ReadSmallFile(const std::string& path, size_t max_bytes, std::string* why,
                                                  FileCalls& calls) {
  size_t size = 0;
  const int fd = OpenSmallFile(path, max_bytes, &size, why, calls);
  if (fd < 0) return std::nullopt;
  std::optional<std::vector<uint8_t>> bytes(std::in_place, size);
  size_t got = 0;
  while (got < size) {
    const long n = calls.Read(fd, bytes->data() + got, unsigned(std::min<size_t>(size - got, 1u << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *why = std::string("cannot read: ") + std::strerror(errno);
      bytes.reset();
      break;
    }
    if (n == 0) break;  // the file shrank since it was judged: what there was is read
    got += size_t(n);
  }
  calls.Close(fd);
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
