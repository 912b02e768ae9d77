// The frame, on both kinds of screen: the window's own surface, where only what
// changed is drawn again, and a renderer, which draws every frame whole (here SDL's
// software renderer, standing in for the GPU's). What the window shows after each
// frame is read back from its surface. SDL's dummy video driver gives a window whose
// surface is plain memory; built with SCREENS_ON_X11 and run under an X server, the
// window surface is memory shared with the server, and what the window shows is asked
// of the server.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <ranges>
#include <string>
#include <tuple>
#include <vector>

#include "platform/canvas.h"
#include "platform/colour.h"
#include "platform/sdl/sdl_screen.h"
#include "platform/sdl/sdl_surface_screen.h"
#include "platform/sdl/sdl_x11_frame.h"

namespace {

using platform::Canvas;
using platform::RGB;
using platform::sdl::Picture;
using platform::sdl::Screen;

// SDL's memory, where a freed block is the next one handed out at its size, as the
// window system's shared memory is on X11: a surface or picture freed is where the
// next one of its size is made. Nothing is given back; the tests are short.
namespace reusing {
std::map<size_t, std::vector<size_t*>>& Freed() {
  static std::map<size_t, std::vector<size_t*>> freed;
  return freed;
}
void* Malloc(size_t size) {
  std::vector<size_t*>& same = Freed()[size];
  size_t* block = same.empty() ? static_cast<size_t*>(std::malloc(size + 16)) : same.back();
  if (!same.empty()) same.pop_back();
  if (!block) return nullptr;
  *block = size;
  return block + 2;
}
void Free(void* memory) {
  if (memory) Freed()[static_cast<size_t*>(memory)[-2]].push_back(static_cast<size_t*>(memory) - 2);
}
void* Calloc(size_t count, size_t size) {
  void* memory = Malloc(count * size);
  if (memory) std::memset(memory, 0, count * size);
  return memory;
}
void* Realloc(void* memory, size_t size) {
  void* moved = Malloc(size);
  if (moved && memory) std::memcpy(moved, memory, std::min(size, static_cast<size_t*>(memory)[-2]));
  Free(memory);
  return moved;
}
const bool kInstalled = SDL_SetMemoryFunctions(Malloc, Calloc, Realloc, Free) == 0;
}  // namespace reusing

constexpr int kW = 64, kH = 48;
constexpr uint32_t kBlack = 0x000000, kGrey = 0x3C3C3C, kWhite = 0xFFFFFF;

// The screen a test runs on (the surface, or a renderer that SDL_RENDER_DRIVER names)
// and the display's scale: its pixels to a 96-DPI pixel, each way.
struct ScreenCase {
  const char* name;
  int scale;
};

std::string ScreenName(const ::testing::TestParamInfo<ScreenCase>& info) {
  return std::string(info.param.name) + "_at_" + std::to_string(info.param.scale);
}

#ifdef SCREENS_ON_X11
constexpr bool kOnX11 = true;
#else
constexpr bool kOnX11 = false;
#endif

class Screens : public ::testing::TestWithParam<ScreenCase> {
 protected:
  void SetUp() override {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, kOnX11 ? "x11" : "dummy");
    if (std::strcmp(GetParam().name, "surface") != 0) SDL_SetHint(SDL_HINT_RENDER_DRIVER, GetParam().name);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    window_ = SDL_CreateWindow("screen", 0, 0, kW * k_, kH * k_, 0);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    screen_ = platform::sdl::MakeScreen(window_, k_);
    ASSERT_STREQ(screen_->Name(), GetParam().name);
    canvas_.Resize(kW, kH, platform::ToArgb(platform::kBlack));
  }
  void TearDown() override {
    screen_.reset();
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
    SDL_ResetHints();
  }

  // Sets the point at pixel (x, y).
  void Point(int x, int y, uint32_t rgb) {
    canvas_.PSet(float(x * platform::kTwipsPerPixel), float(y * platform::kTwipsPerPixel),
                 RGB(int(rgb >> 16), int(rgb >> 8 & 0xFF), int(rgb & 0xFF)));
  }

  static constexpr uint32_t kMixed = 0xDEADBEEF;  // no one colour, or none to be read

  Display* X11Display() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    return SDL_GetWindowWMInfo(window_, &info) ? info.info.x11.display : nullptr;
  }
  ::Window X11Window() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    return SDL_GetWindowWMInfo(window_, &info) ? info.info.x11.window : 0;
  }

  // What the window shows at the display's pixel (x, y), as 0xRRGGBB.
  uint32_t ShownOnDisplay(int x, int y) {
    if (kOnX11) {
      XImage* image = XGetImage(X11Display(), X11Window(), x, y, 1, 1, AllPlanes, ZPixmap);
      if (!image) return kMixed;
      const uint32_t pixel = uint32_t(XGetPixel(image, 0, 0)) & 0xFFFFFF;
      XDestroyImage(image);
      return pixel;
    }
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    uint32_t pixel;
    std::memcpy(&pixel, static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch + x * 4, 4);
    uint8_t r, g, b;
    SDL_GetRGB(pixel, surface->format, &r, &g, &b);
    return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
  }

  // What the window shows at the 96-DPI pixel (x, y): the colour of all its k x k
  // pixels, or kMixed where they differ.
  uint32_t Shown(int x, int y) {
    const uint32_t first = ShownOnDisplay(x * k_, y * k_);
    for (int dy = 0; dy < k_; ++dy)
      for (int dx = 0; dx < k_; ++dx)
        if (ShownOnDisplay(x * k_ + dx, y * k_ + dy) != first) return kMixed;
    return first;
  }

  // A picture of w x h pixels, all of one 0xAARRGGBB value.
  Picture Flat(int w, int h, uint32_t argb) {
    std::vector<uint32_t> pixels(size_t(w) * size_t(h), argb);
    return screen_->MakePicture(pixels.data(), w, h, w * 4);
  }

  // One frame: the canvas, then a control (its back colour's fill and, where given,
  // its picture) at x, y, then presenting.
  void Frame(int x, int y, platform::Colour back, const Picture* picture = nullptr,
             platform::Colour tint = 0xFFFFFF) {
    screen_->DrawCanvas(canvas_);
    const SDL_Rect place{x, y, 10, 8};
    screen_->Fill(place, back);
    if (picture) screen_->Draw(*picture, {0, 0, picture->width(), picture->height()}, x, y, tint);
    screen_->Present();
  }

  const int k_ = GetParam().scale;
  SDL_Window* window_ = nullptr;
  std::unique_ptr<Screen> screen_;
  Canvas canvas_;
};

TEST_P(Screens, TheFirstFrameShowsTheWholeCanvasAndLaterOnesItsChanges) {
  Point(0, 0, kGrey);
  Point(63, 47, kWhite);
  Frame(40, 0, platform::kBlack);
  EXPECT_EQ(Shown(0, 0), kGrey);
  EXPECT_EQ(Shown(63, 47), kWhite);
  Point(0, 0, kBlack);
  Point(30, 20, kGrey);
  Frame(40, 0, platform::kBlack);
  EXPECT_EQ(Shown(0, 0), kBlack);
  EXPECT_EQ(Shown(30, 20), kGrey);
  EXPECT_EQ(Shown(63, 47), kWhite);
}

TEST_P(Screens, RunsThatJoinDownTheRowsAllShow) {
  Frame(50, 40, platform::kBlack);
  // A dot falling through three rows of tiles, and runs of other columns beside it
  // in the lower two rows, which join each other.
  for (int y = 5; y < 40; y += 3) Point(40, y, kGrey);
  Point(5, 17, kWhite);
  Point(5, 40, kWhite);
  Frame(50, 40, platform::kBlack);
  for (int y = 5; y < 40; y += 3) EXPECT_EQ(Shown(40, y), kGrey) << y;
  EXPECT_EQ(Shown(5, 17), kWhite);
  EXPECT_EQ(Shown(5, 40), kWhite);
}

TEST_P(Screens, AStillControlHidesPointsSetUnderItButNotBesideIt) {
  const Picture picture = Flat(4, 4, 0xFF00FF00);
  Frame(8, 8, RGB(255, 255, 255), &picture);
  Point(16, 15, kGrey);  // under the back colour, on its last row
  Point(18, 14, kGrey);  // just beside the control
  Point(17, 16, kGrey);  // just below it
  Frame(8, 8, RGB(255, 255, 255), &picture);
  EXPECT_EQ(Shown(16, 15), kWhite);
  EXPECT_EQ(Shown(18, 14), kGrey);
  EXPECT_EQ(Shown(17, 16), kGrey);
  Point(9, 9, kGrey);  // under the picture
  Frame(8, 8, RGB(255, 255, 255), &picture);
  EXPECT_EQ(Shown(9, 9), 0x00FF00u);
  EXPECT_EQ(Shown(16, 15), kWhite);
}

TEST_P(Screens, AControlThatMovesLeavesTheCanvasBehindIt) {
  Point(9, 9, kGrey);
  Frame(8, 8, RGB(255, 255, 255));
  EXPECT_EQ(Shown(9, 9), kWhite);
  Point(12, 12, kGrey);  // set while covered
  Frame(30, 8, RGB(255, 255, 255));
  EXPECT_EQ(Shown(9, 9), kGrey);
  EXPECT_EQ(Shown(12, 12), kGrey);
  EXPECT_EQ(Shown(8, 8), kBlack);
  EXPECT_EQ(Shown(17, 15), kBlack);  // a corner in a tile where nothing changed
  EXPECT_EQ(Shown(30, 8), kWhite);
}

TEST_P(Screens, ATintTakesEffectOnItsOwnAndTransparencyShowsTheBackColour) {
  std::vector<uint32_t> pixels = {0xFFFFFFFF, 0x00FFFFFF};  // white, then transparent
  const Picture picture = screen_->MakePicture(pixels.data(), 2, 1, 8);
  Frame(0, 0, RGB(0, 0, 255), &picture, RGB(10, 200, 30));
  EXPECT_EQ(Shown(0, 0), 0x0AC81Eu);
  EXPECT_EQ(Shown(1, 0), 0x0000FFu);
  Frame(0, 0, RGB(0, 0, 255), &picture, RGB(255, 0, 0));  // only the colour changed
  EXPECT_EQ(Shown(0, 0), 0xFF0000u);
}

TEST_P(Screens, APictureWithNoFillUnderItShowsTheCanvasChangingThroughIt) {
  // Red, clear, green over clear, blue, clear: each point under it is drawn anew with
  // the picture's own pixel over it, at any scale.
  std::vector<uint32_t> pixels = {0xFFFF0000, 0x00000000, 0xFF00FF00, 0x00000000, 0xFF0000FF, 0x00000000};
  const Picture picture = screen_->MakePicture(pixels.data(), 3, 2, 12);
  auto frame = [&] {
    screen_->DrawCanvas(canvas_);
    screen_->Draw(picture, {0, 0, 3, 2}, 20, 20);
    screen_->Present();
  };
  frame();
  for (int y = 20; y < 22; ++y)
    for (int x = 20; x < 23; ++x) Point(x, y, kGrey);
  frame();
  const uint32_t shown[2][3] = {{0xFF0000u, kGrey, 0x00FF00u}, {kGrey, 0x0000FFu, kGrey}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(Shown(20 + x, 20 + y), shown[y][x]) << x << ", " << y;
}

TEST_P(Screens, AControlPartlyOffTheCanvasLeavesThePixelsBesideItAlone) {
  // A canvas large enough to have pages of its own, which nothing past them shares.
  constexpr int kW = 400, kH = 300;
  SDL_SetWindowSize(window_, kW * k_, kH * k_);
  SDL_PumpEvents();
  // Grey, with white at the ends of the rows next to where the controls stand: a
  // row's pixels past either edge would land there.
  canvas_.Resize(kW, kH, platform::ToArgb(RGB(60, 60, 60)));
  for (int y = 8; y < 32; ++y) {
    Point(0, y, kWhite);
    Point(kW - 1, y, kWhite);
  }
  auto frame = [&](int left, int right) {
    screen_->DrawCanvas(canvas_);
    screen_->Fill({left, 10, 10, 8}, RGB(0, 0, 255));
    screen_->Fill({right, 20, 10, 8}, RGB(0, 0, 255));
    screen_->Present();
  };
  // Each moves out, leaving part of the canvas, then back in part of the way, from
  // where it stood off the canvas.
  for (const auto& [left, right] : {std::pair{-3, kW - 6}, {-6, kW - 3}, {-4, kW - 5}}) {
    frame(left, right);
    // Along both edges, around the controls, the controls where they stand and the
    // canvas elsewhere.
    for (int y = 4; y < 36; ++y)
      for (int x : std::views::iota(0, kW) | std::views::filter([](int x) { return x < 16 || x >= kW - 16; })) {
        const bool covered = (x < left + 10 && y >= 10 && y < 18) || (x >= right && y >= 20 && y < 28);
        ASSERT_EQ(Shown(x, y), covered ? 0x0000FFu : canvas_.Pixel(x, y) & 0xFFFFFF) << x << ", " << y;
      }
  }
}

TEST_P(Screens, WhatTheDisplayLostIsDrawnAgainAfterAnExposure) {
  Point(5, 5, kGrey);
  const Picture picture = Flat(4, 4, 0xFF00FF00);
  Frame(40, 0, platform::kBlack, &picture);
  // The display's copy is gone (covered, or mapped anew): here, overwritten.
  if (kOnX11) {
    GC gc = XCreateGC(X11Display(), X11Window(), 0, nullptr);
    XSetForeground(X11Display(), gc, 0x010203);
    XFillRectangle(X11Display(), X11Window(), gc, 0, 0, kW * k_, kH * k_);
    XFreeGC(X11Display(), gc);
  } else {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 1, 2, 3));
  }
  ASSERT_EQ(Shown(5, 5), 0x010203u);
  screen_->Exposed();
  Frame(40, 0, platform::kBlack, &picture);
  EXPECT_EQ(Shown(5, 5), kGrey);
  EXPECT_EQ(Shown(60, 40), kBlack);
  EXPECT_EQ(Shown(41, 1), 0x00FF00u);
  EXPECT_EQ(Shown(45, 7), kBlack);  // the control's back colour
}

TEST_P(Screens, ANewSizeIsDrawnWhole) {
  Point(5, 5, kGrey);
  Frame(40, 0, platform::kBlack);
  SDL_SetWindowSize(window_, 80 * k_, 60 * k_);
  SDL_PumpEvents();
  canvas_.Resize(80, 60, platform::ToArgb(platform::kBlack));
  Point(79, 59, kWhite);
  Frame(40, 0, platform::kBlack);
  EXPECT_EQ(Shown(5, 5), kGrey);
  EXPECT_EQ(Shown(79, 59), kWhite);
  EXPECT_EQ(Shown(70, 50), kBlack);
}

TEST_P(Screens, PicturesMadeAtTheDisplaysDensityAreNotEnlarged) {
  // Two of the display's pixels, as the banner's line is made: at any scale they
  // stay two of the display's pixels, at the 96-DPI place 3, 2.
  const std::vector<uint32_t> pixels = {0xFFFF0000, 0xFF00FF00};
  Picture line;  // moved in, as the banner keeps its line
  line = screen_->MakePicture(pixels.data(), 2, 1, 8, k_);
  screen_->DrawCanvas(canvas_);
  screen_->Draw(line, {0, 0, 2, 1}, 3, 2);
  screen_->Present();
  EXPECT_EQ(ShownOnDisplay(3 * k_, 2 * k_), 0xFF0000u);
  EXPECT_EQ(ShownOnDisplay(3 * k_ + 1, 2 * k_), 0x00FF00u);
  EXPECT_EQ(ShownOnDisplay(3 * k_ + 2, 2 * k_), kBlack);
  EXPECT_EQ(ShownOnDisplay(3 * k_, 2 * k_ + 1), kBlack);
}

#ifdef SCREENS_ON_X11
const ScreenCase kScreens[] = {{"surface", 1}, {"surface", 2}};
#else
const ScreenCase kScreens[] = {{"surface", 1}, {"software", 1}, {"surface", 2}, {"software", 2}, {"surface", 3}};
#endif
INSTANTIATE_TEST_SUITE_P(Kinds, Screens, ::testing::ValuesIn(kScreens), ScreenName);

#ifndef SCREENS_ON_X11

// A frame's points, drawn as the server would: whatever each showed before, each
// ends its colour; the points to be black go black only after every other draw; and
// the dots' greys take a draw for each bit of grey.
TEST(PointDraws, EachPointEndsItsColourAndBlackGoesLast) {
  const struct {
    std::vector<uint32_t> colours;  // of the points 0, 1, 2, ...
    size_t draws;
  } cases[] = {
      // Four bits of grey, six of 0xC8643C's weights, three more of blue alone.
      {{0x3C3C3C, 0, 0xC8643C, 0x00003C, 0x3C3C3C}, 1 + 4 + 6 + 3 + 1},
      // Greys take seven draws for their seven bits, as blues of the same bits do.
      {{0x3C, 0xFF, 0x96, 0xDC, 0x3C3C3C, 0x969696, 0xDCDCDC, 0}, 1 + 8 + 7 + 1},
      {{0x010000, 0x000100, 0x000001, 0x800000, 0x008000, 0x000080}, 1 + 6},
      {{0, 0}, 1},
  };
  for (const auto& c : cases) {
    std::vector<platform::sdl::X11Frame::Point> points;
    for (size_t i = 0; i < c.colours.size(); ++i) points.push_back({int(i), 0, c.colours[i]});
    platform::sdl::PointDraws draws;
    draws.Take(points);
    for (const uint32_t before : {0x000000u, 0xFFFFFFu, 0x5A5A5Au}) {
      std::vector<uint32_t> shown(points.size(), before);
      size_t count = 0;
      bool black_drawn = false;
      draws.ForEach([&](bool or_in, uint32_t rgb, const std::vector<platform::sdl::X11Frame::Point>& group) {
        ++count;
        EXPECT_FALSE(black_drawn) << "a draw after the points went black";
        for (const auto& p : group) {
          shown[size_t(p.x)] = or_in ? shown[size_t(p.x)] | rgb : rgb;
          black_drawn = black_drawn || (!or_in && c.colours[size_t(p.x)] == 0);
        }
      });
      EXPECT_EQ(shown, c.colours) << "shown before: " << before;
      EXPECT_EQ(count, c.draws);
    }
  }
}


// What the window surface sends to the display, which it reports.
class SurfaceScreens : public Screens {
 protected:
  // In 96-DPI pixels: what was sent, each rectangle k times as large as it stands here.
  std::vector<std::tuple<int, int, int, int>> Sent() const {
    std::vector<std::tuple<int, int, int, int>> sent;
    for (const SDL_Rect& r : dynamic_cast<const platform::sdl::SurfaceScreen&>(*screen_).Sent()) {
      EXPECT_TRUE(r.x % k_ == 0 && r.y % k_ == 0 && r.w % k_ == 0 && r.h % k_ == 0);
      sent.emplace_back(r.x / k_, r.y / k_, r.w / k_, r.h / k_);
    }
    std::sort(sent.begin(), sent.end());
    return sent;
  }
};

TEST_P(SurfaceScreens, AStillFrameSendsNothing) {
  Point(5, 5, kGrey);
  Frame(40, 0, platform::kBlack);
  Frame(40, 0, platform::kBlack);
  EXPECT_EQ(Sent(), (std::vector<std::tuple<int, int, int, int>>{}));
}

TEST_P(SurfaceScreens, OnlyChangedPixelsAndChangedControlsAreSent) {
  Frame(40, 0, platform::kBlack);
  Point(5, 5, kGrey);
  Point(20, 37, kGrey);
  Point(20, 38, kGrey);  // passed through and left black, as a falling dot leaves its path
  Point(20, 38, kBlack);
  Frame(40, 0, platform::kBlack);
  EXPECT_EQ(Sent(), (std::vector<std::tuple<int, int, int, int>>{{5, 5, 1, 1}, {20, 37, 1, 1}}));
  EXPECT_EQ(Shown(20, 37), kGrey);
  EXPECT_EQ(Shown(21, 37), kBlack);
  // The control moves: the canvas comes back where it stood (above it and left of
  // it), and it is drawn anew.
  Frame(44, 2, platform::kBlack);
  EXPECT_EQ(Sent(), (std::vector<std::tuple<int, int, int, int>>{{40, 0, 14, 2}, {40, 2, 4, 8}, {44, 2, 10, 8}}));
  EXPECT_EQ(Shown(41, 1), kBlack);
}

TEST_P(SurfaceScreens, OnlyTheControlThatChangedIsDrawnAgain) {
  const Picture picture = Flat(4, 4, 0xFF00FF00);
  auto frame = [&](platform::Colour second) {
    screen_->DrawCanvas(canvas_);
    screen_->Fill({2, 2, 10, 8}, platform::kBlack);
    screen_->Draw(picture, {0, 0, 4, 4}, 2, 2);
    screen_->Fill({30, 20, 10, 8}, second);
    screen_->Present();
  };
  frame(RGB(255, 255, 255));
  frame(RGB(255, 0, 0));  // only the second's colour
  EXPECT_EQ(Sent(), (std::vector<std::tuple<int, int, int, int>>{{30, 20, 10, 8}}));
  EXPECT_EQ(Shown(35, 25), 0xFF0000u);
  EXPECT_EQ(Shown(3, 3), 0x00FF00u);
}

TEST_P(SurfaceScreens, APictureMadeWhereAFreedOneWasIsDrawn) {
  auto picture = std::make_unique<Picture>(Flat(4, 4, 0xFF00FF00));
  Frame(8, 8, platform::kBlack, picture.get());
  EXPECT_EQ(Shown(9, 9), 0x00FF00u);
  // The same size again, so that the allocator hands out the freed memory.
  picture.reset();
  picture = std::make_unique<Picture>(Flat(4, 4, 0xFFFF00FF));
  Frame(8, 8, platform::kBlack, picture.get());
  EXPECT_EQ(Shown(9, 9), 0xFF00FFu);
}

TEST_P(SurfaceScreens, AWindowSurfaceMadeAnewAtTheSameSizeIsDrawnWhole) {
  Point(5, 5, kGrey);
  Frame(40, 0, platform::kBlack);
  // Away and back before the next frame: the window's surface is made anew, at the
  // same size, and starts black.
  SDL_SetWindowSize(window_, kW * k_ + 16, kH * k_);
  ASSERT_NE(SDL_GetWindowSurface(window_), nullptr);
  SDL_SetWindowSize(window_, kW * k_, kH * k_);
  SDL_PumpEvents();
  Frame(40, 0, platform::kBlack);
  EXPECT_EQ(Shown(5, 5), kGrey);
  EXPECT_EQ(Sent(), (std::vector<std::tuple<int, int, int, int>>{{0, 0, kW, kH}}));  // the control's within it
}

const ScreenCase kSurfaces[] = {{"surface", 1}, {"surface", 2}};
INSTANTIATE_TEST_SUITE_P(Kinds, SurfaceScreens, ::testing::ValuesIn(kSurfaces), ScreenName);
#endif

}  // namespace
