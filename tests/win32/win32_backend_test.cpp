// The Windows backend's own pieces, built with mingw-w64 and run under Wine: sprites
// drawn at every place on and off each edge of a buffer that ends at a page no one
// may touch, so an overrun fails here instead of writing past the window's pixels;
// and pictures read through the shared reader and budget.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/win32_window.h"

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

namespace platform::win32 {
namespace {

// GDI+ started for the pictures, as the platform starts it.
class GdiPlus : public testing::Environment {
 public:
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token_, &input, nullptr);
  }
  void TearDown() override { Gdiplus::GdiplusShutdown(token_); }

 private:
  ULONG_PTR token_ = 0;
};
const testing::Environment* const kGdiPlus = testing::AddGlobalTestEnvironment(new GdiPlus);

// A 4 x 3 GIF: red, with a green pixel at its top-left corner and a blue one at its
// bottom-right.
constexpr uint8_t kPicture[] = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x04, 0x00, 0x03, 0x00, 0xf1, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00,
    0xff, 0x00, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00, 0x21, 0xf9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2c,
    0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x03, 0x00, 0x00, 0x02, 0x04, 0x0c, 0x8e, 0x29, 0x05, 0x00, 0x3b};
constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;
constexpr uint32_t kBack = 0xFF808080;     // the sprites' back colour, grey
constexpr uint32_t kUntouched = 0x12345678;

// The picture's file in the temporary folder, gone with the test.
class PictureFile {
 public:
  explicit PictureFile(const std::string& name) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    path_ = std::string(folder) + name;
    FILE* f = std::fopen(path_.c_str(), "wb");
    std::fwrite(kPicture, 1, sizeof kPicture, f);
    std::fclose(f);
  }
  ~PictureFile() { DeleteFileA(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Pixels whose last row ends where a page with no access begins; the bytes before
// the first row, in the same page, hold a pattern that must survive.
class GuardedPixels {
 public:
  GuardedPixels(int width, int height) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const size_t page = info.dwPageSize, bytes = size_t(width) * size_t(height) * 4;
    const size_t pages = (bytes + page - 1) / page;
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, (pages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(base_ + pages * page, page, PAGE_NOACCESS, &old);
    slack_ = pages * page - bytes;
    buffer_ = {reinterpret_cast<uint32_t*>(base_ + slack_), width, height};
  }
  ~GuardedPixels() { VirtualFree(base_, 0, MEM_RELEASE); }
  const PixelBuffer& buffer() const { return buffer_; }
  void Clear() {
    std::fill(base_, base_ + slack_, uint8_t(0xA5));
    std::fill(buffer_.data, buffer_.data + size_t(buffer_.width) * buffer_.height, kUntouched);
  }
  bool SlackIntact() const {
    for (size_t i = 0; i < slack_; ++i)
      if (base_[i] != 0xA5) return false;
    return true;
  }

 private:
  uint8_t* base_ = nullptr;
  size_t slack_ = 0;
  PixelBuffer buffer_;
};

SpriteLayout SpriteOf(int width_px, int height_px) {
  SpriteLayout layout{};
  layout.name = "AniGif1";
  layout.place = {0, 0, float(width_px * kTwipsPerPixel), float(height_px * kTwipsPerPixel)};
  layout.backcolor = 0x808080;
  return layout;
}

// What a sprite of w x h at (x, y) in 96-DPI pixels, holding the picture, shows at the
// buffer's pixel (bx, by) at k: the picture's pixel, its back colour beyond the
// picture, or nothing.
uint32_t Expected(int bx, int by, int x, int y, int w, int h, int k) {
  const int px = bx / k - x, py = by / k - y;
  if (px < 0 || py < 0 || px >= w || py >= h) return kUntouched;
  if (px >= 4 || py >= 3) return kBack;
  if (px == 0 && py == 0) return kGreen;
  if (px == 3 && py == 2) return kBlue;
  return kRed;
}

class SpriteDrawing : public testing::TestWithParam<int> {};  // at k of the buffer's pixels to one

TEST_P(SpriteDrawing, AtEveryPlaceOnAndOffEachEdgeOnlyItsRectangleOnTheBufferChanges) {
  const int k = GetParam();
  const int width = 13, height = 9;  // in 96-DPI pixels; the buffer has k times each
  const int w = 6, h = 4;            // larger than the picture, so the back colour shows
  MemoryBudget budget;
  Win32Sprite sprite(SpriteOf(w, h), budget);
  const PictureFile file("dotfall-sprite.gif");
  sprite.SetPictureFile(file.path());
  GuardedPixels pixels(width * k, height * k);
  for (int y = -h - 2; y <= height + 2; ++y) {
    for (int x = -w - 2; x <= width + 2; ++x) {
      sprite.SetLeft(float(x * kTwipsPerPixel));
      sprite.SetTop(float(y * kTwipsPerPixel));
      pixels.Clear();
      sprite.Draw(pixels.buffer(), k, 0);
      ASSERT_TRUE(pixels.SlackIntact()) << "wrote before the buffer at " << x << "," << y;
      const PixelBuffer& b = pixels.buffer();
      for (int by = 0; by < b.height; ++by)
        for (int bx = 0; bx < b.width; ++bx)
          ASSERT_EQ(b.data[size_t(by) * b.width + bx] & 0xFFFFFF, Expected(bx, by, x, y, w, h, k) & 0xFFFFFF)
              << "pixel " << bx << "," << by << " with the sprite at " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Scales, SpriteDrawing, testing::Values(1, 2, 3), testing::PrintToStringParamName());

TEST(CanvasCopy, AnyRectangleOffTheCanvasOrTheBufferCopiesOnlyWhatLiesOnBoth) {
  Canvas canvas;
  canvas.Resize(7, 5, 0xFF000000);
  canvas.PSet(6 * kTwipsPerPixel, 4 * kTwipsPerPixel, 0xFFFFFF);  // the bottom-right pixel
  for (const int k : {1, 2}) {
    GuardedPixels pixels(7 * k, 5 * k);
    for (const PixelRect r : {PixelRect{-3, -3, 0, 0}, PixelRect{7, 5, 20, 20}, PixelRect{20, 0, 30, 5},
                              PixelRect{0, 9, 7, 12}, PixelRect{-50, -50, 50, 50}, PixelRect{5, 3, 2, 1}}) {
      pixels.Clear();
      CopyCanvas(pixels.buffer(), canvas, r, k);
      ASSERT_TRUE(pixels.SlackIntact());
      const PixelRect on = r.Clip(7, 5);
      for (int by = 0; by < 5 * k; ++by)
        for (int bx = 0; bx < 7 * k; ++bx) {
          const bool inside = !on.Empty() && bx / k >= on.left && bx / k < on.right && by / k >= on.top &&
                              by / k < on.bottom;
          const uint32_t want = !inside ? kUntouched : (bx / k == 6 && by / k == 4) ? 0xFFFFFFFF : 0xFF000000;
          ASSERT_EQ(pixels.buffer().data[size_t(by) * 7 * k + bx], want) << bx << "," << by << " k=" << k;
        }
    }
  }
}

// A frame's changed pixels reach the window in one call: each exactly its colour,
// k x k of the window's pixels, and nothing around it touched.
TEST(PointBatch, EachPointIsExactlyItsColourOverItsKByKPixelsAndNothingElse) {
  const uint32_t colours[] = {0x000000, 0x010101, 0x7F7F7F, 0x808080, 0xFEFEFE, 0xFFFFFF, 0x0102FE};
  for (const int k : {1, 2, 3}) {
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), 9 * k, -4 * k, 1, 32, BI_RGB}};  // top-down
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ old = SelectObject(dc, dib);
    const PixelBuffer buffer{static_cast<uint32_t*>(bits), 9 * k, 4 * k};
    std::fill(buffer.data, buffer.data + size_t(buffer.width) * buffer.height, kUntouched);
    PointBatch points;
    for (int i = 0; i < 7; ++i) points.Add(Scaled({i + 1, 1 + i % 2, i + 2, 2 + i % 2}, k), colours[i]);
    points.Draw(dc);
    GdiFlush();
    for (int by = 0; by < buffer.height; ++by)
      for (int bx = 0; bx < buffer.width; ++bx) {
        const int i = bx / k - 1;
        const bool lit = i >= 0 && i < 7 && by / k == 1 + i % 2;
        ASSERT_EQ(buffer.data[size_t(by) * buffer.width + bx] & 0xFFFFFF, (lit ? colours[i] : kUntouched) & 0xFFFFFF)
            << bx << "," << by << " k=" << k;
      }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(dib);
  }
}

TEST(Pictures, AreReadThroughTheSharedReaderKeptToTheControlAndAdmittedToTheBudget) {
  const PictureFile file("dotfall-budget.gif");
  std::string why;
  MemoryBudget budget;
  const auto kept = LoadGif(file.path(), {}, {2, 2}, budget, &why);
  ASSERT_TRUE(kept) << why;
  EXPECT_EQ(kept->width, 2);
  EXPECT_EQ(kept->height, 2);
  EXPECT_EQ(kept->frames.at(0).argb, (std::vector<uint32_t>{kGreen, kRed, kRed, kRed}));
  EXPECT_EQ(budget.held(), size_t(2 * 2 * 4));  // the one kept frame

  // A budget too small for what loading it needs refuses it, and says so itself.
  MemoryBudget small(1024);
  EXPECT_FALSE(LoadGif(file.path(), {}, {}, small, &why));
  EXPECT_EQ(why, "");
  EXPECT_EQ(small.held(), 0u);

  // What the shared reader refuses, with its reasons.
  EXPECT_FALSE(LoadGif(file.path() + ".missing", {}, {}, budget, &why));
  EXPECT_EQ(why.rfind("cannot open", 0), 0u) << why;
  gif::Limits tiny;
  tiny.max_file_bytes = 50;
  EXPECT_FALSE(LoadGif(file.path(), tiny, {}, budget, &why));
  EXPECT_EQ(why, "larger than the limit of 50 bytes");
}

TEST(Monitors, TheSystemsListHasOnePrimaryThatThePlanGivesTheForm) {
  const std::vector<Monitor> monitors = Monitors();
  ASSERT_FALSE(monitors.empty());
  EXPECT_EQ(std::count_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; }), 1);
  const MonitorPlan plan = PlanMonitors(monitors, {}, {});
  EXPECT_TRUE(plan.form.primary);
  EXPECT_EQ(plan.blanks.size(), monitors.size() - 1);
}

}  // namespace
}  // namespace platform::win32
