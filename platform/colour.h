// Colour values as the engine exchanges them: red + 256 * green + 65536 * blue,
// or, with the top bit set, a system colour named by its low byte.
#pragma once

#include <cstdint>

namespace platform {

using Colour = uint32_t;

constexpr Colour kSystemColourFlag = 0x80000000u;
constexpr Colour kColorMenuText = kSystemColourFlag | 7u;  // black in the standard scheme
constexpr Colour kBlack = 0;

// Packs three components as 16-bit integers; a component above 255 counts as 255.
constexpr Colour RGB(int16_t red, int16_t green, int16_t blue) {
  auto limit = [](int16_t c) -> Colour { return c > 255 ? 255u : c < 0 ? 0u : Colour(c); };
  return limit(red) + 256u * limit(green) + 65536u * limit(blue);
}

// The colour the standard scheme gives a system colour, where no system scheme is
// asked (black: the only system colour the layouts name is the menu text's); an RGB
// value stays itself.
constexpr Colour InStandardScheme(Colour colour) { return (colour & kSystemColourFlag) ? kBlack : colour; }

constexpr int RedOf(Colour c) { return int(c & 0xFF); }
constexpr int GreenOf(Colour c) { return int((c >> 8) & 0xFF); }
constexpr int BlueOf(Colour c) { return int((c >> 16) & 0xFF); }

// The same colour as a 0xAARRGGBB pixel, opaque.
constexpr uint32_t ToArgb(Colour c) {
  return 0xFF000000u | (uint32_t(RedOf(c)) << 16) | (uint32_t(GreenOf(c)) << 8) | uint32_t(BlueOf(c));
}

}  // namespace platform
