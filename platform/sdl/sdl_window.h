// Form1 over SDL: a borderless full-screen window with a persistent canvas, its
// banner, its sprites and its timer, and the event-processing step.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sdl/sdl_label.h"
#include "platform/sdl/sdl_own_desktop.h"
#include "platform/sdl/sdl_screen.h"
#include "platform/sdl/sdl_sprite.h"
#include "platform/shared/event_step.h"
#include "platform/shared/frame_pace.h"
#include "platform/shared/memory_budget.h"
#include "platform/platform.h"
#include "platform/shared/timer_clock.h"
#include "platform/shared/window_state.h"

namespace platform::sdl {

class SdlWindow final : public Window, StepWindow {
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
  void DrawFrame(uint64_t now_ms) override;
  const char* ScreenName() const { return screen_->Name(); }

 private:
  // The desktop's look, each step, at the windows not shown yet and the monitors.
  class FollowMonitors final : public StepChore {
   public:
    explicit FollowMonitors(SdlWindow& window) : window_(window) {}
    void Step(uint64_t now_ms, bool ending) override;

   private:
    SdlWindow& window_;
  };

  // StepWindow
  bool EndRequested() override;
  void DispatchEvents() override;
  uint64_t NowMs() override { return SDL_GetTicks64(); }
  bool TimerDue(uint64_t now_ms) override { return timer_enabled_ && timer_.Due(now_ms); }
  void WaitForRefresh() override;

  void SetIcon(const IconPicture& icon);
  int DesktopScale() const;
  void ResizeCanvas();
  double DisplayRefreshHz() const;

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
  std::unique_ptr<Desktop> desktop_ = std::make_unique<HostedDesktop>();
  FollowMonitors follow_monitors_{*this};
  std::vector<StepChore*> chores_;  // the monitors followed first
};

}  // namespace platform::sdl
