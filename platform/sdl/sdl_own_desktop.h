// What a window of the program's own has that a host's window has not: the monitors
// it follows, the black covers of the other ones, and the input it takes, with the
// pointer's moves that the window system makes told from the user's. A host keeps
// all of that for its own window.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

#include "platform/sdl/sdl_covers.h"
#include "platform/shared/pointer_moves.h"

namespace platform::sdl {

class OwnDesktop {
 public:
  // The form, hidden and borderless, over the whole desktop until the monitors place
  // it; the program ends where it cannot be made.
  static SDL_Window* MakeForm(const std::string& caption);

  explicit OwnDesktop(SDL_Window* form) : form_(form) {}

  // Places the form on its monitor and a cover on each other one.
  void Follow();
  // Asks for the window system's notices of changed monitors (after the form's
  // screen is made, on the window it draws into).
  void Watch();
  // A step's look at the notices: the monitors are read at once after one, and again
  // every tenth of the settling time after the last, so that a step that comes
  // between two of a change's requests is made good. True where they were read.
  bool FollowChanging(uint64_t now_ms);
  // A notice that the monitors changed, from SDL.
  void MonitorsNoticed();
  // Asks for the covers to be shown first, so that the form is above any that
  // overlaps it; then the form. Nothing waits for the window system to show them.
  void Show();
  // The window system showed window_id: the form is raised and given the keyboard.
  void Shown(uint32_t window_id);
  // Asks again, every kAskAgainMs, for those of the windows asked for that the
  // window system has not shown yet.
  void AskAgain(uint64_t now_ms);
  // The window system lost what a cover showed; false where window_id is no cover's.
  bool Repaint(uint32_t window_id) const { return covers_.Repaint(window_id); }
  // An event's place, on the form or on a cover, in the form's twips from where the
  // form's corner was when it was shown (as if the form reached over every monitor),
  // taking twips_per_unit twips to a unit of the event's place.
  bool PlaceOnForm(uint32_t window_id, int x, int y, float twips_per_unit, float* form_x, float* form_y);

 private:
  static constexpr uint64_t kWatchEveryMs = 50;
  static constexpr uint64_t kAskAgainMs = 250;

  SDL_Window* form_;
  bool shown_ = false;       // asked for
  bool form_seen_ = false;   // shown by the window system
  uint64_t ask_again_ms_ = 0;
  Covers covers_;  // one per monitor besides the form's
  PointerMoves pointer_moves_;
  SDL_Point origin_{};            // the form's corner on the desktop when it was shown
  bool monitors_changed_ = false;
  uint64_t next_follow_ms_ = 0;   // when the monitors are read again meanwhile
  uint64_t next_watch_ms_ = 0;    // when the window system's notices are next looked at
};

}  // namespace platform::sdl
