// The road decision. Implements: ChooseRoad, IsSoftwareGl, IsGlRenderer.
#include "platform/sdl/sdl_road.h"

namespace platform::sdl {

namespace {

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

}  // namespace

bool IsSoftwareGl(std::string_view gl_renderer) {
  return Contains(gl_renderer, "llvmpipe") || Contains(gl_renderer, "softpipe") || Contains(gl_renderer, "swrast") ||
         Contains(gl_renderer, "Software Rasterizer");
}

bool IsGlRenderer(std::string_view renderer) { return renderer.substr(0, 6) == "opengl"; }

Road ChooseRoad(const DisplayFacts& facts) {
  if (!facts.render_driver.empty()) return Road::kRenderer;
  if (facts.video_driver == "wayland") return Road::kGpu;
  if (IsSoftwareGl(facts.gl_renderer)) return Road::kSurface;
  if (facts.video_driver == "x11") {
    if (Contains(facts.gl_vendor, "NVIDIA")) return Road::kGpu;
    return facts.render_node && facts.dri ? Road::kGpu : Road::kSurface;
  }
  return facts.render_node ? Road::kGpu : Road::kSurface;
}

}  // namespace platform::sdl
