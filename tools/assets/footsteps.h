// A loop of footsteps synthesised from a recipe of thuds and scuffs.
//
//   rate 22050                    samples a second
//   length 2.0                    seconds in the loop
//   seed 7                        the noise generator's start
//   thud  <at s> <Hz> <decay s> <gain>    a heel: a falling low tone
//   scuff <at s> <length s> <cutoff Hz> <gain>   a sole: filtered noise
//
// Sounds that run past the end of the loop carry on at its beginning, so the last
// sample leads into the first as any two neighbours do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assets {

struct Footsteps {
  int rate = 22050;
  std::vector<int16_t> samples;  // mono
};

// Throws SourceError with the line of a fault.
Footsteps MakeFootsteps(const std::string& recipe, const std::string& source);

// A 16-bit mono WAV through libsndfile; throws std::runtime_error on failure.
void WriteWave(const std::string& path, const Footsteps& steps);

}  // namespace assets
