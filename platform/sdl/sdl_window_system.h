// What the window system does for the program's windows where X11 and Wayland
// differ, one driver each, chosen once by the video driver SDL runs on: on X11 the
// program places its windows and the server keeps the blank windows black; on Wayland each
// window is full screen on the output it was made on and is painted.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "platform/sdl/sdl_scale.h"
#include "platform/shared/monitor_plan.h"

namespace platform::sdl {

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // The driver for the video driver SDL runs on.
  static const WindowSystem& Current();

  // Added to a form's or a blank window's flags as it is made.
  virtual uint32_t FullScreenFlag() const = 0;
  // Whether the program moves and sizes its windows itself.
  virtual bool PlacesWindows() const = 0;
  // The monitors, the primary marked; none where the window system cannot tell.
  virtual std::vector<Monitor> Monitors(SDL_Window* window) const = 0;
  // A form not mapped yet, readied for full screen.
  virtual void PrepareForm(SDL_Window* form) const = 0;
  // A blank window not mapped yet, readied to show black and never take the keyboard.
  virtual void PrepareBlank(SDL_Window* blank) const = 0;
  // Asks for the window to be shown and waits for nothing: a window manager may show
  // it late, or lose the request, and SDL's own call would wait for it for ever.
  // SDL is told when the window shows (SDL_WINDOWEVENT_SHOWN).
  virtual void Show(SDL_Window* window) const = 0;
  // A blank window shown or exposed, made black.
  virtual void PaintBlank(SDL_Window* blank) const = 0;
  // The refresh of the display that shows the window; 0 where none is told.
  virtual double RefreshHz(SDL_Window* window) const = 0;
  // What the desktop tells of its density.
  virtual DensityFacts Density(SDL_Window* window) const = 0;
};

}  // namespace platform::sdl
