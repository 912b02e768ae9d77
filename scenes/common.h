// Values that every scene shares: the window's colours, the timer, the design green
// of the banner and the parade's restart constants.
#pragma once

#include "platform/layout.h"
#include "saver/scene.h"

namespace scenes {

using platform::ControlRef;
using platform::FormLayout;
using platform::LabelLayout;
using platform::SpriteLayout;

constexpr platform::TimerLayout kTimer2{"Timer2", 100, true};
constexpr platform::Colour kBannerGreen = 65280;  // (0, 255, 0)
constexpr platform::Colour kWhite = 16777215;

// The parade's steps and restarts in twips, the same in the three scenes that walk.
constexpr float kFlyStep = 150, kWalkRestart = -200, kFlyOvershoot = 200, kFlyRestart = -300;

constexpr ControlRef Sprite(int number) { return {ControlRef::kSprite, uint8_t(number)}; }
constexpr ControlRef kLabel1{ControlRef::kLabel, 0};
constexpr ControlRef kTimer2Ref{ControlRef::kTimer, 0};

constexpr LabelLayout Banner(float left, float top, float width, std::string_view caption) {
  return {"Label1", {left, top, width, 255}, kBannerGreen, platform::kBlack, caption};
}

// A sprite without a "borderstyle" property.
constexpr SpriteLayout AniGif(std::string_view name, platform::Rect place, int32_t extentx,
                              int32_t extenty, platform::Colour backcolor) {
  return {name, place, extentx, extenty, false, 0, 0, backcolor};
}

}  // namespace scenes
