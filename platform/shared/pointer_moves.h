// Which changes of the pointer's place are the person's. Where the monitors have
// just changed, the window system moves the pointer itself: off a monitor it took
// away, and through the layouts that a change passes on its way. Such a move is no
// movement, and the places reported after it are counted as if it had not happened.
// A change that comes with motion of a pointing device is the person's, however the
// monitors change meanwhile. Where no device's motion is told, every change in the
// settling time after a notice is taken for the window system's.
// A plain function of its readings, so that every case is tested from a table.
#pragma once

#include <cstdint>

namespace platform {

class PointerMoves {
 public:
  struct Place {
    int x = 0, y = 0;
    bool operator==(const Place& other) const { return x == other.x && y == other.y; }
  };
  // How long after a notice of changed monitors the window system may still move
  // the pointer on its own.
  static constexpr uint64_t kSettleMs = 1000;

  // A notice, at now_ms, that the monitors have changed.
  void MonitorsChanged(uint64_t now_ms) { settle_until_ms_ = now_ms + kSettleMs; }
  bool Settling(uint64_t now_ms) const { return now_ms < settle_until_ms_; }

  // The pointer read at `at` on the desktop at now_ms; device_moved: whether a
  // pointing device is known to have moved since the last reading. The place as the
  // person has moved it: the first reading as it is, and each later one shifted by
  // every move the window system has made since.
  Place Read(Place at, uint64_t now_ms, bool device_moved) {
    if (known_ && Settling(now_ms) && !device_moved) {
      shift_.x += at.x - last_.x;
      shift_.y += at.y - last_.y;
    }
    last_ = at;
    known_ = true;
    return {at.x - shift_.x, at.y - shift_.y};
  }

  // Whether the pointer has been read at all, and where it was last.
  bool Known() const { return known_; }
  Place Last() const { return last_; }

 private:
  bool known_ = false;
  Place last_;
  Place shift_;  // what the window system has moved it by
  uint64_t settle_until_ms_ = 0;
};

}  // namespace platform
