// The desktop's scale as a whole factor. Implements: ScaleFactor.
#include "platform/sdl/sdl_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/shared/byte_reader.h"
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
  ByteReader in(data, size, data[0] == 1 ? ByteReader::Order::kBigEndian : ByteReader::Order::kLittleEndian);
  auto padding = [](uint32_t n) { return (4 - n % 4) % 4; };
  uint32_t count = 0;
  in.Skip(8);
  in.U32(&count);
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t type;
    uint32_t name_length, value;
    const uint8_t* this_name;
    if (!in.Byte(&type) || !in.Skip(1) || !in.U16(&name_length) || !in.Bytes(name_length, &this_name) ||
        !in.Skip(padding(name_length) + 4))
      return 0;
    switch (type) {
      case 0:  // an integer
        if (!in.U32(&value)) return 0;
        if (std::string_view(reinterpret_cast<const char*>(this_name), name_length) == name) return int(int32_t(value));
        break;
      case 1:  // a string
        if (!in.U32(&value) || !in.Skip(uint64_t(value) + padding(value))) return 0;
        break;
      case 2:  // a colour
        if (!in.Skip(8)) return 0;
        break;
      default: return 0;
    }
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
