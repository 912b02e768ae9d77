// Builds GIF fixtures in memory with giflib's encoder.
#include "tests/gif_fixtures.h"

#include <gif_lib.h>

#include <fstream>
#include <stdexcept>

namespace gif_fixtures {

namespace {

int WriteToVector(GifFileType* file, const GifByteType* data, int length) {
  auto* out = static_cast<std::vector<uint8_t>*>(file->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

}  // namespace

std::vector<uint8_t> Encode(const GifRecipe& recipe) {
  std::vector<uint8_t> bytes;
  int error = 0;
  GifFileType* file = EGifOpen(&bytes, WriteToVector, &error);
  if (!file) throw std::runtime_error("EGifOpen failed");
  std::vector<GifColorType> colours;
  for (const Rgb& c : recipe.palette) colours.push_back({c.r, c.g, c.b});
  ColorMapObject* map = GifMakeMapObject(int(colours.size()), colours.data());
  EGifSetGifVersion(file, true);
  if (EGifPutScreenDesc(file, recipe.width, recipe.height, 8, 0, map) != GIF_OK)
    throw std::runtime_error("EGifPutScreenDesc failed");
  for (const FrameRecipe& f : recipe.frames) {
    GraphicsControlBlock gcb{f.disposal, false, f.delay_cs, f.transparent};
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&gcb, extension);
    EGifPutExtension(file, GRAPHICS_EXT_FUNC_CODE, int(length), extension);
    if (EGifPutImageDesc(file, f.left, f.top, f.width, f.height, false, nullptr) != GIF_OK)
      throw std::runtime_error("EGifPutImageDesc failed");
    std::vector<GifPixelType> row(size_t(f.width));
    for (int y = 0; y < f.height; ++y) {
      for (int x = 0; x < f.width; ++x) row[size_t(x)] = f.indices[size_t(y * f.width + x)];
      if (EGifPutLine(file, row.data(), f.width) != GIF_OK)
        throw std::runtime_error("EGifPutLine failed");
    }
  }
  EGifCloseFile(file, &error);
  GifFreeMapObject(map);
  return bytes;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

FrameRecipe Solid(int width, int height, uint8_t index, int delay_cs) {
  return {0, 0, width, height, std::vector<uint8_t>(size_t(width * height), index), delay_cs};
}

}  // namespace gif_fixtures
