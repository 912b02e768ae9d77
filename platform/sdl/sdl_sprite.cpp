// The animated picture control over SDL: its picture read through the one reader,
// admitted within the memory budget, kept to the part the control shows, and drawn
// frame by frame as time goes. Implements: SdlSprite.
#include "platform/sdl/sdl_sprite.h"

#include <algorithm>

#include "platform/shared/host_path.h"
#include "platform/shared/small_file.h"

namespace platform::sdl {

// Of the saved properties only the back colour changes what is shown: the extents
// repeat the layout's size, and appearance 0 and borderstyle 0 draw no frame.
SdlSprite::SdlSprite(Screen& screen, MemoryBudget& budget, const SpriteLayout& layout, std::string app_path)
    : screen_(screen), budget_(budget), app_path_(std::move(app_path)),
      left_(layout.place.left), top_(layout.place.top), width_(layout.place.width),
      height_(layout.place.height), back_color_(InStandardScheme(layout.backcolor)) {}

void SdlSprite::SetPictureFile(const std::string& path) {
  frames_.clear();
  animation_ = {};
  std::string why;
  const std::string host_path = HostPath(path, app_path_);
  const gif::Limits limits;
  // Only the part the control shows is kept: a picture larger than its control
  // costs no more than one of the control's size.
  const gif::Crop crop{TwipsToPx(width_), TwipsToPx(height_)};
  std::optional<gif::Animation> loaded;
  if (const std::optional<gif::Admitted> file = gif::ReadAdmitted(host_path, limits, crop, budget_, &why))
    loaded = gif::Decode(*file, &why, crop);
  if (!loaded) {
    if (!why.empty()) ReportRefused(host_path, why);
    return;
  }
  for (gif::Frame& frame : loaded->frames) {
    Picture picture = screen_.MakePicture(frame.argb.data(), loaded->width, loaded->height, loaded->width * 4);
    if (!picture) {
      frames_.clear();
      return;
    }
    frames_.push_back(std::move(picture));
    std::vector<uint32_t>().swap(frame.argb);
  }
  animation_ = std::move(*loaded);
  start_ms_ = SDL_GetTicks64();
}

void SdlSprite::Draw(uint64_t now_ms) {
  const SDL_Rect rect{TwipsToPx(left_), TwipsToPx(top_), TwipsToPx(width_), TwipsToPx(height_)};
  screen_.Fill(rect, back_color_);
  if (frames_.empty()) return;
  const Picture& frame = frames_[animation_.FrameAt(now_ms - start_ms_)];
  const SDL_Rect source{0, 0, std::min(animation_.width, rect.w), std::min(animation_.height, rect.h)};
  screen_.Draw(frame, source, rect.x, rect.y);
}

}  // namespace platform::sdl
