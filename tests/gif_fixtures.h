// GIF files that the tests build with the project's giflib encoder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/shared/gif/gif_animation.h"
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

// Bytes scanned, then decoded, as a control decodes a file it has read.
inline std::optional<platform::gif::Animation> DecodeBytes(const std::vector<uint8_t>& bytes,
                                                           const platform::gif::Limits& limits, std::string* why,
                                                           platform::gif::Crop crop = {}) {
  const std::optional<platform::gif::Outline> outline = platform::gif::Scan(bytes.data(), bytes.size(), limits, why);
  if (!outline) return std::nullopt;
  return platform::gif::Decode({bytes, *outline}, why, crop);
}

// A file read, scanned and decoded as a control loads it, with a budget that takes
// anything.
inline std::optional<platform::gif::Animation> LoadFile(const std::string& path, std::string* why) {
  platform::MemoryBudget budget(SIZE_MAX);
  const auto file = platform::gif::ReadAdmitted(path, {}, {}, budget, why);
  if (!file) return std::nullopt;
  return platform::gif::Decode(*file, why);
}

}  // namespace gif_fixtures
