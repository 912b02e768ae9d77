// The rules of Form1's window that every backend shares: whether it is still loaded,
// whether it is the active window, when its activation handler runs, and that no
// handler runs once it is unloaded. A backend translates its window system's events
// into these calls and does nothing of its own about them.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace platform {

class WindowState {
 public:
  explicit WindowState(EventSink& sink) : sink_(sink) {}

  bool loaded() const { return loaded_; }

  // Showing makes the window active: its activation handler runs in the next
  // event-processing step.
  void Shown() {
    if (!active_) activation_pending_ = true;
  }
  // The window system gave the window the focus. Each time it comes back is another
  // activation; inside a step the handler runs at once, otherwise at the next step.
  void FocusGained() {
    if (active_ || activation_pending_) return;
    if (in_step_) {
      Activate();
    } else {
      activation_pending_ = true;
    }
  }
  void FocusLost() { active_ = false; }
  // Closes the window: no handler runs again, and the step returns 0. Returns whether
  // it was loaded until now.
  bool Unload() {
    const bool was = loaded_;
    loaded_ = false;
    return was;
  }

  // Brackets one event-processing step. BeginStep runs an activation that showing
  // earned and says whether the window is still loaded; EndStep gives the step's result.
  bool BeginStep() {
    in_step_ = true;
    if (loaded_ && activation_pending_) Activate();
    return loaded_;
  }
  int16_t EndStep() {
    in_step_ = false;
    return loaded_ ? 1 : 0;
  }

  // Input and the timer reach their handlers only while the window is loaded: a
  // handler that unloads it ends the step for every event after it.
  void KeyDown(int16_t key_code, int16_t shift) {
    if (loaded_) sink_.Form_KeyDown(key_code, shift);
  }
  void MouseDown(int16_t button, int16_t shift, float x, float y) {
    if (loaded_) sink_.Form_MouseDown(button, shift, x, y);
  }
  void MouseMove(int16_t button, int16_t shift, float x, float y) {
    if (loaded_) sink_.Form_MouseMove(button, shift, x, y);
  }
  void Tick() {
    if (loaded_) sink_.Timer2_Timer();
  }

 private:
  void Activate() {
    activation_pending_ = false;
    active_ = true;
    if (loaded_) sink_.Form_Activate();
  }

  EventSink& sink_;
  bool loaded_ = true;
  bool active_ = false;
  bool activation_pending_ = false;
  bool in_step_ = false;
};

}  // namespace platform
