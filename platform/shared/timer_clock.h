// When a timer of the window ticks: once its interval has passed since the last
// tick, and at most once per event-processing step. Late ticks are not made up.
#pragma once

#include <cstdint>

namespace platform {

class TimerClock {
 public:
  TimerClock(int interval_ms, uint64_t now_ms) : interval_ms_(uint64_t(interval_ms)), last_(now_ms) {}

  // True when a tick is due at now_ms; the next one is then due an interval later.
  bool Due(uint64_t now_ms) {
    if (interval_ms_ == 0 || now_ms - last_ < interval_ms_) return false;
    last_ = now_ms;
    return true;
  }

 private:
  uint64_t interval_ms_;
  uint64_t last_;
};

}  // namespace platform
