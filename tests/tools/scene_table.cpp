// scene_table <file>: writes, as JSON, the places of every deliverable's banner and
// sprites in twips, and how its sprites move at each tick of its timer, from the
// scenes themselves, for the end-to-end tests.
#include <cstdio>

#include "saver/scene.h"
#include "scene_list.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: scene_table <file>\n");
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (!out) return 1;
  auto place = [&](const platform::Rect& r) {
    std::fprintf(out, "[%g, %g, %g, %g]", double(r.left), double(r.top), double(r.width), double(r.height));
  };
  std::fprintf(out, "{\n");
  bool first = true;
  for (const saver::Scene* scene : scenes::kAll) {
    std::fprintf(out, "%s  \"%.*s\": {\"banner\": ", first ? "" : ",\n", int(scene->name.size()), scene->name.data());
    place(scene->layout.label.place);
    std::fprintf(out, ", \"sprites\": [");
    for (int i = 0; i < scene->layout.sprite_count; ++i) {
      if (i) std::fprintf(out, ", ");
      place(scene->layout.sprites[size_t(i)].place);
    }
    std::fprintf(out, "], \"parade\": {\"moves\": %s, \"tick_ms\": %d, \"walk_step\": %g, \"fly_step\": %g, "
                 "\"walk_restart\": %g, \"fly_overshoot\": %g, \"fly_restart\": %g}}",
                 scene->sprites_move ? "true" : "false", scene->layout.timer.interval_ms, double(scene->WalkStep),
                 double(scene->FlyStep), double(scene->WalkRestart), double(scene->FlyOvershoot),
                 double(scene->FlyRestart));
    first = false;
  }
  std::fprintf(out, "\n}\n");
  return std::fclose(out) == 0 ? 0 : 1;
}
