// The road each display takes, from the facts known of it: the table the README
// gives, row by row; the desktop's scale, from each source of it; and the monitors.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "platform/shared/monitor_plan.h"
#include "platform/sdl/sdl_road.h"
#include "platform/sdl/sdl_scale.h"

namespace {

// A case's name in the test's name: what it describes, letters and digits kept.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name;
  for (const char* c = info.param.what; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
}

using platform::sdl::ChooseRoad;
using platform::sdl::DisplayFacts;
using platform::sdl::Road;

struct Row {
  const char* what;
  DisplayFacts facts;
  Road road;
};

constexpr Road kGpu = Road::kGpu, kSurface = Road::kSurface, kRenderer = Road::kRenderer;

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
  EXPECT_EQ(ChooseRoad(GetParam().facts), GetParam().road) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(Displays, RoadTable, ::testing::ValuesIn(kTable), CaseName<Row>);

}  // namespace

// The desktop's scale, from each source it may come from.
namespace {

using platform::sdl::DensityFacts;
using platform::sdl::ScaleFactor;

TEST(ScaleFactor, EachSourceInItsTurnRoundedToAWholeFactor) {
  EXPECT_EQ(ScaleFactor({}), 1);                     // nothing said: 96 DPI
  EXPECT_EQ(ScaleFactor({0, 0, 96}), 1);
  EXPECT_EQ(ScaleFactor({0, 0, 120}), 1);            // 1.25
  EXPECT_EQ(ScaleFactor({0, 0, 144}), 2);            // 1.5, a half upwards
  EXPECT_EQ(ScaleFactor({0, 0, 168}), 2);            // 1.75
  EXPECT_EQ(ScaleFactor({0, 0, 192}), 2);
  EXPECT_EQ(ScaleFactor({0, 0, 288}), 3);
  EXPECT_EQ(ScaleFactor({0, 2, 96}), 2);             // the window-scaling factor before Xft.dpi
  EXPECT_EQ(ScaleFactor({0, 1, 192}), 1);
  EXPECT_EQ(ScaleFactor({2.0, 1, 96}), 2);           // Wayland's output scale before either
  EXPECT_EQ(ScaleFactor({1.5, 0, 0}), 2);
  EXPECT_EQ(ScaleFactor({0, 0, 10000}), 8);          // held to 1 .. 8
  EXPECT_EQ(ScaleFactor({0, 0, 20}), 1);
}

// An XSETTINGS property as a settings manager writes it, in the given byte order:
// a string setting, then an integer one.
std::vector<unsigned char> XSettings(bool big, const std::string& name, int32_t value) {
  std::vector<unsigned char> b;
  auto card16 = [&](uint32_t v) {
    if (big) b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)});
    else b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
  };
  auto card32 = [&](uint32_t v) {
    if (big) { card16(v >> 16); card16(v & 0xFFFF); } else { card16(v & 0xFFFF); card16(v >> 16); }
  };
  auto text = [&](const std::string& t) {
    b.insert(b.end(), t.begin(), t.end());
    while (b.size() % 4) b.push_back(0);
  };
  b.insert(b.end(), {uint8_t(big ? 1 : 0), 0, 0, 0});
  card32(7);  // serial
  card32(2);  // settings
  b.insert(b.end(), {1, 0});  // a string
  card16(13);
  text("Net/ThemeName");
  card32(0);
  card32(5);
  text("Adwai");
  b.insert(b.end(), {0, 0});  // an integer
  card16(uint32_t(name.size()));
  text(name);
  card32(0);
  card32(uint32_t(value));
  return b;
}

TEST(ScaleFactor, TheWindowScalingFactorIsReadFromTheSettingsInEitherByteOrder) {
  using platform::sdl::XSettingsInteger;
  for (bool big : {false, true}) {
    const auto b = XSettings(big, "Gdk/WindowScalingFactor", 2);
    EXPECT_EQ(XSettingsInteger(b.data(), b.size(), "Gdk/WindowScalingFactor"), 2) << big;
    EXPECT_EQ(XSettingsInteger(b.data(), b.size(), "Xft/DPI"), 0) << big;
    // Cut anywhere, it says nothing rather than read past the end.
    for (size_t cut = 0; cut < b.size(); ++cut) EXPECT_EQ(XSettingsInteger(b.data(), cut, "Gdk/WindowScalingFactor"), 0);
  }
}

TEST(ScaleFactor, XftDpiIsReadFromTheResources) {
  using platform::sdl::XftDpi;
  EXPECT_EQ(XftDpi("Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n"), 192.0);
  EXPECT_EQ(XftDpi("Xft.dpi: 144.5"), 144.5);
  EXPECT_EQ(XftDpi("Xcursor.size:\t24\n"), 0.0);
  EXPECT_EQ(XftDpi(""), 0.0);
}

}  // namespace

// Which monitor the form takes and which are covered, for the layouts desktops have.
namespace {

using platform::Monitor;
using platform::MonitorPlan;
using platform::PlanMonitors;

const Monitor kDesktop{0, 0, 3200, 1224, false};
const Monitor kFormNow{0, 0, 1024, 768, false};  // where the form stands before

struct Layout {
  const char* what;
  std::vector<Monitor> monitors;
  Monitor form;
  std::vector<Monitor> covers;
  Monitor desktop = kDesktop;  // as the window system tells it
};

const Layout kLayouts[] = {
    {"one monitor", {{0, 0, 1920, 1080, true}}, {0, 0, 1920, 1080}, {}},
    {"the primary second, to the right and lower",
     {{0, 0, 1280, 1024, false}, {1280, 200, 1920, 1080, true}},
     {1280, 200, 1920, 1080},
     {{0, 0, 1280, 1024}}},
    {"three, the primary in the middle",
     {{0, 0, 1280, 1024, false}, {1280, 0, 1600, 900, true}, {2880, 300, 1024, 768, false}},
     {1280, 0, 1600, 900},
     {{0, 0, 1280, 1024}, {2880, 300, 1024, 768}}},
    {"no primary marked: the one at the origin",
     {{1920, 0, 1280, 1024, false}, {0, 0, 1920, 1080, false}},
     {0, 0, 1920, 1080},
     {{1920, 0, 1280, 1024}}},
    {"no primary and none at the origin: the first",
     {{100, 0, 800, 600, false}, {900, 0, 800, 600, false}},
     {100, 0, 800, 600},
     {{900, 0, 800, 600}}},
    {"a mirror of the primary gets no cover",
     {{0, 0, 1920, 1080, true}, {0, 0, 1920, 1080, false}, {1920, 0, 1024, 768, false}},
     {0, 0, 1920, 1080},
     {{1920, 0, 1024, 768}}},
    {"a smaller mirror inside the primary gets no cover",
     {{0, 0, 1920, 1080, true}, {0, 0, 1024, 768, false}},
     {0, 0, 1920, 1080},
     {}},
    {"a larger clone around the primary is covered",
     {{0, 0, 1024, 768, true}, {0, 0, 1920, 1080, false}},
     {0, 0, 1024, 768},
     {{0, 0, 1920, 1080}}},
    {"two outputs showing the same place get one cover",
     {{0, 0, 1920, 1080, true}, {1920, 0, 1280, 1024, false}, {1920, 0, 1280, 1024, false}},
     {0, 0, 1920, 1080},
     {{1920, 0, 1280, 1024}}},
    {"a monitor of no size is passed over",
     {{0, 0, 0, 0, true}, {0, 0, 1920, 1080, false}},
     {0, 0, 1920, 1080},
     {}},
    {"none at all: the whole desktop", {}, kDesktop, {}},
    {"none, and no size of the desktop told: the form stays where it is", {}, kFormNow, {}, {}},
};

void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.what; }

void ExpectSamePlace(const Monitor& got, const Monitor& want, const char* what) {
  EXPECT_EQ(std::vector<int>({got.x, got.y, got.w, got.h}), std::vector<int>({want.x, want.y, want.w, want.h}))
      << what;
}

class MonitorLayouts : public ::testing::TestWithParam<Layout> {};

TEST_P(MonitorLayouts, TheFormTakesOneMonitorAndEveryOtherIsCovered) {
  const MonitorPlan plan = PlanMonitors(GetParam().monitors, GetParam().desktop, kFormNow);
  ExpectSamePlace(plan.form, GetParam().form, GetParam().what);
  ASSERT_EQ(plan.covers.size(), GetParam().covers.size()) << GetParam().what;
  for (size_t i = 0; i < plan.covers.size(); ++i) ExpectSamePlace(plan.covers[i], GetParam().covers[i], GetParam().what);
}

INSTANTIATE_TEST_SUITE_P(Desktops, MonitorLayouts, ::testing::ValuesIn(kLayouts), CaseName<Layout>);

}  // namespace
