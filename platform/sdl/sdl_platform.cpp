// Assembles the SDL platform and starts the window layer.
#include "platform/sdl/sdl_platform.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sdl/sdl_media.h"
#include "platform/sdl/sdl_process.h"
#include "platform/sdl/sdl_system.h"
#include "platform/sdl/sdl_window.h"
#include "platform/shared/memory_budget.h"
#include "platform/shared/std_random.h"

namespace platform::sdl {

namespace {

struct ProcessPrepared {
  ProcessPrepared() { PrepareProcess(); }
};

// Why no display could be used: what the environment names, and that it failed.
std::string WhyNoDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  std::string why;
  if (x11 && *x11)
    why = std::string("the X display \"") + x11 + "\" does not answer or does not let this user in";
  if (wayland && *wayland)
    why += std::string(why.empty() ? "" : "; ") + "the Wayland display \"" + wayland + "\" does not answer";
  return why.empty() ? "no X11 or Wayland display is set" : why;
}

}  // namespace

struct SdlPlatform::Parts {
  explicit Parts(std::string_view name)
      : host_window(HostWindowFromEnvironment()), pointer(host_window != 0),
        media(SdlSystem::ProgramFolder(), budget, host_window != 0), system(std::string(name), host_window != 0) {}
  ProcessPrepared prepared;  // first: before anything can print or a signal can end us
  MemoryBudget budget;       // shared by the pictures and the sounds
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
  // Nor may they start anything: with no session bus named, SDL's start-up asks
  // libdbus for one, which launches a bus daemon that writes under the home folder
  // and outlives the program. Nothing here needs a bus.
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (!bus || !*bus) setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");  // let the monitor power down
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");  // the first click counts
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // the process's own handlers stay
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
    std::fprintf(stderr, "%.*s: cannot open the display: %s\n", int(program_name.size()),
                 program_name.data(), WhyNoDisplay().c_str());
    SDL_Quit();
    std::exit(1);
  }
  if (TTF_Init() != 0) Report("start the font layer");
}

SdlPlatform::~SdlPlatform() {
  // The programs end through EndProcess, never here: the platform is taken down only
  // where a benchmark made it. Even so nothing here may keep the process.
  ArmExitWatchdog();
  parts_->media.Shutdown();
  TTF_Quit();
  SDL_Quit();
}

std::unique_ptr<Window> SdlPlatform::CreateForm(const FormLayout& layout, EventSink& sink) {
  // Each step answers other copies first, then gives the sound its turn.
  return std::make_unique<SdlWindow>(layout, sink, parts_->system.AppPath(), parts_->budget, parts_->host_window,
                                     std::vector<StepChore*>{&parts_->system, &parts_->media});
}

Pointer& SdlPlatform::pointer() { return parts_->pointer; }
Media& SdlPlatform::media() { return parts_->media; }
Random& SdlPlatform::random() { return parts_->random; }
System& SdlPlatform::system() { return parts_->system; }

}  // namespace platform::sdl
