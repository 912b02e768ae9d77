// Which monitor the form takes and which ones are covered in black: a plain function
// of the monitors the window system reports, the same on every backend, so that
// every layout is tested.
#pragma once

#include <vector>

namespace platform {

// A monitor's place on the desktop, in the window system's pixels.
struct Monitor {
  int x = 0, y = 0, w = 0, h = 0;
  bool primary = false;
  bool operator==(const Monitor& other) const {
    return x == other.x && y == other.y && w == other.w && h == other.h;
  }
  bool Contains(const Monitor& other) const {
    return other.x >= x && other.y >= y && other.x + other.w <= x + w && other.y + other.h <= y + h;
  }
};

struct MonitorPlan {
  Monitor form;                 // where the scene runs
  std::vector<Monitor> blanks;  // each blanked by a black window
};

// The form takes the primary monitor; where none is marked, the one at the desktop's
// origin, and failing that the first. Every other monitor gets a blank window,
// except one that shows only what the form's monitor shows (a mirror) and a second
// one of the same place. With no usable monitor, the form takes whole_desktop; where the window
// system tells no size of that either, it stays where it is, at form_now.
MonitorPlan PlanMonitors(const std::vector<Monitor>& monitors, const Monitor& whole_desktop, const Monitor& form_now);

}  // namespace platform
