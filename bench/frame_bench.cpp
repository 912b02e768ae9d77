// One batch of the render loop on the real SDL backend, at the size of the display
// it runs on: ten passes over the dots, then the event-processing step's frame (the
// changed canvas, the banner, the sprites, drawn and presented). Beside it the floor:
// a frame in which the canvas did not change.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "platform/sdl/sdl_platform.h"
#include "platform/sdl/sdl_window.h"
#include "saver/form1.h"
#include "scenes/divor/scene.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Split {
  double dots = 0, frame = 0;
  double Total() const { return dots + frame; }
};

}  // namespace

int main(int argc, char** argv) {
  const int batches = argc > 1 ? std::atoi(argv[1]) : 300;
  setenv("SDL_RENDER_VSYNC", "0", 1);
  platform::sdl::SdlPlatform platform("frame_bench");
  saver::Form1 form(scenes::divor::kScene, platform);
  auto& window = dynamic_cast<platform::sdl::SdlWindow&>(form.window());
  window.Show();
  window.DoEvents();
  form.SeedDots();

  auto run = [&](bool dots) {
    Split s;
    for (int b = 0; b < batches; ++b) {
      const auto t0 = Clock::now();
      if (dots)
        for (int pass = 0; pass < saver::Form1::kPassesPerStep; ++pass) form.DotPass();
      const auto t1 = Clock::now();
      window.DrawFrame(SDL_GetTicks64());
      const auto t2 = Clock::now();
      s.dots += Ms(t1 - t0), s.frame += Ms(t2 - t1);
    }
    s.dots /= batches, s.frame /= batches;
    return s;
  };

  run(true);  // warm up
  const Split floor = run(false);
  const Split tiles = run(true);
  const platform::Canvas& canvas = window.canvas();
  std::printf("display %dx%d, drawn on %s, %d batches of %d passes over %d dots\n", canvas.WidthPx(),
              canvas.HeightPx(), window.ScreenName(), batches, saver::Form1::kPassesPerStep,
              form.dot_count());
  std::printf("%-28s %8s %8s %8s\n", "ms per batch", "dots", "frame", "total");
  auto row = [](const char* name, const Split& s) {
    std::printf("%-28s %8.3f %8.3f %8.3f\n", name, s.dots, s.frame, s.Total());
  };
  row("unchanged frame (floor)", floor);
  row("batch, changed tiles", tiles);
  std::printf("batch / floor: %.2f\n", tiles.Total() / floor.Total());
  platform.system().End();
}
