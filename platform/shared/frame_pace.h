// The loop's pace on every backend: after each event-processing step has presented
// its frame, the next batch of passes starts at the display's next refresh. Refreshes
// fall on a grid that runs on from the first present at the display's period: a batch
// that runs late is followed by the next refresh after it, not by a burst of batches
// catching up. A plain function of the clock and the refresh, so that every case is
// tested with a clock of the test's own.
#pragma once

#include <cstdint>

namespace platform {

class FramePace {
 public:
  // Where the display tells no refresh (Xvfb says 0 Hz), or one no display has.
  static constexpr double kDefaultHz = 60.0;
  static constexpr double kLowestHz = 10.0, kHighestHz = 1000.0;

  // The period of a refresh at hz refreshes a second, in nanoseconds; at kDefaultHz
  // where hz lies outside kLowestHz .. kHighestHz or is not a number.
  static uint64_t PeriodNs(double hz) {
    if (!(hz >= kLowestHz && hz <= kHighestHz)) hz = kDefaultHz;
    return uint64_t(1e9 / hz + 0.5);
  }

  // Called once a frame has been presented, at now_ns on a steady clock: how long to
  // wait for the refresh the next batch starts at. The first present starts the grid.
  uint64_t WaitNs(uint64_t now_ns, double refresh_hz) {
    const uint64_t period = PeriodNs(refresh_hz);
    if (!started_ || due_ns_ > now_ns + period) {
      // The first frame, or a clock that has gone back: the grid starts anew here.
      started_ = true;
      due_ns_ = now_ns + period;
    } else if (due_ns_ <= now_ns) {
      // The next refresh after now: the one after the last, or, for a batch that ran
      // late, the first that has not yet come.
      due_ns_ += period * ((now_ns - due_ns_) / period + 1);
    }  // else a wait cut short: the refresh it waited for is still to come
    return due_ns_ - now_ns;
  }

 private:
  bool started_ = false;
  uint64_t due_ns_ = 0;  // the refresh the last wait was for
};

}  // namespace platform
