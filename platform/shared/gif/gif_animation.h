// GIF files as the animated picture control shows them: checked against limits
// before decoding, decoded with giflib, and composited frame by frame by the
// frames' disposal methods into pictures of the logical screen's size, or of the part
// of it that is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/shared/memory_budget.h"

namespace platform::gif {

struct Limits {
  int max_side = 4096;                          // logical screen and frames, pixels
  int max_frames = 1000;
  size_t max_decoded_bytes = size_t(64) << 20;  // giflib's rasters plus the composited frames
  size_t max_file_bytes = size_t(32) << 20;
  // giflib keeps every extension's sub-blocks (comments, application data) in memory,
  // each one a separate allocation: counted as its bytes plus kSubBlockBookkeeping.
  size_t max_extension_bytes = size_t(1) << 20;
};

constexpr size_t kSubBlockBookkeeping = 64;

struct Frame {
  std::vector<uint32_t> argb;  // width * height, 0xAARRGGBB; alpha 0 where transparent
  int delay_ms;
};

struct Animation {
  int width = 0, height = 0;
  std::vector<Frame> frames;  // at least one
  int TotalMs() const;
  // The frame shown elapsed_ms after the animation started; it loops forever.
  size_t FrameAt(uint64_t elapsed_ms) const;
};

// Frames with no delay, or one of 10 ms, are shown for 100 ms, as browsers do.
constexpr int kDefaultDelayMs = 100;

// The sizes a GIF declares, read from its block structure without decoding.
struct Outline {
  int width = 0, height = 0;
  int frames = 0;
  size_t raster_bytes = 0;  // the sum of the frames' own areas
  size_t extension_bytes = 0;  // what the extensions cost a decoder, bookkeeping included
};

// Walks the block structure. Fails, saying why, on a bad signature, a truncated or
// malformed block, a zero-sized screen, or a size beyond the limits.
std::optional<Outline> Scan(const uint8_t* data, size_t size, const Limits& limits, std::string* why);

// The part of each frame that is kept: a control shows a picture from its top-left
// corner and no further than its own size.
struct Crop {
  int width = std::numeric_limits<int>::max();
  int height = std::numeric_limits<int>::max();
};

// A picture file as every backend takes it before decoding: read by the one reader,
// its blocks scanned against the limits, and what loading it costs admitted to the
// budget. Nothing where a step refuses it: why says why, or is empty where the
// budget refused it, having said so itself.
struct Admitted {
  std::vector<uint8_t> bytes;
  Outline outline;
};
std::optional<Admitted> ReadAdmitted(const std::string& path, const Limits& limits, Crop crop, MemoryBudget& budget,
                                     std::string* why);

// Decodes a file read, scanned and admitted, and composites its frames, keeping the
// part crop says. Fails, saying why, where giflib reports an error or reads the
// blocks otherwise than the scan did.
std::optional<Animation> Decode(const Admitted& file, std::string* why, Crop crop = {});

// What loading a file of file_bytes with this outline costs: the file's bytes,
// giflib's rasters and extensions with their bookkeeping, the composing canvas and
// the copy kept for disposal, the kept frames and the pictures made from them, of
// which the pictures stay held.
Cost CostOf(const Outline& outline, size_t file_bytes, Crop crop = {});

}  // namespace platform::gif
