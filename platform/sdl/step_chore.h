// A chore of the platform's, done once in every event-processing step once the
// window's events have been handled: the sound's turn, answering other copies. The
// platform hands its chores to the window, which knows nothing else of them.
#pragma once

#include <cstdint>

namespace platform::sdl {

class StepChore {
 public:
  virtual ~StepChore() = default;
  // now_ms on SDL's clock. ending: the window is gone or an end has been requested;
  // a chore then takes nothing new (no sound, no audio device).
  virtual void Step(uint64_t now_ms, bool ending) = 0;
};

}  // namespace platform::sdl
