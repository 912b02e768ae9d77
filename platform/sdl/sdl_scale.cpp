// The desktop's scale as a whole factor. Implements: ScaleFactor.
#include "platform/sdl/sdl_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/shared/density.h"

namespace platform::sdl {

int ScaleFactor(const DensityFacts& facts) {
  double scale = 1.0;
  if (facts.output_scale > 0)
    scale = facts.output_scale;
  else if (facts.xsettings_scale > 0)
    scale = facts.xsettings_scale;
  else if (facts.xft_dpi > 0)
    scale = facts.xft_dpi / 96.0;
  return WholeScale(scale);
}

// The layout the settings manager writes (freedesktop.org's XSETTINGS): a byte
// order, a serial and a count, then each setting as a type, its name padded to four
// bytes, a serial and its value.
int XSettingsInteger(const unsigned char* data, size_t size, std::string_view name) {
  if (size < 12) return 0;
  const bool big = data[0] == 1;
  auto card16 = [&](size_t at) { return big ? data[at] << 8 | data[at + 1] : data[at + 1] << 8 | data[at]; };
  auto card32 = [&](size_t at) {
    return big ? uint32_t(card16(at)) << 16 | uint32_t(card16(at + 2)) : uint32_t(card16(at + 2)) << 16 | uint32_t(card16(at));
  };
  auto padded = [](size_t n) { return (n + 3) & ~size_t(3); };
  const uint32_t count = card32(8);
  size_t at = 12;
  for (uint32_t i = 0; i < count; ++i) {
    if (at + 4 > size) return 0;
    const int type = data[at];
    const size_t name_length = size_t(card16(at + 2));
    const size_t value_at = at + 4 + padded(name_length) + 4;
    if (value_at > size) return 0;
    const std::string_view this_name(reinterpret_cast<const char*>(data + at + 4), name_length);
    size_t value_length;
    switch (type) {
      case 0: value_length = 4; break;                                                  // integer
      case 1: value_length = value_at + 4 <= size ? 4 + padded(card32(value_at)) : 0; break;  // string
      case 2: value_length = 8; break;                                                  // colour
      default: return 0;
    }
    if (value_length == 0 || value_at + value_length > size) return 0;
    if (type == 0 && this_name == name) return int(int32_t(card32(value_at)));
    at = value_at + value_length;
  }
  return 0;
}

double XftDpi(std::string_view resources) {
  constexpr std::string_view kName = "Xft.dpi:";
  for (size_t line = 0; line < resources.size();) {
    const size_t end = std::min(resources.find('\n', line), resources.size());
    const std::string_view text = resources.substr(line, end - line);
    if (text.substr(0, kName.size()) == kName) {
      const std::string value(text.substr(kName.size()));
      return std::max(0.0, std::strtod(value.c_str(), nullptr));
    }
    line = end + 1;
  }
  return 0;
}

}  // namespace platform::sdl
