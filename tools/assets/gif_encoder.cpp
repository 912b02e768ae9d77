// Builds GIF files in memory with giflib's encoder.
#include "tools/assets/gif_encoder.h"

#include <gif_lib.h>

#include <fstream>
#include <memory>
#include <stdexcept>

namespace assets {

namespace {

int WriteToVector(GifFileType* file, const GifByteType* data, int length) {
  auto* out = static_cast<std::vector<uint8_t>*>(file->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

void Check(int result, const char* call) {
  if (result != GIF_OK) throw std::runtime_error(std::string(call) + " failed");
}

void PutLoopBlock(GifFileType* file) {
  static const GifByteType kApplication[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  static const GifByteType kForever[] = {1, 0, 0};  // sub-block 1: loop count 0
  Check(EGifPutExtensionLeader(file, APPLICATION_EXT_FUNC_CODE), "EGifPutExtensionLeader");
  Check(EGifPutExtensionBlock(file, sizeof kApplication, kApplication), "EGifPutExtensionBlock");
  Check(EGifPutExtensionBlock(file, sizeof kForever, kForever), "EGifPutExtensionBlock");
  Check(EGifPutExtensionTrailer(file), "EGifPutExtensionTrailer");
}

}  // namespace

std::vector<uint8_t> Encode(const GifRecipe& recipe) {
  std::vector<uint8_t> bytes;
  int error = 0;
  GifFileType* file = EGifOpen(&bytes, WriteToVector, &error);
  if (!file) throw std::runtime_error("EGifOpen failed");
  auto close = [](GifFileType* f) { int e = 0; EGifCloseFile(f, &e); };
  std::unique_ptr<GifFileType, decltype(close)> closer(file, close);

  std::vector<GifColorType> colours;
  for (const Rgb& c : recipe.palette) colours.push_back({c.r, c.g, c.b});
  std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(
      GifMakeMapObject(int(colours.size()), colours.data()), GifFreeMapObject);
  if (!map) throw std::runtime_error("GifMakeMapObject failed: the palette needs 2, 4, ... 256 entries");
  EGifSetGifVersion(file, true);
  Check(EGifPutScreenDesc(file, recipe.width, recipe.height, 8, 0, map.get()), "EGifPutScreenDesc");
  if (recipe.loop) PutLoopBlock(file);
  for (const FrameRecipe& f : recipe.frames) {
    GraphicsControlBlock gcb{f.disposal, false, f.delay_cs, f.transparent};
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&gcb, extension);
    Check(EGifPutExtension(file, GRAPHICS_EXT_FUNC_CODE, int(length), extension), "EGifPutExtension");
    Check(EGifPutImageDesc(file, f.left, f.top, f.width, f.height, f.interlaced, nullptr), "EGifPutImageDesc");
    // Interlaced, the rows go every 8th from 0, every 8th from 4, every 4th from 2,
    // every 2nd from 1; otherwise in order.
    std::vector<int> rows;
    if (f.interlaced) {
      for (const auto& [first, step] : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}})
        for (int y = first; y < f.height; y += step) rows.push_back(y);
    } else {
      for (int y = 0; y < f.height; ++y) rows.push_back(y);
    }
    std::vector<GifPixelType> row(size_t(f.width));
    for (const int y : rows) {
      for (int x = 0; x < f.width; ++x) row[size_t(x)] = f.indices[size_t(y * f.width + x)];
      Check(EGifPutLine(file, row.data(), f.width), "EGifPutLine");
    }
  }
  closer.reset();
  return bytes;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace assets
