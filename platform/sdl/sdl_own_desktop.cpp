// The program's own window on the desktop. Implements: OwnDesktop.
#include "platform/sdl/sdl_own_desktop.h"

#include <cstdlib>

#include "platform/sdl/sdl_process.h"
#include "platform/sdl/sdl_window_system.h"
#include "platform/sdl/sdl_x11.h"
#include "platform/shared/monitor_plan.h"

namespace platform::sdl {

SDL_Window* OwnDesktop::MakeForm(const std::string& caption) {
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(0, &bounds) != 0) {
    Report("display bounds");
    std::exit(1);
  }
  // With no window manager a full-screen window asked for at 0 x 0 stays 1 x 1,
  // so the desktop's place and size are given explicitly.
  SDL_Window* form = SDL_CreateWindow(caption.c_str(), bounds.x, bounds.y, bounds.w, bounds.h,
                                      SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | WindowSystem::Current().FullScreenFlag() |
                                          SDL_WINDOW_SKIP_TASKBAR | SDL_WINDOW_ALLOW_HIGHDPI);
  if (!form) {
    Report("create window");
    std::exit(1);
  }
  return form;
}

// Where the program places its windows (X11), the form is placed here; a window
// manager may place it itself, by the full-screen state it asks for. Elsewhere it is
// full screen on the output it was made on, and stays.
void OwnDesktop::Follow() {
  const WindowSystem& system = WindowSystem::Current();
  SDL_Rect desktop{};
  if (SDL_GetDisplayBounds(0, &desktop) != 0) desktop = {};
  Monitor form;
  SDL_GetWindowPosition(form_, &form.x, &form.y);
  SDL_GetWindowSize(form_, &form.w, &form.h);
  const MonitorPlan plan = PlanMonitors(system.Monitors(form_), {desktop.x, desktop.y, desktop.w, desktop.h}, form);
  if (system.PlacesWindows()) {
    if (form.x != plan.form.x || form.y != plan.form.y) SDL_SetWindowPosition(form_, plan.form.x, plan.form.y);
    if (form.w != plan.form.w || form.h != plan.form.h) SDL_SetWindowSize(form_, plan.form.w, plan.form.h);
  }
  if (blanks_.Follow(plan.blanks) && shown_) SDL_SetCursor(nullptr);  // the pointer's look on the new windows too
}

void OwnDesktop::Watch() {
  WindowSystem::Current().PrepareForm(form_);
  WatchMonitors(form_);
}

void OwnDesktop::MonitorsNoticed() {
  monitors_changed_ = true;
  pointer_moves_.MonitorsChanged(SDL_GetTicks64());
}

bool OwnDesktop::FollowChanging(uint64_t now_ms) {
  AskAgain(now_ms);
  if (now_ms >= next_watch_ms_) {
    next_watch_ms_ = now_ms + kWatchEveryMs;
    if (MonitorsChanged(/*up_to_now=*/false)) MonitorsNoticed();
  }
  if (!monitors_changed_ && (!pointer_moves_.Settling(now_ms) || now_ms < next_follow_ms_)) return false;
  monitors_changed_ = false;
  next_follow_ms_ = now_ms + PointerMoves::kSettleMs / 10;
  Follow();
  return true;
}

void OwnDesktop::Show() {
  blanks_.Show();
  SDL_GetWindowPosition(form_, &origin_.x, &origin_.y);
  WindowSystem::Current().Show(form_);
  shown_ = true;
  ask_again_ms_ = SDL_GetTicks64() + kAskAgainMs;
}

// Raising a window or giving it the keyboard means nothing before it is mapped, so
// both wait for the window system to show it. A blank window shown late may lie
// over the form where monitors overlap: the form is raised again.
void OwnDesktop::Shown(uint32_t window_id) {
  if (window_id == SDL_GetWindowID(form_)) {
    form_seen_ = true;
    SDL_RaiseWindow(form_);
    SDL_SetWindowInputFocus(form_);
  } else if (blanks_.Shown(window_id) && form_seen_) {
    SDL_RaiseWindow(form_);
  }
}

// A window manager that is starting, or that is replaced, may lose a request to map
// a window, and nothing would ask for it again.
void OwnDesktop::AskAgain(uint64_t now_ms) {
  if (!shown_ || now_ms < ask_again_ms_) return;
  ask_again_ms_ = now_ms + kAskAgainMs;
  if (!form_seen_) WindowSystem::Current().Show(form_);
  blanks_.AskAgain();
}

bool OwnDesktop::PlaceOnForm(uint32_t window_id, int x, int y, float twips_per_unit, float* form_x, float* form_y) {
  SDL_Window* window = SDL_GetWindowFromID(window_id);
  if (!window) return false;
  PointerMoves::Place pointer;
  // Asked of the server where it can be: the place SDL knows of a window that has
  // just moved may be out of date.
  if (!X11Pointer(form_, &pointer.x, &pointer.y)) {
    SDL_GetWindowPosition(window, &pointer.x, &pointer.y);
    pointer.x += x;
    pointer.y += y;
  }
  // The server may have moved the pointer off a monitor it has just taken away: its
  // notice of the change, and of any device's motion, sent before, is waited for.
  if (pointer_moves_.Known() && !(pointer == pointer_moves_.Last()) && MonitorsChanged(/*up_to_now=*/true))
    MonitorsNoticed();
  const PointerMoves::Place moved = pointer_moves_.Read(pointer, SDL_GetTicks64(), DeviceMoved());
  *form_x = float(moved.x - origin_.x) * twips_per_unit;
  *form_y = float(moved.y - origin_.y) * twips_per_unit;
  return true;
}

}  // namespace platform::sdl
