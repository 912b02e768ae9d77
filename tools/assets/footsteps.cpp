// Synthesises footsteps.h's loop and writes it with libsndfile.
#include "tools/assets/footsteps.h"

#include <sndfile.h>

#include <cmath>
#include <numbers>

#include "tools/assets/source_text.h"

namespace assets {

namespace {

// Deterministic white noise in [-1, 1), so the file is the same on every build.
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed * 2654435761u + 1) {}
  double Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return double(state_ >> 8) / double(1 << 23) - 1.0;
  }

 private:
  uint32_t state_;
};

class Loop {
 public:
  explicit Loop(size_t length) : mix_(length, 0.0) {}
  void Add(size_t at, double value) { mix_[at % mix_.size()] += value; }
  const std::vector<double>& mix() const { return mix_; }

 private:
  std::vector<double> mix_;
};

// A heel strike: a low tone whose pitch falls fast, with a 2 ms attack and an
// exponential decay, rendered until it is below 1/10000.
void Thud(Loop& loop, int rate, double at, double hz, double decay, double gain) {
  const size_t start = size_t(std::lround(at * rate));
  const size_t length = size_t(decay * std::log(1e4) * rate);
  double phase = 0;
  for (size_t i = 0; i < length; ++i) {
    const double t = double(i) / rate;
    const double attack = std::min(1.0, t / 0.002);
    phase += 2 * std::numbers::pi * hz * (1 + 1.5 * std::exp(-t / 0.01)) / rate;
    loop.Add(start + i, gain * attack * std::exp(-t / decay) * std::sin(phase));
  }
}

// A sole scuffing: noise through a one-pole low-pass, under a sine-squared window
// that starts and ends at silence.
void Scuff(Loop& loop, int rate, Noise& noise, double at, double seconds, double cutoff,
           double gain) {
  const size_t start = size_t(std::lround(at * rate));
  const size_t length = size_t(seconds * rate);
  const double a = 1 - std::exp(-2 * std::numbers::pi * cutoff / rate);
  double low = 0;
  for (size_t i = 0; i < length; ++i) {
    low += a * (noise.Next() - low);
    const double w = std::sin(std::numbers::pi * double(i) / double(length));
    loop.Add(start + i, gain * w * w * low);
  }
}

}  // namespace

Footsteps MakeFootsteps(const std::string& recipe, const std::string& source) {
  SourceLines lines(recipe, source);
  Footsteps steps;
  double seconds = 0;
  uint32_t seed = 1;
  struct Event {
    bool thud;
    double at, a, b, gain;
  };
  std::vector<Event> events;
  while (lines.Next()) {
    const Words w = lines.words();
    if (w.empty()) continue;
    if (w[0] == "rate") {
      lines.ExpectCount(w, 2);
      steps.rate = lines.Int(w, 1, 8000, 96000);
    } else if (w[0] == "length") {
      lines.ExpectCount(w, 2);
      seconds = lines.Real(w, 1, 0.1, 60);
    } else if (w[0] == "seed") {
      lines.ExpectCount(w, 2);
      seed = uint32_t(lines.Int(w, 1, 0, 1 << 30));
    } else if (w[0] == "thud" || w[0] == "scuff") {
      lines.ExpectCount(w, 5);
      if (seconds == 0) lines.Fail("'length' comes before the sounds");
      const bool thud = w[0] == "thud";
      events.push_back({thud, lines.Real(w, 1, 0, seconds),
                        thud ? lines.Real(w, 2, 20, 2000) : lines.Real(w, 2, 0.001, 1),
                        thud ? lines.Real(w, 3, 0.001, 1) : lines.Real(w, 3, 20, 10000),
                        lines.Real(w, 4, 0, 1)});
    } else {
      lines.Fail("unknown keyword '" + w[0] + "'");
    }
  }
  if (events.empty()) lines.FailAtEnd("no sounds");
  Loop loop(size_t(std::lround(seconds * steps.rate)));
  Noise noise(seed);
  for (const Event& e : events) {
    if (e.thud) Thud(loop, steps.rate, e.at, e.a, e.b, e.gain);
    else Scuff(loop, steps.rate, noise, e.at, e.a, e.b, e.gain);
  }
  for (double v : loop.mix()) {
    if (std::fabs(v) >= 1) lines.FailAtEnd("the mix clips; lower the gains");
    steps.samples.push_back(int16_t(std::lround(v * 32767)));
  }
  return steps;
}

void WriteWave(const std::string& path, const Footsteps& steps) {
  SF_INFO info{};
  info.samplerate = steps.rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
  const sf_count_t count = sf_count_t(steps.samples.size());
  const bool written = sf_write_short(file, steps.samples.data(), count) == count;
  if (sf_close(file) != 0 || !written) throw std::runtime_error("cannot write " + path);
}

}  // namespace assets
