// Drawing into the window's pixels. Implements: Fill, DrawPicture, CopyCanvas.
#include "platform/win32/win32_pixels.h"

#include <algorithm>

namespace platform::win32 {

void Fill(const PixelBuffer& to, const PixelRect& rect, uint32_t argb) {
  const PixelRect r = rect.Clip(to.width, to.height);
  for (int y = r.top; y < r.bottom; ++y) {
    uint32_t* row = to.data + size_t(y) * size_t(to.width);
    std::fill(row + r.left, row + r.right, argb);
  }
}

void DrawPicture(const PixelBuffer& to, const uint32_t* argb, int width, int height, int x, int y, int k,
                 const PixelRect& within) {
  const PixelRect r = PixelRect{x, y, x + width * k, y + height * k}.Intersect(within).Clip(to.width, to.height);
  for (int ty = r.top; ty < r.bottom; ++ty) {
    const uint32_t* source = argb + size_t((ty - y) / k) * size_t(width);
    uint32_t* row = to.data + size_t(ty) * size_t(to.width);
    for (int tx = r.left; tx < r.right; ++tx) {
      const uint32_t p = source[(tx - x) / k];
      if (p >> 24) row[tx] = p;
    }
  }
}

void CopyCanvas(const PixelBuffer& to, const Canvas& canvas, const PixelRect& rect, int k) {
  canvas.CopyRows(rect.left, rect.top, rect.Width(), rect.Height(), k,
                  {to.data, size_t(to.width), 0, 0, to.width, to.height});
}

}  // namespace platform::win32
