// What a window of the program's own has that a host's window has not: the monitors
// it follows, the black windows over the other ones, and the input it takes, with the
// pointer's moves that the window system makes told from the user's. A host keeps
// all of that for its own window, whose desktop has none of it.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

#include "platform/sdl/sdl_blank_windows.h"
#include "platform/shared/pointer_moves.h"

namespace platform::sdl {

// What the form's window has of the desktop. The program's own window has the
// monitors it follows, the blank windows of the other ones and the input; a host's window
// has none of it, its host keeping all of that.
class Desktop {
 public:
  virtual ~Desktop() = default;
  // Places the form on its monitor and a blank window on each other one.
  virtual void Follow() = 0;
  // Asks for the window system's notices of changed monitors (after the form's
  // screen is made, on the window it draws into).
  virtual void Watch() = 0;
  // A step's look at the windows not shown yet and at the notices: the monitors are
  // read at once after one, and again every tenth of the settling time after the
  // last, so that a step that comes between two of a change's requests is made good.
  // True where they were read.
  virtual bool FollowChanging(uint64_t now_ms) = 0;
  // A notice that the monitors changed, from SDL.
  virtual void MonitorsNoticed() = 0;
  // Asks for the blank windows to be shown first, so that the form is above any that
  // overlaps it; then the form. Nothing waits for the window system to show them.
  virtual void Show() = 0;
  // The window system showed window_id: the form is raised and given the keyboard.
  virtual void Shown(uint32_t window_id) = 0;
  // The window system lost what a blank window showed; false where window_id is
  // no blank window's.
  virtual bool Repaint(uint32_t window_id) const = 0;
  // Whether keys reach the program.
  virtual bool TakesInput() const = 0;
  // An event's place, on the form or on a blank window, in the form's twips from
  // where the form's corner was when it was shown (as if the form reached over every monitor),
  // taking twips_per_unit twips to a unit of the event's place. False where the
  // input is not the program's.
  virtual bool PlaceOnForm(uint32_t window_id, int x, int y, float twips_per_unit, float* form_x, float* form_y) = 0;
};

// A host's window: the host has shown it, and keeps its input and the monitors.
class HostedDesktop final : public Desktop {
 public:
  void Follow() override {}
  void Watch() override {}
  bool FollowChanging(uint64_t) override { return false; }
  void MonitorsNoticed() override {}
  void Show() override {}
  void Shown(uint32_t) override {}
  bool Repaint(uint32_t) const override { return false; }
  bool TakesInput() const override { return false; }
  bool PlaceOnForm(uint32_t, int, int, float, float*, float*) override { return false; }
};

class OwnDesktop final : public Desktop {
 public:
  // The form, hidden and borderless, over the whole desktop until the monitors place
  // it; the program ends where it cannot be made.
  static SDL_Window* MakeForm(const std::string& caption);

  explicit OwnDesktop(SDL_Window* form) : form_(form) {}

  void Follow() override;
  void Watch() override;
  bool FollowChanging(uint64_t now_ms) override;
  void MonitorsNoticed() override;
  void Show() override;
  void Shown(uint32_t window_id) override;
  bool Repaint(uint32_t window_id) const override { return blanks_.Repaint(window_id); }
  bool TakesInput() const override { return true; }
  bool PlaceOnForm(uint32_t window_id, int x, int y, float twips_per_unit, float* form_x, float* form_y) override;

 private:
  // Asks again, every kAskAgainMs, for those of the windows asked for that the
  // window system has not shown yet.
  void AskAgain(uint64_t now_ms);

  static constexpr uint64_t kWatchEveryMs = 50;
  static constexpr uint64_t kAskAgainMs = 250;

  SDL_Window* form_;
  bool shown_ = false;       // asked for
  bool form_seen_ = false;   // shown by the window system
  uint64_t ask_again_ms_ = 0;
  BlankWindows blanks_;  // one per monitor besides the form's
  PointerMoves pointer_moves_;
  SDL_Point origin_{};            // the form's corner on the desktop when it was shown
  bool monitors_changed_ = false;
  uint64_t next_follow_ms_ = 0;   // when the monitors are read again meanwhile
  uint64_t next_watch_ms_ = 0;    // when the window system's notices are next looked at
};

}  // namespace platform::sdl
