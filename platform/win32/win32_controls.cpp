// The controls on Win32: the animated pictures, drawn into the form's DIB section,
// and the banner, drawn by GDI with a font that shows Simplified Chinese.
// Implements: Win32Sprite, Win32Label, Resolve, Wide.
#include "platform/win32/win32_controls.h"

#include "platform/shared/small_file.h"

namespace platform::win32 {

namespace {

PixelRect PixelsOf(const Rect& place) {
  const int x = TwipsToPx(place.left), y = TwipsToPx(place.top);
  return {x, y, x + TwipsToPx(place.width), y + TwipsToPx(place.height)};
}

COLORREF Gdi(Colour c) { return RGB(RedOf(c), GreenOf(c), BlueOf(c)); }

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

Win32Sprite::Win32Sprite(const SpriteLayout& layout, MemoryBudget& budget)
    : place_(layout.place), back_argb_(ToArgb(Resolve(layout.backcolor))), budget_(budget) {}

void Win32Sprite::SetPictureFile(const std::string& path) {
  std::string why;
  // Only the part the control shows is kept, as on every backend.
  animation_ = LoadGif(path, {}, {TwipsToPx(place_.width), TwipsToPx(place_.height)}, budget_, &why);
  if (!animation_ && !why.empty()) ReportRefused(path, why);
  start_ms_ = GetTickCount64();
  ++pictures_;
}

PixelRect Win32Sprite::Pixels() const { return PixelsOf(place_); }

uint64_t Win32Sprite::Look(uint64_t now_ms) const {
  const uint64_t frame = animation_ ? animation_->FrameAt(now_ms - start_ms_) : 0;
  return uint64_t(pictures_) << 32 | frame;
}

void Win32Sprite::Draw(const PixelBuffer& to, int k, uint64_t now_ms) const {
  const PixelRect rect = Scaled(Pixels(), k);
  Fill(to, rect, back_argb_);
  if (!animation_) return;
  const gif::Frame& frame = animation_->frames[animation_->FrameAt(now_ms - start_ms_)];
  DrawPicture(to, frame.argb.data(), animation_->width, animation_->height, rect.left, rect.top, k, rect);
}

// --- the banner ---

Win32Label::Win32Label(const LabelLayout& layout)
    : place_(layout.place), fore_color_(layout.fore_color), back_color_(Resolve(layout.back_color)),
      text_(Wide(std::string(layout.caption))) {}

Win32Label::~Win32Label() {
  if (font_) DeleteObject(font_);
}

PixelRect Win32Label::Pixels() const { return PixelsOf(place_); }

void Win32Label::Draw(HDC dc, int k) {
  if (font_k_ != k) {
    // A face that shows Simplified Chinese, at the largest size whose line fits the
    // label at this density.
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));  // the old face is set no more
    if (font_) DeleteObject(font_);
    font_ = nullptr;
    font_k_ = k;
    const int line = TwipsToPx(place_.height) * k;
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
  }
  const PixelRect p = Scaled(Pixels(), k);
  const RECT r{p.left, p.top, p.right, p.bottom};
  HBRUSH brush = CreateSolidBrush(Gdi(back_color_));
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  // The face stays set in the window's memory context from one draw to the next:
  // under Wine each setting of a face asks the X resources anew.
  const HGDIOBJ face = font_ ? HGDIOBJ(font_) : GetStockObject(DEFAULT_GUI_FONT);
  if (GetCurrentObject(dc, OBJ_FONT) != face) SelectObject(dc, face);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Gdi(fore_color_));
  ExtTextOutW(dc, r.left, r.top, ETO_CLIPPED, &r, text_.data(), UINT(text_.size()), nullptr);
}

}  // namespace platform::win32
