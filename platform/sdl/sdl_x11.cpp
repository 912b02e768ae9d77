// What SDL leaves to Xlib's defaults, made safe for a window that can vanish at any
// moment: a screen saver host destroys its window when it unblanks, and any client
// may destroy ours. Xlib's default handlers print a report and exit 1; SDL's own
// error handler calls back into Xlib and can deadlock there. Here an X error that
// the window is gone, and a lost connection, end the process quietly.
// Implements: GuardXlib, WatchWindow, IsDestruction, the request for full screen
// at mapping, the monitors and their changes, the blank windows' black, and what
// the X server tells of its GL and the desktop of its density.
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xrandr.h>
#include <xcb/glx.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "platform/sdl/sdl_process.h"
#include "platform/sdl/sdl_x11.h"

namespace platform::sdl {

namespace {

std::atomic<unsigned long> watched{0};  // the X window drawn into
SDL_Window* watched_window = nullptr;   // and SDL's window around it
// A connection told of every change of monitors and of every motion of a pointing
// device, which the server's own moves of the pointer never are.
Display* watch_display = nullptr;
int randr_event_base = -1;  // where its RandR events are numbered from
int xinput_opcode = -1;     // and what its device events come under
bool monitors_changed = false, device_moved = false;

// Takes every notice that has come on the watching connection; with up_to_now,
// every one the server has sent until now, which takes a round trip.
void TakeNotices(bool up_to_now) {
  if (!watch_display) return;
  if (up_to_now) XSync(watch_display, False);
  while (XPending(watch_display)) {
    XEvent event;
    XNextEvent(watch_display, &event);
    if (event.type == GenericEvent && event.xcookie.extension == xinput_opcode) {
      device_moved = true;
      continue;
    }
    if (event.type == randr_event_base + RRScreenChangeNotify) XRRUpdateConfiguration(&event);
    monitors_changed = true;
  }
}

// Raw motion comes from the devices alone, grabbed or not (XInput 2.1 and later);
// a warp or the server's own move of the pointer makes none.
void WatchDevices(Display* display) {
  int event_base, error_base, major = 2, minor = 2;
  if (!XQueryExtension(display, "XInputExtension", &xinput_opcode, &event_base, &error_base) ||
      XIQueryVersion(display, &major, &minor) != Success || major * 100 + minor < 201) {
    xinput_opcode = -1;
    return;
  }
  unsigned char bits[XIMaskLen(XI_RawMotion)] = {};
  XISetMask(bits, XI_RawMotion);
  XIEventMask mask = {XIAllMasterDevices, int(sizeof bits), bits};
  XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
}

// An error that repeats (a put into a broken segment would repeat every frame) is
// told the first time and again at its 10th, 100th, ... time, with the count.
struct ErrorSeen {
  int code, request, minor;
  unsigned long times;
};
ErrorSeen errors_seen[8] = {};  // the kinds of error seen; one more shares the last place

void TellError(const XErrorEvent& error) {
  auto same = [&error](const ErrorSeen& seen) {
    return seen.times != 0 && seen.code == error.error_code && seen.request == error.request_code &&
           seen.minor == error.minor_code;
  };
  ErrorSeen* seen = std::find_if(std::begin(errors_seen), std::end(errors_seen),
                                 [&same](const ErrorSeen& s) { return s.times == 0 || same(s); });
  if (seen == std::end(errors_seen)) seen = std::end(errors_seen) - 1;
  if (!same(*seen)) *seen = {error.error_code, error.request_code, error.minor_code, 0};
  const unsigned long times = ++seen->times;
  unsigned long tell = 1;
  while (tell < times) tell *= 10;
  if (tell != times) return;
  if (times == 1)
    std::fprintf(stderr, "display: X error %d on request %d.%d; ignored\n", seen->code, seen->request, seen->minor);
  else
    std::fprintf(stderr, "display: X error %d on request %d.%d, %lu times; ignored\n", seen->code, seen->request,
                 seen->minor, times);
}

// Called inside Xlib, which may hold its own lock: no Xlib call may be made here.
// An error that the window drawn into is gone ends the process at once, before the
// call that met it returns: a library drawing into the window may go on with what
// the failed request left unset (Mesa's software GL takes the window's size from a
// failed XGetGeometry and writes past its buffers). Its destruction, where the
// notice comes first, ends the program at the next step instead.
int OnXError(Display*, XErrorEvent* error) {
  const bool gone = error->error_code == BadWindow || error->error_code == BadDrawable;
  if (gone && watched != 0 && error->resourceid == watched) EndProcess();
  // A window gone that is not ours (a parent, a host's frame) is no error of ours:
  // the destruction of ours, if it went with it, follows as an event or an error.
  if (!gone) TellError(*error);
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
  watched_window = window;
  SDL_SysWMinfo info;
  if (!X11Info(window, &info) || info.info.x11.window == watched) return;
  Display* display = info.info.x11.display;
  const ::Window id = info.info.x11.window;
  watched = id;
  // Other clients' interest in the window is their own; ours is added to what SDL
  // already asked for on this connection.
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, id, &attributes)) return;  // gone: the error ended the process
  XSelectInput(display, id, attributes.your_event_mask | StructureNotifyMask | ExposureMask);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

bool IsDestruction(const SDL_SysWMmsg* message) {
  if (!message || message->subsystem != SDL_SYSWM_X11) return false;
  const XEvent& event = message->msg.x11.event;
  if (event.type != DestroyNotify || event.xdestroywindow.window != watched) return false;
  // SDL replaces the native window under the same SDL window where a renderer needs
  // one of another kind: the new one is watched from now on, and nothing was lost.
  const unsigned long was = watched;
  WatchWindow(watched_window);
  return watched == was;
}

// On X11 with RandR 1.5: the monitors, the primary marked. Elsewhere, or where the
// server cannot tell, none.
static std::vector<Monitor> X11Monitors(SDL_Window* window) {
  std::vector<Monitor> monitors;
  SDL_SysWMinfo info;
  if (!X11Info(window, &info)) return monitors;
  Display* display = info.info.x11.display;
  int event_base, error_base, major = 0, minor = 0;
  if (!XRRQueryExtension(display, &event_base, &error_base) || !XRRQueryVersion(display, &major, &minor) ||
      major * 100 + minor < 105)
    return monitors;
  // The monitors as the desktop sees them: one per output in use, or as set by
  // hand (xrandr --setmonitor), which also splits a single output.
  int count = 0;
  XRRMonitorInfo* found = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
  for (int i = 0; i < count; ++i)
    monitors.push_back({found[i].x, found[i].y, found[i].width, found[i].height, found[i].primary != 0});
  if (found) XRRFreeMonitors(found);
  return monitors;
}

// On X11: the refresh rate of the mode of the monitor under the window's centre, as
// its pixel clock over its total width and height; 0 where the server tells none
// (Xvfb's modes have no clock).
static double X11RefreshHz(SDL_Window* window) {
  SDL_SysWMinfo info;
  if (!X11Info(window, &info)) return 0;
  Display* display = info.info.x11.display;
  int event_base, error_base;
  if (!XRRQueryExtension(display, &event_base, &error_base)) return 0;
  // The window's centre on the desktop: a host's window may lie anywhere in it.
  XWindowAttributes attributes;
  ::Window child;
  int x = 0, y = 0;
  if (!XGetWindowAttributes(display, info.info.x11.window, &attributes) ||
      !XTranslateCoordinates(display, info.info.x11.window, DefaultRootWindow(display), attributes.width / 2,
                             attributes.height / 2, &x, &y, &child))
    return 0;
  XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
  if (!resources) return 0;
  double hz = 0;
  for (int c = 0; c < resources->ncrtc && hz == 0; ++c) {
    XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, resources->crtcs[c]);
    if (!crtc) continue;
    const bool under = crtc->mode != None && x >= crtc->x && y >= crtc->y && x < crtc->x + int(crtc->width) &&
                       y < crtc->y + int(crtc->height);
    for (int m = 0; under && m < resources->nmode; ++m) {
      const XRRModeInfo& mode = resources->modes[m];
      if (mode.id == crtc->mode && mode.hTotal && mode.vTotal)
        hz = double(mode.dotClock) / (double(mode.hTotal) * double(mode.vTotal));
    }
    XRRFreeCrtcInfo(crtc);
  }
  XRRFreeScreenResources(resources);
  return hz;
}

bool X11Pointer(SDL_Window* window, int* x, int* y) {
  SDL_SysWMinfo info;
  if (!X11Info(window, &info)) return false;
  ::Window root, child;
  int window_x, window_y;
  unsigned int buttons;
  return XQueryPointer(info.info.x11.display, DefaultRootWindow(info.info.x11.display), &root, &child, x, y,
                       &window_x, &window_y, &buttons);
}

void WatchMonitors(SDL_Window* window) {
  SDL_SysWMinfo info;
  if (!X11Info(window, &info) || watch_display) return;
  // A connection of its own: SDL asks for some of the same notices on its
  // connection, and what it asks there replaces what we would ask.
  watch_display = XOpenDisplay(DisplayString(info.info.x11.display));
  int error_base;
  if (!watch_display || !XRRQueryExtension(watch_display, &randr_event_base, &error_base)) return;
  XRRSelectInput(watch_display, DefaultRootWindow(watch_display),
                 RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
  WatchDevices(watch_display);
  XFlush(watch_display);
}

bool MonitorsChanged(bool up_to_now) {
  TakeNotices(up_to_now);
  const bool changed = monitors_changed;
  monitors_changed = false;
  return changed;
}

bool DeviceMoved() {
  TakeNotices(/*up_to_now=*/false);
  const bool moved = device_moved;
  device_moved = false;
  return moved;
}

// On X11: asks that the window, not mapped yet, be mapped full-screen. SDL's own
// full-screen flag would instead ask once the window is mapped, and then wait up
// to 100 ms for a window manager to move and resize a window that already has the
// desktop's place and size: a wait in which the first frame cannot be shown.
static void AskForFullScreenAtMapping(SDL_Window* window) {
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

// Makes a window, not mapped yet, one that the server keeps black and that never
// takes the keyboard, full screen where a window manager places it.
static void MakeBlankX11(SDL_Window* window) {
  SDL_SysWMinfo info;
  if (!X11Info(window, &info)) return;
  Display* display = info.info.x11.display;
  const ::Window id = info.info.x11.window;
  // The server paints it black whenever it shows: nothing to draw, nothing kept.
  XSetWindowBackground(display, id, BlackPixel(display, DefaultScreen(display)));
  // It never takes the keyboard from the form, whose activation means something.
  if (XWMHints* hints = XGetWMHints(display, id)) {
    hints->flags |= InputHint;
    hints->input = False;
    XSetWMHints(display, id, hints);
    XFree(hints);
  }
  AskForFullScreenAtMapping(window);
}

// Maps the window, raised, without waiting for the window manager to map it.
static void MapRaised(SDL_Window* window) {
  SDL_SysWMinfo info;
  if (!X11Info(window, &info)) return;
  XMapRaised(info.info.x11.display, info.info.x11.window);
  XFlush(info.info.x11.display);
}

bool IsX11() { return std::string_view(SDL_GetCurrentVideoDriver()) == "x11"; }

void AddX11Facts(SDL_Window* window, DisplayFacts* facts) {
  SDL_SysWMinfo info;
  if (!X11Info(window, &info)) return;
  Display* display = info.info.x11.display;
  int opcode, event, error;
  facts->dri = XQueryExtension(display, "DRI3", &opcode, &event, &error) ||
               XQueryExtension(display, "DRI2", &opcode, &event, &error);
  // The GLX server's vendor is one round trip on the display's connection: no GL
  // library is loaded and no context made for it.
  xcb_connection_t* connection = XGetXCBConnection(display);
  const xcb_query_extension_reply_t* glx = xcb_get_extension_data(connection, &xcb_glx_id);
  if (!glx || !glx->present) return;
  constexpr uint32_t kGlxVendor = 1;
  xcb_generic_error_t* failed = nullptr;
  xcb_glx_query_server_string_reply_t* reply = xcb_glx_query_server_string_reply(
      connection, xcb_glx_query_server_string(connection, uint32_t(DefaultScreen(display)), kGlxVendor), &failed);
  if (reply) {
    const char* vendor = xcb_glx_query_server_string_string(reply);
    const int length = xcb_glx_query_server_string_string_length(reply);
    facts->gl_vendor.assign(vendor, size_t(length > 0 && vendor[length - 1] == '\0' ? length - 1 : length));
  }
  free(reply);
  free(failed);
}

// On X11: the XSETTINGS window-scaling factor and the resources' Xft.dpi, as the
// desktop sets them for every program. Elsewhere it adds nothing.
static void AddX11Density(SDL_Window* window, DensityFacts* facts) {
  SDL_SysWMinfo info;
  if (!X11Info(window, &info)) return;
  Display* display = info.info.x11.display;
  if (const char* resources = XResourceManagerString(display)) facts->xft_dpi = XftDpi(resources);
  // The settings manager's window holds the settings; it may go at any moment, and
  // an error about it is then ignored.
  char name[32];
  std::snprintf(name, sizeof name, "_XSETTINGS_S%d", DefaultScreen(display));
  const Atom selection = XInternAtom(display, name, True);
  const Atom settings = XInternAtom(display, "_XSETTINGS_SETTINGS", True);
  if (selection == None || settings == None) return;
  const ::Window owner = XGetSelectionOwner(display, selection);
  if (owner == None) return;
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, owner, settings, 0, 1 << 16, False, settings, &type, &format, &count, &after,
                         &data) == Success && data && format == 8)
    facts->xsettings_scale = XSettingsInteger(data, count, "Gdk/WindowScalingFactor");
  if (data) XFree(data);
}

namespace {

// The program places its windows; the server keeps the blank windows black.
class X11System final : public WindowSystem {
 public:
  uint32_t FullScreenFlag() const override { return 0; }  // asked for at mapping instead
  bool PlacesWindows() const override { return true; }
  std::vector<Monitor> Monitors(SDL_Window* window) const override { return X11Monitors(window); }
  void PrepareForm(SDL_Window* form) const override { AskForFullScreenAtMapping(form); }
  void PrepareBlank(SDL_Window* blank) const override { MakeBlankX11(blank); }
  void Show(SDL_Window* window) const override { MapRaised(window); }
  void PaintBlank(SDL_Window*) const override {}
  double RefreshHz(SDL_Window* window) const override { return X11RefreshHz(window); }
  DensityFacts Density(SDL_Window* window) const override {
    DensityFacts density;
    AddX11Density(window, &density);
    return density;
  }
};

}  // namespace

const WindowSystem& X11WindowSystem() {
  static const X11System system;
  return system;
}

}  // namespace platform::sdl
