// A rectangle of pixels from its edges, and its clipping to a buffer. Clipping is
// where a span is formed from clipped ends: a rectangle wholly off the buffer clips
// to an empty one, never to one whose right lies left of its left, which a fill
// would run past the buffer's end.
#pragma once

#include <algorithm>

namespace platform {

struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom are outside it

  bool Empty() const { return right <= left || bottom <= top; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const PixelRect&) const = default;

  // What lies inside both; an empty rectangle at this one's corner where nothing does.
  PixelRect Intersect(const PixelRect& other) const {
    PixelRect r{std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                std::min(bottom, other.bottom)};
    if (r.Empty()) return {left, top, left, top};
    return r;
  }
  // Clipped to a buffer of width x height pixels.
  PixelRect Clip(int width, int height) const { return Intersect({0, 0, width, height}); }
};

}  // namespace platform
