// A 32 x 32 picture written three ways: a 256-colour .ico for the Windows program
// file, a PNG for the Linux desktop, and a C++ header that the window's icon is
// compiled from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/assets/art.h"

namespace assets {

// One image, 8 bits a pixel with a 256-entry palette and an AND mask for the
// transparent key. Throws SourceError unless the art is 32 x 32.
std::vector<uint8_t> EncodeIco(const Art& art);

// The first frame as RGBA rows, transparent pixels with alpha 0.
std::vector<uint8_t> RenderRgba(const Art& art);

// Throws std::runtime_error with libpng's message on failure.
void WritePng(const std::string& path, const Art& art);

// `kIconWidth`, `kIconHeight` and `kIconRgba` for the window's icon.
std::string IconHeader(const Art& art, const std::string& source);

}  // namespace assets
