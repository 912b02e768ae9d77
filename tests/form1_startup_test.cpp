// Start-up, second copies, the roads to the end and the movement threshold, as the
// platform sees them: the whole sequence of calls per deliverable.
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

// The screen is 800 x 600 pixels: 12000 x 9000 twips.
TEST(StartUp, DivorRunsItsStepsInOrderAndEndsThroughExitSaverOnAKey) {
  FakePlatform fake;
  fake.steps = {{}, {Key()}};
  RunProgram(scenes::divor::kScene, fake);
  EXPECT_EQ(fake.log, (Lines{
                          "CreateForm Form1",
                          "Create AniGif3", "Create AniGif2", "Create Timer2 100",
                          "Create AniGif1", "Create Label1",
                          "PrevInstance",
                          "AppPath", "AniGif1.PictureFile=/opt/saver\\ghostgif1.gif",
                          "AppPath", "AniGif2.PictureFile=/opt/saver\\ghostgif2.gif",
                          "AppPath", "AniGif3.PictureFile=/opt/saver\\ghostgif3.gif",
                          "Show",
                          "ShowCursor FALSE",
                          "DoEvents",
                          "Form_Activate", "AniGif1.Top=6817", "AniGif2.Top=7777",
                          "Randomize",
                          "DoEvents",
                          "ShowCursor TRUE",
                          "mciSendString CLOSE BackgroundMusic",
                          "End",
                      }));
  EXPECT_EQ(fake.rnd_calls, 325 * 3);  // the seeding, and no pass before the key
  EXPECT_TRUE(fake.points.empty());
  EXPECT_EQ(fake.pointer_count, 0);
}

TEST(StartUp, RerarirFormsSoundPathFirstAndStartsItsWaveAtTheEndOfActivation) {
  FakePlatform fake;
  fake.steps = {{}, {Click()}};
  RunProgram(scenes::Rerarir::kScene, fake);
  EXPECT_EQ(AfterCreation(fake), (Lines{
                                     "PrevInstance",
                                     "AppPath",
                                     "AppPath", "AniGif1.PictureFile=/opt/saver\\gif1.gif",
                                     "AppPath", "AniGif2.PictureFile=/opt/saver\\gif2.gif",
                                     "AppPath", "AniGif3.PictureFile=/opt/saver\\gif3.gif",
                                     "Show",
                                     "ShowCursor FALSE",
                                     "DoEvents",
                                     "Form_Activate", "AniGif1.Top=8017", "AniGif2.Top=8137",
                                     "sndPlaySound /opt/saver\\walk.wav 11",
                                     "Randomize",
                                     "DoEvents",
                                     "ShowCursor TRUE",
                                     "sndPlaySound (null) 1",
                                     "End",
                                 }));
}

TEST(StartUp, TunelightStartsItsMusicBeforeAnyPictureAndStacksAniGif3) {
  FakePlatform fake;
  fake.steps = {{}, {Move(3000, 3000), Move(3000, 3016)}};
  RunProgram(scenes::Tunelight::kScene, fake);
  EXPECT_EQ(AfterCreation(fake),
            (Lines{
                "PrevInstance",
                "AppPath",
                "mciSendString OPEN /opt/saver\\song.mid TYPE SEQUENCER ALIAS BackgroundMusic",
                "mciSendString PLAY BackgroundMusic FROM 0",
                "AppPath", "AniGif1.PictureFile=/opt/saver\\songgif1.gif",
                "AppPath", "AniGif2.PictureFile=/opt/saver\\songgif2.gif",
                "AppPath", "AniGif3.PictureFile=/opt/saver\\songgif3.gif",
                "AppPath", "AniGif4.PictureFile=/opt/saver\\songgif4.gif",
                "Show",
                "ShowCursor FALSE",
                "DoEvents",
                // 9000 - 1815 - 8, 9000 - 1455 - 8, then 7537 - 1335 - 100
                "Form_Activate", "AniGif1.Top=7177", "AniGif2.Top=7537", "AniGif3.Top=6102",
                "Randomize",
                "DoEvents",
                "ShowCursor TRUE",
                "mciSendString CLOSE BackgroundMusic",
                "End",
            }));
}

TEST(StartUp, FlitterCreatesItsControlsInItsOwnOrderAndUnloadsOnAKey) {
  FakePlatform fake;
  fake.steps = {{}, {}, {Key()}};
  RunProgram(scenes::Flitter::kScene, fake);
  const Lines creation(fake.log.begin(), fake.log.begin() + 6);
  EXPECT_EQ(creation, (Lines{"CreateForm Form1", "Create AniGif3", "Create AniGif2",
                             "Create AniGif1", "Create Timer2 100", "Create Label1"}));
  const Lines tail(fake.log.end() - 5, fake.log.end());
  EXPECT_EQ(tail, (Lines{"DoEvents", "DoEvents", "ShowCursor TRUE", "Unload", "End"}));
  // One batch of ten passes over 500 dots ran between the two loop steps, and no
  // dot was drawn after the unload.
  EXPECT_EQ(fake.points.size(), size_t(10 * 500 * 2));
  EXPECT_EQ(fake.pointer_count, 0);
}

TEST(StartUp, FlitterEndsAtOnceOnMovementWithoutUnloading) {
  FakePlatform fake;
  fake.steps = {{}, {Move(1500, 1500), Move(1500, 1530)}};
  RunProgram(scenes::Flitter::kScene, fake);
  const Lines tail(fake.log.end() - 3, fake.log.end());
  EXPECT_EQ(tail, (Lines{"DoEvents", "ShowCursor TRUE", "End"}));
  EXPECT_TRUE(fake.Calls("Unload").empty());
}

TEST(StartUp, FlitterUnloadedDuringTheFirstStepEndsBeforeSeeding) {
  FakePlatform fake;
  fake.steps = {{Key()}};
  RunProgram(scenes::Flitter::kScene, fake);
  const Lines tail(fake.log.end() - 8, fake.log.end());
  EXPECT_EQ(tail, (Lines{"ShowCursor FALSE", "DoEvents", "Form_Activate", "AniGif1.Top=8015",
                         "AniGif2.Top=8015", "ShowCursor TRUE", "Unload", "End"}));
  EXPECT_EQ(fake.rnd_calls, 0);
  EXPECT_TRUE(fake.Calls("Randomize").empty());
}

TEST(SecondInstance, DivorAndFlitterUnloadAndEndWithoutPointerOrSound) {
  for (const saver::Scene* scene : {&scenes::divor::kScene, &scenes::Flitter::kScene}) {
    FakePlatform fake;
    fake.prev_instance = true;
    RunProgram(*scene, fake);
    EXPECT_EQ(AfterCreation(fake), (Lines{"PrevInstance", "Unload", "End"})) << scene->name;
  }
}

TEST(SecondInstance, RerarirAndTunelightRunExitSaverBeforeHidingThePointer) {
  FakePlatform rerarir;
  rerarir.prev_instance = true;
  RunProgram(scenes::Rerarir::kScene, rerarir);
  EXPECT_EQ(AfterCreation(rerarir),
            (Lines{"PrevInstance", "ShowCursor TRUE", "sndPlaySound (null) 1", "End"}));

  FakePlatform tunelight;
  tunelight.prev_instance = true;
  RunProgram(scenes::Tunelight::kScene, tunelight);
  EXPECT_EQ(AfterCreation(tunelight),
            (Lines{"PrevInstance", "ShowCursor TRUE", "mciSendString CLOSE BackgroundMusic", "End"}));
  EXPECT_EQ(tunelight.pointer_count, 1);
}

TEST(RoadsToTheEnd, AWindowClosedFromOutsideEndsThroughTheLoopWithoutExitSaver) {
  for (const saver::Scene* scene : scenes::kAll) {
    FakePlatform fake;
    fake.steps = {{}, {}, {Close()}};
    RunProgram(*scene, fake);
    const Lines tail(fake.log.end() - 4, fake.log.end());
    EXPECT_EQ(tail, (Lines{"DoEvents", "DoEvents", "Unload", "End"})) << scene->name;
    EXPECT_TRUE(fake.Calls("ShowCursor TRUE").empty()) << scene->name;
    EXPECT_EQ(fake.pointer_count, -1) << scene->name;
  }
}

TEST(RoadsToTheEnd, AnyKeyOrButtonEndsEveryDeliverableInTheStepItArrives) {
  for (const saver::Scene* scene : scenes::kAll) {
    for (const Event& input : {Key(), Click()}) {
      FakePlatform fake;
      fake.steps = {{}, {}, {input, Key()}};
      RunProgram(*scene, fake);
      EXPECT_EQ(fake.step_count, 3) << scene->name;
      EXPECT_EQ(fake.Calls("ShowCursor TRUE").size(), 1u) << scene->name;
      EXPECT_EQ(fake.pointer_count, 0) << scene->name;
    }
  }
}

// The movement threshold, on divor: every case counts the steps to the end.
class Movement : public ::testing::Test {
 protected:
  // Runs with one movement per loop step; returns the loop step that ended the
  // program through ExitSaver, or 0 when the script ran out first.
  int EndingStep(std::vector<Event> moves) {
    fake_.steps.push_back({});
    for (const Event& move : moves) fake_.steps.push_back({move});
    RunProgram(scenes::divor::kScene, fake_);
    if (fake_.Calls("ShowCursor TRUE").empty()) return 0;
    return fake_.step_count - 1;
  }
  FakePlatform fake_;
};

TEST_F(Movement, TheFirstEventOnlyRecordsWhereverThePointerIs) {
  EXPECT_EQ(EndingStep({Move(11985, 8985)}), 0);
}

TEST_F(Movement, RepeatsAndDriftWithinOneTwipDoNothing) {
  EXPECT_EQ(EndingStep({Move(3000, 3000), Move(3000, 3000), Move(3001, 2999), Move(2999, 3001),
                        Move(3000.5f, 3000.5f)}),
            0);
}

TEST(MovementThreshold, ADifferenceOfExactlyOneDoesNotEndButMoreDoes) {
  struct Case {
    float x, y;
    int ends_at;
  };
  for (const Case& c : {Case{3001, 3000, 0}, Case{3000, 2999, 0}, Case{3001.001f, 3000, 2},
                        Case{3000, 2998.999f, 2}, Case{3015, 3000, 2}}) {
    FakePlatform fake;
    fake.steps = {{}, {Move(3000, 3000)}, {Move(c.x, c.y)}};
    RunProgram(scenes::divor::kScene, fake);
    const int ended = fake.Calls("ShowCursor TRUE").empty() ? 0 : fake.step_count - 1;
    EXPECT_EQ(ended, c.ends_at) << c.x << "," << c.y;
  }
}

TEST_F(Movement, SlowDriftIsMeasuredFromTheFirstPlace) {
  EXPECT_EQ(EndingStep({Move(3000, 3000), Move(3000.75f, 3000), Move(3001, 3000),
                        Move(3001.25f, 3000)}),
            4);
}

TEST_F(Movement, AReferenceTakenAtTheCornerStaysUnset) {
  // (0, 0) leaves the test unset, so the next event takes the reference.
  EXPECT_EQ(EndingStep({Move(0, 0), Move(600, 600), Move(600, 615)}), 3);
}

TEST_F(Movement, AReferenceWithOneCoordinateZeroIsValid) {
  EXPECT_EQ(EndingStep({Move(0, 4500), Move(0, 4501), Move(0, 4516)}), 3);
}

TEST_F(Movement, OneWholePixelEnds) {
  EXPECT_EQ(EndingStep({Move(7500, 4500), Move(7515, 4500)}), 2);
}

}  // namespace

namespace {

using namespace testing_support;

// The sound calls each deliverable makes, in order, on every road to its end.
TEST(SoundCalls, EveryDeliverableOnEveryRoadSendsExactlyItsCommands) {
  const std::string open = "mciSendString OPEN /opt/saver\\song.mid TYPE SEQUENCER ALIAS BackgroundMusic";
  const std::string play = "mciSendString PLAY BackgroundMusic FROM 0";
  const std::string close = "mciSendString CLOSE BackgroundMusic";
  const std::string loop = "sndPlaySound /opt/saver\\walk.wav 11";
  const std::string stop = "sndPlaySound (null) 1";
  struct Road {
    const char* name;
    bool second;
    std::deque<std::vector<Event>> steps;
  };
  const Road roads[] = {{"key", false, {{}, {Key()}}},
                        {"button", false, {{}, {Click()}}},
                        {"movement", false, {{}, {Move(900, 900), Move(915, 900)}}},
                        {"closed", false, {{}, {Close()}}},
                        {"second copy", true, {}}};
  struct Expected {
    const saver::Scene* scene;
    std::vector<std::vector<std::string>> per_road;  // in the order of roads
  };
  const Expected expected[] = {
      {&scenes::divor::kScene, {{close}, {close}, {close}, {}, {}}},
      {&scenes::Rerarir::kScene, {{loop, stop}, {loop, stop}, {loop, stop}, {loop}, {stop}}},
      {&scenes::Flitter::kScene, {{}, {}, {}, {}, {}}},
      {&scenes::Tunelight::kScene,
       {{open, play, close}, {open, play, close}, {open, play, close}, {open, play}, {close}}},
  };
  for (const Expected& e : expected) {
    for (size_t r = 0; r < std::size(roads); ++r) {
      FakePlatform fake;
      fake.prev_instance = roads[r].second;
      fake.steps = roads[r].steps;
      RunProgram(*e.scene, fake);
      std::vector<std::string> sound;
      for (const std::string& line : fake.log)
        if (line.rfind("mciSendString", 0) == 0 || line.rfind("sndPlaySound", 0) == 0) sound.push_back(line);
      EXPECT_EQ(sound, e.per_road[r]) << e.scene->name << " on " << roads[r].name;
    }
  }
}

}  // namespace

namespace {

// The lines the log holds from the first "Form_Activate" on.
Lines FromActivation(const FakePlatform& fake, int which) {
  Lines lines;
  int seen = 0;
  for (const std::string& line : fake.log) {
    if (line == "Form_Activate") ++seen;
    if (seen >= which) lines.push_back(line);
  }
  return lines;
}

// Focus lost and regained is another activation: the sprites are set down afresh on
// the bottom of the window as it is now (1024 x 768 pixels: 15360 x 11520 twips).
TEST(Reactivation, RerarirSetsItsWalkersDownAgainAndRestartsItsWave) {
  FakePlatform fake;
  fake.steps = {{}, {Resize(1024, 768), FocusLost(), FocusGained()}, {Key()}};
  RunProgram(scenes::Rerarir::kScene, fake);
  EXPECT_EQ(FromActivation(fake, 2), (Lines{
                                         "Form_Activate", "AniGif1.Top=10537", "AniGif2.Top=10657",
                                         "sndPlaySound /opt/saver\\walk.wav 11",
                                         "DoEvents",
                                         "ShowCursor TRUE",
                                         "sndPlaySound (null) 1",
                                         "End",
                                     }));
  EXPECT_EQ(fake.Calls("sndPlaySound /opt/saver\\walk.wav 11").size(), 2u);
}

TEST(Reactivation, TunelightRestacksItsThirdSpriteOnTheSecond) {
  FakePlatform fake;
  fake.steps = {{}, {Resize(1024, 768), FocusLost(), FocusGained()}, {Key()}};
  RunProgram(scenes::Tunelight::kScene, fake);
  // 11520 - 1815 - 8 = 9697; 11520 - 1455 - 8 = 10057; 10057 - 1335 - 100 = 8622.
  const Lines again = FromActivation(fake, 2);
  ASSERT_GE(again.size(), 4u);
  EXPECT_EQ(Lines(again.begin(), again.begin() + 4),
            (Lines{"Form_Activate", "AniGif1.Top=9697", "AniGif2.Top=10057", "AniGif3.Top=8622"}));
}

TEST(Reactivation, FocusRegainedWithoutALossIsNoNewActivation) {
  FakePlatform fake;
  fake.steps = {{FocusGained()}, {FocusGained(), Tick()}, {Key()}};
  RunProgram(scenes::divor::kScene, fake);
  EXPECT_EQ(fake.Calls("Form_Activate").size(), 1u);
}

TEST(Reactivation, FocusRegainedAfterTheWindowIsUnloadedRunsNoHandler) {
  FakePlatform fake;
  fake.steps = {{}, {FocusLost(), Key(), FocusGained()}};
  RunProgram(scenes::Flitter::kScene, fake);  // its key unloads the window
  EXPECT_EQ(fake.Calls("Form_Activate").size(), 1u);
}

}  // namespace

namespace {

Lines Created(const saver::Scene& scene) {
  FakePlatform fake;
  saver::Form1 form(scene, fake);
  return fake.Calls("Create ");
}

TEST(Creation, EachDeliverableCreatesItsControlsInTheOrderOfItsLayout) {
  EXPECT_EQ(Created(scenes::divor::kScene),
            (Lines{"Create AniGif3", "Create AniGif2", "Create Timer2 100", "Create AniGif1", "Create Label1"}));
  EXPECT_EQ(Created(scenes::Rerarir::kScene),
            (Lines{"Create AniGif3", "Create AniGif2", "Create Timer2 100", "Create AniGif1", "Create Label1"}));
  EXPECT_EQ(Created(scenes::Tunelight::kScene),
            (Lines{"Create AniGif3", "Create AniGif2", "Create Timer2 100", "Create AniGif1", "Create AniGif4",
                   "Create Label1"}));
  EXPECT_EQ(Created(scenes::Flitter::kScene),
            (Lines{"Create AniGif3", "Create AniGif2", "Create AniGif1", "Create Timer2 100", "Create Label1"}));
}

TEST(Banner, ItIsPureGreenUntilTheFirstTick) {
  FakePlatform fake;
  fake.steps = {{}, {}, {Tick()}, {Key()}};
  std::vector<platform::Colour> at_step;
  fake.on_step = [&](int) { at_step.push_back(fake.window->fake_label().ForeColor()); };
  RunProgram(scenes::Tunelight::kScene, fake);
  // r = 0.5 for every channel after the tick: 128 each.
  EXPECT_EQ(at_step, (std::vector<platform::Colour>{65280, 65280, 65280, 128 + 256 * 128 + 65536 * 128}));
}

}  // namespace
