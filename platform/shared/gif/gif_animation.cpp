// GIF loading for the animated picture control on Linux: giflib decodes what the
// block scan admits, and frames are composited by their disposal.
#include "platform/shared/gif/gif_animation.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "platform/shared/pixel_rect.h"
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

// A frame with no graphic control block: no disposal, no transparency, no delay.
constexpr GraphicsControlBlock kNoControl{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};

uint32_t Argb(const GifColorType& c) {
  return 0xFF000000u | (uint32_t(c.Red) << 16) | (uint32_t(c.Green) << 8) | c.Blue;
}

// giflib's text for an error, which it leaves null for codes it has no text for,
// and for an error it left at 0.
std::string GifError(int code) {
  const char* text = GifErrorString(code);
  return text ? text : "giflib error " + std::to_string(code);
}

}  // namespace

std::optional<Animation> Decode(const uint8_t* data, size_t size, const Limits& limits,
                                std::string* why, Crop crop) {
  const std::optional<Outline> outline = Scan(data, size, limits, why);
  if (!outline) return std::nullopt;
  return DecodeScanned(data, size, *outline, why, crop);
}

std::optional<Animation> Decode(const Admitted& file, std::string* why, Crop crop) {
  return DecodeScanned(file.bytes.data(), file.bytes.size(), file.outline, why, crop);
}

std::optional<Animation> DecodeScanned(const uint8_t* data, size_t size, const Outline& scanned, std::string* why,
                                       Crop crop) {
  const Outline* outline = &scanned;
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
  const auto failed = [&](std::string reason) -> std::optional<Animation> {
    if (why) *why = std::move(reason);
    return std::nullopt;
  };

  Animation anim;
  anim.width = std::min(outline->width, crop.width);
  anim.height = std::min(outline->height, crop.height);
  const size_t screen = size_t(anim.width) * size_t(anim.height);
  std::vector<uint32_t> canvas(screen, 0), saved;
  anim.frames.reserve(size_t(outline->frames));

  // giflib is read record by record, and each frame's outline is held to what the
  // scan admitted before its pixels are given room: giflib's own reading of a
  // damaged stream can differ from the scan's (a frame of 32768 x 32768 out of a
  // file of a few hundred bytes), and a whole-file read would allocate whatever it
  // finds. One frame's pixels are held at a time.
  std::vector<GifByteType> raster;
  size_t raster_read = 0;
  GraphicsControlBlock gcb = kNoControl;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(file, &type) != GIF_OK) return failed(GifError(file->Error));
    if (type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(file, &code, &block) != GIF_OK) return failed(GifError(file->Error));
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4) DGifExtensionToGCB(4, block + 1, &gcb);
      while (block)
        if (DGifGetExtensionNext(file, &block) != GIF_OK) return failed(GifError(file->Error));
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) return failed("a block of no known kind");
    if (DGifGetImageDesc(file) != GIF_OK) return failed(GifError(file->Error));
    const GifImageDesc& desc = file->Image;
    const size_t pixels = size_t(std::max(0, desc.Width)) * size_t(std::max(0, desc.Height));
    if (int(anim.frames.size()) >= outline->frames || pixels == 0 || pixels > outline->raster_bytes - raster_read)
      return failed("giflib reads the blocks otherwise than the scan");
    raster_read += pixels;
    raster.resize(pixels);
    if (desc.Interlace) {
      // The rows come in four passes: every 8th from 0, every 8th from 4, every 4th
      // from 2, every 2nd from 1.
      constexpr int kFirst[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = kFirst[pass]; y < desc.Height; y += kStep[pass])
          if (DGifGetLine(file, raster.data() + size_t(y) * size_t(desc.Width), desc.Width) != GIF_OK)
            return failed(GifError(file->Error));
    } else if (DGifGetLine(file, raster.data(), int(pixels)) != GIF_OK) {
      return failed(GifError(file->Error));
    }
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : file->SColorMap;
    if (!map) return failed("frame without a colour table");
    if (gcb.DisposalMode == DISPOSE_PREVIOUS) saved = canvas;

    // The part of the frame on the screen; a frame may lie partly or wholly off it,
    // and then there is nothing to draw or to dispose of.
    const PixelRect shown =
        PixelRect{desc.Left, desc.Top, desc.Left + desc.Width, desc.Top + desc.Height}.Clip(anim.width, anim.height);
    const int x0 = shown.left, y0 = shown.top, x1 = shown.right, y1 = shown.bottom;
    for (int y = y0; y < y1; ++y) {
      const GifByteType* row = raster.data() + size_t(y - desc.Top) * size_t(desc.Width);
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
    gcb = kNoControl;  // a control block applies to the frame that follows it only
  }
  if (int(anim.frames.size()) != outline->frames) return failed("frame count differs from the block structure");
  return anim;
}

std::optional<Animation> Load(const std::string& path, const Limits& limits, std::string* why, Crop crop) {
  std::string reason;
  const std::optional<std::vector<uint8_t>> bytes = ReadSmallFile(path, limits.max_file_bytes, &reason);
  if (!bytes) {
    if (why) *why = reason;
    return std::nullopt;
  }
  return Decode(bytes->data(), bytes->size(), limits, why, crop);
}

}  // namespace platform::gif
