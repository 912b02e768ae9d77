// GIF files that the tests build with giflib's encoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gif_fixtures {

struct Rgb {
  uint8_t r, g, b;
};

struct FrameRecipe {
  int left, top, width, height;
  std::vector<uint8_t> indices;  // width * height palette indices
  int delay_cs = 10;
  int disposal = 0;              // 0 none, 1 keep, 2 background, 3 previous
  int transparent = -1;
};

struct GifRecipe {
  int width, height;
  std::vector<Rgb> palette;  // the global colour table: 2, 4, ... 256 entries
  std::vector<FrameRecipe> frames;
};

std::vector<uint8_t> Encode(const GifRecipe& recipe);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// A whole frame of one palette index.
FrameRecipe Solid(int width, int height, uint8_t index, int delay_cs = 10);

}  // namespace gif_fixtures
