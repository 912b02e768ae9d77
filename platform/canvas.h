// The window's persistent drawing surface: a pixel buffer of the window's size that
// only points set on it change. Setting a point is inline and marks its tile dirty,
// so that presenting uploads only the tiles that changed since the last present.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/colour.h"
#include "platform/layout.h"

namespace platform {

class Canvas {
 public:
  static constexpr int kTileShift = 3;  // 8 x 8 pixel tiles: a falling dot dirties a narrow column
  static constexpr int kTileSize = 1 << kTileShift;

  // A point as it was set, for tests that follow the drawing call by call.
  struct TracedPoint {
    float x, y;
    Colour colour;
  };

  // Resizes to width x height pixels. What overlaps the old size keeps its pixels;
  // the rest is filled with fill_argb. Everything is marked dirty.
  void Resize(int width_px, int height_px, uint32_t fill_argb) {
    std::vector<uint32_t> pixels(size_t(width_px) * size_t(height_px), fill_argb);
    for (int y = 0; y < height_px && y < height_px_; ++y)
      for (int x = 0; x < width_px && x < width_px_; ++x)
        pixels[size_t(y) * width_px + x] = pixels_[size_t(y) * width_px_ + x];
    pixels_.swap(pixels);
    width_px_ = width_px;
    height_px_ = height_px;
    width_twips_ = float(width_px * kTwipsPerPixel);
    height_twips_ = float(height_px * kTwipsPerPixel);
    tiles_x_ = (width_px + kTileSize - 1) >> kTileShift;
    tiles_y_ = (height_px + kTileSize - 1) >> kTileShift;
    dirty_.assign(size_t(tiles_x_) * tiles_y_, 1);
  }

  float Width() const { return width_twips_; }    // twips
  float Height() const { return height_twips_; }  // twips

  // Sets the pixel that holds the point (x, y), in twips, to an RGB colour.
  // Points outside the canvas are clipped, as the window would clip them.
  void PSet(float x, float y, Colour colour) {
    if (trace_) [[unlikely]] Trace(x, y, colour);
    if (!(x >= 0.0f && y >= 0.0f && x < width_twips_ && y < height_twips_)) return;
    // floor(v / 15) == floor(v) / 15 for v >= 0: exact, unlike a multiply by 1/15.
    const int px = int(x) / kTwipsPerPixel;
    const int py = int(y) / kTwipsPerPixel;
    pixels_[size_t(py) * size_t(width_px_) + size_t(px)] = ToArgb(colour);
    dirty_[size_t(py >> kTileShift) * size_t(tiles_x_) + size_t(px >> kTileShift)] = 1;
  }

  uint32_t Pixel(int x_px, int y_px) const { return pixels_[size_t(y_px) * width_px_ + x_px]; }
  const uint32_t* Pixels() const { return pixels_.data(); }
  int WidthPx() const { return width_px_; }
  int HeightPx() const { return height_px_; }
  int PitchBytes() const { return width_px_ * 4; }

  int TilesX() const { return tiles_x_; }
  int TilesY() const { return tiles_y_; }
  bool TileDirty(int tx, int ty) const { return dirty_[size_t(ty) * tiles_x_ + tx] != 0; }
  void ClearDirty() { dirty_.assign(dirty_.size(), 0); }

  // Calls run(x, y, width, height), in pixels, for each run of dirty tiles along a
  // row of tiles, clipped to the canvas, top row first.
  template <typename Run>
  void ForEachDirtyRun(Run&& run) const {
    for (int ty = 0; ty < tiles_y_; ++ty) {
      const uint16_t* row = dirty_.data() + size_t(ty) * size_t(tiles_x_);
      for (int tx = 0; tx < tiles_x_;) {
        // Most tiles are clean: four at a time are passed over where none is dirty.
        uint64_t four = 1;
        if (tx + 4 <= tiles_x_) std::memcpy(&four, row + tx, sizeof four);
        if (four == 0) {
          tx += 4;
          continue;
        }
        if (!row[tx]) {
          ++tx;
          continue;
        }
        const int first = tx;
        while (tx < tiles_x_ && row[tx]) ++tx;
        const int x = first * kTileSize, y = ty * kTileSize;
        run(x, y, std::min(tx * kTileSize, width_px_) - x, std::min(kTileSize, height_px_ - y));
      }
    }
  }

  // While a trace is attached, every PSet call is appended to it.
  void AttachTrace(std::vector<TracedPoint>* trace) { trace_ = trace; }

 private:
  [[gnu::noinline]] void Trace(float x, float y, Colour colour) { trace_->push_back({x, y, colour}); }

  std::vector<uint32_t> pixels_;
  std::vector<uint16_t> dirty_;  // not a char type, so stores to it alias nothing else
  std::vector<TracedPoint>* trace_ = nullptr;
  int width_px_ = 0, height_px_ = 0;
  float width_twips_ = 0.0f, height_twips_ = 0.0f;
  int tiles_x_ = 0, tiles_y_ = 0;
};

}  // namespace platform
