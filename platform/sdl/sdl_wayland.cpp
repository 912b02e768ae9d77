// The window system's part on Wayland, and on any display SDL drives that is not
// X11: SDL's own displays and full-screen windows. Implements: WindowSystem's
// driver there, and the choice of driver.
#include "platform/sdl/sdl_window_system.h"

#include "platform/sdl/sdl_x11.h"

namespace platform::sdl {

namespace {

class SdlDisplays final : public WindowSystem {
 public:
  uint32_t FullScreenFlag() const override { return SDL_WINDOW_FULLSCREEN_DESKTOP; }
  bool PlacesWindows() const override { return false; }

  // SDL's displays, the first being the primary.
  std::vector<Monitor> Monitors(SDL_Window*) const override {
    std::vector<Monitor> monitors;
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
      SDL_Rect bounds;
      if (SDL_GetDisplayBounds(i, &bounds) == 0) monitors.push_back({bounds.x, bounds.y, bounds.w, bounds.h, i == 0});
    }
    return monitors;
  }

  void PrepareForm(SDL_Window*) const override {}
  void PrepareBlank(SDL_Window*) const override {}

  void Show(SDL_Window* window) const override { SDL_ShowWindow(window); }

  void PaintBlank(SDL_Window* blank) const override {
    SDL_Surface* surface = SDL_GetWindowSurface(blank);
    if (!surface) return;
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    SDL_UpdateWindowSurface(blank);
  }

  double RefreshHz(SDL_Window* window) const override {
    SDL_DisplayMode mode;
    return SDL_GetWindowDisplayMode(window, &mode) == 0 ? mode.refresh_rate : 0;
  }

  // The output's scale: the window's pixels to its size.
  DensityFacts Density(SDL_Window* window) const override {
    DensityFacts density;
    int w = 0, h = 0, pixels_w = 0, pixels_h = 0;
    SDL_GetWindowSize(window, &w, &h);
    SDL_GetWindowSizeInPixels(window, &pixels_w, &pixels_h);
    if (w > 0) density.output_scale = double(pixels_w) / double(w);
    return density;
  }
};

}  // namespace

const WindowSystem& WindowSystem::Current() {
  static const SdlDisplays displays;
  return IsX11() ? X11WindowSystem() : displays;
}

}  // namespace platform::sdl
