// GIF files built in memory with giflib's encoder: the sprites the asset tool makes
// and the fixtures the tests make.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assets {

struct Rgb {
  uint8_t r, g, b;
};

struct FrameRecipe {
  int left, top, width, height;
  std::vector<uint8_t> indices;  // width * height palette indices
  int delay_cs = 10;
  int disposal = 0;              // 0 none, 1 keep, 2 background, 3 previous
  int transparent = -1;
  bool interlaced = false;       // rows stored in the four passes of an interlaced GIF
};

struct GifRecipe {
  int width, height;
  std::vector<Rgb> palette;  // the global colour table: 2, 4, ... 256 entries
  std::vector<FrameRecipe> frames;
  bool loop = false;         // a NETSCAPE2.0 block asking viewers to loop for ever
};

// Throws std::runtime_error naming the giflib call that failed.
std::vector<uint8_t> Encode(const GifRecipe& recipe);

// Writes the bytes, replacing the file; throws std::runtime_error on failure.
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace assets
