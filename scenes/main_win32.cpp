// A deliverable's program on Windows: the engine given its scene, on the Win32
// platform. Built once per deliverable with SCENE_HEADER and SCENE_NAMESPACE.
#include "platform/win32/win32_platform.h"
#include "saver/form1.h"
#include SCENE_HEADER

int main() {
  const saver::Scene& scene = SCENE_NAMESPACE::kScene;
  platform::win32::Win32Platform platform(scene.name);
  saver::Run(scene, platform);
}
