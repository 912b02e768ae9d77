// Sound files held to limits before any library decodes them. A wave is converted
// whole to the device's format when it loads, and a MIDI song's events are played
// inside the audio callback, every event that falls due in one callback at once: a
// small file can cost gigabytes or stall the program for seconds. These checks read
// only the files' structure, and say why they refuse one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/shared/memory_budget.h"

namespace platform::sound {

struct WaveLimits {
  size_t max_file_bytes = size_t(8) << 20;
  int min_rate = 8000, max_rate = 192000;  // samples per second
  int max_channels = 8;
  // What the wave becomes once converted to the device's format.
  size_t max_decoded_bytes = size_t(32) << 20;
  int device_rate = 44100, device_channels = 2, device_sample_bytes = 2;
};

struct MidiLimits {
  size_t max_file_bytes = size_t(2) << 20;
  int max_tracks = 256;
  size_t max_events_per_track = 100000;
  size_t max_events = 400000;
  // Events that fall due within one stretch of this length are played together.
  int window_ms = 50;
  size_t max_events_in_window = 2000;
  // The synthesizer, its voices and the General MIDI font's samples.
  size_t synthesizer_bytes = size_t(24) << 20;
  size_t bytes_per_event = 64;  // the player's record of one event
};

// A RIFF WAVE file with its format and data chunks whole, in an encoding the wave
// loader decodes, within the limits. Says why not. Where cost is given, it receives
// what loading the wave costs: the file's bytes, the loader's samples as it reads
// them, and its conversion buffer, which grows by every step the conversion widens
// (to floats, to more channels, to a higher rate) and is what stays held.
bool CheckWave(const uint8_t* data, size_t size, const WaveLimits& limits, std::string* why,
               Cost* cost = nullptr);

// A Standard MIDI File whose tracks parse to their ends, within the limits, with
// nothing the synthesizer refuses. Says why not. Where cost is given, it receives
// what the song costs while it plays: the file's bytes, held twice (here and in the
// player), the player's record of every event, and the synthesizer with its font.
bool CheckMidi(const uint8_t* data, size_t size, const MidiLimits& limits, std::string* why,
               Cost* cost = nullptr);

}  // namespace platform::sound
