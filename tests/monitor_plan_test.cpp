// Which monitor the form takes and which are covered, for the layouts desktops have,
// on every backend.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "platform/shared/monitor_plan.h"
#include "tests/case_name.h"

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
  std::vector<Monitor> blanks;
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
    {"a mirror of the primary gets no blank window",
     {{0, 0, 1920, 1080, true}, {0, 0, 1920, 1080, false}, {1920, 0, 1024, 768, false}},
     {0, 0, 1920, 1080},
     {{1920, 0, 1024, 768}}},
    {"a smaller mirror inside the primary gets no blank window",
     {{0, 0, 1920, 1080, true}, {0, 0, 1024, 768, false}},
     {0, 0, 1920, 1080},
     {}},
    {"a larger clone around the primary is covered",
     {{0, 0, 1024, 768, true}, {0, 0, 1920, 1080, false}},
     {0, 0, 1024, 768},
     {{0, 0, 1920, 1080}}},
    {"two outputs showing the same place get one blank window",
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
  ASSERT_EQ(plan.blanks.size(), GetParam().blanks.size()) << GetParam().what;
  for (size_t i = 0; i < plan.blanks.size(); ++i) ExpectSamePlace(plan.blanks[i], GetParam().blanks[i], GetParam().what);
}

INSTANTIATE_TEST_SUITE_P(Desktops, MonitorLayouts, ::testing::ValuesIn(kLayouts), CaseName<Layout>);

}  // namespace
