// The event-processing step, in the one order every backend keeps: the window's
// pending events (their handlers run), then the platform's chores in turn, then a
// timer tick that is due, then the frame drawn and presented, and a wait for the
// display's next refresh, so that one step and one batch of passes run per refresh.
// A backend's window supplies the parts; the order and the rules on an unloaded
// window live here once.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/shared/window_state.h"

namespace platform {

// Something of the platform's done once in every step once the window's events have
// been handled: following the monitors, the sound's turn, answering other copies.
class StepChore {
 public:
  virtual ~StepChore() = default;
  // now_ms on the backend's clock. ending: the window is gone or an end has been
  // requested; a chore then starts nothing new (no sound, no audio device).
  virtual void Step(uint64_t now_ms, bool ending) = 0;
};

// What a backend's window does in a step.
class StepWindow {
 public:
  virtual ~StepWindow() = default;
  // Whether something outside the window asks the program to end (a signal, the
  // window destroyed under it): the window unloads, and nothing is drawn into it.
  virtual bool EndRequested() = 0;
  // Dispatches the pending events, stopping where one unloads the window.
  virtual void DispatchEvents() = 0;
  virtual uint64_t NowMs() = 0;
  // Whether the form's timer is due at now_ms; a backend whose window system sends
  // the ticks as events says no.
  virtual bool TimerDue(uint64_t now_ms) = 0;
  // Draws the frame (the canvas, the banner over it, the sprites over that) and
  // presents it.
  virtual void DrawFrame(uint64_t now_ms) = 0;
  // Waits until the display's next refresh; a signal cuts the wait short.
  virtual void WaitForRefresh() = 0;
};

// One step; returns the number of the program's windows still loaded (0 or 1).
int16_t RunEventStep(WindowState& state, StepWindow& window, const std::vector<StepChore*>& chores);

}  // namespace platform
