// The controls of the form on Win32: the animated pictures and the banner, and what
// they share with the window (system colours, wide text).
#pragma once

#include <optional>
#include <string>

// Before the Windows headers, whose macros RGB and SND_* would clash with them.
#include "platform/platform.h"
#include "platform/shared/gif/gif_animation.h"
#include "platform/shared/memory_budget.h"
#include "platform/win32/win32_pixels.h"

#include <windows.h>

namespace platform::win32 {

// Decodes with GDI+ a GIF that the shared reader read, scanned and admitted to the
// budget, keeping of each frame the part crop says, as the Linux loader does. Fails,
// saying why; why is empty where the budget refused it and said so itself.
std::optional<gif::Animation> LoadGif(const std::string& path, const gif::Limits& limits, gif::Crop crop,
                                      MemoryBudget& budget, std::string* why);

class Win32Sprite final : public Sprite {
 public:
  Win32Sprite(const SpriteLayout& layout, MemoryBudget& budget);
  void SetPictureFile(const std::string& path) override;
  float Left() const override { return place_.left; }
  void SetLeft(float twips) override { place_.left = twips; }
  float Top() const override { return place_.top; }
  void SetTop(float twips) override { place_.top = twips; }
  float Height() const override { return place_.height; }

  // Fills the sprite's rectangle with its back colour and draws the frame due at
  // now_ms over it, at k of the buffer's pixels to one of the picture's.
  void Draw(const PixelBuffer& to, int k, uint64_t now_ms) const;
  // Its rectangle in 96-DPI pixels; it may lie partly or wholly off the window.
  PixelRect Pixels() const;
  // What it shows at now_ms besides its place: the picture and its frame due.
  uint64_t Look(uint64_t now_ms) const;

 private:
  Rect place_;
  uint32_t back_argb_;
  MemoryBudget& budget_;
  std::optional<gif::Animation> animation_;
  uint64_t start_ms_ = 0;
  uint32_t pictures_ = 0;  // how many pictures it has been given
};

class Win32Label final : public Label {
 public:
  explicit Win32Label(const LabelLayout& layout);
  ~Win32Label() override;
  void SetForeColor(Colour colour) override { fore_color_ = colour; }

  // Its line drawn into dc at k times the size of a 96-DPI display's, the font made
  // anew where k has changed and left set in dc from one draw to the next.
  void Draw(HDC dc, int k);
  PixelRect Pixels() const;
  // What it shows besides its place: its colour.
  uint64_t Look() const { return fore_color_; }

 private:
  Rect place_;
  Colour fore_color_, back_color_;
  std::wstring text_;
  HFONT font_ = nullptr;
  int font_k_ = 0;
};

// The wide form of a UTF-8 text.
std::wstring Wide(const std::string& utf8);

// A system colour flag resolved to the scheme's colour, as GDI paints it.
Colour Resolve(Colour colour);

}  // namespace platform::win32
