// What SDL leaves to Xlib, and what only the X server tells: the guards around a
// window that may vanish, the monitors and their changes, the pointer and the
// devices' motion, the blank windows' black, the GL and the density of the desktop. Each
// does nothing, or tells nothing, where SDL's video runs elsewhere.
#pragma once

#include <SDL.h>

#include <vector>

#include "platform/sdl/sdl_screen_kind.h"
#include "platform/sdl/sdl_window_system.h"
#include "platform/sdl/sdl_scale.h"
#include "platform/shared/monitor_plan.h"

namespace platform::sdl {

// On X11: replaces Xlib's and SDL's error handlers, once SDL's video has started.
// BadWindow or BadDrawable about the watched window, or a lost connection to the
// server, ends the process (EndProcess); about another window, it is ignored; any
// other error is reported on one line and ignored. Elsewhere it does nothing.
void GuardXlib(SDL_Window* window);
// On X11: asks for notice of window's destruction, which then arrives as an
// SDL_SYSWMEVENT that IsDestruction recognises, and of its exposure, which SDL
// reports as SDL_WINDOWEVENT_EXPOSED (for a host's window SDL asks for neither).
// Should SDL replace the native window later (a GL renderer wants one of its own),
// the old one's destruction is no destruction: the new one is watched instead.
void WatchWindow(SDL_Window* window);
bool IsDestruction(const SDL_SysWMmsg* message);

// On X11: where the pointer is on the desktop now, asked of the server.
bool X11Pointer(SDL_Window* window, int* x, int* y);
// On X11: asks for notice of every change of monitors, outputs and modes, and of
// every motion of a pointing device (XInput 2.1's raw motion).
void WatchMonitors(SDL_Window* window);
// Whether such a notice of monitors has come since the last call. It never waits,
// unless asked for every notice sent up to now, which takes a round trip.
bool MonitorsChanged(bool up_to_now);
// Whether a pointing device has moved since the last call, as far as the notices
// taken so far tell: never where the server tells no device's motion.
bool DeviceMoved();

// Whether SDL's video runs on X11.
bool IsX11();
// The window system's driver on X11.
const WindowSystem& X11WindowSystem();

// On X11: whether the server offers DRI3 or DRI2, and its GLX vendor, asked
// without loading GL. Elsewhere it adds nothing.
void AddX11Facts(SDL_Window* window, DisplayFacts* facts);

}  // namespace platform::sdl
