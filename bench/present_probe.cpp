// Preloaded into a program by the whole-process benchmark: reports, on the descriptor
// that DOTFALL_PROBE_FD names, when the program first presents a frame and then how
// many frames it has presented, once every 100 ms. Changes nothing else.
#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

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

void Presented() {
  static long long count = 0, last_report = 0;
  const long long now = NowNs();
  if (++count == 1) {
    Say("first", count, now);
    last_report = now;
  } else if (now - last_report >= 100000000LL) {
    Say("count", count, now);
    last_report = now;
  }
}

template <typename Function>
Function Real(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Inside SDL's own present, which may draw and flush through Xlib itself (SDL's own
// frame puts each rectangle in turn; a software GL puts its back buffer).
bool in_sdl_present = false;
// The program's own frame on X11: what it draws is sent with the flush or the round
// trip that ends the frame.
bool drawn = false;

}  // namespace

// A frame is presented through a renderer, by sending the window's surface, or by
// the program's own put of its frame in shared memory.
extern "C" void SDL_RenderPresent(SDL_Renderer* renderer) {
  static const auto real = Real<void (*)(SDL_Renderer*)>("SDL_RenderPresent");
  in_sdl_present = true;
  real(renderer);
  in_sdl_present = false;
  Presented();
}

extern "C" int SDL_UpdateWindowSurface(SDL_Window* window) {
  static const auto real = Real<int (*)(SDL_Window*)>("SDL_UpdateWindowSurface");
  in_sdl_present = true;
  const int result = real(window);
  in_sdl_present = false;
  Presented();
  return result;
}

extern "C" int SDL_UpdateWindowSurfaceRects(SDL_Window* window, const SDL_Rect* rects, int count) {
  static const auto real = Real<int (*)(SDL_Window*, const SDL_Rect*, int)>("SDL_UpdateWindowSurfaceRects");
  in_sdl_present = true;
  const int result = real(window, rects, count);
  in_sdl_present = false;
  Presented();
  return result;
}

extern "C" Bool XShmPutImage(Display* display, Drawable drawable, GC gc, XImage* image, int src_x, int src_y,
                             int dst_x, int dst_y, unsigned width, unsigned height, Bool send_event) {
  using Put = Bool (*)(Display*, Drawable, GC, XImage*, int, int, int, int, unsigned, unsigned, Bool);
  static const auto real = Real<Put>("XShmPutImage");
  drawn = drawn || !in_sdl_present;
  return real(display, drawable, gc, image, src_x, src_y, dst_x, dst_y, width, height, send_event);
}

extern "C" int XDrawPoints(Display* display, Drawable drawable, GC gc, XPoint* points, int count, int mode) {
  static const auto real = Real<int (*)(Display*, Drawable, GC, XPoint*, int, int)>("XDrawPoints");
  drawn = drawn || !in_sdl_present;
  return real(display, drawable, gc, points, count, mode);
}

extern "C" int XFillRectangles(Display* display, Drawable drawable, GC gc, XRectangle* rects, int count) {
  static const auto real = Real<int (*)(Display*, Drawable, GC, XRectangle*, int)>("XFillRectangles");
  drawn = drawn || !in_sdl_present;
  return real(display, drawable, gc, rects, count);
}

extern "C" int XFlush(Display* display) {
  static const auto real = Real<int (*)(Display*)>("XFlush");
  const int result = real(display);
  if (std::exchange(drawn, false)) Presented();
  return result;
}

extern "C" int XSync(Display* display, Bool discard) {
  static const auto real = Real<int (*)(Display*, Bool)>("XSync");
  const int result = real(display, discard);
  if (std::exchange(drawn, false)) Presented();
  return result;
}
