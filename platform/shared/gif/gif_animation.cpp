// GIF loading for the animated picture control on Linux: giflib decodes what the
// block scan admits, and frames are composited by their disposal.
#include "platform/shared/gif/gif_animation.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "platform/shared/pixel_rect.h"

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

// giflib read record by record. Each frame's outline is held to what the scan
// admitted before its pixels are given room: giflib's own reading of a damaged
// stream can differ from the scan's (a frame of 32768 x 32768 out of a file of a few
// hundred bytes), and a whole-file read would allocate whatever it finds. One
// frame's pixels are held at a time.
class Decoder {
 public:
  Decoder(GifFileType* file, const Outline& outline, Crop crop) : file_(file), outline_(outline) {
    anim_.width = std::min(outline.width, crop.width);
    anim_.height = std::min(outline.height, crop.height);
    canvas_.assign(size_t(anim_.width) * size_t(anim_.height), 0);
    anim_.frames.reserve(size_t(outline.frames));
  }

  // The animation, or nothing with why said.
  std::optional<Animation> Run(std::string* why) {
    for (;;) {
      GifRecordType type = UNDEFINED_RECORD_TYPE;
      if (DGifGetRecordType(file_, &type) != GIF_OK) return Failed(why, GifError(file_->Error));
      if (type == TERMINATE_RECORD_TYPE) break;
      if (type == EXTENSION_RECORD_TYPE && !ReadExtension()) return Failed(why, GifError(file_->Error));
      if (type == EXTENSION_RECORD_TYPE) continue;
      if (type != IMAGE_DESC_RECORD_TYPE) return Failed(why, "a block of no known kind");
      if (std::optional<std::string> failure = ReadFrame()) return Failed(why, *failure);
    }
    if (int(anim_.frames.size()) != outline_.frames) return Failed(why, "frame count differs from the block structure");
    return std::move(anim_);
  }

 private:
  static std::optional<Animation> Failed(std::string* why, std::string reason) {
    if (why) *why = std::move(reason);
    return std::nullopt;
  }

  // An extension: a graphic control block applies to the frame that follows it.
  bool ReadExtension() {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(file_, &code, &block) != GIF_OK) return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4) DGifExtensionToGCB(4, block + 1, &gcb_);
    while (block)
      if (DGifGetExtensionNext(file_, &block) != GIF_OK) return false;
    return true;
  }

  // The next frame, read and composited; why not, where it was not.
  std::optional<std::string> ReadFrame() {
    if (DGifGetImageDesc(file_) != GIF_OK) return GifError(file_->Error);
    const GifImageDesc& desc = file_->Image;
    const size_t pixels = size_t(std::max(0, desc.Width)) * size_t(std::max(0, desc.Height));
    if (int(anim_.frames.size()) >= outline_.frames || pixels == 0 || pixels > outline_.raster_bytes - raster_read_)
      return "giflib reads the blocks otherwise than the scan";
    raster_read_ += pixels;
    raster_.resize(pixels);
    if (!ReadRaster(desc)) return GifError(file_->Error);
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : file_->SColorMap;
    if (!map) return "frame without a colour table";
    Composite(desc, *map);
    gcb_ = kNoControl;
    return std::nullopt;
  }

  bool ReadRaster(const GifImageDesc& desc) {
    if (!desc.Interlace) return DGifGetLine(file_, raster_.data(), int(raster_.size())) == GIF_OK;
    // The rows come in four passes: every 8th from 0, every 8th from 4, every 4th
    // from 2, every 2nd from 1.
    constexpr int kFirst[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = kFirst[pass]; y < desc.Height; y += kStep[pass])
        if (DGifGetLine(file_, raster_.data() + size_t(y) * size_t(desc.Width), desc.Width) != GIF_OK) return false;
    return true;
  }

  // Draws the frame over what the frames before it left, keeps the result, then
  // disposes of the frame as its control block says.
  void Composite(const GifImageDesc& desc, const ColorMapObject& map) {
    if (gcb_.DisposalMode == DISPOSE_PREVIOUS) saved_ = canvas_;
    // The part of the frame on the screen; a frame may lie partly or wholly off it,
    // and then there is nothing to draw or to dispose of.
    const PixelRect shown =
        PixelRect{desc.Left, desc.Top, desc.Left + desc.Width, desc.Top + desc.Height}.Clip(anim_.width, anim_.height);
    for (int y = shown.top; y < shown.bottom; ++y) {
      const GifByteType* row = raster_.data() + size_t(y - desc.Top) * size_t(desc.Width);
      for (int x = shown.left; x < shown.right; ++x) {
        const int index = row[x - desc.Left];
        if (index == gcb_.TransparentColor || index >= map.ColorCount) continue;
        canvas_[size_t(y) * anim_.width + x] = Argb(map.Colors[index]);
      }
    }
    anim_.frames.push_back({canvas_, gcb_.DelayTime <= 1 ? kDefaultDelayMs : gcb_.DelayTime * 10});
    if (gcb_.DisposalMode == DISPOSE_BACKGROUND) {
      for (int y = shown.top; y < shown.bottom; ++y)
        std::fill(canvas_.begin() + ptrdiff_t(y) * anim_.width + shown.left,
                  canvas_.begin() + ptrdiff_t(y) * anim_.width + shown.right, 0u);
    } else if (gcb_.DisposalMode == DISPOSE_PREVIOUS) {
      canvas_.swap(saved_);
    }
  }

  GifFileType* file_;
  const Outline& outline_;
  Animation anim_;
  std::vector<uint32_t> canvas_, saved_;  // what the frames drew so far, and the copy kept for disposal
  std::vector<GifByteType> raster_;       // the frame being read
  size_t raster_read_ = 0;
  GraphicsControlBlock gcb_ = kNoControl;
};

}  // namespace

std::optional<Animation> Decode(const Admitted& admitted, std::string* why, Crop crop) {
  MemorySource source{admitted.bytes.data(), admitted.bytes.size(), 0};
  int error = 0;
  GifFileType* file = DGifOpen(&source, ReadFromMemory, &error);
  if (!file) {
    if (why) *why = GifError(error);
    return std::nullopt;
  }
  std::optional<Animation> animation = Decoder(file, admitted.outline, crop).Run(why);
  DGifCloseFile(file, nullptr);
  return animation;
}

}  // namespace platform::gif
