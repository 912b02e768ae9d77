// A deliverable's program: the engine given its scene, on the platform it is built
// for. Built once per deliverable and backend, with SCENE_HEADER and SCENE_NAMESPACE
// naming its scene and PLATFORM_HEADER and PLATFORM_CLASS its platform.
#include PLATFORM_HEADER
#include "saver/form1.h"
#include SCENE_HEADER

int main() {
  const saver::Scene& scene = SCENE_NAMESPACE::kScene;
  PLATFORM_CLASS platform(scene.name);
  saver::Run(scene, platform);
}
