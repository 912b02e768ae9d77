// Which kind of screen draws the form's frame, chosen from what is known of the
// display. A plain function of plain facts, so that every combination is tested.
#pragma once

#include <string>
#include <string_view>

namespace platform::sdl {

enum class ScreenKind {
  kGpu,       // a GPU renderer that presents at the display's refresh
  kSurface,   // the window's own surface: only the dirty rectangles are drawn and sent
  kRenderer,  // the renderer SDL_RENDER_DRIVER names
};

struct DisplayFacts {
  std::string video_driver;   // SDL's video driver: "x11", "wayland", ...
  bool render_node = false;   // a direct rendering device (/dev/dri/renderD*)
  bool dri = false;           // X11: the server offers DRI3 or DRI2
  std::string gl_vendor;      // X11: the GLX server's vendor; empty where unknown
  std::string gl_renderer;    // the GL renderer's name, once a renderer has made its context
  std::string render_driver;  // SDL_RENDER_DRIVER; empty where unset
};

// In order of the rows:
// - SDL_RENDER_DRIVER set: the renderer it names.
// - X11: a GL that is a software rasteriser (llvmpipe, softpipe, swrast) gets the
//   surface, which costs less than drawing every frame with it; NVIDIA's own driver
//   (its GLX server says so, and it offers no DRI) gets the GPU; so does a render
//   node on a server that offers DRI3 or DRI2 (Mesa on a GPU); anything else (Xvfb,
//   a remote display, most virtual machines) gets the surface.
// - Wayland: the GPU, whatever its GL. A compositor gives a window no surface of
//   its own, and a renderer that waits for the compositor's frames is the cheapest
//   screen even with a software GL.
// - Any other driver: the GPU where a render node exists and its GL is not a
//   software rasteriser, else the surface.
ScreenKind ChooseScreen(const DisplayFacts& facts);

// Whether a GL renderer's name is one of Mesa's software rasterisers.
bool IsSoftwareGl(std::string_view gl_renderer);

// Whether a renderer SDL names is drawn by GL, and so can wait for the refresh.
bool IsGlRenderer(std::string_view renderer);

}  // namespace platform::sdl
