// The screens as a real X display takes them (run under Xvfb, whose GL is Mesa's
// software rasteriser): a GPU renderer that finds a software GL in its context gives
// way to the window's surface on X11, keeps its renderer on Wayland, and a renderer
// named that does not exist gives way too. The window surface sends the pixels that
// changed in a frame to the server as a request or two for each bit of their colours
// (how those draws are grouped is tested without a display, in screen_test), clips
// its puts to lists of rectangles that intersect nowhere, shows the canvas again
// where a control leaves points the server drew, and draws into its frame only once
// the server has taken it.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/canvas.h"
#include "platform/colour.h"
#include "platform/sdl/sdl_screen.h"
#include "platform/sdl/sdl_x11_frame.h"

// Every clip list the screen hands the server, as it hands it, on its way to Xlib.
std::vector<std::vector<XRectangle>> clip_lists;

extern "C" int XSetClipRectangles(Display* display, GC gc, int x, int y, XRectangle* rects, int n, int ordering) {
  clip_lists.emplace_back(rects, rects + n);
  using Real = int (*)(Display*, GC, int, int, XRectangle*, int, int);
  return reinterpret_cast<Real>(dlsym(RTLD_NEXT, "XSetClipRectangles"))(display, gc, x, y, rects, n, ordering);
}

namespace {

using platform::sdl::DisplayFacts;
using platform::sdl::Screen;

class X11Screens : public ::testing::Test {
 protected:
  void SetUp() override {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    window_ = SDL_CreateWindow("screens", 0, 0, 64, 48, 0);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
  }
  void TearDown() override {
    screen_.reset();
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
    SDL_ResetHints();
  }

  // Sets a point in each of the canvas's 64 x 48 pixels but one, of two colours in
  // turn, and presents; then the same with the colours swapped, so that each point
  // loses bits its colour had. True where the server shows them each time and took
  // them as the points going black, then a colour and its points for each of the ten
  // weights and patterns of the colours' bits, after at most a wait for the last put.
  bool DrawsOnTheSurface() {
    constexpr platform::Colour kSet[] = {platform::RGB(60, 60, 60), platform::RGB(200, 100, 60)};
    auto shown_as = [&](int i) { return platform::ToArgb(kSet[i]) & 0xFFFFFF; };
    constexpr unsigned long kMostRequests = 1 + 1 + 2 * 10;
    platform::Canvas canvas;
    canvas.Resize(64, 48, platform::ToArgb(platform::kBlack));
    screen_->DrawCanvas(canvas);
    screen_->Present();
    bool right = true;
    for (int swap = 0; swap < 2; ++swap) {
      for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
          if (x != 3 || y != 4)
            canvas.PSet(float(x * platform::kTwipsPerPixel), float(y * platform::kTwipsPerPixel),
                        kSet[(x + y + swap) % 2]);
      Display* display = Info().info.x11.display;
      const unsigned long before = XNextRequest(display);
      screen_->DrawCanvas(canvas);
      screen_->Present();
      const unsigned long requests = XNextRequest(display) - before;
      EXPECT_LE(requests, kMostRequests);
      const uint32_t odd = Shown(63, 46), even = Shown(63, 47), left = Shown(3, 4);
      EXPECT_EQ(left, 0u);
      EXPECT_EQ(odd, shown_as(1 - swap));
      EXPECT_EQ(even, shown_as(swap));
      right = right && odd == shown_as(1 - swap) && even == shown_as(swap) && left == 0 && requests <= kMostRequests;
    }
    return right;
  }

  SDL_SysWMinfo Info() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    EXPECT_TRUE(SDL_GetWindowWMInfo(window_, &info));
    return info;
  }
  // The colour the server shows at (x, y) of the window, 0xRRGGBB.
  uint32_t Shown(int x, int y) {
    const SDL_SysWMinfo info = Info();
    XImage* image = XGetImage(info.info.x11.display, info.info.x11.window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xFF000000u;
    const uint32_t rgb = uint32_t(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return rgb;
  }

  SDL_Window* window_ = nullptr;
  std::unique_ptr<Screen> screen_;
};

TEST_F(X11Screens, TheDisplayAsItIsTakesTheSurface) {
  screen_ = platform::sdl::MakeScreen(window_);
  EXPECT_STREQ(screen_->Name(), "surface");
  EXPECT_TRUE(DrawsOnTheSurface());
}

TEST_F(X11Screens, AGpuRendererThatFindsASoftwareGlGivesWayToTheSurface) {
  // As Mesa on a GPU would tell it; the context then names llvmpipe.
  screen_ = platform::sdl::MakeScreen(window_, DisplayFacts{"x11", true, true, "SGI", "", ""});
  EXPECT_STREQ(screen_->Name(), "surface");
  EXPECT_TRUE(DrawsOnTheSurface());
}

TEST_F(X11Screens, OnWaylandTheGlRendererIsKeptWhateverItsGl) {
  screen_ = platform::sdl::MakeScreen(window_, DisplayFacts{"wayland", false, false, "", "", ""});
  EXPECT_STREQ(screen_->Name(), "opengl");
}

TEST_F(X11Screens, ARendererNamedThatDoesNotExistGivesWayToTheSurface) {
  testing::internal::CaptureStderr();
  screen_ = platform::sdl::MakeScreen(window_, DisplayFacts{"x11", false, false, "SGI", "", "metal"});
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "the renderer SDL_RENDER_DRIVER=metal names: no such renderer; drawing without it\n");
  EXPECT_STREQ(screen_->Name(), "surface");
}

TEST_F(X11Screens, EachRendererNamedIsTaken) {
  for (const char* name : {"opengl", "opengles2", "software"}) {
    screen_ = platform::sdl::MakeScreen(window_, DisplayFacts{"x11", false, false, "SGI", "", name});
    EXPECT_STREQ(screen_->Name(), name);
    screen_.reset();
  }
}

// A frame drawn whole sends the canvas and the controls over it, and a control that
// moved a little sends where it was and where it is: overlapping parts, which go to
// the server as one clip list whose rectangles intersect nowhere.
TEST_F(X11Screens, EachClipListHoldsNoTwoRectanglesThatIntersect) {
  screen_ = platform::sdl::MakeScreen(window_);
  ASSERT_STREQ(screen_->Name(), "surface");
  platform::Canvas canvas;
  canvas.Resize(64, 48, platform::ToArgb(platform::kBlack));
  clip_lists.clear();
  for (const int x : {8, 9, 12}) {
    screen_->DrawCanvas(canvas);
    screen_->Fill({x, 8, 16, 16}, platform::RGB(255, 0, 0));
    screen_->Fill({x + 8, 16, 16, 16}, platform::RGB(0, 0, 255));
    screen_->Present();
  }
  ASSERT_EQ(clip_lists.size(), 3u);
  for (const std::vector<XRectangle>& list : clip_lists)
    for (size_t i = 0; i < list.size(); ++i)
      for (size_t j = i + 1; j < list.size(); ++j) {
        const SDL_Rect a{list[i].x, list[i].y, list[i].width, list[i].height};
        const SDL_Rect b{list[j].x, list[j].y, list[j].width, list[j].height};
        EXPECT_FALSE(SDL_HasIntersection(&a, &b)) << a.x << "," << a.y << " " << a.w << "x" << a.h << " and "
                                                  << b.x << "," << b.y << " " << b.w << "x" << b.h;
      }
  EXPECT_EQ(Shown(12, 10), 0xFF0000u);
  EXPECT_EQ(Shown(21, 20), 0x0000FFu);
  EXPECT_EQ(Shown(10, 10), 0u);  // where the red control stood before
}

// The points the server draws never reach the shared frame: where a control leaves
// one, or stands over it a frame, what shows is the canvas, dot included.
TEST_F(X11Screens, AControlMovingOffAPointTheServerDrewShowsThePoint) {
  screen_ = platform::sdl::MakeScreen(window_);
  ASSERT_STREQ(screen_->Name(), "surface");
  platform::Canvas canvas;
  canvas.Resize(64, 48, platform::ToArgb(platform::kBlack));
  screen_->DrawCanvas(canvas);
  screen_->Present();
  const platform::Colour grey = platform::RGB(140, 140, 140);
  canvas.PSet(10.0f * platform::kTwipsPerPixel, 10.0f * platform::kTwipsPerPixel, grey);
  screen_->DrawCanvas(canvas);
  screen_->Present();
  ASSERT_EQ(Shown(10, 10), 0x8C8C8Cu);
  for (const int x : {4, 6, 30}) {  // over the point, moved a little, then off it
    screen_->DrawCanvas(canvas);
    screen_->Fill({x, 8, 12, 4}, platform::RGB(0, 255, 0));
    screen_->Present();
  }
  EXPECT_EQ(Shown(10, 10), 0x8C8C8Cu);
  EXPECT_EQ(Shown(30, 10), 0x00FF00u);
}

// The X server's process, from its lock file, as xvfb-run starts it here.
pid_t ServerPid() {
  const char* display = std::getenv("DISPLAY");
  if (!display || display[0] != ':') return -1;
  std::ifstream lock("/tmp/.X" + std::to_string(std::atoi(display + 1)) + "-lock");
  pid_t pid = -1;
  lock >> pid;
  return pid;
}

// A frame is not drawn into again before the server has done the put that sent it:
// with the server stopped, the next frame waits for it, then shows.
TEST_F(X11Screens, AFrameIsNotDrawnIntoWhileTheServerMayStillBeReadingIt) {
  screen_ = platform::sdl::MakeScreen(window_);
  ASSERT_STREQ(screen_->Name(), "surface");
  const pid_t server = ServerPid();
  ASSERT_GT(server, 0);
  platform::Canvas canvas;
  canvas.Resize(64, 48, platform::ToArgb(platform::kBlack));
  auto frame = [&](platform::Colour colour) {
    screen_->DrawCanvas(canvas);
    screen_->Fill({8, 8, 16, 16}, colour);
    screen_->Present();
  };
  frame(platform::RGB(255, 0, 0));
  ASSERT_EQ(kill(server, SIGSTOP), 0);
  std::atomic<bool> drawn = false;
  std::thread next([&] {
    frame(platform::RGB(0, 255, 0));  // a control changed: a put
    frame(platform::RGB(0, 0, 255));
    drawn = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const bool drawn_while_stopped = drawn;
  kill(server, SIGCONT);
  next.join();
  EXPECT_FALSE(drawn_while_stopped) << "a frame was drawn into while the server had yet to take it";
  EXPECT_EQ(Shown(10, 10), 0x0000FFu);
}

}  // namespace
