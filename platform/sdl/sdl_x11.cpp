// What SDL leaves to Xlib's defaults, made safe for a window that can vanish at any
// moment: a screen saver host destroys its window when it unblanks, and any client
// may destroy ours. Xlib's default handlers print a report and exit 1; SDL's own
// error handler calls back into Xlib and can deadlock there. Here an X error only
// about the window marks it lost, and a lost connection ends the process quietly.
// Implements: GuardXlib, WatchWindow, IsDestruction, WindowLost, the request
// for full screen at mapping, and the question whether the display offers direct
// rendering.
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include <glob.h>

#include <atomic>
#include <cstdio>
#include <string_view>

#include "platform/sdl/sdl_parts.h"

namespace platform::sdl {

namespace {

std::atomic<bool> window_lost{false};
std::atomic<unsigned long> watched{0};

// Called inside Xlib, which may hold its own lock: no Xlib call may be made here.
int OnXError(Display*, XErrorEvent* error) {
  if (watched != 0 && error->resourceid == watched) {
    window_lost = true;
  } else if (error->error_code == BadWindow || error->error_code == BadDrawable) {
    // Some other window that went away with ours (a parent, a host's frame): the
    // destruction of ours, if it is gone, follows as an event or an error of its own.
  } else {
    std::fprintf(stderr, "display: X error %d on request %d.%d; ignored\n", error->error_code,
                 error->request_code, error->minor_code);
  }
  return 0;
}

// The server is gone (killed, or the session ended): the window went with it.
int OnXConnectionLost(Display*) { EndProcess(); }

bool X11Info(SDL_Window* window, SDL_SysWMinfo* info) {
  SDL_VERSION(&info->version);
  return SDL_GetWindowWMInfo(window, info) && info->subsystem == SDL_SYSWM_X11;
}

}  // namespace

void GuardXlib(SDL_Window* window) {
  SDL_SysWMinfo info;
  if (!X11Info(window, &info)) return;
  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(OnXConnectionLost);
}

void WatchWindow(SDL_Window* window) {
  SDL_SysWMinfo info;
  if (!X11Info(window, &info)) return;
  Display* display = info.info.x11.display;
  const ::Window id = info.info.x11.window;
  watched = id;
  // Other clients' interest in the window is their own; ours is added to what SDL
  // already asked for on this connection.
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, id, &attributes)) {
    window_lost = true;
    return;
  }
  XSelectInput(display, id, attributes.your_event_mask | StructureNotifyMask | ExposureMask);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

bool IsDestruction(const SDL_SysWMmsg* message) {
  if (!message || message->subsystem != SDL_SYSWM_X11) return false;
  const XEvent& event = message->msg.x11.event;
  return event.type == DestroyNotify && event.xdestroywindow.window == watched;
}

bool WindowLost() { return window_lost; }

bool IsX11() { return std::string_view(SDL_GetCurrentVideoDriver()) == "x11"; }

void AskForFullScreenAtMapping(SDL_Window* window) {
  SDL_SysWMinfo info;
  if (!X11Info(window, &info)) return;
  Display* display = info.info.x11.display;
  // A client sets the state of a window that is not mapped yet itself; a window
  // manager takes it when the window is mapped (EWMH, _NET_WM_STATE).
  const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
  const Atom full_screen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
  XChangeProperty(display, info.info.x11.window, state, XA_ATOM, 32, PropModeAppend,
                  reinterpret_cast<const unsigned char*>(&full_screen), 1);
}

bool DirectRenderingOffered(SDL_Window* window) {
  glob_t nodes{};
  const bool device = glob("/dev/dri/renderD*", 0, nullptr, &nodes) == 0 && nodes.gl_pathc > 0;
  globfree(&nodes);
  if (!device) return false;
  SDL_SysWMinfo info;
  if (!X11Info(window, &info)) return true;
  int opcode, event, error;
  Display* display = info.info.x11.display;
  return XQueryExtension(display, "DRI3", &opcode, &event, &error) ||
         XQueryExtension(display, "DRI2", &opcode, &event, &error);
}

}  // namespace platform::sdl
