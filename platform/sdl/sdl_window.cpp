// Form1 over SDL. Implements: the window (creation from the layout, show, unload,
// the event-processing step, presenting).
#include "platform/sdl/sdl_window.h"

#include <algorithm>
#include <cstdio>

#include "platform/sdl/sdl_process.h"
#include "platform/sdl/sdl_x11.h"

namespace platform::sdl {

namespace {

// Key, button and modifier codes as the handlers receive them.
int16_t ShiftState(uint16_t mod) {
  return int16_t(((mod & KMOD_SHIFT) ? 1 : 0) | ((mod & KMOD_CTRL) ? 2 : 0) | ((mod & KMOD_ALT) ? 4 : 0));
}

int16_t Button(uint8_t sdl_button) {
  switch (sdl_button) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 4;
    default: return int16_t(8 << (sdl_button - SDL_BUTTON_X1));
  }
}

// The key codes of the window system the handlers were written for: letters as
// their capitals, digits, and the common named keys; any other key keeps SDL's code.
int16_t VirtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return int16_t('A' + (key - SDLK_a));
  if (key >= SDLK_F1 && key <= SDLK_F12) return int16_t(0x70 + (key - SDLK_F1));
  switch (key) {
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 0x10;
    case SDLK_LCTRL: case SDLK_RCTRL: return 0x11;
    case SDLK_LALT: case SDLK_RALT: return 0x12;
    case SDLK_LEFT: return 0x25;
    case SDLK_UP: return 0x26;
    case SDLK_RIGHT: return 0x27;
    case SDLK_DOWN: return 0x28;
    case SDLK_DELETE: return 0x2E;
    default: return int16_t(key & 0x7FFF);  // digits, space, return, escape, tab are alike
  }
}

int16_t Buttons(uint32_t state) {
  return int16_t(((state & SDL_BUTTON_LMASK) ? 1 : 0) | ((state & SDL_BUTTON_RMASK) ? 2 : 0) |
                 ((state & SDL_BUTTON_MMASK) ? 4 : 0));
}

}  // namespace

SdlWindow::SdlWindow(const FormLayout& layout, EventSink& sink, const std::string& app_path,
                     MemoryBudget& budget, uintptr_t host_window, std::vector<StepChore*> chores)
    : state_(sink), back_argb_(ToArgb(InStandardScheme(layout.back_color))),
      timer_(layout.timer.interval_ms, SDL_GetTicks64()), timer_enabled_(layout.timer.enabled),
      hosted_(host_window != 0), chores_(std::move(chores)) {
  if (hosted_) {
    window_ = SDL_CreateWindowFrom(reinterpret_cast<const void*>(host_window));
    if (!window_) {
      std::fprintf(stderr, "draw into the host window 0x%lx: %s\n", static_cast<unsigned long>(host_window),
                   SDL_GetError());
      std::exit(1);
    }
  }
  SDL_Rect bounds;
  if (!hosted_ && SDL_GetDisplayBounds(0, &bounds) != 0) {
    Report("display bounds");
    std::exit(1);
  }
  // With no window manager a full-screen window asked for at 0 x 0 stays 1 x 1,
  // so the desktop's place and size are given explicitly.
  const std::string caption(layout.caption);
  if (!hosted_) {
    const uint32_t full_screen = IsX11() ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP;
    window_ = SDL_CreateWindow(caption.c_str(), bounds.x, bounds.y, bounds.w, bounds.h,
                               SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | full_screen |
                                   SDL_WINDOW_SKIP_TASKBAR | SDL_WINDOW_ALLOW_HIGHDPI);
  }
  if (!window_) {
    Report("create window");
    std::exit(1);
  }
  GuardXlib(window_);
  // The first monitor SDL names is not always the primary one, and SDL sees none of
  // the monitors made by hand: the form goes where the window system says, before
  // it is shown, and the other monitors get their covers.
  if (!hosted_) FollowMonitors();
  scale_ = DesktopScale();
  // The screen next: a GL renderer makes its context on a native window of its own,
  // and the one made above is destroyed. What follows is asked of the window that
  // will be drawn into.
  screen_ = std::make_unique<Screen>(window_, scale_);
  if (!hosted_ && IsX11()) AskForFullScreenAtMapping(window_);
  WatchWindow(window_);
  if (!hosted_) WatchMonitors(window_);
  // No text is ever typed here; with text input on, SDL's input-method support
  // would reach for a session bus at the first focus and, where none runs, start one.
  SDL_StopTextInput();
  if (!hosted_) SetIcon(layout.icon);
  ResizeCanvas();
  refresh_hz_ = DisplayRefreshHz();

  sprites_.resize(size_t(layout.sprite_count));
  for (int i = 0; i < layout.ControlCount(); ++i) {
    const ControlRef control = layout.creation_order[size_t(i)];
    switch (control.kind) {
      case ControlRef::kSprite: {
        const SpriteLayout& s = layout.sprites[control.sprite - 1];
        auto sprite = std::make_unique<SdlSprite>(*screen_, budget, s, app_path);
        z_order_.push_back(sprite.get());
        sprites_[control.sprite - 1] = std::move(sprite);
        break;
      }
      case ControlRef::kLabel:
        label_ = std::make_unique<SdlLabel>(*screen_, layout.label, scale_);
        break;
      case ControlRef::kTimer:
        break;  // its interval and state were taken above
    }
  }
}

void SdlWindow::SetIcon(const IconPicture& icon) {
  if (!icon.rgba) return;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint8_t*>(icon.rgba), icon.width, icon.height, 32, icon.width * 4,
      SDL_PIXELFORMAT_RGBA32);
  if (!surface) return Report("window icon");
  SDL_SetWindowIcon(window_, surface);
  SDL_FreeSurface(surface);
}

SdlWindow::~SdlWindow() {
  sprites_.clear();
  label_.reset();
  screen_.reset();
  if (window_) SDL_DestroyWindow(window_);
}

// Where the desktop is scaled, what it tells every program: on Wayland the output's
// scale (the window's pixels to its size), on X11 the desktop's settings.
int SdlWindow::DesktopScale() const {
  DensityFacts density;
  AddX11Density(window_, &density);
  int w = 0, h = 0, pixels_w = 0, pixels_h = 0;
  SDL_GetWindowSize(window_, &w, &h);
  SDL_GetWindowSizeInPixels(window_, &pixels_w, &pixels_h);
  if (!IsX11() && w > 0) density.output_scale = double(pixels_w) / double(w);
  return ScaleFactor(density);
}

std::vector<Monitor> SdlWindow::Monitors() const {
  if (IsX11()) return X11Monitors(window_);
  // Elsewhere SDL's displays are the monitors, the first being the primary.
  std::vector<Monitor> monitors;
  for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(i, &bounds) == 0) monitors.push_back({bounds.x, bounds.y, bounds.w, bounds.h, i == 0});
  }
  return monitors;
}

// Places the form on its monitor and a cover on each other one. On X11 the form is
// placed here; a window manager may place it itself, by the full-screen state it
// asks for. Elsewhere it is full screen on the output it was made on, and stays.
void SdlWindow::FollowMonitors() {
  SDL_Rect desktop{};
  if (SDL_GetDisplayBounds(0, &desktop) != 0) desktop = {};
  Monitor form;
  SDL_GetWindowPosition(window_, &form.x, &form.y);
  SDL_GetWindowSize(window_, &form.w, &form.h);
  const MonitorPlan plan = PlanMonitors(Monitors(), {desktop.x, desktop.y, desktop.w, desktop.h}, form);
  if (IsX11()) {
    if (form.x != plan.form.x || form.y != plan.form.y) SDL_SetWindowPosition(window_, plan.form.x, plan.form.y);
    if (form.w != plan.form.w || form.h != plan.form.h) SDL_SetWindowSize(window_, plan.form.w, plan.form.h);
  }
  const bool made = covers_.Follow(plan.covers);
  if (made && shown_) {
    SDL_RaiseWindow(window_);
    SDL_SetCursor(nullptr);  // the pointer's look, hidden or not, on the new windows too
  }
  if (screen_) refresh_hz_ = DisplayRefreshHz();  // a new monitor, or a new mode, sets a new pace
}

double SdlWindow::DisplayRefreshHz() const {
  if (IsX11()) return X11RefreshHz(window_);
  SDL_DisplayMode mode;
  return SDL_GetWindowDisplayMode(window_, &mode) == 0 ? mode.refresh_rate : 0;
}

// The next batch starts at the display's next refresh, whichever road drew the frame:
// on the GL road the swap already waited for the refresh and the wait is short, or
// none, unless the swap interval is ignored. A signal cuts the wait short.
void SdlWindow::WaitForRefresh() {
  SleepUnlessSignalled(pace_.WaitNs(NowNs(), refresh_hz_));
}

void SdlWindow::SettleMonitors() {
  monitors_changed_ = true;
  pointer_moves_.MonitorsChanged(SDL_GetTicks64());
}

// A change of monitors comes as several requests to the server, each told apart:
// the monitors are read at once, and again every tenth of the settling time after
// the last notice, so that a step that comes between two requests is made good.
void SdlWindow::FollowChangingMonitors(uint64_t now_ms) {
  if (!hosted_ && now_ms >= next_watch_ms_) {
    next_watch_ms_ = now_ms + kWatchEveryMs;
    if (MonitorsChanged(/*up_to_now=*/false)) SettleMonitors();
  }
  if (!monitors_changed_ && (!pointer_moves_.Settling(now_ms) || now_ms < next_follow_ms_)) return;
  monitors_changed_ = false;
  next_follow_ms_ = now_ms + PointerMoves::kSettleMs / 10;
  FollowMonitors();
}

bool SdlWindow::PlaceOnForm(uint32_t window_id, int x, int y, float* form_x, float* form_y) {
  SDL_Window* window = SDL_GetWindowFromID(window_id);
  if (!window) return false;
  PointerMoves::Place pointer;
  // Asked of the server where it can be: the place SDL knows of a window that has
  // just moved may be out of date.
  if (!X11Pointer(window_, &pointer.x, &pointer.y)) {
    SDL_GetWindowPosition(window, &pointer.x, &pointer.y);
    pointer.x += x;
    pointer.y += y;
  }
  // The server may have moved the pointer off a monitor it has just taken away: its
  // notice of the change, and of any device's motion, sent before, is waited for.
  if (pointer_moves_.Known() && !(pointer == pointer_moves_.Last()) && MonitorsChanged(/*up_to_now=*/true))
    SettleMonitors();
  const PointerMoves::Place moved = pointer_moves_.Read(pointer, SDL_GetTicks64(), DeviceMoved());
  *form_x = float(moved.x - origin_.x) * event_twips_;
  *form_y = float(moved.y - origin_.y) * event_twips_;
  return true;
}

void SdlWindow::ResizeCanvas() {
  // The canvas is in 96-DPI pixels: at scale k, each covers k x k of the window's.
  int w = 0, h = 0, pixels_w = 0, pixels_h = 0;
  SDL_GetWindowSize(window_, &w, &h);
  SDL_GetWindowSizeInPixels(window_, &pixels_w, &pixels_h);
  // Events come in the window's own units, the window's pixels on X11, its size in
  // the compositor's units on Wayland.
  if (w > 0) event_twips_ = float(kTwipsPerPixel) * float(pixels_w) / float(w * scale_);
  const int width = (pixels_w + scale_ - 1) / scale_, height = (pixels_h + scale_ - 1) / scale_;
  // SDL reports the size a full-screen window was created at once more, as a change.
  if (width == canvas_.WidthPx() && height == canvas_.HeightPx()) return;
  canvas_.Resize(width, height, back_argb_);
}

Sprite& SdlWindow::sprite(int number) { return *sprites_.at(size_t(number - 1)); }

void SdlWindow::Show() {
  if (!hosted_) {  // the host has shown its window already
    covers_.Show();  // first, so that the form is above any that overlaps it
    SDL_GetWindowPosition(window_, &origin_.x, &origin_.y);
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    SDL_SetWindowInputFocus(window_);
  }
  shown_ = true;
  state_.Shown();
}

void SdlWindow::Unload() {
  // The window stays on the screen only until the program ends, which follows at the
  // loop's next test; hiding it first would wait for the window system.
  state_.Unload();
}

void SdlWindow::Dispatch(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:  // the session closing
      Unload();
      break;
    case SDL_SYSWMEVENT:  // a host, or any client, destroyed the window
      if (IsDestruction(e.syswm.msg)) Unload();
      break;
    case SDL_DISPLAYEVENT:
      if (!hosted_) SettleMonitors();
      break;
    case SDL_WINDOWEVENT:
      if (e.window.windowID != SDL_GetWindowID(window_)) {  // a cover
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
          covers_.Repaint(e.window.windowID);
        break;
      }
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: Unload(); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: state_.FocusGained(); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: state_.FocusLost(); break;
        case SDL_WINDOWEVENT_SIZE_CHANGED: ResizeCanvas(); break;
        case SDL_WINDOWEVENT_EXPOSED: screen_->Exposed(); break;
        default: break;
      }
      break;
    case SDL_KEYDOWN:
      if (hosted_) break;  // the host's input
      state_.KeyDown(VirtualKey(e.key.keysym.sym), ShiftState(e.key.keysym.mod));
      break;
    case SDL_MOUSEBUTTONDOWN: {
      float x, y;
      if (hosted_ || !PlaceOnForm(e.button.windowID, e.button.x, e.button.y, &x, &y)) break;
      state_.MouseDown(Button(e.button.button), ShiftState(SDL_GetModState()), x, y);
      break;
    }
    case SDL_MOUSEMOTION: {
      float x, y;
      if (hosted_ || !PlaceOnForm(e.motion.windowID, e.motion.x, e.motion.y, &x, &y)) break;
      state_.MouseMove(Buttons(e.motion.state), ShiftState(SDL_GetModState()), x, y);
      break;
    }
    default:
      break;
  }
}

int16_t SdlWindow::DoEvents() {
  // A signal to end, or a window that vanished, closes the window; nothing is drawn
  // into a window that is gone.
  if (EndRequested() || WindowLost()) state_.Unload();
  if (!state_.BeginStep()) return state_.EndStep();
  SDL_Event event;
  while (state_.loaded() && SDL_PollEvent(&event)) Dispatch(event);
  if (EndRequested() || WindowLost()) state_.Unload();
  const uint64_t now = SDL_GetTicks64();
  if (state_.loaded()) FollowChangingMonitors(now);
  const bool ending = !state_.loaded() || EndRequested();
  for (StepChore* chore : chores_) chore->Step(now, ending);
  if (state_.loaded() && timer_enabled_ && timer_.Due(now)) state_.Tick();
  if (state_.loaded()) {
    Compose(now);
    Present();
    WaitForRefresh();
  }
  return state_.EndStep();
}

void SdlWindow::Compose(uint64_t now_ms) {
  screen_->DrawCanvas(canvas_);
  label_->Draw();
  for (SdlSprite* sprite : z_order_) sprite->Draw(now_ms);
}

}  // namespace platform::sdl
