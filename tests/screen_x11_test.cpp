// The roads as a real X display takes them (run under Xvfb, whose GL is Mesa's
// software rasteriser): a GPU road that finds a software GL in its context gives way
// to the window's surface on X11, keeps its renderer on Wayland, and a renderer named
// that does not exist gives way too.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <memory>

#include "platform/canvas.h"
#include "platform/colour.h"
#include "platform/sdl/sdl_screen.h"

namespace {

using platform::sdl::DisplayFacts;
using platform::sdl::Screen;

class X11Roads : public ::testing::Test {
 protected:
  void SetUp() override {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    window_ = SDL_CreateWindow("roads", 0, 0, 64, 48, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
  }
  void TearDown() override {
    screen_.reset();
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
    SDL_ResetHints();
  }

  // Draws one point and presents; true where the window's surface shows it.
  bool DrawsOnTheSurface() {
    platform::Canvas canvas;
    canvas.Resize(64, 48, platform::ToArgb(platform::kBlack));
    canvas.PSet(float(3 * platform::kTwipsPerPixel), float(4 * platform::kTwipsPerPixel), platform::RGB(60, 60, 60));
    screen_->DrawCanvas(canvas);
    screen_->Present();
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    uint32_t pixel;
    std::memcpy(&pixel, static_cast<const uint8_t*>(surface->pixels) + 4 * surface->pitch + 3 * 4, 4);
    uint8_t r, g, b;
    SDL_GetRGB(pixel, surface->format, &r, &g, &b);
    return r == 60 && g == 60 && b == 60 && !screen_->Sent().empty();
  }

  SDL_Window* window_ = nullptr;
  std::unique_ptr<Screen> screen_;
};

TEST_F(X11Roads, TheDisplayAsItIsTakesTheSurface) {
  screen_ = std::make_unique<Screen>(window_);
  EXPECT_STREQ(screen_->Road(), "surface");
  EXPECT_TRUE(DrawsOnTheSurface());
}

TEST_F(X11Roads, AGpuRoadThatFindsASoftwareGlGivesWayToTheSurface) {
  // As Mesa on a GPU would tell it; the context then names llvmpipe.
  screen_ = std::make_unique<Screen>(window_, DisplayFacts{"x11", true, true, "SGI", "", ""});
  EXPECT_STREQ(screen_->Road(), "surface");
  EXPECT_TRUE(DrawsOnTheSurface());
}

TEST_F(X11Roads, OnWaylandTheGlRendererIsKeptWhateverItsGl) {
  screen_ = std::make_unique<Screen>(window_, DisplayFacts{"wayland", false, false, "", "", ""});
  EXPECT_STREQ(screen_->Road(), "opengl");
}

TEST_F(X11Roads, ARendererNamedThatDoesNotExistGivesWayToTheSurface) {
  testing::internal::CaptureStderr();
  screen_ = std::make_unique<Screen>(window_, DisplayFacts{"x11", false, false, "SGI", "", "metal"});
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "the renderer SDL_RENDER_DRIVER=metal names: no such renderer; drawing without it\n");
  EXPECT_STREQ(screen_->Road(), "surface");
}

TEST_F(X11Roads, EachRendererNamedIsTaken) {
  for (const char* name : {"opengl", "opengles2", "software"}) {
    screen_ = std::make_unique<Screen>(window_, DisplayFacts{"x11", false, false, "SGI", "", name});
    EXPECT_STREQ(screen_->Road(), name);
    screen_.reset();
  }
}

}  // namespace
