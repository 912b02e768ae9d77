// The structure of WAV and Standard MIDI files, walked to hold them to limits before
// the sound libraries see them. Shared by every backend.
#include "platform/shared/sound/sound_check.h"

#include <algorithm>
#include <cstring>
#include <vector>

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

struct Format {
  uint32_t tag = 0, channels = 0, rate = 0, block_align = 0, bits = 0;
};

bool ReadFormat(ByteReader body, Format* format) {
  if (body.Left() < 16) return false;
  body.U16(&format->tag);
  body.U16(&format->channels);
  body.U32(&format->rate);
  body.Skip(4);  // bytes a second
  body.U16(&format->block_align);
  body.U16(&format->bits);
  if (format->tag == 0xFFFE && body.Left() >= 24) {  // the extensible format's own
    body.Skip(8);
    body.U16(&format->tag);
  }
  return true;
}

// The sound data of a wave of this format, length bytes, held to the limits; its
// cost as the loader will hold it.
bool CheckData(const Format& f, uint64_t length, size_t size, const WaveLimits& limits, std::string* why, Cost* cost) {
  if (!KnownEncoding(f.tag, f.bits)) return Fail(why, "an encoding the wave loader does not decode");
  if (f.channels < 1 || int(f.channels) > limits.max_channels) return Fail(why, "channels beyond the limit");
  if (int64_t(f.rate) < limits.min_rate || int64_t(f.rate) > limits.max_rate)
    return Fail(why, "sample rate " + std::to_string(f.rate) + " Hz outside the limits");
  if (f.block_align == 0) return Fail(why, "no block size");
  const uint64_t frames = length * 8 / (uint64_t(f.bits) * f.channels);
  const uint64_t converted = frames * uint64_t(limits.device_rate) / f.rate + 1;
  const uint64_t decoded = converted * uint64_t(limits.device_channels) * uint64_t(limits.device_sample_bytes);
  if (decoded > limits.max_decoded_bytes)
    return Fail(why, "decoded size of " + std::to_string(decoded >> 20) + " MB larger than the limit");
  if (frames == 0) return Fail(why, "no sound data");
  if (cost) {
    // The loader's samples: 8-bit stays, 16-bit, A-law, mu-law and ADPCM become
    // 16-bit, 24-bit becomes 32-bit.
    const uint64_t sample_bytes = f.bits <= 8 && f.tag == 1 ? 1 : f.bits <= 16 ? 2 : 4;
    const uint64_t samples = frames * f.channels * sample_bytes;
    const uint64_t to_floats = std::max<uint64_t>(1, 4 / sample_bytes);
    const uint64_t to_channels = std::max<uint64_t>(1, (uint64_t(limits.device_channels) + f.channels - 1) / f.channels);
    // A change of rate takes twice the rounded-up ratio (seen: 8 kHz to 44.1 kHz,
    // twelve times; 48 kHz to 44.1 kHz, twice).
    const uint64_t to_rate =
        int64_t(f.rate) == limits.device_rate ? 1 : 2 * ((uint64_t(limits.device_rate) + f.rate - 1) / f.rate);
    const uint64_t conversion = samples * to_floats * to_channels * to_rate;
    *cost = {size_t(size + samples + conversion), size_t(conversion)};
  }
  return true;
}

// A track's events, each counted against the limits and noted with its tick.
bool WalkTrack(ByteReader track, const MidiLimits& limits, size_t* events, std::vector<Timed>* timed,
               std::string* why) {
  uint64_t tick = 0;
  uint8_t status = 0;
  size_t track_events = 0;
  while (!track.AtEnd()) {
    uint32_t delta, n;
    uint8_t b, type, first, second;
    if (!track.Quantity(&delta) || !track.Byte(&b)) return Fail(why, "a track cut short");
    tick += delta;
    if (++track_events > limits.max_events_per_track) return Fail(why, "more events in a track than the limit");
    if (++*events > limits.max_events) return Fail(why, "more events than the limit");
    if (b == 0xFF) {  // a meta event
      ByteReader meta(nullptr, 0, ByteReader::Order::kBigEndian);
      if (!track.Byte(&type) || !track.Quantity(&n) || !track.Take(n, &meta)) return Fail(why, "a track cut short");
      // The synthesizer refuses the whole song for a meta event of the wrong length.
      if (MetaLength(type) >= 0 && n != uint32_t(MetaLength(type)))
        return Fail(why, "a meta event of type " + std::to_string(type) + " and the wrong length");
      uint8_t tempo[3];
      if (type == 0x51 && meta.Byte(&tempo[0]) && meta.Byte(&tempo[1]) && meta.Byte(&tempo[2]))
        timed->push_back({tick, std::max<uint32_t>(uint32_t(tempo[0]) << 16 | uint32_t(tempo[1]) << 8 | tempo[2], 1)});
      if (type == 0x2F) break;  // end of track
      continue;
    }
    if (b == 0xF0 || b == 0xF7) {  // system exclusive
      if (!track.Quantity(&n) || !track.Skip(n)) return Fail(why, "a track cut short");
      timed->push_back({tick, 0});
      continue;
    }
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
    if (kind != 0xC0 && kind != 0xD0 && (!track.Byte(&second) || (second & 0x80))) return Fail(why, "a track cut short");
    timed->push_back({tick, 0});
  }
  return true;
}

// Whether more sounding events than the limit fall due within its window, through
// the tempo changes of every track.
bool TooManyDueAtOnce(std::vector<Timed>& timed, uint32_t division, const MidiLimits& limits) {
  std::stable_sort(timed.begin(), timed.end(), [](const Timed& a, const Timed& b) {
    return a.tick < b.tick || (a.tick == b.tick && a.tempo > b.tempo);  // tempo first
  });
  double now_us = 0.0;
  uint64_t last_tick = 0;
  uint32_t tempo = 500000;
  std::vector<double> due;
  due.reserve(timed.size());
  for (const Timed& t : timed) {
    now_us += double(t.tick - last_tick) * double(tempo) / double(division);
    last_tick = t.tick;
    if (t.tempo)
      tempo = t.tempo;
    else
      due.push_back(now_us);
  }
  const double window_us = limits.window_ms * 1000.0;
  for (size_t first = 0, last = 0; last < due.size(); ++last) {
    while (due[last] - due[first] >= window_us) ++first;
    if (last - first + 1 > limits.max_events_in_window) return true;
  }
  return false;
}

}  // namespace

bool CheckWave(const uint8_t* data, size_t size, const WaveLimits& limits, std::string* why, Cost* cost) {
  if (size > limits.max_file_bytes) return Fail(why, "larger than the limit");
  ByteReader file(data, size), chunks(nullptr, 0);
  uint32_t riff_length = 0;
  if (!file.Tag("RIFF") || !file.U32(&riff_length) || !file.Tag("WAVE")) return Fail(why, "not a RIFF WAVE file");
  ByteReader riff(data + 8, size - 8);
  if (!riff.Take(riff_length, &chunks) || !chunks.Skip(4))
    return Fail(why, "cut short: the file holds less than its header claims");
  Format format;
  bool have_format = false;  // one, since the check and the loader would each read another
  while (chunks.Left() >= 8) {
    const bool is_format = chunks.Tag("fmt "), is_data = !is_format && chunks.Tag("data");
    if (!is_format && !is_data) chunks.Skip(4);
    uint32_t length = 0;
    ByteReader body(nullptr, 0);
    chunks.U32(&length);
    if (!chunks.Take(length, &body)) return Fail(why, "cut short: a chunk runs past the end of the file");
    if (is_format) {
      if (have_format) return Fail(why, "more than one format chunk");
      if (!ReadFormat(body, &format)) return Fail(why, "a format chunk too short");
      have_format = true;
    } else if (is_data) {
      if (!have_format) return Fail(why, "sound data before its format");
      return CheckData(format, length, size, limits, why, cost);
    }
    chunks.Skip(length & 1);
  }
  return Fail(why, "no sound data");
}

bool CheckMidi(const uint8_t* data, size_t size, const MidiLimits& limits, std::string* why, Cost* cost) {
  if (size > limits.max_file_bytes) return Fail(why, "larger than the limit");
  ByteReader file(data, size, ByteReader::Order::kBigEndian);
  uint32_t header_length = 0, declared_tracks = 0, division = 0;
  if (size < 14 || !file.Tag("MThd") || !file.U32(&header_length) || header_length < 6)
    return Fail(why, "not a Standard MIDI File");
  ByteReader header = file;
  header.Skip(2);  // the format
  header.U16(&declared_tracks);
  header.U16(&division);
  if (declared_tracks == 0 || int(declared_tracks) > limits.max_tracks)
    return Fail(why, std::to_string(declared_tracks) + " tracks, beyond the limit");
  if (division == 0) return Fail(why, "no time division");
  // The synthesizer refuses a song timed in SMPTE frames, and says so without
  // naming the file: it is refused here instead.
  if (division & 0x8000) return Fail(why, "timed in SMPTE frames, which the synthesizer does not play");

  if (!file.Skip(header_length)) return Fail(why, "cut short in its header");

  std::vector<Timed> timed;
  size_t events = 0;
  uint32_t tracks = 0;
  while (!file.AtEnd() && tracks < declared_tracks) {
    const bool is_track = file.Tag("MTrk");
    uint32_t length;
    ByteReader track(nullptr, 0);
    if ((!is_track && !file.Skip(4)) || !file.U32(&length)) return Fail(why, "cut short between tracks");
    if (!file.Take(length, &track)) return Fail(why, "cut short: a track runs past the end of the file");
    if (!is_track) continue;  // chunks of other kinds are passed over
    ++tracks;
    if (!WalkTrack(track, limits, &events, &timed, why)) return false;
  }
  if (tracks == 0) return Fail(why, "no tracks");
  if (TooManyDueAtOnce(timed, division, limits))
    return Fail(why, "more than " + std::to_string(limits.max_events_in_window) + " events fall due within " +
                         std::to_string(limits.window_ms) + " ms");
  if (cost) {
    const size_t held = 2 * size + events * limits.bytes_per_event + limits.synthesizer_bytes;
    *cost = {held, held};
  }
  return true;
}

}  // namespace platform::sound
