// GIF loading for the animated picture control on Linux: giflib decodes what the
// block scan admits, and frames are composited by their disposal.
#include "platform/shared/gif/gif_animation.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "platform/shared/small_file.h"

namespace platform::gif {

namespace {

struct MemorySource {
  const uint8_t* data;
  size_t size, pos;
};

int ReadFromMemory(GifFileType* file, GifByteType* out, int wanted) {
  auto* source = static_cast<MemorySource*>(file->UserData);
  const size_t n = std::min(size_t(wanted), source->size - source->pos);
  std::memcpy(out, source->data + source->pos, n);
  source->pos += n;
  return int(n);
}

uint32_t Argb(const GifColorType& c) {
  return 0xFF000000u | (uint32_t(c.Red) << 16) | (uint32_t(c.Green) << 8) | c.Blue;
}

// giflib's text for an error, which it leaves null for codes it has no text for:
// DGifSlurp can fail with its error still 0.
std::string GifError(int code) {
  const char* text = GifErrorString(code);
  return text ? text : "giflib error " + std::to_string(code);
}

}  // namespace

Cost CostOf(const Outline& outline, size_t file_bytes, Keep keep) {
  constexpr size_t kDecoder = size_t(64) << 10;  // giflib's decoder: its tables and the screen's colours
  constexpr size_t kPerFrame = 1024;             // giflib's image record and colour table, a frame's record
  const size_t kept = size_t(std::min(outline.width, keep.width)) * size_t(std::min(outline.height, keep.height)) * 4;
  const size_t frames = size_t(outline.frames);
  const size_t pictures = frames * kept;
  return {kDecoder + file_bytes + outline.raster_bytes + outline.extension_bytes + frames * kPerFrame + 2 * kept +
              frames * kept + pictures,
          pictures};
}

std::optional<Animation> Decode(const uint8_t* data, size_t size, const Limits& limits,
                                std::string* why, Keep keep) {
  const std::optional<Outline> outline = Scan(data, size, limits, why);
  if (!outline) return std::nullopt;

  MemorySource source{data, size, 0};
  int error = 0;
  GifFileType* file = DGifOpen(&source, ReadFromMemory, &error);
  if (!file) {
    if (why) *why = GifError(error);
    return std::nullopt;
  }
  struct Closer {
    GifFileType* f;
    ~Closer() { DGifCloseFile(f, nullptr); }
  } closer{file};
  if (DGifSlurp(file) != GIF_OK) {
    if (why) *why = GifError(file->Error);
    return std::nullopt;
  }
  if (file->ImageCount != outline->frames) {
    if (why) *why = "frame count differs from the block structure";
    return std::nullopt;
  }

  Animation anim;
  anim.width = std::min(outline->width, keep.width);
  anim.height = std::min(outline->height, keep.height);
  const size_t screen = size_t(anim.width) * size_t(anim.height);
  std::vector<uint32_t> canvas(screen, 0), saved;
  anim.frames.reserve(size_t(file->ImageCount));

  for (int i = 0; i < file->ImageCount; ++i) {
    const SavedImage& image = file->SavedImages[i];
    const GifImageDesc& desc = image.ImageDesc;
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    DGifSavedExtensionToGCB(file, i, &gcb);
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : file->SColorMap;
    if (!map || !image.RasterBits) {
      if (why) *why = "frame without a colour table";
      return std::nullopt;
    }
    if (gcb.DisposalMode == DISPOSE_PREVIOUS) saved = canvas;

    // The part of the frame on the screen; a frame may lie partly or wholly off it,
    // and then there is nothing to draw or to dispose of.
    const int x0 = std::max(0, desc.Left), y0 = std::max(0, desc.Top);
    const int x1 = std::max(x0, std::min(anim.width, desc.Left + desc.Width));
    const int y1 = std::max(y0, std::min(anim.height, desc.Top + desc.Height));
    for (int y = y0; y < y1; ++y) {
      const GifByteType* row = image.RasterBits + size_t(y - desc.Top) * size_t(desc.Width);
      for (int x = x0; x < x1; ++x) {
        const int index = row[x - desc.Left];
        if (index == gcb.TransparentColor || index >= map->ColorCount) continue;
        canvas[size_t(y) * anim.width + x] = Argb(map->Colors[index]);
      }
    }

    const int delay_ms = gcb.DelayTime <= 1 ? kDefaultDelayMs : gcb.DelayTime * 10;
    anim.frames.push_back({canvas, delay_ms});

    if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
      for (int y = y0; y < y1; ++y)
        std::fill(canvas.begin() + ptrdiff_t(y) * anim.width + x0,
                  canvas.begin() + ptrdiff_t(y) * anim.width + x1, 0u);
    } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
      canvas.swap(saved);
    }
  }
  return anim;
}

std::optional<Animation> Load(const std::string& path, const Limits& limits, std::string* why, Keep keep) {
  std::string reason;
  const std::optional<std::vector<uint8_t>> bytes = ReadSmallFile(path, limits.max_file_bytes, &reason);
  if (!bytes) {
    if (why) *why = reason;
    return std::nullopt;
  }
  return Decode(bytes->data(), bytes->size(), limits, why, keep);
}

}  // namespace platform::gif
