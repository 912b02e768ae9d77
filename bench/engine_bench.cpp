// The dot field alone: dot steps per second of the engine on a canvas, with no
// window layer below it.
#include <benchmark/benchmark.h>

#include "platform/fake/fake_platform.h"
#include "saver/form1.h"
#include "scenes/Rerarir/scene.h"
#include "scenes/divor/scene.h"

namespace {

void DotPasses(benchmark::State& state, const saver::Scene& scene) {
  platform::fake::FakePlatform fake;
  fake.log_points = false;
  fake.width_px = 1920;
  fake.height_px = 1080;
  saver::Form1 form(scene, fake);
  form.SeedDots();
  for (auto _ : state) {
    form.DotPass();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * form.dot_count());
  state.counters["dot_steps_per_s"] =
      benchmark::Counter(double(state.iterations()) * form.dot_count(), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(DotPasses, divor, scenes::divor::kScene);
BENCHMARK_CAPTURE(DotPasses, Rerarir, scenes::Rerarir::kScene);  // respawns most often

}  // namespace

BENCHMARK_MAIN();
