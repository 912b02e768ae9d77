// The design values from which a window and its controls are created: places and
// sizes in twips, colours, the banner text, the timer and the sprites' saved properties.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/colour.h"

namespace platform {

constexpr int kTwipsPerPixel = 15;

// The pixel of a 96-DPI display that holds a place in twips: rounded down, also left
// of and above the window, where a sprite walks in from. Exact for every value, as
// the floor of the whole twips divided by 15.
inline int TwipsToPx(float twips) {
  const int whole = int(std::floor(twips));
  return whole >= 0 ? whole / kTwipsPerPixel : -((kTwipsPerPixel - 1 - whole) / kTwipsPerPixel);
}

struct Rect {
  float left, top, width, height;  // twips
};

// A saved property as the animated picture control receives it at creation.
struct SavedProperty {
  std::string_view name;
  std::variant<int16_t, int32_t> value;  // colours travel as 32-bit integers
};

struct SpriteLayout {
  std::string_view name;  // "AniGif1" .. "AniGif4"
  Rect place;
  int32_t extentx, extenty;  // HIMETRIC: twips * 127 / 72, to nearest
  bool has_borderstyle;
  int16_t borderstyle;
  int16_t appearance;
  Colour backcolor;

  // In the order the control reads them at creation.
  std::vector<SavedProperty> SavedProperties() const {
    std::vector<SavedProperty> props{{"_extentx", extentx}, {"_extenty", extenty}};
    if (has_borderstyle) props.push_back({"borderstyle", borderstyle});
    props.push_back({"appearance", appearance});
    props.push_back({"backcolor", int32_t(backcolor)});
    return props;
  }
};

struct LabelLayout {
  std::string_view name;  // "Label1"
  Rect place;
  Colour fore_color;
  Colour back_color;
  std::string_view caption;  // UTF-8, one line, left-aligned
};

struct TimerLayout {
  std::string_view name;  // "Timer2"
  int interval_ms;
  bool enabled;
};

// One control in the order of creation: a sprite by its number (1 = AniGif1), the
// banner, or the timer.
struct ControlRef {
  enum Kind : uint8_t { kSprite, kLabel, kTimer } kind;
  uint8_t sprite;  // 1..4 for kSprite
};

// The window's icon as straight RGBA rows; rgba is null where there is none.
struct IconPicture {
  int width, height;
  const uint8_t* rgba;
};

struct FormLayout {
  std::string_view caption;  // "Form1"; no title bar shows it
  // Kept as the layout's own data: the design size before the window is maximised.
  // Nothing is placed relative to it and no backend reads it.
  Rect client_area;
  Colour back_color;         // a system colour
  IconPicture icon;          // compiled into the program, as the program file's own icon
  int sprite_count;          // 3 or 4
  std::array<SpriteLayout, 4> sprites;  // AniGif1 .. AniGif4; the first sprite_count are used
  LabelLayout label;
  TimerLayout timer;
  std::array<ControlRef, 6> creation_order;  // the first ControlCount() entries
  // Kept as the layout's own data, the first sprite_count + 1 entries: no control takes
  // the focus here, so every key reaches the window whatever the order.
  std::array<std::string_view, 5> tab_order;

  int ControlCount() const { return sprite_count + 2; }
};

}  // namespace platform
