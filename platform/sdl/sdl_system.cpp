// The process: the program's folder, the previous-instance test and the end.
// Implements: SdlSystem, SdlPointer.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sdl/sdl_parts.h"

namespace platform::sdl {

SdlSystem::SdlSystem(std::string program_name, SdlMedia& media, bool hosted)
    : program_name_(std::move(program_name)), app_path_(ProgramFolder()), media_(media),
      hosted_(hosted) {}

SdlSystem::~SdlSystem() {
  if (instance_socket_ >= 0) close(instance_socket_);
}

std::string SdlSystem::ProgramFolder() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (n <= 0 || size_t(n) >= sizeof buffer) return ".";
  std::string path(buffer, size_t(n));
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A name in the abstract socket namespace, per user and per deliverable: the
// kernel releases it when the process dies, and no file is ever made.
bool SdlSystem::PrevInstance() {
  if (hosted_ || instance_socket_ >= 0) return false;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string name = "dotfall." + program_name_ + "." + std::to_string(getuid());
  const size_t length = std::min(name.size(), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, name.data(), length);
  const auto size = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + length);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0) {
    instance_socket_ = fd;
    return false;
  }
  const bool taken = errno == EADDRINUSE;
  close(fd);
  return taken;
}

void SdlSystem::EndProgram() {
  media_.Shutdown();
  SDL_Quit();
  std::fflush(nullptr);
  std::exit(0);
}

int SdlPointer::ShowCursor(bool show) {
  count_ += show ? 1 : -1;
  if (!hosted_) SDL_ShowCursor(count_ >= 0 ? SDL_ENABLE : SDL_DISABLE);
  return count_;
}

uintptr_t HostWindowFromEnvironment() {
  const char* text = std::getenv("XSCREENSAVER_WINDOW");
  if (!text || !*text) return 0;
  char* end = nullptr;
  const unsigned long id = std::strtoul(text, &end, 0);
  if (*end != '\0' || id == 0) {
    std::fprintf(stderr, "XSCREENSAVER_WINDOW=%s names no window; making one of our own\n", text);
    return 0;
  }
  return uintptr_t(id);
}

void Report(const char* what) {
  std::fprintf(stderr, "%s: %s\n", what, SDL_GetError());
}

}  // namespace platform::sdl
