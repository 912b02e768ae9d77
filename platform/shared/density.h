// The desktop's scale as the programs draw at it, the same on every backend: the
// 96-DPI picture at a whole factor k, so that the pixel art and the dots stay sharp.
#pragma once

#include <algorithm>
#include <cmath>

namespace platform {

// A scale taken to the nearest whole factor, a half upwards (1.25 is 1, 1.5 and 1.75
// are 2), held to 1 .. 8; 1 where the scale is not a number above 0.
inline int WholeScale(double scale) {
  if (!(scale > 0)) return 1;
  return int(std::clamp(std::floor(scale + 0.5), 1.0, 8.0));
}

}  // namespace platform
