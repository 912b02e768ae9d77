// The blank windows of the monitors the form does not take. Implements: BlankWindows.
#include "platform/sdl/sdl_blank_windows.h"

#include "platform/sdl/sdl_process.h"
#include "platform/sdl/sdl_window_system.h"

namespace platform::sdl {

BlankWindows::~BlankWindows() {
  for (const BlankWindow& blank : blanks_) SDL_DestroyWindow(blank.window);
}

bool BlankWindows::Follow(const std::vector<Monitor>& places) {
  while (blanks_.size() > places.size()) {
    SDL_DestroyWindow(blanks_.back().window);
    blanks_.pop_back();
  }
  const WindowSystem& system = WindowSystem::Current();
  bool made = false;
  for (size_t i = 0; i < places.size(); ++i) {
    const Monitor& place = places[i];
    if (i < blanks_.size()) {
      if (blanks_[i].place == place) continue;
      blanks_[i].place = place;
      if (system.PlacesWindows()) {
        SDL_SetWindowPosition(blanks_[i].window, place.x, place.y);
        SDL_SetWindowSize(blanks_[i].window, place.w, place.h);
        continue;
      }
      SDL_DestroyWindow(blanks_[i].window);
      blanks_[i].window = nullptr;
    }
    SDL_Window* blank = Make(place);
    if (!blank) {
      Report("blank a monitor");
      for (size_t later = i + 1; later < blanks_.size(); ++later) SDL_DestroyWindow(blanks_[later].window);
      blanks_.resize(i);
      break;
    }
    if (i < blanks_.size()) blanks_[i] = {blank, place};
    else blanks_.push_back({blank, place});
    made = true;
  }
  return made;
}

void BlankWindows::Show() {
  shown_ = true;
  for (const BlankWindow& blank : blanks_) {
    WindowSystem::Current().Show(blank.window);
    Paint(blank.window);
  }
}

bool BlankWindows::Shown(uint32_t window_id) {
  for (BlankWindow& blank : blanks_) {
    if (SDL_GetWindowID(blank.window) != window_id) continue;
    blank.seen = true;
    return true;
  }
  return false;
}

void BlankWindows::AskAgain() const {
  if (!shown_) return;
  for (const BlankWindow& blank : blanks_)
    if (!blank.seen) WindowSystem::Current().Show(blank.window);
}

bool BlankWindows::Repaint(uint32_t window_id) const {
  for (const BlankWindow& blank : blanks_) {
    if (SDL_GetWindowID(blank.window) != window_id) continue;
    Paint(blank.window);
    return true;
  }
  return false;
}

// A black window over place, shown if the blank windows are.
SDL_Window* BlankWindows::Make(const Monitor& place) const {
  SDL_Window* blank = SDL_CreateWindow("", place.x, place.y, place.w, place.h,
                                       SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR |
                                           WindowSystem::Current().FullScreenFlag());
  if (!blank) return nullptr;
  WindowSystem::Current().PrepareBlank(blank);
  if (shown_) {
    WindowSystem::Current().Show(blank);
    Paint(blank);
  }
  return blank;
}

void BlankWindows::Paint(SDL_Window* blank) { WindowSystem::Current().PaintBlank(blank); }

}  // namespace platform::sdl
