// The form on Win32: a borderless popup over the primary monitor with no taskbar
// button, and a black window over each other monitor; its pixels persist in a DIB
// section at the window's size, drawn at k of them to a 96-DPI pixel; its event
// step is a message pump.
// Implements: Win32Window, Monitors.
#include "platform/win32/win32_window.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/shared/density.h"

namespace platform::win32 {

namespace {

constexpr wchar_t kClassName[] = L"Form1";
constexpr wchar_t kBlankClassName[] = L"Blank";
constexpr UINT_PTR kTimer2 = 2;

int16_t ShiftState() {
  return int16_t(((GetKeyState(VK_SHIFT) & 0x8000) ? 1 : 0) | ((GetKeyState(VK_CONTROL) & 0x8000) ? 2 : 0) |
                 ((GetKeyState(VK_MENU) & 0x8000) ? 4 : 0));
}

int16_t Buttons(WPARAM wparam) {
  return int16_t(((wparam & MK_LBUTTON) ? 1 : 0) | ((wparam & MK_RBUTTON) ? 2 : 0) |
                 ((wparam & MK_MBUTTON) ? 4 : 0));
}

// The density of the monitor a window is on, where the system tells it per window
// (Windows 10 on); else the desktop's.
UINT DpiOf(HWND hwnd) {
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpi_for_window =
      reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (dpi_for_window)
    if (const UINT dpi = dpi_for_window(hwnd)) return dpi;
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? UINT(dpi) : 96;
}

// The display frequency of the monitor a window is on; 0 or 1 where the hardware's
// default is all it tells.
double RefreshOf(HWND hwnd) {
  MONITORINFOEXW info{};
  info.cbSize = sizeof info;
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  if (!GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &info) ||
      !EnumDisplaySettingsW(info.szDevice, ENUM_CURRENT_SETTINGS, &mode))
    return 0;
  return mode.dmDisplayFrequency > 1 ? double(mode.dmDisplayFrequency) : 0;
}

uint64_t NowNs() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return uint64_t(now.QuadPart / frequency.QuadPart) * 1'000'000'000u +
         uint64_t(now.QuadPart % frequency.QuadPart) * 1'000'000'000u / uint64_t(frequency.QuadPart);
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(monitor, &info)) {
    const RECT& r = info.rcMonitor;
    reinterpret_cast<std::vector<Monitor>*>(list)->push_back(
        {int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top), (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
  }
  return TRUE;
}

}  // namespace

std::vector<Monitor> Monitors() {
  std::vector<Monitor> monitors;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

// --- the window ---

Win32Window::Win32Window(const FormLayout& layout, EventSink& sink, MemoryBudget& budget)
    : state_(sink), back_argb_(ToArgb(Resolve(layout.back_color))) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_OWNDC;  // one device context for its life: no frame makes one anew
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = GetSysColorBrush(int(layout.back_color & 0xFF));
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
  // The blank windows: black, painted by the system, never active.
  wc.style = 0;
  wc.hIcon = nullptr;
  wc.hbrBackground = HBRUSH(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kBlankClassName;
  RegisterClassExW(&wc);
  // A popup with no border over the whole screen: maximised from the first show.
  // As a tool window it has no taskbar button.
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, Wide(std::string(layout.caption)).c_str(),
                          WS_POPUP | WS_MAXIMIZE, 0, 0, width, height, nullptr, nullptr, instance, this);
  if (!hwnd_) ExitProcess(1);
  // The form goes on the primary monitor before it is shown, and the other monitors
  // get their blank windows; the picture is drawn at that monitor's density.
  FollowMonitors();
  Rescale();

  sprites_.resize(size_t(layout.sprite_count));
  for (int i = 0; i < layout.ControlCount(); ++i) {
    const ControlRef control = layout.creation_order[size_t(i)];
    if (control.kind == ControlRef::kSprite) {
      auto sprite = std::make_unique<Win32Sprite>(layout.sprites[control.sprite - 1], budget);
      z_order_.push_back(sprite.get());
      sprites_[control.sprite - 1] = std::move(sprite);
    } else if (control.kind == ControlRef::kLabel) {
      label_ = std::make_unique<Win32Label>(layout.label);
    } else if (layout.timer.enabled) {
      SetTimer(hwnd_, kTimer2, UINT(layout.timer.interval_ms), nullptr);
    }
  }
}

Win32Window::~Win32Window() {
  for (const BlankWindow& blank : blanks_) DestroyWindow(blank.window);
  if (memory_dc_) {
    SelectObject(memory_dc_, old_bitmap_);
    DeleteDC(memory_dc_);
  }
  if (dib_) DeleteObject(dib_);
  if (hwnd_) DestroyWindow(hwnd_);
}

// The form on its monitor and a blank window on each other one, reusing those there
// are; one that could not be made is tried again at the next change.
void Win32Window::FollowMonitors() {
  const Monitor desktop{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), true};
  RECT form;
  GetWindowRect(hwnd_, &form);
  monitors_ = Monitors();
  const MonitorPlan plan =
      PlanMonitors(monitors_, desktop, {form.left, form.top, form.right - form.left, form.bottom - form.top});
  if (form.left != plan.form.x || form.top != plan.form.y || form.right - form.left != plan.form.w ||
      form.bottom - form.top != plan.form.h)
    SetWindowPos(hwnd_, nullptr, plan.form.x, plan.form.y, plan.form.w, plan.form.h, SWP_NOZORDER | SWP_NOACTIVATE);
  while (blanks_.size() > plan.blanks.size()) {
    DestroyWindow(blanks_.back().window);
    blanks_.pop_back();
  }
  bool made = false;
  for (size_t i = 0; i < plan.blanks.size(); ++i) {
    const Monitor& place = plan.blanks[i];
    if (i < blanks_.size()) {
      if (!(blanks_[i].place == place))
        SetWindowPos(blanks_[i].window, nullptr, place.x, place.y, place.w, place.h, SWP_NOZORDER | SWP_NOACTIVATE);
      blanks_[i].place = place;
      continue;
    }
    const HWND blank = MakeBlank(place);
    if (!blank) break;
    blanks_.push_back({blank, place});
    made = true;
  }
  if (made && shown_) SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  refresh_hz_ = RefreshOf(hwnd_);  // a new monitor, or a new mode, sets a new pace
}

HWND Win32Window::MakeBlank(const Monitor& place) const {
  const HWND blank = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kBlankClassName, L"", WS_POPUP, place.x,
                                     place.y, place.w, place.h, nullptr, nullptr, GetModuleHandleW(nullptr),
                                     const_cast<Win32Window*>(this));
  if (blank && shown_) ShowWindow(blank, SW_SHOWNOACTIVATE);
  return blank;
}

// The density of the form's monitor, as a whole factor; the buffer follows it.
void Win32Window::Rescale() {
  k_ = WholeScale(double(DpiOf(hwnd_)) / 96.0);
  RECT client;
  GetClientRect(hwnd_, &client);
  ResizeBuffer(client.right, client.bottom);
}

void Win32Window::ResizeBuffer(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  // The canvas is in 96-DPI pixels: each covers k x k of the window's.
  canvas_.Resize((width + k_ - 1) / k_, (height + k_ - 1) / k_, back_argb_);
  if (memory_dc_) {
    SelectObject(memory_dc_, old_bitmap_);
    DeleteObject(dib_);
  } else {
    memory_dc_ = CreateCompatibleDC(nullptr);
  }
  // 32 bits a pixel, top-down (a negative height).
  BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB}};
  void* bits = nullptr;
  dib_ = CreateDIBSection(memory_dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib_) ExitProcess(1);
  bits_ = {static_cast<uint32_t*>(bits), width, height};
  old_bitmap_ = SelectObject(memory_dc_, dib_);
  drawn_.clear();
}

void Win32Window::Show() {
  // The blank windows first, so that the form lies above any that overlaps it.
  for (const BlankWindow& blank : blanks_) ShowWindow(blank.window, SW_SHOWNOACTIVATE);
  ShowWindow(hwnd_, SW_SHOWMAXIMIZED);
  SetForegroundWindow(hwnd_);
  UpdateWindow(hwnd_);
  RECT form;
  GetWindowRect(hwnd_, &form);
  origin_ = {form.left, form.top};
  shown_ = true;
}

void Win32Window::Unload() {
  if (!state_.Unload()) return;
  KillTimer(hwnd_, kTimer2);
  ShowWindow(hwnd_, SW_HIDE);
}

LRESULT CALLBACK Win32Window::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && self->hwnd_ == hwnd) return self->Handle(message, wparam, lparam);
  if (self && self->hwnd_) return self->HandleBlank(hwnd, message, wparam, lparam);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

bool Win32Window::Input(HWND from, UINT message, WPARAM wparam, LPARAM lparam) {
  POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  ClientToScreen(from, &p);
  const float twips = float(kTwipsPerPixel) / float(k_);
  const float x = float(p.x - origin_.x) * twips, y = float(p.y - origin_.y) * twips;
  switch (message) {
    case WM_LBUTTONDOWN: state_.MouseDown(1, ShiftState(), x, y); return true;
    case WM_RBUTTONDOWN: state_.MouseDown(2, ShiftState(), x, y); return true;
    case WM_MBUTTONDOWN: state_.MouseDown(4, ShiftState(), x, y); return true;
    case WM_MOUSEMOVE: state_.MouseMove(Buttons(wparam), ShiftState(), x, y); return true;
    default: return false;
  }
}

// A blank window only passes its pointer's input on; it never takes the focus.
LRESULT Win32Window::HandleBlank(HWND blank, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
  if (Input(blank, message, wparam, lparam)) return 0;
  return DefWindowProcW(blank, message, wparam, lparam);
}

LRESULT Win32Window::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  if (Input(hwnd_, message, wparam, lparam)) return 0;
  switch (message) {
    case WM_ACTIVATE:  // also arrives inside ShowWindow, outside any event step
      if (LOWORD(wparam) != WA_INACTIVE)
        state_.FocusGained();
      else
        state_.FocusLost();
      break;
    case WM_CLOSE: Unload(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      // The DIB holds the canvas only where a control stood or a whole frame was
      // drawn: it is drawn whole first.
      DrawWhole(drawn_ms_);
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd_, &paint);
      const RECT& r = paint.rcPaint;
      BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory_dc_, r.left, r.top, SRCCOPY);
      EndPaint(hwnd_, &paint);
      return 0;
    }
    case WM_SIZE:
      if (LOWORD(lparam) && HIWORD(lparam)) ResizeBuffer(LOWORD(lparam), HIWORD(lparam));
      break;
    case WM_DISPLAYCHANGE:  // monitors plugged in, taken away, moved or resized
      FollowMonitors();
      break;
    case WM_DPICHANGED:  // the form's place is its monitor's, not the one offered here
      Rescale();
      return 0;
    case WM_TIMER:
      if (wparam == kTimer2) state_.Tick();
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      state_.KeyDown(int16_t(wparam), ShiftState());
      return 0;
    default: break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

int16_t Win32Window::DoEvents() { return RunEventStep(state_, *this, {&watch_monitors_}); }

void Win32Window::WatchMonitors::Step(uint64_t now_ms, bool ending) {
  if (ending || now_ms < next_ms_) return;
  next_ms_ = now_ms + kEveryMs;
  if (Monitors() != window_.monitors_) window_.FollowMonitors();
}

void Win32Window::DispatchEvents() {
  MSG msg;
  while (state_.loaded() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// The next batch starts at the monitor's next refresh, counted on the clock; the
// platform asked for a timer of a millisecond, so that a sleep ends on time.
void Win32Window::WaitForRefresh() {
  const uint64_t wait_ns = pace_.WaitNs(NowNs(), refresh_hz_);
  Sleep(DWORD((wait_ns + 999'999) / 1'000'000));
}

bool Win32Window::LookAtControls(uint64_t now_ms) {
  now_.clear();
  now_.push_back({label_->Pixels(), label_->Look()});
  for (const Win32Sprite* s : z_order_) now_.push_back({s->Pixels(), s->Look(now_ms)});
  return now_ != drawn_;
}

void Win32Window::DrawControls(uint64_t now_ms) {
  GdiFlush();
  label_->Draw(memory_dc_, k_);
  GdiFlush();
  for (const Win32Sprite* s : z_order_) s->Draw(bits_, k_, now_ms);
}

PixelRect Win32Window::DrawWhole(uint64_t now_ms) {
  const PixelRect all{0, 0, canvas_.WidthPx(), canvas_.HeightPx()};
  CopyCanvas(bits_, canvas_, all, k_);
  DrawControls(now_ms);
  return all;
}

bool Win32Window::UnderAControl(Canvas::At at) const {
  const auto under = [at](const ControlLook& c) { return c.place.Contains(at.x, at.y); };
  return std::any_of(drawn_.begin(), drawn_.end(), under) || std::any_of(now_.begin(), now_.end(), under);
}

// The canvas's changes, then the banner and the sprites over them where any changed,
// then the parts that changed onto the screen.
void Win32Window::DrawFrame(uint64_t now_ms) {
  changed_.clear();
  points_.Clear();
  canvas_.TakeChanges();
  const bool whole = canvas_.AllChanged();  // new, or of a new size
  canvas_.ClearDirty();
  const bool controls_changed = LookAtControls(now_ms);
  drawn_ms_ = now_ms;
  // The canvas's single changes go to the window alone, those not under a control;
  // the DIB takes the canvas where a changed control stood, and whole frames.
  if (whole) {
    changed_.push_back(DrawWhole(now_ms));
  } else {
    for (const Canvas::At at : canvas_.LastChanged())
      if (!UnderAControl(at)) points_.Add(Scaled({at.x, at.y, at.x + 1, at.y + 1}, k_), canvas_.Pixel(at.x, at.y));
    if (controls_changed) {
      for (const ControlLook& was : drawn_) {
        CopyCanvas(bits_, canvas_, was.place, k_);
        changed_.push_back(was.place);
      }
      DrawControls(now_ms);
      for (const ControlLook& is : now_) changed_.push_back(is.place);
    }
  }
  drawn_.swap(now_);
  HDC dc = GetDC(hwnd_);
  points_.Draw(dc);  // below the banner and sprites, which are sent after them
  for (const PixelRect& raw : changed_) {
    const PixelRect r = Scaled(raw, k_).Clip(bits_.width, bits_.height);
    if (!r.Empty()) BitBlt(dc, r.left, r.top, r.Width(), r.Height(), memory_dc_, r.left, r.top, SRCCOPY);
  }
  ReleaseDC(hwnd_, dc);
}

}  // namespace platform::win32
