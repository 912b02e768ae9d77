// How many of the display's pixels stand for one pixel of a 96-DPI display, each way:
// what the desktop tells its programs, as a whole factor. A plain function of plain
// facts, so that every source is tested.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform::sdl {

struct DensityFacts {
  double output_scale = 0;  // Wayland: the output's scale; 0 where not known
  int xsettings_scale = 0;  // X11: the XSETTINGS window-scaling factor; 0 where none
  double xft_dpi = 0;       // X11: the resources' Xft.dpi; 0 where unset
};

// The output's scale where known, else the window-scaling factor, else Xft.dpi / 96,
// else 1; taken to a whole factor as WholeScale does.
int ScaleFactor(const DensityFacts& facts);

// The integer setting called name in an XSETTINGS property's bytes, or 0 where the
// bytes hold no such setting or are malformed.
int XSettingsInteger(const unsigned char* data, size_t size, std::string_view name);

// Xft.dpi from the X resources' text, or 0 where it is not set.
double XftDpi(std::string_view resources);

}  // namespace platform::sdl
