// Assembles the SDL platform and starts the window layer.
#include "platform/sdl/sdl_platform.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sdl/sdl_parts.h"
#include "platform/sdl/sdl_window.h"

namespace platform::sdl {

struct SdlPlatform::Parts {
  explicit Parts(std::string_view name)
      : host_window(HostWindowFromEnvironment()), pointer(host_window != 0),
        media(SdlSystem::ProgramFolder()), system(std::string(name), media, host_window != 0) {}
  uintptr_t host_window;
  SdlPointer pointer;
  SdlMedia media;
  StdRandom random;
  SdlSystem system;
};

SdlPlatform::SdlPlatform(std::string_view program_name)
    : parts_(std::make_unique<Parts>(program_name)) {
  // The program writes nothing, and neither may the libraries: Mesa keeps a shader
  // cache under the home folder unless told not to.
  setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");  // let the monitor power down
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");  // the first click counts
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
    std::fprintf(stderr, "%.*s: cannot open the display: %s\n", int(program_name.size()),
                 program_name.data(), SDL_GetError());
    std::exit(1);
  }
  // With no display SDL falls back to a driver that shows nothing and gets no input:
  // a program that could never be seen nor ended. Only an explicit choice may have it.
  const std::string_view driver = SDL_GetCurrentVideoDriver();
  const char* chosen = std::getenv("SDL_VIDEODRIVER");
  if ((driver == "offscreen" || driver == "dummy") && !(chosen && driver == chosen)) {
    std::fprintf(stderr, "%.*s: cannot open the display: no X11 or Wayland display is set\n",
                 int(program_name.size()), program_name.data());
    SDL_Quit();
    std::exit(1);
  }
  if (TTF_Init() != 0) Report("start the font layer");
}

SdlPlatform::~SdlPlatform() {
  parts_->media.Shutdown();
  TTF_Quit();
  SDL_Quit();
}

std::unique_ptr<Window> SdlPlatform::CreateForm(const FormLayout& layout, EventSink& sink) {
  return std::make_unique<SdlWindow>(layout, sink, parts_->system.AppPath(), parts_->host_window);
}

Pointer& SdlPlatform::pointer() { return parts_->pointer; }
Media& SdlPlatform::media() { return parts_->media; }
Random& SdlPlatform::random() { return parts_->random; }
System& SdlPlatform::system() { return parts_->system; }

}  // namespace platform::sdl
