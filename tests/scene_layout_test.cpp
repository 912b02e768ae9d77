// The four scenes as data: the layout's derived values, the banner texts and the
// differences between deliverables.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "scenes/Flitter/scene.h"
#include "scenes/Rerarir/scene.h"
#include "scenes/Tunelight/scene.h"
#include "scenes/divor/scene.h"
#include "scene_list.h"

namespace {

using scenes::kAll;

// The layout table as printed, value by value: a wrong size with an extent computed
// from it, or an order followed by the code but not the table, fails here.
struct SpriteRow {
  const saver::Scene* scene;
  int number;
  float left, top, width, height;
  int32_t extentx, extenty;
  int32_t backcolor;
};
const SpriteRow kSpriteTable[] = {
    {&scenes::divor::kScene, 1, 1920, 6720, 1935, 2175, 3413, 3836, 0},
    {&scenes::divor::kScene, 2, 4800, 7800, 1335, 1215, 2355, 2143, 0},
    {&scenes::divor::kScene, 3, 240, 720, 2535, 2175, 4471, 3836, 0},
    {&scenes::Rerarir::kScene, 1, 1680, 8050, 1935, 975, 3413, 1720, 16777215},
    {&scenes::Rerarir::kScene, 2, 4080, 8145, 1335, 855, 2355, 1508, 16777215},
    {&scenes::Rerarir::kScene, 3, 240, 720, 2535, 2175, 4471, 3836, 0},
    {&scenes::Flitter::kScene, 1, 1200, 8040, 1575, 975, 2778, 1720, 0},
    {&scenes::Flitter::kScene, 2, 4680, 8040, 1815, 975, 3201, 1720, 0},
    {&scenes::Flitter::kScene, 3, 1980, 2280, 1815, 1095, 3201, 1931, 0},
    {&scenes::Tunelight::kScene, 1, 7560, 7200, 1815, 1815, 3201, 3201, 0},
    {&scenes::Tunelight::kScene, 2, 3720, 7080, 2055, 1455, 3625, 2566, 0},
    {&scenes::Tunelight::kScene, 3, 1320, 7050, 5955, 1335, 10504, 2355, 0},
    {&scenes::Tunelight::kScene, 4, 10080, 120, 1215, 1335, 2143, 2355, 0},
};

TEST(Layout, EverySpriteHasThePlaceSizeExtentsAndBackColourOfTheTable) {
  for (const SpriteRow& row : kSpriteTable) {
    const platform::SpriteLayout& s = row.scene->layout.sprites[size_t(row.number - 1)];
    const std::string which = std::string(row.scene->name) + " AniGif" + std::to_string(row.number);
    EXPECT_EQ(s.name, "AniGif" + std::to_string(row.number)) << which;
    EXPECT_EQ((std::array<float, 4>{s.place.left, s.place.top, s.place.width, s.place.height}),
              (std::array<float, 4>{row.left, row.top, row.width, row.height}))
        << which;
    EXPECT_EQ(s.extentx, row.extentx) << which;
    EXPECT_EQ(s.extenty, row.extenty) << which;
    EXPECT_EQ(s.backcolor, platform::Colour(row.backcolor)) << which;
  }
}

TEST(Layout, EveryBannerHasThePlaceOfTheTable) {
  struct Row {
    const saver::Scene* scene;
    float left, top, width, height;
  };
  for (const Row& row : {Row{&scenes::divor::kScene, 360, 120, 10935, 255},
                         Row{&scenes::Rerarir::kScene, 180, 90, 3705, 255},
                         Row{&scenes::Flitter::kScene, 360, 120, 10935, 255},
                         Row{&scenes::Tunelight::kScene, 390, 120, 10935, 255}}) {
    const platform::Rect& p = row.scene->layout.label.place;
    EXPECT_EQ((std::array<float, 4>{p.left, p.top, p.width, p.height}),
              (std::array<float, 4>{row.left, row.top, row.width, row.height}))
        << row.scene->name;
  }
}

TEST(Scenes, EachHasTheDotsAndStepsOfTheTable) {
  struct Row {
    const saver::Scene* scene;
    int dot_count;
    double spread;
    float bottom_margin, walk_step, fly_step;
    bool moves, stacks;
  };
  for (const Row& row : {Row{&scenes::divor::kScene, 325, 30, 8, 200, 150, true, false},
                         Row{&scenes::Rerarir::kScene, 325, 50, 8, 50, 150, true, false},
                         Row{&scenes::Flitter::kScene, 500, 30, 10, 250, 150, true, false},
                         Row{&scenes::Tunelight::kScene, 325, 30, 8, 0, 0, false, true}}) {
    const saver::Scene& s = *row.scene;
    EXPECT_EQ(s.DotCount, row.dot_count) << s.name;
    EXPECT_EQ(s.RespawnSpread, row.spread) << s.name;
    EXPECT_EQ(s.BottomMargin, row.bottom_margin) << s.name;
    EXPECT_EQ(s.sprites_move, row.moves) << s.name;
    EXPECT_EQ(s.stack_anigif3, row.stacks) << s.name;
    if (row.moves) {
      EXPECT_EQ(s.WalkStep, row.walk_step) << s.name;
      EXPECT_EQ(s.FlyStep, row.fly_step) << s.name;
      EXPECT_EQ(s.WalkRestart, -200.0f) << s.name;
      EXPECT_EQ(s.FlyOvershoot, 200.0f) << s.name;
      EXPECT_EQ(s.FlyRestart, -300.0f) << s.name;
    } else {
      EXPECT_EQ(s.StackGap, 100.0f) << s.name;
    }
  }
}

TEST(Layout, ExtentsAreTheSizeInHimetricToTheNearestWhole) {
  for (const saver::Scene* scene : kAll) {
    for (int i = 0; i < scene->layout.sprite_count; ++i) {
      const platform::SpriteLayout& s = scene->layout.sprites[size_t(i)];
      EXPECT_EQ(s.extentx, std::lround(s.place.width * 127.0 / 72.0)) << scene->name << s.name;
      EXPECT_EQ(s.extenty, std::lround(s.place.height * 127.0 / 72.0)) << scene->name << s.name;
    }
  }
}

TEST(Layout, SavedPropertiesArriveInTheirOrderWithBorderstyleOnlyOnFlittersBird) {
  auto names = [](const platform::SpriteLayout& s) {
    std::vector<std::string_view> out;
    for (const auto& p : s.SavedProperties()) out.push_back(p.name);
    return out;
  };
  using Names = std::vector<std::string_view>;
  EXPECT_EQ(names(scenes::Flitter::kScene.layout.sprites[2]),
            (Names{"_extentx", "_extenty", "borderstyle", "appearance", "backcolor"}));
  for (const saver::Scene* scene : kAll)
    for (int i = 0; i < scene->layout.sprite_count; ++i) {
      if (scene == &scenes::Flitter::kScene && i == 2) continue;
      EXPECT_EQ(names(scene->layout.sprites[size_t(i)]),
                (Names{"_extentx", "_extenty", "appearance", "backcolor"}));
    }
  const auto props = scenes::Rerarir::kScene.layout.sprites[0].SavedProperties();
  EXPECT_EQ(std::get<int32_t>(props.back().value), 16777215);
}

TEST(Layout, EveryWindowStartsBlackOnMenuTextWithAGreenOneLineBanner) {
  for (const saver::Scene* scene : kAll) {
    EXPECT_EQ(scene->layout.caption, "Form1");
    EXPECT_EQ(scene->layout.back_color, 0x80000007u);
    EXPECT_EQ(scene->layout.label.fore_color, 65280u);
    EXPECT_EQ(scene->layout.label.back_color, 0u);
    EXPECT_EQ(scene->layout.label.place.height, 255.0f);
    EXPECT_EQ(scene->layout.timer.interval_ms, 100);
    EXPECT_TRUE(scene->layout.timer.enabled);
    EXPECT_EQ(scene->layout.label.caption.find('\n'), std::string_view::npos);
  }
}

TEST(Layout, BannerTextsCarryTheGreetingWhereTheyShould) {
  const std::string_view greeting = "欢迎访问我的主页：";
  EXPECT_EQ(scenes::divor::kScene.layout.label.caption.find(greeting), 0u);
  EXPECT_EQ(scenes::Flitter::kScene.layout.label.caption.find(greeting), 0u);
  EXPECT_EQ(scenes::Rerarir::kScene.layout.label.caption.find(greeting), std::string_view::npos);
  EXPECT_NE(scenes::Rerarir::kScene.layout.label.caption.find("："), std::string_view::npos);
  const std::string_view tunelight = scenes::Tunelight::kScene.layout.label.caption;
  const size_t email = tunelight.find("电子邮件：");
  const size_t hello = tunelight.find(greeting);
  ASSERT_NE(email, std::string_view::npos);
  ASSERT_NE(hello, std::string_view::npos);
  EXPECT_LT(email, hello);
  EXPECT_EQ(tunelight.substr(email - 10, 10), std::string(10, ' '));
  EXPECT_EQ(tunelight.substr(hello - 9, 9), std::string(9, ' '));
  EXPECT_NE(tunelight[email - 11], ' ');
  EXPECT_NE(tunelight[hello - 10], ' ');
}

TEST(Layout, RerarirHasItsOwnClientAreaAndBannerPlace) {
  const auto& layout = scenes::Rerarir::kScene.layout;
  EXPECT_EQ(layout.client_area.width, 12000.0f);
  EXPECT_EQ(layout.client_area.height, 9450.0f);
  EXPECT_EQ(layout.label.place.left, 180.0f);
  EXPECT_EQ(layout.label.place.top, 90.0f);
  EXPECT_EQ(layout.label.place.width, 3705.0f);
  EXPECT_EQ(scenes::divor::kScene.layout.client_area.width, 11445.0f);
}

TEST(Layout, OnlyTunelightHasAFourthSprite) {
  for (const saver::Scene* scene : kAll) {
    const bool tunelight = scene == &scenes::Tunelight::kScene;
    EXPECT_EQ(scene->layout.sprite_count, tunelight ? 4 : 3);
    EXPECT_EQ(scene->pictures[3].empty(), !tunelight);
  }
}

}  // namespace
