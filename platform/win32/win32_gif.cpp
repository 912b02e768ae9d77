// The animated picture control's decoding on Win32: the shared reader, block scan
// and budget hold a file to the limits, then GDI+ decodes and composites its frames.
#include "platform/win32/win32_controls.h"

#include <objidl.h>
#include <shlwapi.h>
// GDI+'s headers want min and max as the Windows headers define them.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

namespace platform::win32 {

std::optional<gif::Animation> LoadGif(const std::string& path, const gif::Limits& limits, gif::Crop crop,
                                      MemoryBudget& budget, std::string* why) {
  const std::optional<gif::Admitted> file = gif::ReadAdmitted(path, limits, crop, budget, why);
  if (!file) return std::nullopt;
  const gif::Outline& outline = file->outline;

  IStream* stream = SHCreateMemStream(file->bytes.data(), UINT(file->bytes.size()));
  if (!stream) {
    *why = "out of memory";
    return std::nullopt;
  }
  std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromStream(stream));
  stream->Release();
  if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) {
    *why = "GDI+ cannot decode it";
    return std::nullopt;
  }
  GUID dimension = Gdiplus::FrameDimensionTime;
  const UINT count = std::max<UINT>(1, bitmap->GetFrameCount(&dimension));
  if (int(count) != outline.frames) {
    *why = "frame count differs from the block structure";
    return std::nullopt;
  }
  if (int(bitmap->GetWidth()) != outline.width || int(bitmap->GetHeight()) != outline.height) {
    *why = "size differs from the block structure";
    return std::nullopt;
  }
  std::vector<int> delays(count, gif::kDefaultDelayMs);
  if (const UINT size = bitmap->GetPropertyItemSize(PropertyTagFrameDelay); size > 0) {
    std::vector<uint8_t> buffer(size);
    auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
    if (bitmap->GetPropertyItem(PropertyTagFrameDelay, size, item) == Gdiplus::Ok) {
      const auto* values = static_cast<const uint32_t*>(item->value);
      for (UINT i = 0; i < count && (i + 1) * 4 <= item->length; ++i)
        delays[i] = values[i] <= 1 ? gif::kDefaultDelayMs : int(values[i]) * 10;
    }
  }
  // Of each frame, only the part the control shows.
  gif::Animation animation;
  animation.width = std::min(outline.width, crop.width);
  animation.height = std::min(outline.height, crop.height);
  for (UINT i = 0; i < count; ++i) {
    if (count > 1) bitmap->SelectActiveFrame(&dimension, i);
    Gdiplus::Rect kept(0, 0, animation.width, animation.height);
    Gdiplus::BitmapData data;
    if (bitmap->LockBits(&kept, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok) {
      *why = "GDI+ cannot read a frame";
      return std::nullopt;
    }
    gif::Frame frame{std::vector<uint32_t>(size_t(animation.width) * size_t(animation.height)), delays[i]};
    for (int y = 0; y < animation.height; ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(data.Scan0) + y * data.Stride);
      std::copy(row, row + animation.width, frame.argb.begin() + ptrdiff_t(y) * animation.width);
    }
    bitmap->UnlockBits(&data);
    animation.frames.push_back(std::move(frame));
  }
  return animation;
}

}  // namespace platform::win32
