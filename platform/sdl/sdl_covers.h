// The black windows over every monitor but the form's, made, moved, shown and given
// up together. On X11 the server keeps them black; elsewhere they are painted.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "platform/shared/monitor_plan.h"

namespace platform::sdl {

class Covers {
 public:
  Covers() = default;
  Covers(const Covers&) = delete;
  Covers& operator=(const Covers&) = delete;
  ~Covers();

  // One cover on each place, reusing those there are. On X11 a cover is moved to its
  // new place (a window manager may place it itself, by the full-screen state it
  // asks for); elsewhere a full-screen window stays on its output, and one is made
  // anew on the other. A cover that cannot be made is tried again at the next call.
  // True where a window was made.
  bool Follow(const std::vector<Monitor>& places);
  // Asks for every cover to be shown; those made from now on are asked for as they
  // are made. Nothing waits for the window system to show them.
  void Show();
  // The window system showed window_id; false where it is no cover's.
  bool Shown(uint32_t window_id);
  // Asks again for those asked for that the window system has not shown yet.
  void AskAgain() const;
  // The window system lost what a cover showed: painted again. False where
  // window_id is no cover's.
  bool Repaint(uint32_t window_id) const;

 private:
  struct Cover {
    SDL_Window* window;
    Monitor place;
    bool seen = false;  // shown by the window system
  };
  SDL_Window* Make(const Monitor& place) const;
  static void Paint(SDL_Window* cover);

  std::vector<Cover> covers_;
  bool shown_ = false;
};

}  // namespace platform::sdl
