// The covers of the monitors the form does not take. Implements: Covers.
#include "platform/sdl/sdl_covers.h"

#include "platform/sdl/sdl_process.h"
#include "platform/sdl/sdl_window_system.h"

namespace platform::sdl {

Covers::~Covers() {
  for (const Cover& cover : covers_) SDL_DestroyWindow(cover.window);
}

bool Covers::Follow(const std::vector<Monitor>& places) {
  while (covers_.size() > places.size()) {
    SDL_DestroyWindow(covers_.back().window);
    covers_.pop_back();
  }
  const WindowSystem& system = WindowSystem::Current();
  bool made = false;
  for (size_t i = 0; i < places.size(); ++i) {
    const Monitor& place = places[i];
    if (i < covers_.size()) {
      if (covers_[i].place == place) continue;
      covers_[i].place = place;
      if (system.PlacesWindows()) {
        SDL_SetWindowPosition(covers_[i].window, place.x, place.y);
        SDL_SetWindowSize(covers_[i].window, place.w, place.h);
        continue;
      }
      SDL_DestroyWindow(covers_[i].window);
      covers_[i].window = nullptr;
    }
    SDL_Window* cover = Make(place);
    if (!cover) {
      Report("cover a monitor");
      for (size_t later = i + 1; later < covers_.size(); ++later) SDL_DestroyWindow(covers_[later].window);
      covers_.resize(i);
      break;
    }
    if (i < covers_.size()) covers_[i] = {cover, place};
    else covers_.push_back({cover, place});
    made = true;
  }
  return made;
}

void Covers::Show() {
  shown_ = true;
  for (const Cover& cover : covers_) {
    WindowSystem::Current().Show(cover.window);
    Paint(cover.window);
  }
}

bool Covers::Shown(uint32_t window_id) {
  for (Cover& cover : covers_) {
    if (SDL_GetWindowID(cover.window) != window_id) continue;
    cover.seen = true;
    return true;
  }
  return false;
}

void Covers::AskAgain() const {
  if (!shown_) return;
  for (const Cover& cover : covers_)
    if (!cover.seen) WindowSystem::Current().Show(cover.window);
}

bool Covers::Repaint(uint32_t window_id) const {
  for (const Cover& cover : covers_) {
    if (SDL_GetWindowID(cover.window) != window_id) continue;
    Paint(cover.window);
    return true;
  }
  return false;
}

// A black window over place, shown if the covers are.
SDL_Window* Covers::Make(const Monitor& place) const {
  SDL_Window* cover = SDL_CreateWindow("", place.x, place.y, place.w, place.h,
                                       SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR |
                                           WindowSystem::Current().FullScreenFlag());
  if (!cover) return nullptr;
  WindowSystem::Current().PrepareCover(cover);
  if (shown_) {
    WindowSystem::Current().Show(cover);
    Paint(cover);
  }
  return cover;
}

void Covers::Paint(SDL_Window* cover) { WindowSystem::Current().PaintCover(cover); }

}  // namespace platform::sdl
