// The limits on sound files, with files built byte by byte here and every size
// worked out by hand.
#include "platform/shared/sound/sound_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using platform::sound::CheckMidi;
using platform::sound::CheckWave;
using platform::sound::MidiLimits;
using platform::sound::WaveLimits;

using Bytes = std::vector<uint8_t>;

void Le(Bytes& b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void Be(Bytes& b, uint32_t v, int n) {
  for (int i = n - 1; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
}
void Text(Bytes& b, const char* t) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(t[i]));
}

// A RIFF WAVE file: a format chunk, optional chunks before the data, the data.
Bytes Wave(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits, uint32_t data_bytes,
           const Bytes& between = {}, uint32_t claimed_data = 0) {
  Bytes fmt;
  Le(fmt, tag, 2);
  Le(fmt, channels, 2);
  Le(fmt, rate, 4);
  Le(fmt, rate * channels * bits / 8, 4);
  Le(fmt, channels * bits / 8 ? channels * bits / 8 : 1, 2);
  Le(fmt, bits, 2);
  Bytes body;
  Text(body, "WAVE");
  Text(body, "fmt ");
  Le(body, uint32_t(fmt.size()), 4);
  body.insert(body.end(), fmt.begin(), fmt.end());
  body.insert(body.end(), between.begin(), between.end());
  Text(body, "data");
  Le(body, claimed_data ? claimed_data : data_bytes, 4);
  body.resize(body.size() + data_bytes, 0);
  Bytes file;
  Text(file, "RIFF");
  Le(file, uint32_t(body.size()), 4);
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

std::string WaveWhy(const Bytes& b, const WaveLimits& limits = {}) {
  std::string why;
  return CheckWave(b.data(), b.size(), limits, &why) ? "" : why;
}

TEST(CheckWave, TheFootstepsShapeIsAccepted) {
  // 16-bit mono at 22050 Hz, 1.2 s: what the build makes for Rerarir.
  EXPECT_EQ(WaveWhy(Wave(1, 1, 22050, 16, 52920)), "");
  EXPECT_EQ(WaveWhy(Wave(0x11, 2, 44100, 4, 4096)), "");  // IMA ADPCM
}

TEST(CheckWave, TheDecodedSizeIsBoundedAfterConversionToTheDevice) {
  // Device 44100 Hz stereo 16-bit: (frames * 44100 / rate + 1) * 4 bytes.
  WaveLimits limits;
  limits.max_decoded_bytes = 4000;
  EXPECT_EQ(WaveWhy(Wave(1, 1, 44100, 16, 999 * 2), limits), "");  // (999 + 1) * 4 = 4000
  EXPECT_NE(WaveWhy(Wave(1, 1, 44100, 16, 1000 * 2), limits), "");  // 4004
  // 8-bit mono at 8000 Hz grows 22.05-fold: 181 frames give (997 + 1) * 4 = 3992.
  EXPECT_EQ(WaveWhy(Wave(1, 1, 8000, 8, 181), limits), "");
  EXPECT_NE(WaveWhy(Wave(1, 1, 8000, 8, 182), limits), "");  // 1003 frames: 4016
  // 6 MB of 8 kHz 8-bit mono would take 132 MB at the default limit.
  EXPECT_NE(WaveWhy(Wave(1, 1, 8000, 8, 6000000)).find("decoded size of 126 MB"), std::string::npos);
}

TEST(CheckWave, SampleRatesChannelsAndEncodingsOutsideTheLimitsAreRefused) {
  EXPECT_EQ(WaveWhy(Wave(1, 1, 1, 8, 9000)), "sample rate 1 Hz outside the limits");
  EXPECT_EQ(WaveWhy(Wave(1, 1, 7999, 8, 100)), "sample rate 7999 Hz outside the limits");
  EXPECT_EQ(WaveWhy(Wave(1, 1, 8000, 8, 100)), "");
  EXPECT_EQ(WaveWhy(Wave(1, 1, 192001, 16, 100)), "sample rate 192001 Hz outside the limits");
  EXPECT_EQ(WaveWhy(Wave(1, 9, 22050, 16, 180)), "channels beyond the limit");
  EXPECT_EQ(WaveWhy(Wave(0x55, 2, 44100, 16, 100)), "an encoding the wave loader does not decode");  // MP3
  EXPECT_EQ(WaveWhy(Wave(3, 2, 44100, 64, 160)), "an encoding the wave loader does not decode");
}

TEST(CheckWave, AFileHoldingLessThanItClaimsIsRefused) {
  Bytes whole = Wave(1, 1, 22050, 16, 100);
  Bytes cut(whole.begin(), whole.end() - 1);
  EXPECT_EQ(WaveWhy(cut), "cut short: the file holds less than its header claims");
  // The data chunk alone claiming more than the file holds: no part of it loops.
  EXPECT_EQ(WaveWhy(Wave(1, 1, 22050, 16, 100, {}, 1000)), "cut short: a chunk runs past the end of the file");
  EXPECT_EQ(WaveWhy(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}), "no sound data");
  EXPECT_EQ(WaveWhy(Bytes{'O', 'g', 'g', 'S'}), "not a RIFF WAVE file");
}

TEST(CheckWave, ASecondFormatChunkIsRefused) {
  // The wave loader reads the first format and the check would read the last: 8 kHz
  // mono 8-bit, then 192 kHz 8 channels of floats, which is what the data would cost.
  const Bytes cheap = Wave(1, 1, 8000, 8, 0);
  Bytes second(cheap.begin() + 12, cheap.begin() + 12 + 8 + 16);  // "fmt ", its length, its 16 bytes
  const Bytes dear = Wave(3, 8, 192000, 32, 0);
  std::copy(dear.begin() + 20, dear.begin() + 36, second.begin() + 8);
  EXPECT_EQ(WaveWhy(Wave(1, 1, 8000, 8, 1000, second)), "more than one format chunk");
}

TEST(CheckWave, TheCostCountsEveryWideningOfTheConversion) {
  std::string why;
  platform::Cost cost;
  // 1000 frames at 8 kHz, mono, 8-bit: 1000 bytes of samples, made floats (x4),
  // stereo (x2), and a new rate: twice 44100 / 8000 rounded up (x12).
  const Bytes mono = Wave(1, 1, 8000, 8, 1000);
  ASSERT_TRUE(CheckWave(mono.data(), mono.size(), {}, &why, &cost)) << why;
  EXPECT_EQ(cost.held, 96000u);
  EXPECT_EQ(cost.peak, mono.size() + 1000 + 96000);
  // 500 frames at 48 kHz, 8 channels of 16 bits: 8000 bytes, floats (x2), no more
  // channels, a lower rate (x2).
  const Bytes wide = Wave(1, 8, 48000, 16, 8000);
  ASSERT_TRUE(CheckWave(wide.data(), wide.size(), {}, &why, &cost)) << why;
  EXPECT_EQ(cost.held, 32000u);
  // mu-law becomes 16-bit as it is read; the device's own rate is kept.
  const Bytes mu = Wave(7, 2, 44100, 8, 100);
  ASSERT_TRUE(CheckWave(mu.data(), mu.size(), {}, &why, &cost)) << why;
  EXPECT_EQ(cost.held, 100u * 2 * 2);
}

TEST(CheckWave, ChunksOfOddLengthArePaddedAndPassedOver) {
  Bytes list;
  Text(list, "LIST");
  Le(list, 3, 4);
  list.insert(list.end(), {'a', 'b', 'c', 0});  // three bytes and the pad byte
  EXPECT_EQ(WaveWhy(Wave(1, 1, 22050, 16, 100, list)), "");
}

// A Standard MIDI File with one track of the given events (delta time included).
Bytes Midi(const Bytes& events, uint32_t division = 480, uint32_t tracks = 1) {
  Bytes file;
  Text(file, "MThd");
  Be(file, 6, 4);
  Be(file, 0, 2);
  Be(file, tracks, 2);
  Be(file, division, 2);
  Text(file, "MTrk");
  Be(file, uint32_t(events.size() + 4), 4);
  file.insert(file.end(), events.begin(), events.end());
  file.insert(file.end(), {0x00, 0xFF, 0x2F, 0x00});
  return file;
}

// count note-ons, each delta ticks after the one before, after an optional tempo.
Bytes Notes(int count, uint8_t delta, uint32_t tempo = 0) {
  Bytes events;
  if (tempo) events.insert(events.end(), {0x00, 0xFF, 0x51, 0x03, uint8_t(tempo >> 16), uint8_t(tempo >> 8),
                                          uint8_t(tempo)});
  for (int i = 0; i < count; ++i) {
    events.push_back(delta);
    if (i == 0) events.push_back(0x90);  // then running status
    events.insert(events.end(), {60, 100});
  }
  return events;
}

std::string MidiWhy(const Bytes& b, const MidiLimits& limits = {}) {
  std::string why;
  return CheckMidi(b.data(), b.size(), limits, &why) ? "" : why;
}

TEST(CheckMidi, ASongWithRunningStatusAndMetaEventsIsAccepted) {
  Bytes events = {0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g', 0x00, 0xC0, 73};  // name, program
  const Bytes notes = Notes(8, 120);
  events.insert(events.end(), notes.begin(), notes.end());
  EXPECT_EQ(MidiWhy(Midi(events)), "");
}

TEST(CheckMidi, EventsThatFallDueTogetherAreCounted) {
  // 2000 note-ons at tick 0 are the most one 50 ms stretch may hold.
  EXPECT_EQ(MidiWhy(Midi(Notes(2000, 0))), "");
  EXPECT_EQ(MidiWhy(Midi(Notes(2001, 0))), "more than 2000 events fall due within 50 ms");
  // One tick apart at 500000 us per 480 ticks: 1041.7 us each, 48 in 50 ms.
  EXPECT_EQ(MidiWhy(Midi(Notes(3000, 1))), "");
  // The same notes at a tempo of 1 us per quarter note all fall due within 7 us.
  EXPECT_EQ(MidiWhy(Midi(Notes(3000, 1, 1))), "more than 2000 events fall due within 50 ms");
}

TEST(CheckMidi, TheCostIsTheFileTwiceEveryEventAndTheSynthesizer) {
  const Bytes song = Midi(Notes(10, 5));  // ten notes and the end of the track
  std::string why;
  platform::Cost cost;
  ASSERT_TRUE(CheckMidi(song.data(), song.size(), {}, &why, &cost)) << why;
  EXPECT_EQ(cost.held, 2 * song.size() + 11 * 64 + (size_t(24) << 20));
  EXPECT_EQ(cost.peak, cost.held);
}

TEST(CheckMidi, WhatTheSynthesizerRefusesIsRefusedHere) {
  // SMPTE time: 25 frames of 40 ticks a second.
  EXPECT_EQ(MidiWhy(Midi(Notes(30, 1), 0xE700 | 40)), "timed in SMPTE frames, which the synthesizer does not play");
  // A tempo of four bytes, a time signature of three.
  EXPECT_EQ(MidiWhy(Midi({0x00, 0xFF, 0x51, 0x04, 0x07, 0xA1, 0x20, 0x00, 0x00, 0x90, 60, 100})),
            "a meta event of type 81 and the wrong length");
  EXPECT_EQ(MidiWhy(Midi({0x00, 0xFF, 0x58, 0x03, 4, 2, 24, 0x00, 0x90, 60, 100})),
            "a meta event of type 88 and the wrong length");
  EXPECT_EQ(MidiWhy(Midi({0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8, 0x00, 0x90, 60, 100})), "");
}

TEST(CheckMidi, CountsOfTracksAndEventsAreBounded) {
  EXPECT_EQ(MidiWhy(Midi(Notes(4, 10), 480, 257)), "257 tracks, beyond the limit");
  MidiLimits limits;
  limits.max_events_per_track = 10;
  EXPECT_EQ(MidiWhy(Midi(Notes(9, 10)), limits), "");  // nine notes and the end of the track
  EXPECT_EQ(MidiWhy(Midi(Notes(10, 10)), limits), "more events in a track than the limit");
}

TEST(CheckMidi, MalformedFilesAreRefused) {
  Bytes song = Midi(Notes(4, 10));
  EXPECT_EQ(MidiWhy(Bytes(song.begin(), song.end() - 5)), "cut short: a track runs past the end of the file");
  EXPECT_EQ(MidiWhy(Midi({0x00, 60, 100})), "running status with no status before it");
  EXPECT_EQ(MidiWhy(Midi({0x00, 0xF2, 1, 2})), "a message that has no place in a file");
  EXPECT_EQ(MidiWhy(Midi({0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 100})), "a track cut short");  // 5-byte delta
  EXPECT_EQ(MidiWhy(Midi(Notes(1, 0), 0)), "no time division");
  EXPECT_EQ(MidiWhy(Bytes{'R', 'I', 'F', 'F'}), "not a Standard MIDI File");
}

}  // namespace
