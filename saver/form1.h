// Form1: the one window of a deliverable, owner of all its state, and its handlers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "saver/dots.h"
#include "saver/module1.h"
#include "saver/scene.h"

namespace saver {

class Form1 final : public platform::EventSink {
 public:
  static constexpr int kPassesPerStep = 10;
  static constexpr float kMoveThreshold = 1.0f;  // twips

  // Creates the window and its controls from the scene's layout.
  Form1(const Scene& scene, platform::Platform& platform);

  // Start-up, then the render loop; returns only when a second copy of a deliverable
  // that unloads and returns is found.
  void Form_Load();

  void Form_Activate() override;
  void Form_KeyDown(int16_t key_code, int16_t shift) override;
  void Form_MouseDown(int16_t button, int16_t shift, float x, float y) override;
  void Form_MouseMove(int16_t button, int16_t shift, float x, float y) override;
  void Timer2_Timer() override;

  // The pieces of the render loop, open to benchmarks.
  void SeedDots();
  void DotPass();

  DotTable& dots() { return Dots; }
  platform::Window& window() { return *window_; }
  int16_t dot_count() const { return DotCount; }

 private:
  void RenderLoop();
  void DotStep(int i, platform::Canvas& canvas);
  void TakeEndAction(EndAction action);
  void Walk(platform::Sprite& sprite);
  void Fly(platform::Sprite& sprite);
  float IntPartOfRndTimes(float extent);

  const Scene& scene_;
  platform::Platform& platform_;
  Module1 module1_;
  std::unique_ptr<platform::Window> window_;
  platform::Sprite* AniGif1 = nullptr;
  platform::Sprite* AniGif2 = nullptr;
  platform::Sprite* AniGif3 = nullptr;
  platform::Sprite* AniGif4 = nullptr;
  platform::Label* Label1 = nullptr;

  DotTable Dots;
  int16_t DotCount = 0;
  float MouseRefX = 0.0f;
  float MouseRefY = 0.0f;
  std::string SoundPath;
};

// Creates Form1, runs its load handler, and ends the program.
[[noreturn]] void Run(const Scene& scene, platform::Platform& platform);

}  // namespace saver
