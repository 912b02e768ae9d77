// The GIF block structure, walked without decoding to hold a file to limits, and
// an animation's timing. Shared by every backend's picture control.
// Implements: Scan, CostOf, ReadAdmitted, Animation's timing.
#include <algorithm>
#include <cstring>

#include "platform/shared/byte_reader.h"
#include "platform/shared/gif/gif_animation.h"
#include "platform/shared/small_file.h"

namespace platform::gif {

namespace {

// Skips a chain of data sub-blocks up to and including its terminator, adding to
// *kept what a decoder that keeps them costs: each one's bytes and bookkeeping.
bool SkipSubBlocks(ByteReader& in, size_t* kept = nullptr) {
  for (;;) {
    uint8_t n;
    if (!in.Byte(&n)) return false;
    if (n == 0) return true;
    if (!in.Skip(n)) return false;
    if (kept) *kept += n + kSubBlockBookkeeping;
  }
}

std::nullopt_t Refuse(std::string* why, const char* text) {
  if (why) *why = text;
  return std::nullopt;
}

// One image, after its separator, added to the outline: why it is refused, or null.
const char* ScanImage(ByteReader& in, const Limits& limits, Outline* outline) {
  int left, top, w, h;
  uint8_t packed, code_size;
  if (!in.U16(&left) || !in.U16(&top) || !in.U16(&w) || !in.U16(&h) || !in.Byte(&packed))
    return "truncated image descriptor";
  if (w > limits.max_side || h > limits.max_side) return "frame larger than the limit";
  if ((packed & 0x80) && !in.Skip(3u << ((packed & 7) + 1))) return "truncated colour table";
  if (!in.Byte(&code_size) || code_size < 1 || code_size > 11 || !SkipSubBlocks(in))
    return "truncated or malformed image data";
  if (++outline->frames > limits.max_frames) return "more frames than the limit";
  outline->raster_bytes += size_t(w) * size_t(h);
  const size_t screen_bytes = size_t(outline->width) * size_t(outline->height) * 4;
  if (outline->raster_bytes + size_t(outline->frames) * screen_bytes > limits.max_decoded_bytes)
    return "decoded size larger than the limit";
  return nullptr;
}

}  // namespace

int Animation::TotalMs() const {
  int total = 0;
  for (const Frame& f : frames) total += f.delay_ms;
  return total;
}

size_t Animation::FrameAt(uint64_t elapsed_ms) const {
  const int total = TotalMs();
  if (frames.size() < 2 || total <= 0) return 0;
  uint64_t t = elapsed_ms % uint64_t(total);
  for (size_t i = 0; i < frames.size(); ++i) {
    if (t < uint64_t(frames[i].delay_ms)) return i;
    t -= uint64_t(frames[i].delay_ms);
  }
  return frames.size() - 1;
}

std::optional<Outline> Scan(const uint8_t* data, size_t size, const Limits& limits, std::string* why) {
  if (size < 6 || (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0))
    return Refuse(why, "not a GIF file");
  ByteReader in(data + 6, size - 6);
  Outline outline;
  uint8_t packed, ignored;
  if (!in.U16(&outline.width) || !in.U16(&outline.height) || !in.Byte(&packed) || !in.Skip(2))
    return Refuse(why, "truncated header");
  if (outline.width == 0 || outline.height == 0) return Refuse(why, "empty logical screen");
  if (outline.width > limits.max_side || outline.height > limits.max_side)
    return Refuse(why, "logical screen larger than the limit");
  if ((packed & 0x80) && !in.Skip(3u << ((packed & 7) + 1))) return Refuse(why, "truncated colour table");
  for (;;) {
    uint8_t block;
    if (!in.Byte(&block)) return Refuse(why, "truncated: no trailer");
    if (block == 0x3B) break;
    if (block == 0x21) {
      if (!in.Byte(&ignored) || !SkipSubBlocks(in, &outline.extension_bytes)) return Refuse(why, "truncated extension");
      if (outline.extension_bytes > limits.max_extension_bytes)
        return Refuse(why, "extensions and comments larger than the limit");
      continue;
    }
    if (block != 0x2C) return Refuse(why, "unknown block");
    if (const char* refused = ScanImage(in, limits, &outline)) return Refuse(why, refused);
  }
  if (outline.frames == 0) return Refuse(why, "no frames");
  return outline;
}

Cost CostOf(const Outline& outline, size_t file_bytes, Crop crop) {
  constexpr size_t kDecoder = size_t(64) << 10;  // giflib's decoder: its tables and the screen's colours
  constexpr size_t kPerFrame = 1024;             // giflib's image record and colour table, a frame's record
  const size_t kept = size_t(std::min(outline.width, crop.width)) * size_t(std::min(outline.height, crop.height)) * 4;
  const size_t frames = size_t(outline.frames);
  const size_t pictures = frames * kept;
  return {kDecoder + file_bytes + outline.raster_bytes + outline.extension_bytes + frames * kPerFrame + 2 * kept +
              frames * kept + pictures,
          pictures};
}

std::optional<Admitted> ReadAdmitted(const std::string& path, const Limits& limits, Crop crop, MemoryBudget& budget,
                                     std::string* why) {
  std::optional<std::vector<uint8_t>> bytes = ReadSmallFile(path, limits.max_file_bytes, why);
  if (!bytes) return std::nullopt;
  const std::optional<Outline> outline = Scan(bytes->data(), bytes->size(), limits, why);
  if (!outline) return std::nullopt;
  if (!budget.Admit(path, CostOf(*outline, bytes->size(), crop))) {
    why->clear();
    return std::nullopt;
  }
  return Admitted{std::move(*bytes), *outline};
}

}  // namespace platform::gif
