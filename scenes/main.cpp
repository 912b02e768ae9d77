// A deliverable's program: the engine given its scene, on the SDL platform. Built
// once per deliverable with SCENE_HEADER and SCENE_NAMESPACE naming its scene.
#include "platform/sdl/sdl_platform.h"
#include "saver/form1.h"
#include SCENE_HEADER

int main() {
  const saver::Scene& scene = SCENE_NAMESPACE::kScene;
  platform::sdl::SdlPlatform platform(scene.name);
  saver::Run(scene, platform);
}
