// A scripted platform for unit tests: a manual clock, scripted random numbers,
// scripted events per event-processing step, and a log of every call.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/shared/window_state.h"

namespace platform::fake {

// Thrown by System::End, so that a test can run Form_Load to its end.
struct ProgramEnded {};

// One scripted happening inside an event-processing step.
struct Event {
  enum Kind { kKey, kButton, kMove, kTick, kClose, kResize, kFocusLost, kFocusGained } kind;
  float x = 0, y = 0;  // kMove: twips; kResize: pixels
};

class FakePlatform;

class FakeSprite final : public Sprite {
 public:
  FakeSprite(FakePlatform& platform, const SpriteLayout& layout);
  void SetPictureFile(const std::string& path) override;
  float Left() const override { return left_; }
  void SetLeft(float twips) override;
  float Top() const override { return top_; }
  void SetTop(float twips) override;
  float Height() const override { return height_; }

  std::string name;
  std::string picture_file;
  std::vector<SavedProperty> properties;  // as received at creation

 private:
  FakePlatform& platform_;
  float left_, top_, height_;
};

class FakeLabel final : public Label {
 public:
  FakeLabel(FakePlatform& platform, const LabelLayout& layout);
  void SetForeColor(Colour colour) override;
  // What a test reads back.
  Colour ForeColor() const { return fore_color_; }
  const std::string& Caption() const { return caption_; }

 private:
  FakePlatform& platform_;
  Colour fore_color_;
  std::string caption_;
};

// The window over the shared window rules; it notes each activation in the log as the
// rules call the handler.
class FakeWindow final : public Window, EventSink {
 public:
  FakeWindow(FakePlatform& platform, const FormLayout& layout, EventSink& sink);
  Canvas& canvas() override { return canvas_; }
  void Show() override;
  void Unload() override;
  int16_t DoEvents() override;
  Sprite& sprite(int number) override;
  Label& label() override { return *label_; }

  bool loaded() const { return state_.loaded(); }
  FakeSprite& fake_sprite(int number) { return *sprites_.at(size_t(number - 1)); }
  FakeLabel& fake_label() { return *label_; }

 private:
  void Deliver(const Event& event);
  void Form_Activate() override;
  void Form_KeyDown(int16_t key_code, int16_t shift) override { sink_.Form_KeyDown(key_code, shift); }
  void Form_MouseDown(int16_t b, int16_t s, float x, float y) override { sink_.Form_MouseDown(b, s, x, y); }
  void Form_MouseMove(int16_t b, int16_t s, float x, float y) override { sink_.Form_MouseMove(b, s, x, y); }
  void Timer2_Timer() override { sink_.Timer2_Timer(); }

  FakePlatform& platform_;
  EventSink& sink_;
  WindowState state_{*this};
  Canvas canvas_;
  std::vector<std::unique_ptr<FakeSprite>> sprites_;
  std::unique_ptr<FakeLabel> label_;
};

class FakePlatform final : public Platform, Pointer, Media, Random, System {
 public:
  FakePlatform();

  // --- the script ---
  bool prev_instance = false;
  std::string app_path = "/opt/saver";
  int width_px = 800, height_px = 600;  // the screen
  // Events for each event-processing step in turn; once they run out, the system
  // closes the window, so that every run ends.
  std::deque<std::vector<Event>> steps;
  // Called at the start of every step with its number (1 for the first).
  std::function<void(int step)> on_step;
  // Called with every line as it is logged, so that a test can act between two calls.
  std::function<void(const std::string& line)> on_note;
  // Random numbers in order; once they run out, Rnd gives `rnd_default`.
  std::deque<float> rnd;
  float rnd_default = 0.5f;
  bool log_points = true;  // record every point set

  // --- what happened ---
  std::vector<std::string> log;
  void Note(std::string line);
  std::vector<Canvas::TracedPoint> points;
  int pointer_count = 0;
  int rnd_calls = 0;
  int step_count = 0;
  FakeWindow* window = nullptr;

  // Lines of the log that start with prefix.
  std::vector<std::string> Calls(const std::string& prefix) const;

  // Platform
  std::unique_ptr<Window> CreateForm(const FormLayout& layout, EventSink& sink) override;
  Pointer& pointer() override { return *this; }
  Media& media() override { return *this; }
  Random& random() override { return *this; }
  System& system() override { return *this; }

  // Pointer, Media, Random, System
  int ShowCursor(bool show) override;
  uint32_t mciSendString(const std::string& command) override;
  bool sndPlaySound(const char* name, uint32_t flags) override;
  void Randomize() override;
  float Rnd() override;
  bool PrevInstance() override;
  std::string AppPath() override;
  void EndProgram() override;
};

// A float as the log writes it: the shortest text that reads back the same.
std::string Num(float value);

}  // namespace platform::fake
