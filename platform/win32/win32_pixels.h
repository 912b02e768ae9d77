// The window's pixels on Win32: the canvas, fills and pictures drawn into the DIB
// section at k of its pixels to a 96-DPI pixel each way, every one clipped to the
// buffer. Plain functions over a buffer, so that every place on and off each edge is
// tested.
#pragma once

#include <cstdint>
#include <vector>

// Before the Windows headers, whose macro RGB would clash with them.
#include "platform/canvas.h"
#include "platform/shared/pixel_rect.h"

#include <windows.h>

namespace platform::win32 {

// A buffer of rows of width pixels, top row first, 0x00RRGGBB.
struct PixelBuffer {
  uint32_t* data = nullptr;
  int width = 0, height = 0;
};

// A rectangle of 96-DPI pixels as the window's pixels at k.
inline PixelRect Scaled(const PixelRect& r, int k) { return {r.left * k, r.top * k, r.right * k, r.bottom * k}; }

// Fills rect, in the buffer's pixels, with argb; what lies off the buffer is not drawn.
void Fill(const PixelBuffer& to, const PixelRect& rect, uint32_t argb);

// Draws the opaque pixels of a picture of width x height, each as k x k of the
// buffer's pixels, its top-left corner at (x, y), only inside within and the buffer.
void DrawPicture(const PixelBuffer& to, const uint32_t* argb, int width, int height, int x, int y, int k,
                 const PixelRect& within);

// Copies rect of the canvas, in its pixels, to k times its place, each pixel as k x k.
void CopyCanvas(const PixelBuffer& to, const Canvas& canvas, const PixelRect& rect, int k);

// A frame's single changed pixels, each a rectangle of one colour, drawn in one call:
// a blit each would cost the system a call each, and a frame has hundreds.
class PointBatch {
 public:
  void Clear() {
    vertices_.clear();
    rects_.clear();
  }
  void Add(const PixelRect& r, uint32_t rgb) {
    const auto channel = [rgb](int shift) { return COLOR16((rgb >> shift & 0xFF) << 8); };
    const ULONG first = ULONG(vertices_.size());
    vertices_.push_back({LONG(r.left), LONG(r.top), channel(16), channel(8), channel(0), 0});
    vertices_.push_back({LONG(r.right), LONG(r.bottom), channel(16), channel(8), channel(0), 0});
    rects_.push_back({first, first + 1});
  }
  // Each rectangle filled with its colour: a gradient between two equal colours.
  void Draw(HDC dc) {
    if (!rects_.empty())
      GdiGradientFill(dc, vertices_.data(), ULONG(vertices_.size()), rects_.data(), ULONG(rects_.size()),
                      GRADIENT_FILL_RECT_H);
  }

 private:
  std::vector<TRIVERTEX> vertices_;
  std::vector<GRADIENT_RECT> rects_;
};

}  // namespace platform::win32
