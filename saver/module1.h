// Module1: the shutdown procedure and the two sound starters.
#pragma once

#include <string>

#include "platform/platform.h"
#include "saver/scene.h"

namespace saver {

class Module1 {
 public:
  Module1(const Scene& scene, platform::Platform& platform) : scene_(scene), platform_(platform) {}

  // Shows the pointer, stops the deliverable's sound and ends the program.
  [[noreturn]] void ExitSaver();
  // Opens the MIDI file at path under the alias BackgroundMusic and plays it once.
  void StartMusic(const std::string& path);
  // Loops the wave file at path until it is stopped.
  void PlayLoopSound(const std::string& path);

 private:
  const Scene& scene_;
  platform::Platform& platform_;
};

}  // namespace saver
