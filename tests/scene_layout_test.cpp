// The four scenes as data: the layout's derived values, the banner texts and the
// differences between deliverables.
#include <gtest/gtest.h>

#include <cmath>

#include "scenes/Flitter/scene.h"
#include "scenes/Rerarir/scene.h"
#include "scenes/Tunelight/scene.h"
#include "scenes/divor/scene.h"

namespace {

const saver::Scene* const kAll[] = {&scenes::divor::kScene, &scenes::Rerarir::kScene,
                                    &scenes::Flitter::kScene, &scenes::Tunelight::kScene};

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
