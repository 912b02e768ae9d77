// The banner's colour per tick and the sprites' placement and walk, against values
// worked out by hand. The fake screen is 800 x 600 pixels: W = 12000, H = 9000 twips.
#include <gtest/gtest.h>

#include "scenes/Flitter/scene.h"
#include "scenes/Rerarir/scene.h"
#include "scenes/Tunelight/scene.h"
#include "scenes/divor/scene.h"
#include "scene_list.h"
#include "tests/run_helpers.h"

namespace {

using namespace testing_support;
using Lines = std::vector<std::string>;

using scenes::kAll;

class Tick : public ::testing::Test {
 protected:
  saver::Form1& Make(const saver::Scene& scene) {
    form_ = std::make_unique<saver::Form1>(scene, fake_);
    fake_.log.clear();
    return *form_;
  }
  platform::fake::FakeSprite& Sprite(int n) { return fake_.window->fake_sprite(n); }

  FakePlatform fake_;
  std::unique_ptr<saver::Form1> form_;
};

// Each channel is r * 255 formed exactly and taken to the nearest whole; red first.
// (No float r makes an exact half other than 0.5, where both ways of rounding halves
// give 128.)
TEST_F(Tick, ChannelsAreRTimes255ToTheNearestRedFirst) {
  struct Case {
    float r1, r2, r3;
    platform::Colour colour;
  };
  for (const Case& c : {
           Case{0.5f, 0.0f, 0.0f, 128},                // 127.5
           Case{0.0f, 0.5f, 0.0f, 128 * 256},
           Case{0.0f, 0.0f, 0.99803925f, 255 * 65536},  // 254.500008 -> 255
           Case{0.99803921f, 0.0f, 0.0f, 254},          // 254.499992 -> 254
           Case{0.99999994f, 0.99999994f, 0.99999994f, 0xFFFFFF},
           Case{0.25f, 0.75f, 0.1f, 64 + 256 * 191 + 65536 * 26},
       }) {
    saver::Form1& form = Make(scenes::divor::kScene);
    fake_.rnd = {c.r1, c.r2, c.r3};
    form.Timer2_Timer();
    EXPECT_EQ(fake_.window->fake_label().ForeColor(), c.colour) << c.r1 << " " << c.r2 << " " << c.r3;
  }
}

TEST_F(Tick, EveryDeliverableTakesExactlyThreeNumbersAndKeepsItsText) {
  for (const saver::Scene* scene : kAll) {
    saver::Form1& form = Make(*scene);
    fake_.rnd_calls = 0;
    for (int i = 0; i < 5; ++i) form.Timer2_Timer();
    EXPECT_EQ(fake_.rnd_calls, 15) << scene->name;
    EXPECT_EQ(fake_.window->fake_label().Caption(), scene->layout.label.caption);
  }
}

TEST_F(Tick, TheBannerIsRecolouredBeforeAnySpriteMoves) {
  saver::Form1& form = Make(scenes::divor::kScene);
  form.Timer2_Timer();
  EXPECT_EQ(fake_.log, (Lines{"Label1.ForeColor=" + std::to_string(128 + 256 * 128 + 65536 * 128),
                              "AniGif1.Left=2120", "AniGif2.Left=5000", "AniGif3.Left=390"}));
}

TEST_F(Tick, StepsFollowEachScene) {
  Make(scenes::Rerarir::kScene).Timer2_Timer();
  EXPECT_EQ(Sprite(1).Left(), 1730.0f);
  EXPECT_EQ(Sprite(2).Left(), 4130.0f);
  EXPECT_EQ(Sprite(3).Left(), 390.0f);
  Make(scenes::Flitter::kScene).Timer2_Timer();
  EXPECT_EQ(Sprite(1).Left(), 1450.0f);
  EXPECT_EQ(Sprite(2).Left(), 4930.0f);
  EXPECT_EQ(Sprite(3).Left(), 2130.0f);
}

TEST_F(Tick, AWalkerAtExactlyTheWidthWalksOnAndRestartsOnlyOncePastIt) {
  saver::Form1& form = Make(scenes::divor::kScene);
  Sprite(1).SetLeft(11800);
  fake_.log.clear();
  form.Timer2_Timer();
  EXPECT_EQ(Sprite(1).Left(), 12000.0f);
  form.Timer2_Timer();
  EXPECT_EQ(Sprite(1).Left(), -200.0f);
  EXPECT_EQ(fake_.Calls("AniGif1"), (Lines{"AniGif1.Left=12000", "AniGif1.Left=12200", "AniGif1.Left=-200"}));
}

TEST_F(Tick, TheFlyerKeepsGoingUpToTwoHundredPastTheWidthThenRestartsAtMinus300) {
  saver::Form1& form = Make(scenes::divor::kScene);
  Sprite(3).SetLeft(11900);
  form.Timer2_Timer();
  EXPECT_EQ(Sprite(3).Left(), 12050.0f);
  form.Timer2_Timer();
  EXPECT_EQ(Sprite(3).Left(), 12200.0f);  // W + 200 exactly
  form.Timer2_Timer();
  EXPECT_EQ(Sprite(3).Left(), -300.0f);
  form.Timer2_Timer();
  EXPECT_EQ(Sprite(3).Left(), -150.0f);
}

TEST_F(Tick, ADesignPlaceBeyondANarrowScreenRestartsOnTheFirstTick) {
  fake_.width_px = 100;  // W = 1500
  saver::Form1& form = Make(scenes::divor::kScene);
  form.Timer2_Timer();
  EXPECT_EQ(Sprite(1).Left(), -200.0f);  // 2120 > 1500
  EXPECT_EQ(Sprite(2).Left(), -200.0f);
  EXPECT_EQ(Sprite(3).Left(), 390.0f);
}

// The window's width is read afresh for each sprite: here it grows from 12000 to
// 15000 twips once AniGif1 has moved, so AniGif2 at 11900 + 200 walks on.
TEST_F(Tick, EachWalkerReadsTheWidthAfresh) {
  saver::Form1& form = Make(scenes::divor::kScene);
  Sprite(2).SetLeft(11900);
  fake_.on_note = [&](const std::string& line) {
    if (line.rfind("AniGif1.Left=", 0) == 0) fake_.window->canvas().Resize(1000, 600, 0xFF000000);
  };
  form.Timer2_Timer();
  EXPECT_EQ(Sprite(2).Left(), 12100.0f);  // with the old width it would restart at -200
}

// Placement reads the height afresh too: 600 pixels (9000 twips) for AniGif1, then 700
// (10500) for AniGif2.
TEST_F(Tick, EachPlacementReadsTheHeightAfresh) {
  saver::Form1& form = Make(scenes::divor::kScene);
  fake_.on_note = [&](const std::string& line) {
    if (line.rfind("AniGif1.Top=", 0) == 0) fake_.window->canvas().Resize(800, 700, 0xFF000000);
  };
  form.Form_Activate();
  EXPECT_EQ(Sprite(1).Top(), 9000.0f - 2175 - 8);
  EXPECT_EQ(Sprite(2).Top(), 10500.0f - 1215 - 8);
}

TEST_F(Tick, TunelightsSpritesNeverMove) {
  saver::Form1& form = Make(scenes::Tunelight::kScene);
  form.Form_Activate();
  fake_.log.clear();
  for (int i = 0; i < 100; ++i) form.Timer2_Timer();
  for (const std::string& line : fake_.log) EXPECT_EQ(line.rfind("Label1.ForeColor=", 0), 0u) << line;
  EXPECT_EQ(Sprite(4).Left(), 10080.0f);
  EXPECT_EQ(Sprite(4).Top(), 120.0f);
  EXPECT_EQ(Sprite(1).Left(), 7560.0f);
}

TEST_F(Tick, PlacementStandsWalkersOnTheBottomEdgeOfEveryScene) {
  struct Case {
    const saver::Scene* scene;
    Lines writes;
  };
  for (const Case& c : {
           Case{&scenes::divor::kScene, {"AniGif1.Top=6817", "AniGif2.Top=7777"}},
           Case{&scenes::Rerarir::kScene,
                {"AniGif1.Top=8017", "AniGif2.Top=8137", "sndPlaySound /opt/saver\\walk.wav 11"}},
           Case{&scenes::Flitter::kScene, {"AniGif1.Top=8015", "AniGif2.Top=8015"}},
           Case{&scenes::Tunelight::kScene, {"AniGif1.Top=7177", "AniGif2.Top=7537", "AniGif3.Top=6102"}},
       }) {
    FakePlatform fake;
    fake.steps = {{}};
    RunProgram(*c.scene, fake);
    Lines writes;
    bool activated = false;
    for (const std::string& line : fake.log) {
      if (line == "Form_Activate") activated = true;
      else if (line == "Randomize") break;
      else if (activated) writes.push_back(line);
    }
    EXPECT_EQ(writes, c.writes) << c.scene->name;
  }
}

TEST_F(Tick, ASpriteTallerThanTheWindowGetsANegativeTop) {
  fake_.height_px = 100;  // H = 1500
  saver::Form1& form = Make(scenes::divor::kScene);
  form.Form_Activate();
  EXPECT_EQ(Sprite(1).Top(), -683.0f);  // 1500 - 2175 - 8
  EXPECT_EQ(Sprite(2).Top(), 277.0f);   // 1500 - 1215 - 8
  EXPECT_EQ(Sprite(3).Top(), 720.0f);
}

TEST_F(Tick, SpritesStandAtTheirDesignPlacesUntilActivation) {
  Make(scenes::divor::kScene);
  EXPECT_EQ(Sprite(1).Left(), 1920.0f);
  EXPECT_EQ(Sprite(1).Top(), 6720.0f);
  EXPECT_EQ(Sprite(2).Top(), 7800.0f);
}

}  // namespace
