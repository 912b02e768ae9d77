// The structure of WAV and Standard MIDI files, walked to hold them to limits before
// the sound libraries see them. Shared by every backend.
#include "platform/shared/sound/sound_check.h"

#include <algorithm>
#include <cstring>

#include "platform/shared/byte_reader.h"

namespace platform::sound {

namespace {

bool Fail(std::string* why, std::string text) {
  if (why) *why = std::move(text);
  return false;
}

// Encodings the wave loader decodes, with the bits each sample takes in the file.
bool KnownEncoding(uint32_t tag, uint32_t bits) {
  switch (tag) {
    case 0x0001: return bits == 8 || bits == 16 || bits == 24 || bits == 32;  // PCM
    case 0x0003: return bits == 32;                                          // IEEE float
    case 0x0006: case 0x0007: return bits == 8;                              // A-law, mu-law
    case 0x0002: case 0x0011: return bits == 4;                              // MS and IMA ADPCM
    default: return false;
  }
}

// The length that a meta event of this type must have, or -1 for any.
int MetaLength(uint8_t type) {
  switch (type) {
    case 0x2F: return 0;  // end of track
    case 0x51: return 3;  // tempo
    case 0x54: return 5;  // SMPTE offset
    case 0x58: return 4;  // time signature
    case 0x59: return 2;  // key signature
    default: return -1;
  }
}

// One event that matters to timing: a sounding one, or a change of tempo.
struct Timed {
  uint64_t tick;
  uint32_t tempo;  // microseconds per quarter note; 0 for a sounding event
};

}  // namespace

bool CheckWave(const uint8_t* data, size_t size, const WaveLimits& limits, std::string* why, Cost* cost) {
  if (size > limits.max_file_bytes) return Fail(why, "larger than the limit");
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
    return Fail(why, "not a RIFF WAVE file");
  const uint64_t riff_end = uint64_t(Le32(data + 4)) + 8;
  if (riff_end > size) return Fail(why, "cut short: the file holds less than its header claims");
  uint32_t tag = 0, channels = 0, rate = 0, block_align = 0, bits = 0;
  bool have_format = false;  // one, since the check and the loader would each read another
  for (uint64_t pos = 12; pos + 8 <= riff_end;) {
    const uint8_t* chunk = data + pos;
    const uint64_t length = Le32(chunk + 4);
    if (pos + 8 + length > riff_end) return Fail(why, "cut short: a chunk runs past the end of the file");
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (have_format) return Fail(why, "more than one format chunk");
      if (length < 16) return Fail(why, "a format chunk too short");
      tag = Le16(chunk + 8);
      channels = Le16(chunk + 10);
      rate = Le32(chunk + 12);
      block_align = Le16(chunk + 20);
      bits = Le16(chunk + 22);
      if (tag == 0xFFFE && length >= 40) tag = Le16(chunk + 32);  // the extensible format's own
      have_format = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!have_format) return Fail(why, "sound data before its format");
      if (!KnownEncoding(tag, bits)) return Fail(why, "an encoding the wave loader does not decode");
      if (channels < 1 || int(channels) > limits.max_channels) return Fail(why, "channels beyond the limit");
      if (int64_t(rate) < limits.min_rate || int64_t(rate) > limits.max_rate)
        return Fail(why, "sample rate " + std::to_string(rate) + " Hz outside the limits");
      if (block_align == 0) return Fail(why, "no block size");
      const uint64_t frames = length * 8 / (uint64_t(bits) * channels);
      const uint64_t converted = frames * uint64_t(limits.device_rate) / rate + 1;
      const uint64_t decoded =
          converted * uint64_t(limits.device_channels) * uint64_t(limits.device_sample_bytes);
      if (decoded > limits.max_decoded_bytes)
        return Fail(why, "decoded size of " + std::to_string(decoded >> 20) + " MB larger than the limit");
      if (frames == 0) return Fail(why, "no sound data");
      if (cost) {
        // The loader's samples: 8-bit stays, 16-bit, A-law, mu-law and ADPCM become
        // 16-bit, 24-bit becomes 32-bit.
        const uint64_t sample_bytes = bits <= 8 && tag == 1 ? 1 : bits <= 16 ? 2 : 4;
        const uint64_t samples = frames * channels * sample_bytes;
        const uint64_t to_floats = std::max<uint64_t>(1, 4 / sample_bytes);
        const uint64_t to_channels = std::max<uint64_t>(1, (uint64_t(limits.device_channels) + channels - 1) / channels);
        // A change of rate takes twice the rounded-up ratio (seen: 8 kHz to 44.1 kHz,
        // twelve times; 48 kHz to 44.1 kHz, twice).
        const uint64_t to_rate =
            int64_t(rate) == limits.device_rate ? 1 : 2 * ((uint64_t(limits.device_rate) + rate - 1) / rate);
        const uint64_t conversion = samples * to_floats * to_channels * to_rate;
        *cost = {size_t(size + samples + conversion), size_t(conversion)};
      }
      return true;
    }
    pos += 8 + length + (length & 1);
  }
  return Fail(why, "no sound data");
}

bool CheckMidi(const uint8_t* data, size_t size, const MidiLimits& limits, std::string* why, Cost* cost) {
  if (size > limits.max_file_bytes) return Fail(why, "larger than the limit");
  if (size < 14 || std::memcmp(data, "MThd", 4) != 0 || Be32(data + 4) < 6)
    return Fail(why, "not a Standard MIDI File");
  const uint32_t header_length = Be32(data + 4);
  const uint32_t declared_tracks = Be16(data + 10);
  const uint32_t division = Be16(data + 12);
  if (declared_tracks == 0 || int(declared_tracks) > limits.max_tracks)
    return Fail(why, std::to_string(declared_tracks) + " tracks, beyond the limit");
  if (division == 0) return Fail(why, "no time division");
  // The synthesizer refuses a song timed in SMPTE frames, and says so without
  // naming the file: it is refused here instead.
  if (division & 0x8000) return Fail(why, "timed in SMPTE frames, which the synthesizer does not play");

  std::vector<Timed> timed;
  size_t events = 0;
  uint32_t tracks = 0;
  ByteReader file(data, size);
  if (!file.Skip(8 + uint64_t(header_length))) return Fail(why, "cut short in its header");
  while (!file.AtEnd() && tracks < declared_tracks) {
    uint8_t id[4], length_bytes[4];
    for (uint8_t& b : id)
      if (!file.Byte(&b)) return Fail(why, "cut short between tracks");
    for (uint8_t& b : length_bytes)
      if (!file.Byte(&b)) return Fail(why, "cut short between tracks");
    const uint32_t length = Be32(length_bytes);
    const uint8_t* body = file.Here();
    if (!file.Skip(length)) return Fail(why, "cut short: a track runs past the end of the file");
    if (std::memcmp(id, "MTrk", 4) != 0) continue;  // chunks of other kinds are passed over
    ++tracks;
    ByteReader track(body, length);
    uint64_t tick = 0;
    uint8_t status = 0;
    size_t track_events = 0;
    while (!track.AtEnd()) {
      uint32_t delta;
      uint8_t b;
      if (!track.Quantity(&delta) || !track.Byte(&b)) return Fail(why, "a track cut short");
      tick += delta;
      if (++track_events > limits.max_events_per_track) return Fail(why, "more events in a track than the limit");
      if (++events > limits.max_events) return Fail(why, "more events than the limit");
      if (b == 0xFF) {
        uint8_t type;
        uint32_t n;
        if (!track.Byte(&type) || !track.Quantity(&n)) return Fail(why, "a track cut short");
        const uint8_t* meta = track.Here();
        if (!track.Skip(n)) return Fail(why, "a track cut short");
        // The synthesizer refuses the whole song for a meta event of the wrong length.
        if (MetaLength(type) >= 0 && n != uint32_t(MetaLength(type)))
          return Fail(why, "a meta event of type " + std::to_string(type) + " and the wrong length");
        if (type == 0x51) {
          const uint32_t tempo = uint32_t(meta[0]) << 16 | uint32_t(meta[1]) << 8 | meta[2];
          timed.push_back({tick, std::max<uint32_t>(tempo, 1)});
        }
        if (type == 0x2F) break;  // end of track
        continue;
      }
      if (b == 0xF0 || b == 0xF7) {  // system exclusive
        uint32_t n;
        if (!track.Quantity(&n) || !track.Skip(n)) return Fail(why, "a track cut short");
        timed.push_back({tick, 0});
        continue;
      }
      uint8_t first;
      if (b & 0x80) {
        if (b >= 0xF0) return Fail(why, "a message that has no place in a file");
        status = b;
        if (!track.Byte(&first)) return Fail(why, "a track cut short");
      } else {
        if (!status) return Fail(why, "running status with no status before it");
        first = b;  // running status: b is the first data byte
      }
      if (first & 0x80) return Fail(why, "a data byte out of range");
      const uint8_t kind = status & 0xF0;
      if (kind != 0xC0 && kind != 0xD0) {
        uint8_t second;
        if (!track.Byte(&second) || (second & 0x80)) return Fail(why, "a track cut short");
      }
      timed.push_back({tick, 0});
    }
  }
  if (tracks == 0) return Fail(why, "no tracks");

  // When each event falls due, through the tempo changes of every track.
  std::stable_sort(timed.begin(), timed.end(), [](const Timed& a, const Timed& b) {
    return a.tick < b.tick || (a.tick == b.tick && a.tempo > b.tempo);  // tempo first
  });
  double now_us = 0.0;
  uint64_t last_tick = 0;
  uint32_t tempo = 500000;
  std::vector<double> due;
  due.reserve(timed.size());
  for (const Timed& t : timed) {
    const double us_per_tick = double(tempo) / double(division);
    now_us += double(t.tick - last_tick) * us_per_tick;
    last_tick = t.tick;
    if (t.tempo)
      tempo = t.tempo;
    else
      due.push_back(now_us);
  }
  const double window_us = limits.window_ms * 1000.0;
  for (size_t first = 0, last = 0; last < due.size(); ++last) {
    while (due[last] - due[first] >= window_us) ++first;
    if (last - first + 1 > limits.max_events_in_window)
      return Fail(why, "more than " + std::to_string(limits.max_events_in_window) + " events fall due within " +
                           std::to_string(limits.window_ms) + " ms");
  }
  if (cost) {
    const size_t held = 2 * size + events * limits.bytes_per_event + limits.synthesizer_bytes;
    *cost = {held, held};
  }
  return true;
}

}  // namespace platform::sound
