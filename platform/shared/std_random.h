// The random generator over the standard library's Mersenne twister, seeded from
// the clock: every backend's Random.
#pragma once

#include <chrono>
#include <random>

#include "platform/platform.h"

namespace platform {

class StdRandom final : public Random {
 public:
  void Randomize() override {
    const auto now = std::chrono::system_clock::now().time_since_epoch().count();
    std::random_device device;  // sets apart two programs started in one clock tick
    std::seed_seq seed{uint32_t(now), uint32_t(uint64_t(now) >> 32), device()};
    generator_.seed(seed);
  }

  // 24 random bits over 2^24: every value is a float, and the largest is 1 - 2^-24.
  float Rnd() override { return float(generator_() >> 8) * (1.0f / 16777216.0f); }

 private:
  std::mt19937 generator_;
};

}  // namespace platform
