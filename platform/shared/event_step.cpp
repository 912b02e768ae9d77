// The event-processing step's order. Implements: RunEventStep.
#include "platform/shared/event_step.h"

namespace platform {

int16_t RunEventStep(WindowState& state, StepWindow& window, const std::vector<StepChore*>& chores) {
  if (window.EndRequested()) state.Unload();
  if (!state.BeginStep()) return state.EndStep();
  window.DispatchEvents();
  if (window.EndRequested()) state.Unload();
  const uint64_t now = window.NowMs();
  for (StepChore* chore : chores) chore->Step(now, !state.loaded());
  if (state.loaded() && window.TimerDue(now)) state.Tick();
  if (state.loaded()) {
    window.DrawFrame(now);
    window.WaitForRefresh();
  }
  return state.EndStep();
}

}  // namespace platform
