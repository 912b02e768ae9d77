// The choice of screen for a window, and the pictures screens make.
// Implements: MakeScreen, Picture.
#include "platform/sdl/sdl_screen.h"

#include <glob.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/sdl/sdl_process.h"
#include "platform/sdl/sdl_renderer_screen.h"
#include "platform/sdl/sdl_surface_screen.h"
#include "platform/sdl/sdl_x11.h"

namespace platform::sdl {

namespace {

DisplayFacts FactsOf(SDL_Window* window) {
  DisplayFacts facts;
  const char* driver = SDL_GetCurrentVideoDriver();
  facts.video_driver = driver ? driver : "";
  glob_t nodes{};
  facts.render_node = glob("/dev/dri/renderD*", 0, nullptr, &nodes) == 0 && nodes.gl_pathc > 0;
  globfree(&nodes);
  AddX11Facts(window, &facts);
  const char* named = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
  facts.render_driver = named ? named : "";
  return facts;
}

// The window's surface is the display's own memory (on X11, shared with the server),
// never a texture SDL would present through GL: a software GL costs a core, and
// spends seconds over a window that a host has destroyed. Where the display gives
// the window no surface of its own, start fails; SDL decides only once whether a
// surface may be a texture, so none is made for what starts after.
template <typename Start>
std::unique_ptr<Screen> OnDisplaysOwnSurface(Start start) {
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  std::unique_ptr<Screen> screen = start();
  if (!screen) SDL_ResetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
  return screen;
}

// The renderer SDL_RENDER_DRIVER names, or null with a line on standard error.
std::unique_ptr<Screen> NamedRenderer(SDL_Window* window, const DisplayFacts& facts, int scale) {
  const std::string& name = facts.render_driver;
  std::unique_ptr<Screen> screen;
  if (IsGlRenderer(name))  // waits for the refresh, as on a GPU
    screen = RendererScreen::Start(window, scale, SDL_RENDERER_PRESENTVSYNC, name);
  else if (facts.video_driver == "x11")  // SDL's software renderer, into the window's surface
    screen = OnDisplaysOwnSurface([&] { return RendererScreen::Start(window, scale, 0, name); });
  else  // elsewhere it is left to SDL to make one
    screen = RendererScreen::Start(window, scale, 0, name);
  if (!screen)
    std::fprintf(stderr, "the renderer SDL_RENDER_DRIVER=%s names: %s; drawing without it\n", name.c_str(),
                 SDL_GetError());
  return screen;
}

// A GPU renderer, unless its context names a GL that ChooseScreen then turns down.
std::unique_ptr<Screen> GpuRenderer(SDL_Window* window, DisplayFacts facts, int scale) {
  auto screen = RendererScreen::Start(window, scale, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
  if (!screen) return nullptr;
  facts.gl_renderer = screen->GlName();
  if (ChooseScreen(facts) != ScreenKind::kGpu) return nullptr;
  return screen;
}

}  // namespace

Picture& Picture::operator=(Picture&& other) noexcept {
  if (this != &other) {
    this->~Picture();
    texture_ = std::exchange(other.texture_, nullptr);
    surface_ = std::exchange(other.surface_, nullptr);
    width_ = other.width_;
    height_ = other.height_;
    density_ = other.density_;
  }
  return *this;
}

Picture::~Picture() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (surface_) SDL_FreeSurface(surface_);
  texture_ = nullptr;
  surface_ = nullptr;
}

std::unique_ptr<Screen> MakeScreen(SDL_Window* window, int scale) { return MakeScreen(window, FactsOf(window), scale); }

std::unique_ptr<Screen> MakeScreen(SDL_Window* window, DisplayFacts facts, int scale) {
  std::unique_ptr<Screen> screen;
  switch (ChooseScreen(facts)) {
    case ScreenKind::kRenderer: screen = NamedRenderer(window, facts, scale); break;
    case ScreenKind::kGpu: screen = GpuRenderer(window, facts, scale); break;
    case ScreenKind::kSurface: break;
  }
  if (!screen) screen = OnDisplaysOwnSurface([&] { return SurfaceScreen::Start(window, scale); });
  if (!screen) screen = RendererScreen::Start(window, scale, 0);
  if (!screen) {
    Report("draw on the window");
    std::exit(1);
  }
  return screen;
}

}  // namespace platform::sdl
