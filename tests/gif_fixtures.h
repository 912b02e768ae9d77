// GIF files that the tests build with the project's giflib encoder.
#pragma once

#include "tools/assets/gif_encoder.h"

namespace gif_fixtures {

using assets::Encode;
using assets::FrameRecipe;
using assets::GifRecipe;
using assets::Rgb;
using assets::WriteFile;

// A whole frame of one palette index.
inline FrameRecipe Solid(int width, int height, uint8_t index, int delay_cs = 10) {
  return {0, 0, width, height, std::vector<uint8_t>(size_t(width * height), index), delay_cs};
}

}  // namespace gif_fixtures
