// The screen each display takes, from the facts known of it: the table the README
// gives, row by row.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/sdl/sdl_screen_kind.h"
#include "tests/case_name.h"

namespace {

using platform::sdl::ChooseScreen;
using platform::sdl::DisplayFacts;
using platform::sdl::ScreenKind;

struct Row {
  const char* what;
  DisplayFacts facts;
  ScreenKind kind;
};

constexpr ScreenKind kGpu = ScreenKind::kGpu, kSurface = ScreenKind::kSurface, kRenderer = ScreenKind::kRenderer;

// video driver, render node, DRI3/DRI2, GLX server vendor, GL renderer, SDL_RENDER_DRIVER
const Row kTable[] = {
    {"Xvfb", {"x11", false, false, "SGI", "", ""}, kSurface},
    {"Xvfb, GL renderer named", {"x11", false, false, "SGI", "", "opengl"}, kRenderer},
    {"Xvfb, software renderer named", {"x11", false, false, "SGI", "", "software"}, kRenderer},
    {"Mesa on a GPU, before the context", {"x11", true, true, "SGI", "", ""}, kGpu},
    {"Mesa on a GPU", {"x11", true, true, "SGI", "AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6, DRM 3.49)", ""},
     kGpu},
    {"Mesa on an Intel GPU", {"x11", true, true, "SGI", "Mesa Intel(R) UHD Graphics 620 (KBL GT2)", ""}, kGpu},
    {"a render node, but llvmpipe in the context", {"x11", true, true, "SGI", "llvmpipe (LLVM 15.0.6, 256 bits)", ""},
     kSurface},
    {"softpipe", {"x11", true, true, "SGI", "softpipe", ""}, kSurface},
    {"classic swrast", {"x11", true, true, "SGI", "Software Rasterizer", ""}, kSurface},
    {"a render node, but no DRI offered (remote X)", {"x11", true, false, "SGI", "", ""}, kSurface},
    {"DRI offered, no render node", {"x11", false, true, "SGI", "", ""}, kSurface},
    {"NVIDIA's own driver", {"x11", true, false, "NVIDIA Corporation", "", ""}, kGpu},
    {"NVIDIA's own driver, no render node", {"x11", false, false, "NVIDIA Corporation", "", ""}, kGpu},
    {"NVIDIA's own driver, in the context",
     {"x11", false, false, "NVIDIA Corporation", "NVIDIA GeForce RTX 3060/PCIe/SSE2", ""}, kGpu},
    {"no GLX at all", {"x11", false, false, "", "", ""}, kSurface},
    {"NVIDIA, renderer named", {"x11", true, false, "NVIDIA Corporation", "", "software"}, kRenderer},
    {"Wayland on a GPU", {"wayland", true, false, "", "", ""}, kGpu},
    {"Wayland on a GPU, in the context", {"wayland", true, false, "", "Mesa Intel(R) UHD Graphics 620", ""}, kGpu},
    {"Wayland, software GL", {"wayland", false, false, "", "", ""}, kGpu},
    {"Wayland, llvmpipe in the context", {"wayland", true, false, "", "llvmpipe (LLVM 15.0.6, 256 bits)", ""}, kGpu},
    {"Wayland, GLES2 named", {"wayland", false, false, "", "", "opengles2"}, kRenderer},
    {"KMS on a GPU", {"kmsdrm", true, false, "", "", ""}, kGpu},
    {"KMS, llvmpipe", {"kmsdrm", true, false, "", "llvmpipe (LLVM 15.0.6, 256 bits)", ""}, kSurface},
    {"KMS, no render node", {"kmsdrm", false, false, "", "", ""}, kSurface},
};

class RoadTable : public ::testing::TestWithParam<Row> {};

TEST_P(RoadTable, TheDisplayTakesItsRoad) {
  EXPECT_EQ(ChooseScreen(GetParam().facts), GetParam().kind) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(Displays, RoadTable, ::testing::ValuesIn(kTable), CaseName<Row>);

}  // namespace

