// Form1 over SDL. Implements: the window (creation from the layout, show, unload,
// the event-processing step, presenting).
#include "platform/sdl/sdl_window.h"

#include <algorithm>
#include <cstdio>

#include "platform/sdl/sdl_process.h"
#include "platform/sdl/sdl_window_system.h"
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
      chores_(std::move(chores)) {
  if (host_window) {
    window_ = SDL_CreateWindowFrom(reinterpret_cast<const void*>(host_window));
    if (!window_) {
      std::fprintf(stderr, "draw into the host window 0x%lx: %s\n", static_cast<unsigned long>(host_window),
                   SDL_GetError());
      std::exit(1);
    }
  } else {
    window_ = OwnDesktop::MakeForm(std::string(layout.caption));
    desktop_ = std::make_unique<OwnDesktop>(window_);
  }
  chores_.insert(chores_.begin(), &follow_monitors_);
  GuardXlib(window_);
  // The first monitor SDL names is not always the primary one, and SDL sees none of
  // the monitors made by hand: the form goes where the window system says, before
  // it is shown, and the other monitors get their blank windows.
  desktop_->Follow();
  scale_ = DesktopScale();
  // The screen next: a GL renderer makes its context on a native window of its own,
  // and the one made above is destroyed. What follows is asked of the window that
  // will be drawn into.
  screen_ = MakeScreen(window_, scale_);
  WatchWindow(window_);
  desktop_->Watch();
  // No text is ever typed here; with text input on, SDL's input-method support
  // would reach for a session bus at the first focus and, where none runs, start one.
  SDL_StopTextInput();
  if (!host_window) SetIcon(layout.icon);
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
int SdlWindow::DesktopScale() const { return ScaleFactor(WindowSystem::Current().Density(window_)); }

double SdlWindow::DisplayRefreshHz() const { return WindowSystem::Current().RefreshHz(window_); }

// The next batch starts at the display's next refresh, whichever screen drew the
// frame: a GL renderer's present already waited for the refresh and the wait is
// short, or none, unless the swap interval is ignored. A signal cuts the wait short.
void SdlWindow::WaitForRefresh() {
  SleepUnlessSignalled(pace_.WaitNs(NowNs(), refresh_hz_));
  canvas_.Warm();
}

// After a change of monitors, a new monitor or a new mode sets a new pace.
void SdlWindow::FollowMonitors::Step(uint64_t now_ms, bool ending) {
  if (ending) return;
  if (window_.desktop_->FollowChanging(now_ms)) window_.refresh_hz_ = window_.DisplayRefreshHz();
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
  desktop_->Show();
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
      desktop_->MonitorsNoticed();
      break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_SHOWN) desktop_->Shown(e.window.windowID);
      if (e.window.windowID != SDL_GetWindowID(window_)) {  // a blank window
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
          desktop_->Repaint(e.window.windowID);
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
    // Over a host's window the input is the host's.
    case SDL_KEYDOWN:
      if (!desktop_->TakesInput()) break;
      state_.KeyDown(VirtualKey(e.key.keysym.sym), ShiftState(e.key.keysym.mod));
      break;
    case SDL_MOUSEBUTTONDOWN: {
      float x, y;
      if (!desktop_->PlaceOnForm(e.button.windowID, e.button.x, e.button.y, event_twips_, &x, &y)) break;
      state_.MouseDown(Button(e.button.button), ShiftState(SDL_GetModState()), x, y);
      break;
    }
    case SDL_MOUSEMOTION: {
      float x, y;
      if (!desktop_->PlaceOnForm(e.motion.windowID, e.motion.x, e.motion.y, event_twips_, &x, &y)) break;
      state_.MouseMove(Buttons(e.motion.state), ShiftState(SDL_GetModState()), x, y);
      break;
    }
    default:
      break;
  }
}

int16_t SdlWindow::DoEvents() { return RunEventStep(state_, *this, chores_); }

// A signal to end. A window that vanished ends the process where it is told
// (IsDestruction, or the X error handler).
bool SdlWindow::EndRequested() { return sdl::EndRequested(); }

void SdlWindow::DispatchEvents() {
  SDL_Event event;
  while (state_.loaded() && SDL_PollEvent(&event)) Dispatch(event);
}

void SdlWindow::DrawFrame(uint64_t now_ms) {
  screen_->DrawCanvas(canvas_);
  label_->Draw();
  for (SdlSprite* sprite : z_order_) sprite->Draw(now_ms);
  screen_->Present();
}

}  // namespace platform::sdl
