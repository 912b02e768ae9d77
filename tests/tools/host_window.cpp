// host_window W H: maps a plain W x H window at (100, 100), as a screen-saver host
// would, and prints its id. A line "destroy" on standard input destroys the window,
// as a host does when it unblanks, and is answered "destroyed". It keeps running
// until killed or until its input ends.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: host_window <width> <height>\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "host_window: cannot open the display\n");
    return 2;
  }
  const int screen = DefaultScreen(display);
  const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 100, 100,
                                            unsigned(std::atoi(argv[1])), unsigned(std::atoi(argv[2])), 0,
                                            BlackPixel(display, screen), BlackPixel(display, screen));
  XStoreName(display, window, "host");
  XMapWindow(display, window);
  XSync(display, False);
  std::printf("0x%lx\n", window);
  std::fflush(stdout);
  char line[64];
  while (std::fgets(line, sizeof line, stdin)) {
    if (std::strncmp(line, "destroy", 7) != 0) continue;
    XDestroyWindow(display, window);
    XSync(display, False);
    std::printf("destroyed\n");
    std::fflush(stdout);
  }
  XCloseDisplay(display);
}
