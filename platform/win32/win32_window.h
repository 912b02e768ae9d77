// Form1 on Win32: the form over the primary monitor and a black window over each other
// one, its persistent pixels, and the event-processing step as a message pump.
#pragma once

#include <memory>
#include <vector>

// Before the Windows headers, whose macros RGB and SND_* would clash with them.
#include "platform/canvas.h"
#include "platform/platform.h"
#include "platform/shared/event_step.h"
#include "platform/shared/frame_pace.h"
#include "platform/shared/memory_budget.h"
#include "platform/shared/monitor_plan.h"
#include "platform/shared/window_state.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_pixels.h"

#include <windows.h>

namespace platform::win32 {

class Win32Window final : public Window, StepWindow {
 public:
  Win32Window(const FormLayout& layout, EventSink& sink, MemoryBudget& budget);
  ~Win32Window() override;

  Canvas& canvas() override { return canvas_; }
  void Show() override;
  void Unload() override;
  int16_t DoEvents() override;
  Sprite& sprite(int number) override { return *sprites_.at(size_t(number - 1)); }
  Label& label() override { return *label_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleBlank(HWND blank, UINT message, WPARAM wparam, LPARAM lparam);
  // Input from the form or a blank window: its place in twips from the form's corner when
  // it was shown, as if the form reached over every monitor.
  bool Input(HWND from, UINT message, WPARAM wparam, LPARAM lparam);
  void FollowMonitors();
  // Where the system's notice of a change of monitors does not come (Wine's, for a
  // change made outside it), the monitors are read again once a second.
  class WatchMonitors final : public StepChore {
   public:
    explicit WatchMonitors(Win32Window& window) : window_(window) {}
    void Step(uint64_t now_ms, bool ending) override;

   private:
    static constexpr uint64_t kEveryMs = 1000;
    Win32Window& window_;
    uint64_t next_ms_ = 0;
  };
  HWND MakeBlank(const Monitor& place) const;
  void Rescale();
  void ResizeBuffer(int width, int height);
  // StepWindow: the timer's ticks come as messages.
  bool EndRequested() override { return false; }
  void DispatchEvents() override;
  uint64_t NowMs() override { return GetTickCount64(); }
  bool TimerDue(uint64_t) override { return false; }
  void DrawFrame(uint64_t now_ms) override;
  void WaitForRefresh() override;
  // Notes what the banner and each sprite show now; true where any differs from what
  // was drawn last.
  bool LookAtControls(uint64_t now_ms);
  // The banner and every sprite into the DIB, as they show at now_ms.
  void DrawControls(uint64_t now_ms);
  // The whole canvas into the DIB and the controls over it; its rectangle.
  PixelRect DrawWhole(uint64_t now_ms);
  // Whether a pixel of the canvas lies under a control drawn last or to be drawn now.
  bool UnderAControl(Canvas::At at) const;

  WindowState state_;
  HWND hwnd_ = nullptr;
  int k_ = 1;  // the window's pixels to a 96-DPI pixel, each way
  FramePace pace_;
  double refresh_hz_ = 0;  // of the form's monitor; 0 where it tells none
  HDC memory_dc_ = nullptr;
  HBITMAP dib_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr;
  PixelBuffer bits_;  // the DIB section, at the window's size
  Canvas canvas_;     // in 96-DPI pixels
  uint32_t back_argb_;
  std::unique_ptr<Win32Label> label_;
  std::vector<std::unique_ptr<Win32Sprite>> sprites_;
  std::vector<Win32Sprite*> z_order_;
  // The banner and the sprites as they were drawn last, and as they are now: their
  // places in 96-DPI pixels and what they showed. The controls are opaque, so while
  // none changes none is drawn, and the canvas's changes under them stay hidden.
  struct ControlLook {
    PixelRect place;
    uint64_t look;
    bool operator==(const ControlLook&) const = default;
  };
  std::vector<ControlLook> drawn_, now_;
  uint64_t drawn_ms_ = 0;  // when the last frame was drawn
  std::vector<PixelRect> changed_;  // this frame's parts to show, kept so that no frame allocates
  PointBatch points_;               // and its changed pixels
  struct BlankWindow {
    HWND window;
    Monitor place;
  };
  std::vector<BlankWindow> blanks_;  // one per monitor besides the form's
  std::vector<Monitor> monitors_;  // as they were last followed
  WatchMonitors watch_monitors_{*this};
  POINT origin_{};             // the form's corner on the desktop when it was shown
  bool shown_ = false;
};

// Every monitor of the desktop, the primary marked, in the desktop's pixels.
std::vector<Monitor> Monitors();

}  // namespace platform::win32
