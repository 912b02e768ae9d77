// X errors about the window drawn into: only one saying that the window is gone
// (BadWindow, BadDrawable) marks it lost. The id an error carries names something
// else for other codes, which may have the window's id. Any other error is told on
// standard error, a repeated one at its 1st, 10th, 100th, ... time.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include "platform/sdl/sdl_x11.h"

namespace {

TEST(XErrors, OnlyAnErrorThatTheWindowIsGoneMarksItLost) {
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* window = SDL_CreateWindow("errors", 0, 0, 32, 32, SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr);
  platform::sdl::GuardXlib(window);
  platform::sdl::WatchWindow(window);
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  ASSERT_TRUE(SDL_GetWindowWMInfo(window, &info));
  Display* display = info.info.x11.display;
  // The window's id given as a cursor: BadCursor, naming that id; a hundred times,
  // as a broken frame would repeat an error every frame.
  testing::internal::CaptureStderr();
  for (int i = 0; i < 100; ++i) XDefineCursor(display, info.info.x11.window, Cursor(info.info.x11.window));
  XSync(display, False);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "display: X error 6 on request 2.0; ignored\n"
            "display: X error 6 on request 2.0, 10 times; ignored\n"
            "display: X error 6 on request 2.0, 100 times; ignored\n");
  EXPECT_FALSE(platform::sdl::WindowLost());
  // Drawing into a pixmap id that names nothing: BadDrawable, about another id.
  XClearWindow(display, info.info.x11.window + 1000);
  XSync(display, False);
  EXPECT_FALSE(platform::sdl::WindowLost());
  // The window itself destroyed behind SDL's back, then drawn into.
  XDestroyWindow(display, info.info.x11.window);
  XClearWindow(display, info.info.x11.window);
  XSync(display, False);
  EXPECT_TRUE(platform::sdl::WindowLost());
  // As in the programs, the window and the display's connection go with the
  // process: SDL's own ending would destroy the window again, and report it.
}

}  // namespace
