// Writes the icon files of icon_files.h.
#include "tools/assets/icon_files.h"

#include <png.h>

#include <sstream>

#include "tools/assets/source_text.h"

namespace assets {

namespace {

constexpr int kSide = 32;

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

void CheckSide(const Art& art) {
  if (art.width != kSide || art.height != kSide)
    throw SourceError("an icon is 32 x 32 pixels, not " + std::to_string(art.width) + " x " +
                      std::to_string(art.height));
}

}  // namespace

std::vector<uint8_t> EncodeIco(const Art& art) {
  CheckSide(art);
  const std::vector<uint8_t> pixels = art.Render(0);
  constexpr uint32_t kHeader = 40, kPalette = 256 * 4, kXor = kSide * kSide, kAnd = kSide * 4;
  constexpr uint32_t kImage = kHeader + kPalette + kXor + kAnd;
  std::vector<uint8_t> out;
  // ICONDIR and its one entry: 0 colours stands for 256.
  Put16(out, 0), Put16(out, 1), Put16(out, 1);
  out.insert(out.end(), {uint8_t(kSide), uint8_t(kSide), 0, 0});
  Put16(out, 1), Put16(out, 8), Put32(out, kImage), Put32(out, 22);
  // BITMAPINFOHEADER: the height counts the colour rows and the mask rows.
  Put32(out, kHeader), Put32(out, kSide), Put32(out, 2 * kSide), Put16(out, 1), Put16(out, 8);
  Put32(out, 0), Put32(out, kXor + kAnd), Put32(out, 0), Put32(out, 0), Put32(out, 256), Put32(out, 0);
  for (size_t i = 0; i < 256; ++i) {
    const Rgb c = i < art.colours.size() ? art.colours[i] : Rgb{0, 0, 0};
    out.insert(out.end(), {c.b, c.g, c.r, 0});
  }
  // Rows run bottom-up. A transparent pixel is masked and drawn in the transparent
  // key's colour, which is black, so the screen shows through unchanged.
  for (int y = kSide - 1; y >= 0; --y)
    for (int x = 0; x < kSide; ++x) out.push_back(pixels[size_t(y * kSide + x)]);
  for (int y = kSide - 1; y >= 0; --y) {
    uint32_t bits = 0;
    for (int x = 0; x < kSide; ++x)
      if (pixels[size_t(y * kSide + x)] == art.transparent) bits |= 0x80000000u >> x;
    out.insert(out.end(), {uint8_t(bits >> 24), uint8_t(bits >> 16), uint8_t(bits >> 8), uint8_t(bits)});
  }
  return out;
}

std::vector<uint8_t> RenderRgba(const Art& art) {
  const std::vector<uint8_t> pixels = art.Render(0);
  std::vector<uint8_t> rgba;
  rgba.reserve(pixels.size() * 4);
  for (uint8_t index : pixels) {
    const Rgb c = art.colours[index];
    rgba.insert(rgba.end(), {c.r, c.g, c.b, uint8_t(index == art.transparent ? 0 : 255)});
  }
  return rgba;
}

void WritePng(const std::string& path, const Art& art) {
  const std::vector<uint8_t> rgba = RenderRgba(art);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(art.width);
  image.height = png_uint_32(art.height);
  image.format = PNG_FORMAT_RGBA;
  if (!png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr))
    throw std::runtime_error("cannot write " + path + ": " + image.message);
}

std::string IconHeader(const Art& art, const std::string& source) {
  CheckSide(art);
  const std::vector<uint8_t> rgba = RenderRgba(art);
  std::ostringstream out;
  out << "// The window's icon, made from " << source << " by the asset tool.\n"
      << "#pragma once\n\n"
      << "constexpr int kIconWidth = " << art.width << ", kIconHeight = " << art.height << ";\n"
      << "constexpr unsigned char kIconRgba[] = {";
  for (size_t i = 0; i < rgba.size(); ++i)
    out << (i % 16 == 0 ? "\n   " : "") << ' ' << int(rgba[i]) << ',';
  out << "\n};\n";
  return out.str();
}

}  // namespace assets
