// Whether a RIFF file (a WAV) holds every byte its header claims. A cut-off
// wave would otherwise play the little it has, over and over when looped.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// True for a file that is not RIFF at all (other readers judge it), false for a
// RIFF file shorter than its header's size or one that cannot be read.
inline bool RiffIsWhole(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  unsigned char header[12];
  const size_t got = std::fread(header, 1, sizeof header, file);
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::fclose(file);
  if (got < 4 || std::string(reinterpret_cast<char*>(header), 4) != "RIFF") return true;
  if (got < 8) return false;
  const uint64_t claimed = uint64_t(header[4]) | uint64_t(header[5]) << 8 | uint64_t(header[6]) << 16 |
                           uint64_t(header[7]) << 24;
  return size >= 0 && uint64_t(size) >= claimed + 8;
}

}  // namespace platform
