// The animated picture control's decoding on Win32: the block scan holds a file
// to the limits, then GDI+ decodes and composites its frames.
#include "platform/win32/win32_parts.h"

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

namespace {

std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, size_t limit, std::string* why) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *why = "cannot open the file";
    return std::nullopt;
  }
  LARGE_INTEGER size;
  std::vector<uint8_t> bytes;
  bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size);
  if (ok && uint64_t(size.QuadPart) > limit) {
    *why = "file larger than the limit";
    ok = false;
  } else if (ok) {
    bytes.resize(size_t(size.QuadPart));
    DWORD got = 0;
    ok = ::ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, nullptr) && got == bytes.size();
    if (!ok) *why = "read failed";
  } else {
    *why = "not a regular file";
  }
  CloseHandle(file);
  if (!ok) return std::nullopt;
  return bytes;
}

}  // namespace

std::optional<gif::Animation> LoadGif(const std::string& path, const gif::Limits& limits, std::string* why) {
  const std::optional<std::vector<uint8_t>> bytes = ReadFile(path, limits.max_file_bytes, why);
  if (!bytes) return std::nullopt;
  const std::optional<gif::Outline> outline = gif::Scan(bytes->data(), bytes->size(), limits, why);
  if (!outline) return std::nullopt;

  IStream* stream = SHCreateMemStream(bytes->data(), UINT(bytes->size()));
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
  if (int(count) != outline->frames) {
    *why = "frame count differs from the block structure";
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
  gif::Animation animation;
  animation.width = int(bitmap->GetWidth());
  animation.height = int(bitmap->GetHeight());
  if (animation.width != outline->width || animation.height != outline->height) {
    *why = "size differs from the block structure";
    return std::nullopt;
  }
  for (UINT i = 0; i < count; ++i) {
    if (count > 1) bitmap->SelectActiveFrame(&dimension, i);
    Gdiplus::Rect whole(0, 0, animation.width, animation.height);
    Gdiplus::BitmapData data;
    if (bitmap->LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok) {
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
