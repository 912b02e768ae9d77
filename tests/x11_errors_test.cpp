// X errors about the window drawn into: only one saying that the window is gone
// (BadWindow, BadDrawable) ends the process, with status 0. The id an error carries names something
// else for other codes, which may have the window's id. Any other error is told on
// standard error, a repeated one at its 1st, 10th, 100th, ... time.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sdl/sdl_x11.h"

namespace {

TEST(XErrors, OnlyAnErrorThatTheWindowIsGoneEndsTheProcess) {
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
  // Drawing into a pixmap id that names nothing: BadDrawable, about another id.
  XClearWindow(display, info.info.x11.window + 1000);
  XSync(display, False);
  // The window itself destroyed behind SDL's back, then its size asked: the
  // process ends inside the call, before the caller could use what it left unset.
  testing::FLAGS_gtest_death_test_style = "fast";
  const auto destroy_then_ask_its_size = [&] {
    XDestroyWindow(display, info.info.x11.window);
    Window root;
    int x, y;
    unsigned width, height, border, depth;
    XGetGeometry(display, info.info.x11.window, &root, &x, &y, &width, &height, &border, &depth);
    std::fprintf(stderr, "went on after the error\n");
    std::abort();
  };
  EXPECT_EXIT(destroy_then_ask_its_size(), testing::ExitedWithCode(0), "^$");
  // As in the programs, the window and the display's connection go with the
  // process: SDL's own ending would destroy the window again, and report it.
}

}  // namespace
