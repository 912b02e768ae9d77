// The files the build made for each deliverable, read back with giflib, libpng,
// libsndfile and a MIDI reader of the test's own, against the layout and the
// intended lengths.
#include <dirent.h>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/shared/gif/gif_animation.h"
#include "tests/gif_fixtures.h"
#include "scenes/Flitter/scene.h"
#include "scenes/Rerarir/scene.h"
#include "scenes/Tunelight/scene.h"
#include "scenes/divor/scene.h"
#include "scene_list.h"

namespace {

using scenes::kAll;

std::string Folder(const saver::Scene& scene) { return std::string(BUILD_DIR "/") + std::string(scene.name); }

// "\ghostgif1.gif" -> "ghostgif1.gif"
std::string FileName(std::string_view literal) { return std::string(literal.substr(1)); }

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct GifCloser {
  void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};

TEST(GeneratedSprites, MatchTheirControlsAndAnimateInALoop) {
  for (const saver::Scene* scene : kAll) {
    for (int i = 0; i < scene->layout.sprite_count; ++i) {
      const std::string path = Folder(*scene) + "/" + FileName(scene->pictures[size_t(i)]);
      SCOPED_TRACE(path);
      int error = 0;
      std::unique_ptr<GifFileType, GifCloser> gif(DGifOpenFileName(path.c_str(), &error));
      ASSERT_TRUE(gif) << GifErrorString(error);
      ASSERT_EQ(DGifSlurp(gif.get()), GIF_OK);
      const platform::Rect& place = scene->layout.sprites[size_t(i)].place;
      EXPECT_EQ(gif->SWidth, int(place.width) / 15);
      EXPECT_EQ(gif->SHeight, int(place.height) / 15);
      ASSERT_GE(gif->ImageCount, 4);

      // giflib files the blocks before a frame with that frame.
      bool loops = false;
      const SavedImage& first = gif->SavedImages[0];
      for (int e = 0; e + 1 < first.ExtensionBlockCount; ++e) {
        const ExtensionBlock& b = first.ExtensionBlocks[e];
        const ExtensionBlock& next = first.ExtensionBlocks[e + 1];
        if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
            std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0 && next.ByteCount == 3 && next.Bytes[0] == 1)
          loops = next.Bytes[1] == 0 && next.Bytes[2] == 0;
      }
      EXPECT_TRUE(loops) << "no loop-for-ever block";

      std::vector<std::vector<uint8_t>> frames;
      for (int f = 0; f < gif->ImageCount; ++f) {
        GraphicsControlBlock gcb;
        ASSERT_EQ(DGifSavedExtensionToGCB(gif.get(), f, &gcb), GIF_OK) << "frame " << f;
        EXPECT_GE(gcb.DelayTime, 5) << "frame " << f;
        EXPECT_LE(gcb.DelayTime, 50) << "frame " << f;
        const SavedImage& image = gif->SavedImages[f];
        ASSERT_EQ(image.ImageDesc.Width * image.ImageDesc.Height, gif->SWidth * gif->SHeight);
        const uint8_t* raster = image.RasterBits;
        frames.emplace_back(raster, raster + gif->SWidth * gif->SHeight);
        if (f == 0) {
          ASSERT_GE(gcb.TransparentColor, 0) << "frame 0 has no transparent colour";
          const auto transparent = std::count(frames[0].begin(), frames[0].end(), gcb.TransparentColor);
          EXPECT_GT(transparent, 0);
          EXPECT_LT(transparent, long(frames[0].size())) << "frame 0 shows nothing";
        }
      }
      // Smooth looping: every frame moves on from the one before, the last from the
      // first included.
      for (size_t f = 0; f < frames.size(); ++f)
        EXPECT_NE(frames[f], frames[(f + 1) % frames.size()]) << "frames " << f << " and the next";

      std::string why;
      EXPECT_TRUE(gif_fixtures::LoadFile(path, &why)) << why;
    }
  }
}

TEST(GeneratedFiles, EachFolderHoldsTheProgramAndExactlyTheFilesItsSceneNames) {
  for (const saver::Scene* scene : kAll) {
    std::set<std::string> expected{std::string(scene->name)};
    for (int i = 0; i < scene->layout.sprite_count; ++i) expected.insert(FileName(scene->pictures[size_t(i)]));
    if (!scene->sound_file.empty()) expected.insert(FileName(scene->sound_file));
    std::set<std::string> found;
    DIR* dir = opendir(Folder(*scene).c_str());
    ASSERT_TRUE(dir);
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') found.insert(entry->d_name);
    closedir(dir);
    EXPECT_EQ(found, expected) << scene->name;
  }
}

std::vector<uint8_t> ReadPng(const std::string& path, png_image& image) {
  image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return {};
  return rgba;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

TEST(GeneratedIcons, ThePngTheIcoAndTheWindowIconShowOnePicture) {
  for (const saver::Scene* scene : kAll) {
    SCOPED_TRACE(std::string(scene->name));
    const std::string base = std::string(BUILD_DIR "/icons/") + std::string(scene->name);
    png_image image;
    const std::vector<uint8_t> png = ReadPng(base + ".png", image);
    ASSERT_EQ(png.size(), 32u * 32u * 4u);
    const platform::IconPicture& icon = scene->layout.icon;
    ASSERT_EQ(icon.width, 32);
    ASSERT_EQ(icon.height, 32);
    ASSERT_TRUE(icon.rgba);
    EXPECT_TRUE(std::equal(png.begin(), png.end(), icon.rgba)) << "the window's icon is not the PNG";
    int opaque = 0;
    for (size_t p = 3; p < png.size(); p += 4) opaque += png[p] == 255;
    EXPECT_GT(opaque, 200);
    EXPECT_LT(opaque, 1024) << "no transparent background";

    // ICONDIR, one 32 x 32 entry of 256 colours at 8 bits, a BITMAPINFOHEADER
    // twice as tall for the mask, 256 palette entries, colour rows, mask rows.
    const std::vector<uint8_t> ico = ReadBytes(base + ".ico");
    ASSERT_EQ(ico.size(), 6u + 16u + 40u + 1024u + 1024u + 128u);
    EXPECT_EQ(Le16(ico, 0), 0);
    EXPECT_EQ(Le16(ico, 2), 1);
    EXPECT_EQ(Le16(ico, 4), 1);
    EXPECT_EQ(ico[6], 32);
    EXPECT_EQ(ico[7], 32);
    EXPECT_EQ(ico[8], 0);
    EXPECT_EQ(Le16(ico, 12), 8);
    EXPECT_EQ(Le32(ico, 14), ico.size() - 22);
    EXPECT_EQ(Le32(ico, 18), 22u);
    EXPECT_EQ(Le32(ico, 22), 40u);
    EXPECT_EQ(Le32(ico, 26), 32u);
    EXPECT_EQ(Le32(ico, 30), 64u);
    // Every pixel agrees with the PNG: bottom-up rows, BGR palette, mask bit set
    // where the PNG is transparent.
    const size_t palette = 22 + 40, colours = palette + 1024, mask = colours + 1024;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        const size_t row = size_t(31 - y);
        const uint8_t index = ico[colours + row * 32 + size_t(x)];
        const bool masked = ico[mask + row * 4 + size_t(x / 8)] & (0x80 >> (x % 8));
        const uint8_t* want = &png[size_t(y * 32 + x) * 4];
        ASSERT_EQ(masked, want[3] == 0) << x << "," << y;
        if (masked) continue;
        const uint8_t* bgr = &ico[palette + index * 4u];
        ASSERT_EQ((std::vector<int>{bgr[2], bgr[1], bgr[0]}), (std::vector<int>{want[0], want[1], want[2]}))
            << x << "," << y;
      }
    }
  }
}

TEST(GeneratedSounds, TheFootstepsLoopWithoutAJump) {
  const std::string path = Folder(scenes::Rerarir::kScene) + "/walk.wav";
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  ASSERT_TRUE(file) << sf_strerror(nullptr);
  std::vector<short> samples(size_t(info.frames * info.channels));
  ASSERT_EQ(sf_read_short(file, samples.data(), sf_count_t(samples.size())), sf_count_t(samples.size()));
  sf_close(file);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.samplerate, 22050);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  const double seconds = double(info.frames) / info.samplerate;
  EXPECT_GE(seconds, 1.0);
  EXPECT_LE(seconds, 6.0);
  int peak = 0;
  for (short s : samples) peak = std::max(peak, std::abs(int(s)));
  EXPECT_GT(peak, 8000) << "too quiet to hear";
  // From the last sample to the first is a step like any other: no larger than
  // one hundredth of the peak, where the sound has died away.
  EXPECT_LE(std::abs(samples.back() - samples.front()), peak / 100);
  // Two steps a loop: two bursts of sound, with quiet between.
  int bursts = 0;
  bool loud = false;
  const size_t window = size_t(info.samplerate / 100);
  for (size_t at = 0; at + window <= samples.size(); at += window) {
    int p = 0;
    for (size_t i = at; i < at + window; ++i) p = std::max(p, std::abs(int(samples[i])));
    if (!loud && p > peak / 4) ++bursts;
    loud = p > peak / 20;
  }
  EXPECT_EQ(bursts, 2);
}

// A Standard MIDI File read back with nothing of the writer's: chunks, variable
// lengths, running status, tempo, notes.
struct MidiSummary {
  int format = -1, tracks = 0, division = 0;
  uint32_t tempo_us = 500000, end_tick = 0;
  std::map<int, int> programs;  // channel -> program
  int notes = 0, unmatched = 0;
  std::set<int> channels;
};

MidiSummary ReadMidi(const std::vector<uint8_t>& b) {
  MidiSummary m;
  auto be = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | b.at(at + size_t(i));
    return v;
  };
  if (b.size() < 14 || std::memcmp(b.data(), "MThd", 4) != 0 || be(4, 4) != 6) return m;
  m.format = int(be(8, 2));
  const int count = int(be(10, 2));
  m.division = int(be(12, 2));
  size_t at = 14;
  for (int t = 0; t < count; ++t) {
    if (std::memcmp(&b.at(at), "MTrk", 4) != 0) return m;
    const size_t end = at + 8 + be(at + 4, 4);
    at += 8;
    ++m.tracks;
    uint32_t tick = 0;
    uint8_t status = 0;
    std::map<std::pair<int, int>, int> sounding;
    auto varlen = [&] {
      uint32_t v = 0;
      uint8_t c;
      do {
        c = b.at(at++);
        v = v << 7 | (c & 0x7f);
      } while (c & 0x80);
      return v;
    };
    while (at < end) {
      tick += varlen();
      if (b.at(at) & 0x80) status = b.at(at++);
      if (status == 0xff) {
        const uint8_t type = b.at(at++);
        const uint32_t length = varlen();
        if (type == 0x51) m.tempo_us = be(at, 3);
        at += length;
        if (type == 0x2f) break;
        continue;
      }
      const int kind = status & 0xf0, channel = status & 0x0f;
      m.channels.insert(channel);
      if (kind == 0xc0) {
        m.programs[channel] = b.at(at++);
        continue;
      }
      const int d1 = b.at(at++), d2 = kind == 0xd0 ? 0 : b.at(at++);
      if (kind == 0x90 && d2 > 0) {
        ++sounding[{channel, d1}];
        ++m.notes;
      } else if (kind == 0x80 || kind == 0x90) {
        if (sounding[{channel, d1}]-- <= 0) ++m.unmatched;
      }
    }
    for (const auto& [key, n] : sounding) m.unmatched += std::abs(n);
    m.end_tick = std::max(m.end_tick, tick);
    at = end;
  }
  return m;
}

TEST(GeneratedSounds, TheSongIsGeneralMidiAndLasts86Point4Seconds) {
  const MidiSummary m = ReadMidi(ReadBytes(Folder(scenes::Tunelight::kScene) + "/song.mid"));
  EXPECT_EQ(m.format, 1);
  EXPECT_EQ(m.tracks, 5);  // tempo, flute, strings, bass, drums
  EXPECT_EQ(m.division, 480);
  EXPECT_EQ(m.tempo_us, 600000u);  // 100 beats a minute
  // 36 bars of 4 beats at 0.6 s.
  EXPECT_EQ(m.end_tick, 36u * 4u * 480u);
  EXPECT_DOUBLE_EQ(double(m.end_tick) / m.division * m.tempo_us / 1e6, 86.4);
  // Flute, strings, finger bass, and the standard drum kit.
  EXPECT_EQ(m.programs, (std::map<int, int>{{0, 73}, {1, 48}, {2, 33}, {9, 0}}));
  EXPECT_EQ(m.channels, (std::set<int>{0, 1, 2, 9}));
  EXPECT_GT(m.notes, 300);
  EXPECT_EQ(m.unmatched, 0);
}

}  // namespace
