// The one reader of picture and sound files. Implements: OpenSmallFile,
// ReadSmallFile, ReportRefused.
#include "platform/shared/small_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform {

int OpenSmallFile(const std::string& path, size_t max_bytes, size_t* size, std::string* why) {
  int fd;
  do {
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    *why = std::string("cannot open: ") + std::strerror(errno);
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
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
    const ssize_t n = read(fd, bytes->data() + got, size - got);
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
}

}  // namespace platform
