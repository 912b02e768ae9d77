// Preloaded into a program by the whole-process benchmark: reports, on the descriptor
// that DOTFALL_PROBE_FD names, when the program first presents a frame and then how
// many frames it has presented, once every 100 ms. Changes nothing else.
#include <SDL.h>
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

long long NowNs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000000000LL + t.tv_nsec;
}

void Say(const char* what, long long count, long long ns) {
  static const int fd = [] {
    const char* text = std::getenv("DOTFALL_PROBE_FD");
    return text ? std::atoi(text) : -1;
  }();
  if (fd < 0) return;
  char line[96];
  const int n = std::snprintf(line, sizeof line, "%s %lld %lld\n", what, count, ns);
  if (write(fd, line, size_t(n)) < 0) return;
}

}  // namespace

extern "C" void SDL_RenderPresent(SDL_Renderer* renderer) {
  using Present = void (*)(SDL_Renderer*);
  static const auto real = reinterpret_cast<Present>(dlsym(RTLD_NEXT, "SDL_RenderPresent"));
  static long long count = 0, last_report = 0;
  real(renderer);
  const long long now = NowNs();
  if (++count == 1) {
    Say("first", count, now);
    last_report = now;
  } else if (now - last_report >= 100000000LL) {
    Say("count", count, now);
    last_report = now;
  }
}
