// The asset tool's readers: pixel art, footstep recipes and note lists, with
// values worked out by hand and faults reported at their line.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tools/assets/art.h"
#include "tools/assets/footsteps.h"
#include "tools/assets/icon_files.h"
#include "tools/assets/song.h"
#include "tools/assets/source_text.h"

namespace {

using assets::ParseArt;
using assets::SourceError;

std::string FaultOf(void (*make)(const std::string&), const std::string& text) {
  try {
    make(text);
  } catch (const SourceError& e) {
    return e.what();
  }
  return "no fault";
}

void MakeArt(const std::string& text) { ParseArt(text, "t.art"); }
void MakeSong(const std::string& text) { assets::MakeSong(text, "t.notes"); }
void MakeSteps(const std::string& text) { assets::MakeFootsteps(text, "t.steps"); }

const char kPalette[] =
    "size 4 3\n"
    "palette\n"
    "  . transparent\n"
    "  a ff0000\n"
    "  b 00ff00   # green\n";

TEST(Art, LaterPlacementsCoverEarlierOnesAndDotsDrawNothing) {
  const assets::Art art = ParseArt(std::string(kPalette) +
                                       "part bar\n  |aaa|\nend\n"
                                       "part hole\n  |b.b|\nend\n"
                                       "frame 20\n  bar 0 0\n  bar 1 1\n  hole 0 1\n",
                                   "t.art");
  ASSERT_EQ(art.frames.size(), 1u);
  EXPECT_EQ(art.frames[0].delay_cs, 20);
  // index 0 transparent, 1 red, 2 green
  EXPECT_EQ(art.Render(0), (std::vector<uint8_t>{1, 1, 1, 0,  //
                                                 2, 1, 2, 1,  //
                                                 0, 0, 0, 0}));
}

TEST(Art, ScaleMakesBlocksRepeatsStepAndTheCanvasClips) {
  const assets::Art art = ParseArt(
      "size 5 4\nscale 2\ndelay 7\npalette\n  . transparent\n  a 123456\n"
      "part dot\n  |a|\nend\nframe\n  dot 0 0 repeat 2 2 1\n  dot -1 1\n",
      "t.art");
  EXPECT_EQ(art.frames[0].delay_cs, 7);
  // Copies at cells (0,0), (2,1), (4,2): the second loses its right column to the
  // canvas's edge, the third and the dot at (-1,1) lie wholly off it.
  EXPECT_EQ(art.Render(0), (std::vector<uint8_t>{1, 1, 0, 0, 0,  //
                                                 1, 1, 0, 0, 0,  //
                                                 0, 0, 0, 0, 1,  //
                                                 0, 0, 0, 0, 1}));
  EXPECT_EQ(art.colours[1].r, 0x12);
  EXPECT_EQ(art.colours[1].g, 0x34);
  EXPECT_EQ(art.colours[1].b, 0x56);
  EXPECT_EQ(art.GifPalette().size(), 2u);
}

TEST(Art, FaultsNameTheirLine) {
  const std::string p = kPalette;  // five lines
  EXPECT_EQ(FaultOf(MakeArt, p + "part x\n  |az|\nend\nframe\n  x 0 0\n"),
            "t.art:7: key 'z' is not in the palette");
  EXPECT_EQ(FaultOf(MakeArt, p + "frame\n  y 0 0\n"), "t.art:7: unknown part 'y'");
  EXPECT_EQ(FaultOf(MakeArt, p + "part x\n  |a|\n"), "t.art: part 'x' has no end");
  EXPECT_EQ(FaultOf(MakeArt, p + "part x\n  |a|\nend\n"), "t.art: no frame");
  EXPECT_EQ(FaultOf(MakeArt, "size 4 3\npalette\n  . 000000\n"),
            "t.art:3: '.' draws nothing; it cannot be a colour");
  EXPECT_EQ(FaultOf(MakeArt, "size 4 3\npalette\n  a 00ff0\n"), "t.art:3: colour '00ff0' is not six hex digits");
  EXPECT_EQ(FaultOf(MakeArt, "size 0 3\n"), "t.art:1: 0 is outside 1 .. 4096");
  EXPECT_EQ(FaultOf(MakeArt, p + "frame\n  x 0 zero\n"), "t.art:7: unknown part 'x'");
}

TEST(Icons, OnlyA32By32PictureMakesAnIcon) {
  const assets::Art art = ParseArt(std::string(kPalette) + "part x\n  |a|\nend\nframe\n  x 0 0\n", "t.art");
  EXPECT_THROW(assets::EncodeIco(art), SourceError);
}

// Notes: 480 ticks a quarter. Note-on 0x9c, note-off 0x8c on channel c.
TEST(Song, PitchesLengthsChordsAndRepeatsBecomeTheirEvents) {
  const assets::Song song = assets::MakeSong(
      "tempo 120\n"
      "track T\n  channel 3\n  program 5\n"
      "  | C4:4. Bb3+A4:8 r:2 |\n"
      "  repeat 2\n    v100 n42:16\n  end\n",
      "t.notes");
  // Four beats and two sixteenths at half a second a beat.
  EXPECT_DOUBLE_EQ(song.seconds, (4 + 0.5) * 0.5);
  const std::vector<uint8_t>& f = song.smf;
  // The header, then the tempo track (tempo, meter, end), then the notes' track.
  ASSERT_GE(f.size(), 14u);
  EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "MThd");
  EXPECT_EQ(f[9], 1);   // format 1
  EXPECT_EQ(f[11], 2);  // tracks
  EXPECT_EQ(f[12] << 8 | f[13], 480);
  const std::vector<uint8_t> tempo_track = {'M', 'T', 'r', 'k', 0, 0, 0, 20,
                                            0, 0xff, 0x51, 3, 0x07, 0xa1, 0x20,   // 500000 us
                                            0, 0xff, 0x58, 4, 4, 2, 24, 8,
                                            0x90, 0x70, 0xff, 0x2f, 0};  // at tick 2160
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 14, f.begin() + 14 + long(tempo_track.size())), tempo_track);
  const std::vector<uint8_t> notes(f.begin() + 14 + long(tempo_track.size()) + 8, f.end());
  const std::vector<uint8_t> want = {
      0, 0xff, 0x03, 1, 'T', 0, 0xc3, 5, 0, 0xb3, 7, 100,
      0, 0x93, 60, 90,                          // C4, dotted quarter: 720 ticks
      0x85, 0x23, 0x83, 60, 0,                  // off at 675 (15/16 of 720)
      0x2d, 0x93, 58, 90, 0, 0x93, 69, 90,      // Bb3 + A4 at 720
      0x81, 0x61, 0x83, 58, 0, 0, 0x83, 69, 0,  // off after 225 of 240
      0x87, 0x4f, 0x93, 42, 100,                // after the half rest, at 1920: n42 at v100
      0x70, 0x83, 42, 0,                        // 112 of 120
      0x08, 0x93, 42, 100, 0x70, 0x83, 42, 0,   // the repeat
      0x08, 0xff, 0x2f, 0};                     // the end at 2160
  EXPECT_EQ(notes, want);
}

TEST(Song, FaultsNameTheirLine) {
  EXPECT_EQ(FaultOf(MakeSong, "track T\n  | C4:4 D4:4 E4:4 |\n  | F4:1 |\n"), "t.notes:2: a bar of 1440 ticks, not 1920");
  EXPECT_EQ(FaultOf(MakeSong, "meter 3 4\ntrack T\n  | C4:2. |\n  | C4:2 |\n"), "t.notes:4: a bar of 960 ticks, not 1440");
  EXPECT_EQ(FaultOf(MakeSong, "track T\n  C4:3\n"), "t.notes:2: 'C4:3': a length is 1, 2, 4, 8, 16 or 32, with '.' for dotted");
  EXPECT_EQ(FaultOf(MakeSong, "track T\n  H4:4\n"), "t.notes:2: 'H4:4': a pitch starts with A .. G");
  EXPECT_EQ(FaultOf(MakeSong, "track T\n  C:4\n"), "t.notes:2: 'C:4': a pitch ends in its octave, C4 being middle C");
  EXPECT_EQ(FaultOf(MakeSong, "track T\n  G#9:4\n"), "t.notes:2: 'G#9:4': outside the MIDI range");
  EXPECT_EQ(FaultOf(MakeSong, "track T\n  repeat 2\n  C4:4\n"), "t.notes: a 'repeat' in track 'T' has no 'end'");
  EXPECT_EQ(FaultOf(MakeSong, "track T\n  C4:4\n  program 3\n"), "t.notes:3: 'program' comes before the notes");
  EXPECT_EQ(FaultOf(MakeSong, "tempo 100\n"), "t.notes: no track");
}

TEST(Footsteps, ASoundPastTheEndCarriesOnAtTheStart) {
  // A thud 10 ms before the end of a 0.5 s loop at 8000 Hz: its 2 ms attack ends
  // at the loop's end and its decay fills the first samples.
  const assets::Footsteps steps =
      assets::MakeFootsteps("rate 8000\nlength 0.5\nthud 0.49 100 0.01 0.5\n", "t.steps");
  ASSERT_EQ(steps.samples.size(), 4000u);
  int early = 0, middle = 0;
  for (size_t i = 0; i < 200; ++i) early = std::max(early, std::abs(int(steps.samples[i])));
  for (size_t i = 1500; i < 2500; ++i) middle = std::max(middle, std::abs(int(steps.samples[i])));
  EXPECT_GT(early, 3000);  // the tail, at the start
  EXPECT_EQ(middle, 0);    // nothing sounds at the loop's middle
  // The first sample follows the last as its neighbours follow each other.
  int largest_step = 0;
  for (size_t i = 1; i < steps.samples.size(); ++i)
    largest_step = std::max(largest_step, std::abs(steps.samples[i] - steps.samples[i - 1]));
  EXPECT_LE(std::abs(steps.samples.front() - steps.samples.back()), largest_step);
}

TEST(Footsteps, FaultsNameTheirLine) {
  EXPECT_EQ(FaultOf(MakeSteps, "thud 0 80 0.04 0.5\n"), "t.steps:1: 'length' comes before the sounds");
  EXPECT_EQ(FaultOf(MakeSteps, "length 1\nthud 2 80 0.04 0.5\n"), "t.steps:2: 2 is outside 0.000000 .. 1.000000");
  EXPECT_EQ(FaultOf(MakeSteps, "length 1\nscuff 0 0.1 900\n"), "t.steps:2: 'scuff' takes 4 value(s)");
  EXPECT_EQ(FaultOf(MakeSteps, "length 1\n"), "t.steps: no sounds");
  EXPECT_EQ(FaultOf(MakeSteps, "length 1\nthud 0 80 0.2 1\nthud 0 80 0.2 1\n"),
            "t.steps: the mix clips; lower the gains");
}

}  // namespace
