// The form on Win32: a borderless popup over the whole screen with no taskbar
// button; its pixels persist in a DIB section; its event step is a message pump.
// Implements: Win32Window, Win32Sprite, Win32Label.
#include "platform/win32/win32_parts.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>

namespace platform::win32 {

namespace {

constexpr wchar_t kClassName[] = L"Form1";
constexpr UINT_PTR kTimer2 = 2;

int Px(float twips) { return int(std::floor(twips / float(kTwipsPerPixel))); }

int16_t ShiftState() {
  return int16_t(((GetKeyState(VK_SHIFT) & 0x8000) ? 1 : 0) | ((GetKeyState(VK_CONTROL) & 0x8000) ? 2 : 0) |
                 ((GetKeyState(VK_MENU) & 0x8000) ? 4 : 0));
}

int16_t Buttons(WPARAM wparam) {
  return int16_t(((wparam & MK_LBUTTON) ? 1 : 0) | ((wparam & MK_RBUTTON) ? 2 : 0) |
                 ((wparam & MK_MBUTTON) ? 4 : 0));
}

COLORREF Gdi(Colour c) { return RGB(RedOf(c), GreenOf(c), BlueOf(c)); }

RECT Intersect(const RECT& a, int width, int height) {
  return {std::max<LONG>(a.left, 0), std::max<LONG>(a.top, 0), std::min<LONG>(a.right, width),
          std::min<LONG>(a.bottom, height)};
}

}  // namespace

Colour Resolve(Colour colour) {
  if (!(colour & kSystemColourFlag)) return colour;
  const COLORREF c = GetSysColor(int(colour & 0xFF));
  return Colour(GetRValue(c)) + 256u * GetGValue(c) + 65536u * GetBValue(c);
}

std::wstring Wide(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
  return wide;
}

// --- the sprites ---

Win32Sprite::Win32Sprite(const SpriteLayout& layout)
    : place_(layout.place), back_argb_(ToArgb(Resolve(layout.backcolor))) {}

void Win32Sprite::SetPictureFile(const std::string& path) {
  std::string why;
  animation_ = LoadGif(path, {}, &why);
  start_ms_ = GetTickCount64();
}

RECT Win32Sprite::Pixels() const {
  const int x = Px(place_.left), y = Px(place_.top);
  return {x, y, x + Px(place_.width), y + Px(place_.height)};
}

void Win32Sprite::Draw(uint32_t* pixels, int width, int height, uint64_t now_ms) const {
  const RECT whole = Pixels();
  const RECT r = Intersect(whole, width, height);
  for (LONG y = r.top; y < r.bottom; ++y)
    std::fill(pixels + size_t(y) * width + r.left, pixels + size_t(y) * width + r.right, back_argb_);
  if (!animation_) return;
  const gif::Frame& frame = animation_->frames[animation_->FrameAt(now_ms - start_ms_)];
  const LONG right = std::min<LONG>(r.right, whole.left + animation_->width);
  const LONG bottom = std::min<LONG>(r.bottom, whole.top + animation_->height);
  for (LONG y = r.top; y < bottom; ++y) {
    const uint32_t* source = &frame.argb[size_t(y - whole.top) * size_t(animation_->width)];
    for (LONG x = r.left; x < right; ++x) {
      const uint32_t p = source[x - whole.left];
      if (p >> 24) pixels[size_t(y) * width + x] = p;
    }
  }
}

// --- the banner ---

Win32Label::Win32Label(const LabelLayout& layout)
    : place_(layout.place), fore_color_(layout.fore_color), back_color_(Resolve(layout.back_color)),
      caption_(layout.caption), text_(Wide(caption_)) {
  // A face that shows Simplified Chinese, at the largest size whose line fits.
  const int line = Px(place_.height);
  HDC dc = GetDC(nullptr);
  for (int size = line; size > 6 && !font_; --size) {
    HFONT font = CreateFontW(-size, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Microsoft YaHei");
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    if (metrics.tmHeight <= line) font_ = font;
    else DeleteObject(font);
  }
  ReleaseDC(nullptr, dc);
}

Win32Label::~Win32Label() {
  if (font_) DeleteObject(font_);
}

RECT Win32Label::Pixels() const {
  const int x = Px(place_.left), y = Px(place_.top);
  return {x, y, x + Px(place_.width), y + Px(place_.height)};
}

void Win32Label::Draw(HDC dc) const {
  const RECT r = Pixels();
  HBRUSH brush = CreateSolidBrush(Gdi(back_color_));
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  HGDIOBJ old = SelectObject(dc, font_ ? HGDIOBJ(font_) : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Gdi(fore_color_));
  ExtTextOutW(dc, r.left, r.top, ETO_CLIPPED, &r, text_.data(), UINT(text_.size()), nullptr);
  SelectObject(dc, old);
}

// --- the window ---

Win32Window::Win32Window(const FormLayout& layout, EventSink& sink, const std::string& app_path)
    : state_(sink), back_argb_(ToArgb(Resolve(layout.back_color))) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = GetSysColorBrush(int(layout.back_color & 0xFF));
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
  // A popup with no border over the whole screen: maximised from the first show.
  // As a tool window it has no taskbar button.
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, Wide(std::string(layout.caption)).c_str(),
                          WS_POPUP | WS_MAXIMIZE, 0, 0, width, height, nullptr, nullptr, instance, this);
  if (!hwnd_) ExitProcess(1);
  RECT client;
  GetClientRect(hwnd_, &client);
  ResizeBuffer(client.right, client.bottom);

  sprites_.resize(size_t(layout.sprite_count));
  for (int i = 0; i < layout.ControlCount(); ++i) {
    const ControlRef control = layout.creation_order[size_t(i)];
    if (control.kind == ControlRef::kSprite) {
      auto sprite = std::make_unique<Win32Sprite>(layout.sprites[control.sprite - 1]);
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
  if (memory_dc_) {
    SelectObject(memory_dc_, old_bitmap_);
    DeleteDC(memory_dc_);
  }
  if (dib_) DeleteObject(dib_);
  if (hwnd_) DestroyWindow(hwnd_);
}

void Win32Window::ResizeBuffer(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  canvas_.Resize(width, height, back_argb_);
  if (memory_dc_) {
    SelectObject(memory_dc_, old_bitmap_);
    DeleteObject(dib_);
  } else {
    memory_dc_ = CreateCompatibleDC(nullptr);
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  dib_ = CreateDIBSection(memory_dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib_) ExitProcess(1);
  bits_ = static_cast<uint32_t*>(bits);
  old_bitmap_ = SelectObject(memory_dc_, dib_);
  drawn_.clear();
}

void Win32Window::Show() {
  ShowWindow(hwnd_, SW_SHOWMAXIMIZED);
  SetForegroundWindow(hwnd_);
  UpdateWindow(hwnd_);
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
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT Win32Window::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  const float x = float(GET_X_LPARAM(lparam) * kTwipsPerPixel), y = float(GET_Y_LPARAM(lparam) * kTwipsPerPixel);
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
    case WM_TIMER:
      if (wparam == kTimer2) state_.Tick();
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      state_.KeyDown(int16_t(wparam), ShiftState());
      return 0;
    case WM_LBUTTONDOWN: state_.MouseDown(1, ShiftState(), x, y); return 0;
    case WM_RBUTTONDOWN: state_.MouseDown(2, ShiftState(), x, y); return 0;
    case WM_MBUTTONDOWN: state_.MouseDown(4, ShiftState(), x, y); return 0;
    case WM_MOUSEMOVE: state_.MouseMove(Buttons(wparam), ShiftState(), x, y); return 0;
    default: break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

int16_t Win32Window::DoEvents() {
  if (!state_.BeginStep()) return state_.EndStep();
  MSG msg;
  while (state_.loaded() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (state_.loaded()) Present();
  return state_.EndStep();
}

void Win32Window::CopyCanvas(const RECT& r) {
  const RECT c = Intersect(r, canvas_.WidthPx(), canvas_.HeightPx());
  for (LONG y = c.top; y < c.bottom; ++y)
    std::copy(canvas_.Pixels() + size_t(y) * canvas_.WidthPx() + c.left,
              canvas_.Pixels() + size_t(y) * canvas_.WidthPx() + c.right, bits_ + size_t(y) * canvas_.WidthPx() + c.left);
}

// The dirty tiles of the canvas, then the banner and the sprites over them, then
// the parts that changed onto the screen.
void Win32Window::Present() {
  const int width = canvas_.WidthPx(), height = canvas_.HeightPx();
  std::vector<RECT> changed;
  const int tile = Canvas::kTileSize;
  for (int ty = 0; ty < canvas_.TilesY(); ++ty)
    for (int tx = 0; tx < canvas_.TilesX(); ++tx)
      if (canvas_.TileDirty(tx, ty)) changed.push_back({tx * tile, ty * tile, (tx + 1) * tile, (ty + 1) * tile});
  canvas_.ClearDirty();
  changed.insert(changed.end(), drawn_.begin(), drawn_.end());
  for (const RECT& r : changed) CopyCanvas(r);
  drawn_.clear();
  GdiFlush();
  label_->Draw(memory_dc_);
  drawn_.push_back(label_->Pixels());
  GdiFlush();
  const uint64_t now = GetTickCount64();
  for (const Win32Sprite* s : z_order_) {
    s->Draw(bits_, width, height, now);
    drawn_.push_back(s->Pixels());
  }
  changed.insert(changed.end(), drawn_.begin(), drawn_.end());
  HDC dc = GetDC(hwnd_);
  for (const RECT& raw : changed) {
    const RECT r = Intersect(raw, width, height);
    if (r.right > r.left && r.bottom > r.top)
      BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory_dc_, r.left, r.top, SRCCOPY);
  }
  ReleaseDC(hwnd_, dc);
}

}  // namespace platform::win32
