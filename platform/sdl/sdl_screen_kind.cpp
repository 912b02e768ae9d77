// The choice of screen. Implements: ChooseScreen, IsSoftwareGl, IsGlRenderer.
#include "platform/sdl/sdl_screen_kind.h"

namespace platform::sdl {

namespace {

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

}  // namespace

bool IsSoftwareGl(std::string_view gl_renderer) {
  return Contains(gl_renderer, "llvmpipe") || Contains(gl_renderer, "softpipe") || Contains(gl_renderer, "swrast") ||
         Contains(gl_renderer, "Software Rasterizer");
}

bool IsGlRenderer(std::string_view renderer) { return renderer.substr(0, 6) == "opengl"; }

ScreenKind ChooseScreen(const DisplayFacts& facts) {
  if (!facts.render_driver.empty()) return ScreenKind::kRenderer;
  if (facts.video_driver == "wayland") return ScreenKind::kGpu;
  if (IsSoftwareGl(facts.gl_renderer)) return ScreenKind::kSurface;
  if (facts.video_driver == "x11") {
    if (Contains(facts.gl_vendor, "NVIDIA")) return ScreenKind::kGpu;
    return facts.render_node && facts.dri ? ScreenKind::kGpu : ScreenKind::kSurface;
  }
  return facts.render_node ? ScreenKind::kGpu : ScreenKind::kSurface;
}

}  // namespace platform::sdl
