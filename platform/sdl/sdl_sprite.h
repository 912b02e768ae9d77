// The animated picture control over SDL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/sdl_screen.h"
#include "platform/shared/gif/gif_animation.h"
#include "platform/shared/memory_budget.h"

namespace platform::sdl {

class SdlSprite final : public Sprite {
 public:
  // Pictures are admitted within budget, which the sounds share.
  SdlSprite(Screen& screen, MemoryBudget& budget, const SpriteLayout& layout, std::string app_path);

  void SetPictureFile(const std::string& path) override;
  float Left() const override { return left_; }
  void SetLeft(float twips) override { left_ = twips; }
  float Top() const override { return top_; }
  void SetTop(float twips) override { top_ = twips; }
  float Height() const override { return height_; }

  void Draw(uint64_t now_ms);

 private:
  Screen& screen_;
  MemoryBudget& budget_;
  std::string app_path_;
  float left_, top_, width_, height_;
  Colour back_color_;
  gif::Animation animation_;  // delays and size; the pixels live in frames_
  std::vector<Picture> frames_;
  uint64_t start_ms_ = 0;
};

}  // namespace platform::sdl
