// The window's persistent drawing surface: a pixel buffer of the window's size that
// only points set on it change. Setting a point is inline and notes the pixel the
// first time it is set in a frame, with its colour before, so that presenting finds
// the few pixels whose colour a frame changed (a falling dot changes two, however
// many passes it made) without reading the rest: TakeChanges, then the changed
// pixels or their tiles, then ClearDirty.
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
  // A pixel's place on the canvas.
  struct At {
    int x, y;
    bool operator==(const At&) const = default;
  };

  // Resizes to width x height pixels. What overlaps the old size keeps its pixels;
  // the rest is filled with fill_argb. Everything is marked dirty.
  void Resize(int width_px, int height_px, uint32_t fill_argb) {
    std::vector<uint32_t> pixels(size_t(width_px) * size_t(height_px), fill_argb | kSettled);
    for (int x = 0; x < width_px && x < width_px_; ++x)
      for (int y = 0; y < height_px && y < height_px_; ++y)
        pixels[size_t(x) * size_t(height_px) + size_t(y)] = Pixel(x, y);
    pixels_.swap(pixels);
    width_px_ = width_px;
    height_px_ = height_px;
    width_twips_ = float(width_px * kTwipsPerPixel);
    height_twips_ = float(height_px * kTwipsPerPixel);
    tiles_x_ = (width_px + kTileSize - 1) >> kTileShift;
    tiles_y_ = (height_px + kTileSize - 1) >> kTileShift;
    dirty_.assign(size_t(tiles_x_) * tiles_y_, 1);
    log_.resize(kMostNoted + 1);  // so that no set allocates
    noted_ = 0;
    changed_.clear();
    last_changed_.clear();
    all_changed_ = true;
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
    const uint32_t at = uint32_t(px) * uint32_t(height_px_) + uint32_t(py);
    uint32_t& pixel = pixels_[at];
    // A pixel set since the changes were last taken has its top byte clear: the
    // first set in a frame notes it, with its colour before.
    if (pixel & kSettled) {
      log_[noted_] = {at, pixel};
      noted_ = std::min(noted_ + 1, kMostNoted);
    }
    pixel = ToArgb(colour) & ~kSettled;
  }

  // The pixel's colour, 0xFFRRGGBB.
  uint32_t Pixel(int x_px, int y_px) const { return pixels_[size_t(x_px) * size_t(height_px_) + size_t(y_px)] | kSettled; }
  int WidthPx() const { return width_px_; }
  int HeightPx() const { return height_px_; }

  // Rows of 0xFFRRGGBB pixels, `pitch` apart, that hold the display's pixels (left,
  // top) to (left + width, top + height), the first at `pixels`.
  struct Rows {
    uint32_t* pixels;
    size_t pitch;
    int left, top, width, height;
  };
  // Copies the canvas's pixels (x, y) to (x + w, y + h), each as k x k of the
  // display's, into what of them rows holds; nothing outside the canvas or the rows
  // is read or written. The canvas keeps its pixels column by column, so that a
  // falling dot's passes share cache lines: this is the one way a display reads them.
  void CopyRows(int x, int y, int w, int h, int k, const Rows& rows) const {
    // The display's pixels to write: the canvas's part of the rectangle, enlarged,
    // within the rows.
    const int left = std::max(x, 0) * k, top = std::max(y, 0) * k;
    const int right = std::min(x + w, width_px_) * k, bottom = std::min(y + h, height_px_) * k;
    const int x0 = std::max(left, rows.left), x1 = std::min(right, rows.left + rows.width);
    const int y0 = std::max(top, rows.top), y1 = std::min(bottom, rows.top + rows.height);
    const size_t stride = size_t(height_px_);
    constexpr int kBand = 16 * 4;  // display columns side by side, each read as a stream of its own
    for (int band = x0; band < x1; band += kBand) {
      const int band_end = std::min(x1, band + kBand);
      for (int dy = y0; dy < y1; ++dy) {
        const uint32_t* column = pixels_.data() + size_t(dy / k);
        uint32_t* row = rows.pixels + size_t(dy - rows.top) * rows.pitch;
        if (k == 1) {
          for (int dx = band; dx < band_end; ++dx) row[dx - rows.left] = column[size_t(dx) * stride] | kSettled;
          continue;
        }
        for (int dx = band; dx < band_end;) {
          const int end = std::min(band_end, (dx / k + 1) * k);
          std::fill(row + (dx - rows.left), row + (end - rows.left), column[size_t(dx / k) * stride] | kSettled);
          dx = end;
        }
      }
    }
  }

  int TilesX() const { return tiles_x_; }
  int TilesY() const { return tiles_y_; }
  bool TileDirty(int tx, int ty) const { return dirty_[size_t(ty) * tiles_x_ + tx] != 0; }

  // Settles the points set since the changes were last taken: the pixels whose
  // colour is not what it was become the changed pixels, and their tiles dirty.
  void TakeChanges() {
    const bool overflowed = noted_ == kMostNoted;
    for (size_t i = 0; i < noted_ && !overflowed; ++i) {
      const Noted noted = log_[i];
      uint32_t& pixel = pixels_[noted.at];
      pixel |= kSettled;
      if (pixel == noted.before) continue;
      const At at{int(noted.at / uint32_t(height_px_)), int(noted.at % uint32_t(height_px_))};
      changed_.push_back(at);
      dirty_[size_t(at.y >> kTileShift) * size_t(tiles_x_) + size_t(at.x >> kTileShift)] = 1;
    }
    noted_ = 0;
    if (overflowed) {
      // Points set after the notes ran out were never noted: all of it is settled,
      // and all of it changed.
      for (uint32_t& pixel : pixels_) pixel |= kSettled;
      dirty_.assign(dirty_.size(), 1);
      all_changed_ = true;
    }
  }
  // Whether every pixel counts as changed: since a resize, or more points set in a
  // frame than the notes hold.
  bool AllChanged() const { return all_changed_; }
  // The changed pixels, in the order they were first set.
  const std::vector<At>& Changed() const { return changed_; }
  // Those the last ClearDirty forgot, until the next one: what a present that follows
  // it has to show.
  const std::vector<At>& LastChanged() const { return last_changed_; }
  // Forgets the changes, taking any not taken yet.
  void ClearDirty() {
    TakeChanges();
    if (all_changed_)
      dirty_.assign(dirty_.size(), 0);
    else
      for (const At at : changed_) dirty_[size_t(at.y >> kTileShift) * size_t(tiles_x_) + size_t(at.x >> kTileShift)] = 0;
    changed_.swap(last_changed_);
    changed_.clear();
    all_changed_ = false;
  }
  // Reads again the pixels the last frame changed, those the dots stand on, and the
  // cache lines below them in their columns, into which the dots fall next. After a
  // wait they have left the cache; read here together, their misses overlap, where
  // the passes would meet them one by one.
  void Warm() {
    uint32_t sum = 0;
    for (const At at : last_changed_) {
      if (at.x >= width_px_ || at.y >= height_px_) continue;
      const uint32_t* column = pixels_.data() + size_t(at.x) * size_t(height_px_);
      const int end = std::min(at.y + kFallsInAFrame, height_px_);
      for (int y = at.y; y < end; y += kPixelsPerLine) sum += column[y];
    }
    warmed_ = sum;
  }

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
  static constexpr uint32_t kSettled = 0xFF000000u;
  static constexpr int kPixelsPerLine = 64 / sizeof(uint32_t);
  // Farther than the fastest dot falls in ten passes (37 pixels), from anywhere in
  // its cache line.
  static constexpr int kFallsInAFrame = 4 * kPixelsPerLine;
  // More pixels than ten passes over every dot can set; a frame that notes as many
  // has set more than the notes hold. One more note is written, never kept.
  static constexpr size_t kMostNoted = size_t(1) << 16;
  struct Noted {
    uint32_t at;
    uint32_t before;
  };

  [[gnu::noinline]] void Trace(float x, float y, Colour colour) { trace_->push_back({x, y, colour}); }

  // Column by column; 0xFFRRGGBB, or 0x00RRGGBB where set and not yet taken.
  std::vector<uint32_t> pixels_;
  std::vector<Noted> log_;  // the first set of each pixel since the changes were taken
  size_t noted_ = 0;
  std::vector<At> changed_, last_changed_;
  uint32_t warmed_ = 0;  // what Warm read, so that it is read
  bool all_changed_ = false;
  std::vector<uint16_t> dirty_;  // not a char type, so stores to it alias nothing else
  std::vector<TracedPoint>* trace_ = nullptr;
  int width_px_ = 0, height_px_ = 0;
  float width_twips_ = 0.0f, height_twips_ = 0.0f;
  int tiles_x_ = 0, tiles_y_ = 0;
};

}  // namespace platform
