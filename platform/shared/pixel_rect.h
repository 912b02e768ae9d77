// A rectangle of pixels from its edges, its clipping to a buffer, and lists of them
// that intersect nowhere. Clipping is where a span is formed from clipped ends: a
// rectangle wholly off the buffer clips to an empty one, never to one whose right
// lies left of its left, which a fill would run past the buffer's end.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace platform {

struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom are outside it

  bool Empty() const { return right <= left || bottom <= top; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const PixelRect&) const = default;
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }

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

// Adds to a list of rectangles that intersect nowhere the parts of rect that it does
// not hold yet, so that it covers rect too and still no two of its rectangles
// intersect: an X clip list may hold none that do, and a part sent twice is sent in
// vain. Searching from `from` on: the parts of rect already lie outside those before.
inline void AddDisjoint(std::vector<PixelRect>& list, const PixelRect& rect, size_t from = 0) {
  if (rect.Empty()) return;
  for (size_t i = from; i < list.size(); ++i) {
    const PixelRect held = rect.Intersect(list[i]);
    if (held.Empty()) continue;
    // What of rect lies above, below, left and right of the part held.
    AddDisjoint(list, {rect.left, rect.top, rect.right, held.top}, i + 1);
    AddDisjoint(list, {rect.left, held.bottom, rect.right, rect.bottom}, i + 1);
    AddDisjoint(list, {rect.left, held.top, held.left, held.bottom}, i + 1);
    AddDisjoint(list, {held.right, held.top, rect.right, held.bottom}, i + 1);
    return;
  }
  list.push_back(rect);
}

}  // namespace platform
