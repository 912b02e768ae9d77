// Prints "visible" or "hidden": whether the X server's current pointer image has any
// opaque pixel. A hidden pointer is a cursor image with none.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "cursor_state: cannot open the display\n");
    return 2;
  }
  XFixesCursorImage* image = XFixesGetCursorImage(display);
  if (!image) return 2;
  bool opaque = false;
  for (int i = 0; i < image->width * image->height; ++i)
    if ((image->pixels[i] >> 24) & 0xFF) opaque = true;
  std::printf("%s %dx%d\n", opaque ? "visible" : "hidden", image->width, image->height);
  XFree(image);
  XCloseDisplay(display);
  return 0;
}
