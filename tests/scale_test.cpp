// The desktop's scale on X11 and Wayland, from each source it may come from.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sdl/sdl_scale.h"

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

