// losing_wm: a window manager that loses the first request to map each window, as
// one that is starting, or that is being replaced, may lose a request it took; it
// maps every later one, raised, and lets windows move and size as they ask. It marks
// the root as a window manager does (_NET_SUPPORTING_WM_CHECK) and runs until killed.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <set>

namespace {

bool another_manager = false;

int NoteAnotherManager(Display*, XErrorEvent*) {
  another_manager = true;
  return 0;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }  // a window gone meanwhile

void MarkTheRoot(Display* display, Window root) {
  const Window check = XCreateSimpleWindow(display, root, -1, -1, 1, 1, 0, 0, 0);
  const Atom supporting = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  for (Window window : {root, check})
    XChangeProperty(display, window, supporting, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&check), 1);
  XChangeProperty(display, check, XInternAtom(display, "_NET_WM_NAME", False),
                  XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>("losing_wm"), 9);
}

}  // namespace

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "losing_wm: cannot open the display\n");
    return 2;
  }
  const Window root = DefaultRootWindow(display);
  XSetErrorHandler(NoteAnotherManager);
  XSelectInput(display, root, SubstructureRedirectMask | SubstructureNotifyMask);
  XSync(display, False);
  if (another_manager) {
    std::fprintf(stderr, "losing_wm: another window manager runs\n");
    return 1;
  }
  XSetErrorHandler(IgnoreErrors);
  MarkTheRoot(display, root);
  XSync(display, False);

  std::set<Window> asked;  // windows whose first request was lost
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == MapRequest) {
      const Window window = event.xmaprequest.window;
      if (asked.insert(window).second) continue;
      XMapRaised(display, window);
    } else if (event.type == ConfigureRequest) {
      const XConfigureRequestEvent& request = event.xconfigurerequest;
      XWindowChanges changes{};
      changes.x = request.x;
      changes.y = request.y;
      changes.width = request.width;
      changes.height = request.height;
      changes.border_width = request.border_width;
      changes.sibling = request.above;
      changes.stack_mode = request.detail;
      XConfigureWindow(display, request.window, unsigned(request.value_mask), &changes);
    } else if (event.type == DestroyNotify) {
      asked.erase(event.xdestroywindow.window);
    }
    XFlush(display);
  }
}
