// The black windows over every monitor but the form's, made, moved, shown and given
// up together. On X11 the server keeps them black; elsewhere they are painted.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "platform/shared/monitor_plan.h"

namespace platform::sdl {

class BlankWindows {
 public:
  BlankWindows() = default;
  BlankWindows(const BlankWindows&) = delete;
  BlankWindows& operator=(const BlankWindows&) = delete;
  ~BlankWindows();

  // One blank window on each place, reusing those there are. On X11 one is moved to
  // its new place (a window manager may place it itself, by the full-screen state
  // it asks for); elsewhere a full-screen window stays on its output, and one is
  // made anew on the other. One that cannot be made is tried again at the next call.
  // True where a window was made.
  bool Follow(const std::vector<Monitor>& places);
  // Asks for every blank window to be shown; those made from now on are asked for
  // as they are made. Nothing waits for the window system to show them.
  void Show();
  // The window system showed window_id; false where it is no blank window's.
  bool Shown(uint32_t window_id);
  // Asks again for those asked for that the window system has not shown yet.
  void AskAgain() const;
  // The window system lost what a blank window showed: painted again. False where
  // window_id is no blank window's.
  bool Repaint(uint32_t window_id) const;

 private:
  struct BlankWindow {
    SDL_Window* window;
    Monitor place;
    bool seen = false;  // shown by the window system
  };
  SDL_Window* Make(const Monitor& place) const;
  static void Paint(SDL_Window* blank);

  std::vector<BlankWindow> blanks_;
  bool shown_ = false;
};

}  // namespace platform::sdl
