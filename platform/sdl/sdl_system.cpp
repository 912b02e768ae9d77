// The system services: the program's folder, the previous-instance test, the end;
// and the pointer's display count. Implements: SdlSystem, SdlPointer,
// HostWindowFromEnvironment.
#include "platform/sdl/sdl_system.h"

#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sdl/sdl_process.h"

namespace platform::sdl {

SdlSystem::SdlSystem(std::string program_name, bool hosted)
    : program_name_(std::move(program_name)), app_path_(ProgramFolder()), hosted_(hosted) {}

std::string SdlSystem::ProgramFolder() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (n <= 0 || size_t(n) >= sizeof buffer) return ".";
  std::string path(buffer, size_t(n));
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool SdlSystem::PrevInstance() {
  if (hosted_ || instance_.Held()) return false;
  instance_ = NameClaim::Claim("dotfall." + program_name_ + "." + std::to_string(getuid()), 20, 5000);
  switch (instance_.outcome()) {
    case NameClaim::Outcome::kNotClaimed:
    case NameClaim::Outcome::kHeld:
      return false;
    case NameClaim::Outcome::kHeldByThisUser:
      return true;
    case NameClaim::Outcome::kHeldByOthers:
      // Every name held by others, who may hold them only to hide a copy of ours:
      // the processes of this user are asked instead.
      return ClaimCalls::System().ProgramRunsElsewhere();
  }
  return false;
}

void SdlSystem::EndProgram() { EndProcess(); }

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


}  // namespace platform::sdl
