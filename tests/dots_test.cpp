// The falling dots against values worked out by hand, with scripted random numbers.
// The fake screen is 800 x 600 pixels: W = 12000 and H = 9000 twips.
#include <gtest/gtest.h>

#include <cmath>

#include "scenes/Flitter/scene.h"
#include "scenes/Rerarir/scene.h"
#include "scenes/divor/scene.h"
#include "tests/run_helpers.h"

namespace {

using namespace testing_support;
using platform::Canvas;

constexpr platform::Colour Grey(int g) { return platform::Colour(g + 256 * g + 65536 * g); }

class Dots : public ::testing::Test {
 protected:
  // A divor window, its dots seeded with r = 0.5 throughout unless scripted first.
  saver::Form1& Seeded(const saver::Scene& scene = scenes::divor::kScene) {
    form_ = std::make_unique<saver::Form1>(scene, fake_);
    form_->SeedDots();
    fake_.points.clear();
    return *form_;
  }
  // Rows 1 .. n of the pass's trace, as points set in order.
  std::vector<Canvas::TracedPoint> Pass() {
    fake_.points.clear();
    form_->DotPass();
    return fake_.points;
  }

  FakePlatform fake_;
  std::unique_ptr<saver::Form1> form_;
};

void ExpectPoint(const Canvas::TracedPoint& p, float x, float y, platform::Colour colour) {
  EXPECT_EQ(p.x, x);
  EXPECT_EQ(p.y, y);
  EXPECT_EQ(p.colour, colour);
}

TEST_F(Dots, SeedingDrawsXThenYThenSpeedPerDotWithExactProducts) {
  fake_.rnd = {0.5f, 0.25f, 0.75f,  // dot 1
               0.1f, 0.9f, 0.0f,    // dot 2: 0.9f * 9000 is 8099.9998, below 8100
               0.99999994f, 0.3f, 0.3f};
  saver::Form1& form = Seeded();
  EXPECT_EQ(form.dot_count(), 325);
  EXPECT_EQ(fake_.rnd_calls, 975);
  EXPECT_EQ(form.dots()(1).DotX, 6000.0f);
  EXPECT_EQ(form.dots()(1).DotY, 2250.0f);
  EXPECT_EQ(form.dots()(1).DotSpeed, 25.0f);
  EXPECT_EQ(form.dots()(2).DotX, 1200.0f);
  EXPECT_EQ(form.dots()(2).DotY, 8099.0f);
  EXPECT_EQ(form.dots()(2).DotSpeed, 10.0f);
  EXPECT_EQ(form.dots()(3).DotX, 11999.0f);  // never W
  EXPECT_EQ(form.dots()(3).DotY, 2700.0f);
  EXPECT_EQ(form.dots()(3).DotSpeed, 16.0f);  // 16.00000024 stored as a float
  EXPECT_EQ(form.dots()(325).DotX, 6000.0f);
  EXPECT_EQ(form.dots()(326).DotSpeed, 0.0f);  // past DotCount: untouched
  EXPECT_TRUE(fake_.points.empty());           // nothing drawn while seeding
}

TEST_F(Dots, APassErasesInBlackThenDrawsOneStepLowerInItsGrey) {
  fake_.rnd = {0.5f, 0.25f, 0.75f};
  Seeded();
  const auto points = Pass();
  ASSERT_EQ(points.size(), 650u);
  ExpectPoint(points[0], 6000, 2250, 0);
  ExpectPoint(points[1], 6000, 2275, Grey(180));  // 60 + 8 * (25 - 10)
  ExpectPoint(points[2], 6000, 4500, 0);          // dot 2, r = 0.5: speed 20
  ExpectPoint(points[3], 6000, 4520, Grey(140));
  const auto second = Pass();
  ExpectPoint(second[0], 6000, 2275, 0);
  ExpectPoint(second[1], 6000, 2300, Grey(180));
}

TEST_F(Dots, ADotLandingExactlyOnTheHeightIsDrawnThereAndRespawnsNextPass) {
  saver::Form1& form = Seeded();
  form.dots()(1) = {1500, 8975, 25};
  fake_.rnd = {0.5f, 0.25f};
  auto points = Pass();
  ExpectPoint(points[0], 1500, 8975, 0);
  ExpectPoint(points[1], 1500, 9000, Grey(180));
  EXPECT_EQ(fake_.rnd.size(), 2u);  // no draw yet

  points = Pass();
  // Speed 0.5 * 30 + 5 = 20, then x = 0.25 * 12000; the erase goes to the corner.
  ExpectPoint(points[0], 0, 0, 0);
  ExpectPoint(points[1], 3000, 0, Grey(140));
  EXPECT_EQ(form.dots()(1).DotSpeed, 20.0f);
  EXPECT_EQ(form.dots()(1).DotY, 0.0f);
  EXPECT_TRUE(fake_.rnd.empty());
}

TEST_F(Dots, ARespawnLeavesTheLastPointBeforeItSet) {
  saver::Form1& form = Seeded();
  form.dots()(1) = {1500, 8970, 20};
  Pass();  // drawn at 8990, pixel (100, 599)
  fake_.rnd = {0.1f, 0.2f};
  Pass();  // 9010 > 9000
  // 0.1f * 30 + 5 = 8.00000004, stored as 8; x = 2400.00004 -> 2400.
  EXPECT_EQ(form.dots()(1).DotSpeed, 8.0f);
  EXPECT_EQ(form.dots()(1).DotX, 2400.0f);
  const platform::Canvas& canvas = fake_.window->canvas();
  EXPECT_EQ(canvas.Pixel(100, 599), platform::ToArgb(Grey(140)));
  EXPECT_EQ(canvas.Pixel(160, 0), platform::ToArgb(Grey(44)));  // 60 + 8 * (8 - 10)
}

// r = 0.3000040650367737 is a float for which forming the speed in single precision
// gives another float than forming it in double and storing the result.
TEST_F(Dots, SpeedsAreFormedInDoublePrecisionThenStoredAsFloats) {
  const float r = 0.3000040650367737f;
  fake_.rnd = {0.5f, 0.5f, r};
  saver::Form1& form = Seeded();
  EXPECT_EQ(form.dots()(1).DotSpeed, 16.000082015991211f);  // single precision: 16.000080108642578
  Seeded(scenes::Rerarir::kScene).dots()(1) = {1500, 8990, 20};
  fake_.rnd = {r, 0.5f};
  Pass();
  EXPECT_EQ(form_->dots()(1).DotSpeed, 20.000204086303711f);  // r * 50 + 5; single: 20.000202178955078
}

TEST_F(Dots, RerarirRespawnsWithASpreadOfFifty) {
  saver::Form1& form = Seeded(scenes::Rerarir::kScene);
  form.dots()(1) = {1500, 8990, 20};
  fake_.rnd = {0.5f, 0.5f};
  const auto points = Pass();
  EXPECT_EQ(form.dots()(1).DotSpeed, 30.0f);  // 0.5 * 50 + 5
  ExpectPoint(points[1], 6000, 0, Grey(220));
}

TEST_F(Dots, GreyRoundsHalvesToEvenAndWhiteStartsAbove34_3125) {
  struct Case {
    float speed;
    int grey;
  };
  const float above = std::nextafter(34.3125f, 100.0f);
  for (const Case& c : {Case{5, 20}, Case{10.0625f, 60}, Case{10.1875f, 62}, Case{34.3125f, 254},
                        Case{above, 255}, Case{34.375f, 255}, Case{55, 255}}) {
    saver::Form1& form = Seeded();
    form.dots()(1) = {1500, 0, c.speed};
    const auto points = Pass();
    EXPECT_EQ(points[1].colour, Grey(c.grey)) << "speed " << c.speed;
  }
}

TEST_F(Dots, APointThatStaysOnItsPixelStaysGrey) {
  saver::Form1& form = Seeded();
  form.dots()(1) = {150, 151, 5};  // 151 and 156 both lie in pixel row 10
  Pass();
  EXPECT_EQ(fake_.window->canvas().Pixel(10, 10), platform::ToArgb(Grey(20)));
}

TEST_F(Dots, EveryRowNumberIsChecked) {
  saver::Form1& form = Seeded();
  EXPECT_NO_THROW(form.dots()(0));
  EXPECT_NO_THROW(form.dots()(1000));
  EXPECT_THROW(form.dots()(1001), std::out_of_range);
  EXPECT_THROW(form.dots()(-1), std::out_of_range);
}

TEST_F(Dots, ANewSizeCountsAtOnceForTheRespawnTestAndTheNewColumn) {
  saver::Form1& form = Seeded();
  form.dots()(1) = {1500, 4400, 20};
  fake_.window->canvas().Resize(400, 300, 0xFF000000);  // W = 6000, H = 4500
  fake_.rnd = {0.5f, 0.5f};
  Pass();
  EXPECT_EQ(form.dots()(1).DotY, 4420.0f);
  Pass();
  Pass();
  Pass();
  Pass();  // 4500 is not past the height
  EXPECT_EQ(form.dots()(1).DotY, 4500.0f);
  Pass();
  EXPECT_EQ(form.dots()(1).DotX, 3000.0f);  // 0.5 * the new width
}

TEST(RenderLoop, TenPassesRunBetweenTwoEventSteps) {
  FakePlatform fake;
  fake.steps = {{}, {}, {}, {}};
  std::vector<size_t> points_at_step;
  fake.on_step = [&](int) { points_at_step.push_back(fake.points.size()); };
  RunProgram(scenes::divor::kScene, fake);
  EXPECT_EQ(points_at_step, (std::vector<size_t>{0, 0, 6500, 13000, 19500}));
}

TEST(RenderLoop, DotsAndBannerShareOneSequenceInTheOrderTheyRun) {
  FakePlatform fake;
  fake.rnd = {0.5f, 0.999f, 0.5f};  // dot 1 seeds at y = 8991 and respawns in the first pass
  fake.rnd.insert(fake.rnd.end(), 3 * 324, 0.5f);
  for (float r : {0.1f, 0.2f, 0.5f, 0.25f, 0.75f}) fake.rnd.push_back(r);
  fake.rnd_default = 0.0f;
  fake.steps = {{}, {}, {Tick()}};
  fake.on_step = [&](int step) {
    if (step == 3) {
      EXPECT_EQ(fake.rnd_calls, 977);  // 975 for the seeding, 2 for the respawn
      EXPECT_EQ(fake.rnd.size(), 3u);
    }
  };
  RunProgram(scenes::divor::kScene, fake);
  EXPECT_EQ(fake.rnd_calls, 980);
  EXPECT_EQ(fake.Calls("Label1.ForeColor="),
            (std::vector<std::string>{"Label1.ForeColor=" + std::to_string(128 + 256 * 64 + 65536 * 191)}));
}

TEST(RenderLoop, FlitterSeedsFiveHundredDots) {
  FakePlatform fake;
  fake.steps = {{}, {}};
  RunProgram(scenes::Flitter::kScene, fake);
  EXPECT_EQ(fake.rnd_calls, 1500);
  EXPECT_EQ(fake.points.size(), 10u * 500u * 2u);
}

}  // namespace
