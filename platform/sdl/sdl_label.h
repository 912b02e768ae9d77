// The banner over SDL2_ttf.
#pragma once

#include <string>

#include "platform/platform.h"
#include "platform/sdl/sdl_screen.h"

namespace platform::sdl {

class SdlLabel final : public Label {
 public:
  // Its line is drawn at scale times the size of a 96-DPI display's.
  SdlLabel(Screen& screen, const LabelLayout& layout, int scale);
  void SetForeColor(Colour colour) override { fore_color_ = colour; }
  void Draw();

 private:
  Screen& screen_;
  Rect place_;
  Colour fore_color_, back_color_;
  std::string caption_;
  Picture text_;  // the caption in white; tinted to ForeColor when drawn
};

}  // namespace platform::sdl
