// libFuzzer target: the sound load path. A file's bytes go through the wave or MIDI
// checks and, where admitted, on to what the program hands them to: SDL_mixer's wave
// loader, which converts to the device's format, and FluidSynth's player, which plays
// the song with the General MIDI soundfont for up to a second of sound. A wave whose
// decoded size passes the limit the check promised is a finding, and so is a song
// that takes longer to play than the limits allow.
#include <SDL.h>
#include <SDL_mixer.h>
#include <fluidsynth.h>

#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/shared/sound/sound_check.h"
#include "tests/fuzz/memory_account.h"

namespace {

constexpr const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
  }
}

void Quiet(int, const char*, void*) {}

double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct Player {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
};

Player& Synth() {
  static Player player = [] {
    Player p;
    for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level) fluid_set_log_function(level, Quiet, nullptr);
    p.settings = new_fluid_settings();
    fluid_settings_setnum(p.settings, "synth.sample-rate", 44100.0);
    p.synth = new_fluid_synth(p.settings);
    if (fluid_synth_sfload(p.synth, kSoundFont, 1) == FLUID_FAILED) std::abort();
    return p;
  }();
  return player;
}

void WavePath(const uint8_t* data, size_t size) {
  int rate = 0, channels = 0;
  uint16_t format = 0;
  Mix_QuerySpec(&rate, &format, &channels);
  platform::sound::WaveLimits limits;
  limits.device_rate = rate;
  limits.device_channels = channels;
  limits.device_sample_bytes = SDL_AUDIO_BITSIZE(format) / 8;
  std::string why;
  platform::Cost cost;
  if (!platform::sound::CheckWave(data, size, limits, &why, &cost)) {
    Require(!why.empty(), "a refusal says why");
    return;
  }
  Mix_Chunk* chunk = nullptr;
  const size_t peak =
      memory_account::PeakDuring([&] { chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(data, int(size)), 1); });
  // What the budget counts for the file (its bytes, here already in memory, among them).
  if (peak > cost.peak + 4096) std::fprintf(stderr, "heap %zu bytes at its peak, counted %zu\n", peak, cost.peak);
  Require(peak <= cost.peak + 4096, "memory while loading within what the budget counts");
  if (!chunk) return;  // the loader's own refusal
  Require(chunk->alen <= limits.max_decoded_bytes, "the decoded wave within the limit");
  Mix_FreeChunk(chunk);
}

void MidiPath(const uint8_t* data, size_t size) {
  const platform::sound::MidiLimits limits;
  std::string why;
  platform::Cost cost;
  if (!platform::sound::CheckMidi(data, size, limits, &why, &cost)) {
    Require(!why.empty(), "a refusal says why");
    return;
  }
  Player& p = Synth();
  fluid_player_t* player = new_fluid_player(p.synth);
  // The player's copy of the file and its record of every event, beside the
  // synthesizer made once for every input.
  size_t peak = 0;
  bool playing = false;
  peak = memory_account::PeakDuring(
      [&] { playing = fluid_player_add_mem(player, data, size) == FLUID_OK && fluid_player_play(player) == FLUID_OK; });
  Require(peak <= cost.peak - limits.synthesizer_bytes, "the player's memory within what the budget counts");
  if (playing) {
    // One second of sound in blocks of 1024 frames, as the audio callback asks.
    std::vector<int16_t> block(2 * 1024);
    // Counted in this thread's processor time, which other work on the machine
    // does not stretch.
    const double started = ThreadSeconds();
    for (int i = 0; i < 44 && fluid_player_get_status(player) == FLUID_PLAYER_PLAYING; ++i)
      fluid_synth_write_s16(p.synth, 1024, block.data(), 0, 2, block.data(), 1, 2);
    Require(ThreadSeconds() - started < 2.0, "a second of the song plays in less than two");
    fluid_player_stop(player);
  }
  delete_fluid_player(player);
  fluid_synth_system_reset(p.synth);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  memory_account::Install();
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (SDL_Init(SDL_INIT_AUDIO) != 0 || Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048) != 0) std::abort();
  Synth();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 4 && std::string(reinterpret_cast<const char*>(data), 4) == "MThd")
    MidiPath(data, size);
  else
    WavePath(data, size);
  return 0;
}
