// The pieces of the Win32 platform, shared between its files.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

// Before the Windows headers, whose macros RGB and SND_* would clash with them.
#include "platform/canvas.h"
#include "platform/shared/gif/gif_animation.h"
#include "platform/platform.h"
#include "platform/shared/window_state.h"

#include <windows.h>

namespace platform::win32 {

// Decodes a GIF with GDI+ after the block scan has held it to the limits. Fails,
// saying why, as the Linux loader does.
std::optional<gif::Animation> LoadGif(const std::string& path, const gif::Limits& limits, std::string* why);

class Win32Sprite final : public Sprite {
 public:
  explicit Win32Sprite(const SpriteLayout& layout);
  void SetPictureFile(const std::string& path) override;
  float Left() const override { return place_.left; }
  void SetLeft(float twips) override { place_.left = twips; }
  float Top() const override { return place_.top; }
  void SetTop(float twips) override { place_.top = twips; }
  float Height() const override { return place_.height; }

  // Fills the sprite's rectangle with its back colour and draws the frame due at
  // now_ms over it, clipped to the rectangle and the buffer.
  void Draw(uint32_t* pixels, int width, int height, uint64_t now_ms) const;
  RECT Pixels() const;

 private:
  Rect place_;
  uint32_t back_argb_;
  std::optional<gif::Animation> animation_;
  uint64_t start_ms_ = 0;
};

class Win32Label final : public Label {
 public:
  explicit Win32Label(const LabelLayout& layout);
  ~Win32Label() override;
  void SetForeColor(Colour colour) override { fore_color_ = colour; }

  void Draw(HDC dc) const;
  RECT Pixels() const;

 private:
  Rect place_;
  Colour fore_color_, back_color_;
  std::string caption_;
  std::wstring text_;
  HFONT font_ = nullptr;
};

class Win32Window final : public Window {
 public:
  Win32Window(const FormLayout& layout, EventSink& sink, const std::string& app_path);
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
  void ResizeBuffer(int width, int height);
  void CopyCanvas(const RECT& r);
  void Present();

  WindowState state_;
  HWND hwnd_ = nullptr;
  HDC memory_dc_ = nullptr;
  HBITMAP dib_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr;
  uint32_t* bits_ = nullptr;  // the DIB section: top-down, 0x00RRGGBB
  Canvas canvas_;
  uint32_t back_argb_;
  std::unique_ptr<Win32Label> label_;
  std::vector<std::unique_ptr<Win32Sprite>> sprites_;
  std::vector<Win32Sprite*> z_order_;
  std::vector<RECT> drawn_;  // where the banner and sprites were drawn last time
};

// The wide form of a UTF-8 text.
std::wstring Wide(const std::string& utf8);

// A system colour flag resolved to the scheme's colour, as GDI paints it.
Colour Resolve(Colour colour);

}  // namespace platform::win32
