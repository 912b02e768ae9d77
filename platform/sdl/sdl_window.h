// Form1 over SDL: a borderless full-screen window with a persistent canvas, its
// banner, its sprites and its timer, and the event-processing step.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/shared/monitor_plan.h"
#include "platform/sdl/sdl_covers.h"
#include "platform/sdl/sdl_label.h"
#include "platform/sdl/sdl_screen.h"
#include "platform/sdl/sdl_sprite.h"
#include "platform/sdl/step_chore.h"
#include "platform/shared/frame_pace.h"
#include "platform/shared/memory_budget.h"
#include "platform/shared/pointer_moves.h"
#include "platform/platform.h"
#include "platform/shared/timer_clock.h"
#include "platform/shared/window_state.h"

namespace platform::sdl {

class SdlWindow final : public Window {
 public:
  // The form covers the primary monitor, and a black window each other one; both
  // follow the monitors as they change. With a host window (an X window id, as
  // XScreenSaver hands one over) the form draws into it at its size and leaves its
  // input, its pointer and the other monitors to the host. Each step gives each of
  // the platform's chores its turn, in order.
  SdlWindow(const FormLayout& layout, EventSink& sink, const std::string& app_path, MemoryBudget& budget,
            uintptr_t host_window = 0, std::vector<StepChore*> chores = {});
  ~SdlWindow() override;

  Canvas& canvas() override { return canvas_; }
  void Show() override;
  void Unload() override;
  int16_t DoEvents() override;
  Sprite& sprite(int number) override;
  Label& label() override { return *label_; }

  // The parts of one step, open to benchmarks.
  void Dispatch(const SDL_Event& event);
  void Compose(uint64_t now_ms);
  void Present() { screen_->Present(); }
  const char* Road() const { return screen_->Road(); }

 private:
  void SetIcon(const IconPicture& icon);
  std::vector<Monitor> Monitors() const;
  void FollowMonitors();
  void SettleMonitors();
  void FollowChangingMonitors(uint64_t now_ms);
  // An event's place, on the form or on a cover, in the form's units from where the
  // form's corner was when it was shown: as if the form reached over every monitor.
  // Where the monitors have just changed, the window system may have moved the
  // pointer itself: pointer_moves_ tells such a move from the person's.
  bool PlaceOnForm(uint32_t window_id, int x, int y, float* form_x, float* form_y);
  int DesktopScale() const;
  void ResizeCanvas();
  double DisplayRefreshHz() const;
  void WaitForRefresh();

  WindowState state_;
  SDL_Window* window_ = nullptr;
  int scale_ = 1;                                      // the window's pixels to a 96-DPI pixel, each way
  float event_twips_ = float(kTwipsPerPixel);          // twips to a unit of an event's place
  std::unique_ptr<Screen> screen_;
  Canvas canvas_;
  uint32_t back_argb_;
  std::unique_ptr<SdlLabel> label_;
  std::vector<std::unique_ptr<SdlSprite>> sprites_;  // AniGif1 .. AniGifN
  std::vector<SdlSprite*> z_order_;                  // creation order, first at the bottom
  FramePace pace_;
  double refresh_hz_ = 0;  // of the display that shows the form; 0 where it tells none
  TimerClock timer_;
  bool timer_enabled_;
  bool hosted_ = false;
  bool shown_ = false;
  bool monitors_changed_ = false;
  std::vector<StepChore*> chores_;
  Covers covers_;  // one per monitor besides the form's
  SDL_Point origin_{};               // the form's corner on the desktop when it was shown
  PointerMoves pointer_moves_;
  uint64_t next_follow_ms_ = 0;      // when the monitors are read again meanwhile
  uint64_t next_watch_ms_ = 0;       // when the window system's notices are next looked at
  static constexpr uint64_t kWatchEveryMs = 50;
};

}  // namespace platform::sdl
