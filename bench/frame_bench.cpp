// One batch of the render loop on the real SDL backend, at the size of the display
// it runs on: ten passes over the dots, then the event-processing step's work split
// into uploading the changed canvas tiles, composing and presenting. Beside it the
// floor: presenting a frame in which nothing changed.
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
  double dots = 0, upload = 0, compose = 0, present = 0;
  double Total() const { return dots + upload + compose + present; }
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

  SDL_Renderer* renderer = SDL_GetRenderer(SDL_GetWindowFromID(1));
  SDL_RendererInfo info{};
  if (renderer) SDL_GetRendererInfo(renderer, &info);

  auto run = [&](bool dots) {
    Split s;
    for (int b = 0; b < batches; ++b) {
      const auto t0 = Clock::now();
      if (dots)
        for (int pass = 0; pass < saver::Form1::kPassesPerStep; ++pass) form.DotPass();
      const auto t1 = Clock::now();
      window.UploadCanvas();
      const auto t2 = Clock::now();
      window.Compose(SDL_GetTicks64());
      const auto t3 = Clock::now();
      window.Present();
      const auto t4 = Clock::now();
      s.dots += Ms(t1 - t0), s.upload += Ms(t2 - t1), s.compose += Ms(t3 - t2), s.present += Ms(t4 - t3);
    }
    s.dots /= batches, s.upload /= batches, s.compose /= batches, s.present /= batches;
    return s;
  };

  run(true);  // warm up
  const Split floor = run(false);
  const Split tiles = run(true);
  const platform::Canvas& canvas = window.canvas();
  std::printf("display %dx%d, renderer %s, %d batches of %d passes over %d dots\n", canvas.WidthPx(),
              canvas.HeightPx(), info.name ? info.name : "?", batches, saver::Form1::kPassesPerStep,
              form.dot_count());
  std::printf("%-28s %8s %8s %8s %8s %8s\n", "ms per batch", "dots", "upload", "compose", "present",
              "total");
  auto row = [](const char* name, const Split& s) {
    std::printf("%-28s %8.3f %8.3f %8.3f %8.3f %8.3f\n", name, s.dots, s.upload, s.compose, s.present,
                s.Total());
  };
  row("unchanged frame (floor)", floor);
  row("batch, changed tiles", tiles);
  std::printf("batch / floor: %.2f\n", tiles.Total() / floor.Total());
  platform.system().End();
}
