// The backend-neutral pieces of the platform: canvas, paths, the timer's clock, colours,
// the loop's pace, the event step's order, which of the pointer's moves are the
// person's, lists of rectangles that intersect nowhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "platform/colour.h"
#include "platform/layout.h"
#include "platform/shared/byte_reader.h"
#include "platform/shared/event_step.h"
#include "platform/shared/frame_pace.h"
#include "platform/shared/host_path.h"
#include "platform/shared/pixel_rect.h"
#include "platform/shared/pointer_moves.h"
#include "platform/shared/timer_clock.h"

namespace {

using platform::Canvas;

TEST(Canvas, APointLandsOnThePixelThatHoldsItsTwips) {
  Canvas canvas;
  canvas.Resize(4, 3, 0xFF000000);
  EXPECT_EQ(canvas.Width(), 60.0f);
  EXPECT_EQ(canvas.Height(), 45.0f);
  canvas.PSet(14.99f, 15.0f, platform::RGB(10, 20, 30));  // pixel (0, 1)
  canvas.PSet(15.0f, 29.99f, platform::RGB(255, 0, 0));    // pixel (1, 1)
  EXPECT_EQ(canvas.Pixel(0, 1), 0xFF0A141Eu);
  EXPECT_EQ(canvas.Pixel(1, 1), 0xFFFF0000u);
  EXPECT_EQ(canvas.Pixel(0, 0), 0xFF000000u);
}

TEST(Canvas, PointsOutsideAreClippedIncludingTheBottomEdgeItself) {
  Canvas canvas;
  canvas.Resize(2, 2, 0xFF000000);
  canvas.ClearDirty();
  canvas.PSet(0.0f, 30.0f, platform::RGB(255, 255, 255));  // y == Height
  canvas.PSet(30.0f, 0.0f, platform::RGB(255, 255, 255));  // x == Width
  canvas.PSet(-0.5f, 0.0f, platform::RGB(255, 255, 255));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(canvas.Pixel(x, y), 0xFF000000u);
  EXPECT_FALSE(canvas.TileDirty(0, 0));
}

TEST(Canvas, OnlyPixelsWhoseColourChangedCountAndTheirTilesRunsAreFound) {
  constexpr int kTile = Canvas::kTileSize;
  Canvas canvas;
  const int width = 9 * kTile + 3;
  canvas.Resize(width, 2 * kTile + 4, 0xFF000000);  // 10 x 3 tiles, the last ones partial
  canvas.ClearDirty();
  // Points in tiles (1, 1), (5, 0), (6, 0) and (9, 2): runs of one, two and one tile,
  // the last clipped to the canvas. A dot's path in tile (3, 1) is set and put back,
  // as a falling dot leaves the pixels it passed through, and one point in tile (0, 0)
  // is set to the colour it had: neither changes anything.
  const std::pair<int, int> points[] = {{kTile + 1, kTile}, {5 * kTile, 0}, {7 * kTile - 1, 3}, {9 * kTile + 2, 2 * kTile + 3}};
  for (const auto& [x, y] : points) canvas.PSet(float(x * 15), float(y * 15), platform::RGB(1, 1, 1));
  canvas.PSet(float(3 * kTile * 15), float(kTile * 15), platform::RGB(9, 9, 9));
  canvas.PSet(float(3 * kTile * 15), float(kTile * 15), platform::kBlack);
  canvas.PSet(15.0f, 15.0f, platform::kBlack);
  EXPECT_EQ(canvas.Pixel(kTile + 1, kTile), 0xFF010101u);  // before the changes are taken too
  canvas.TakeChanges();
  std::vector<Canvas::At> changed;
  for (const auto& [x, y] : points) changed.push_back({x, y});
  EXPECT_EQ(canvas.Changed(), changed);
  EXPECT_FALSE(canvas.AllChanged());
  for (int ty = 0; ty < 3; ++ty)
    for (int tx = 0; tx < 10; ++tx)
      EXPECT_EQ(canvas.TileDirty(tx, ty), (tx == 1 && ty == 1) || (ty == 0 && (tx == 5 || tx == 6)) || (tx == 9 && ty == 2))
          << tx << ", " << ty;
  std::vector<std::vector<int>> runs;
  canvas.ForEachDirtyRun([&](int x, int y, int w, int h) { runs.push_back({x, y, w, h}); });
  EXPECT_EQ(runs, (std::vector<std::vector<int>>{
                      {5 * kTile, 0, 2 * kTile, kTile}, {kTile, kTile, kTile, kTile}, {9 * kTile, 2 * kTile, 3, 4}}));
  // The next frame starts with nothing changed, and a pixel changed again is found again.
  canvas.ClearDirty();
  canvas.PSet(float((kTile + 1) * 15), float(kTile * 15), platform::kBlack);
  canvas.TakeChanges();
  EXPECT_EQ(canvas.Changed(), (std::vector<Canvas::At>{{kTile + 1, kTile}}));
}

// More points in one frame than the notes hold: everything counts as changed, and
// the frame after is noted point by point again.
TEST(Canvas, AFrameThatSetsMorePixelsThanTheNotesHoldIsChangedWhole) {
  Canvas canvas;
  canvas.Resize(400, 400, 0xFF000000);
  canvas.ClearDirty();
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 400; ++x) canvas.PSet(float(x * 15), float(y * 15), platform::RGB(7, 7, 7));
  canvas.TakeChanges();
  EXPECT_TRUE(canvas.AllChanged());
  EXPECT_TRUE(canvas.TileDirty(49, 49));
  EXPECT_EQ(canvas.Pixel(399, 399), 0xFF070707u);
  canvas.ClearDirty();
  canvas.PSet(399 * 15.0f, 399 * 15.0f, platform::kBlack);
  canvas.TakeChanges();
  EXPECT_FALSE(canvas.AllChanged());
  EXPECT_EQ(canvas.Changed(), (std::vector<Canvas::At>{{399, 399}}));
}

// The canvas keeps its pixels column by column; a display takes them row by row,
// each as k x k of its own, and nothing outside the canvas or the rows is touched:
// controls stand partly off the canvas, and a window may for a frame be larger.
TEST(Canvas, RowsCopiedOutAreThePixelsInPlaceEnlargedWithinTheCanvasAndTheRows) {
  Canvas canvas;
  canvas.Resize(40, 3, 0xFF000000);
  for (int x = 0; x < 40; ++x)
    for (int y = 0; y < 3; ++y) canvas.PSet(float(x * 15), float(y * 15), platform::RGB(int16_t(x), int16_t(y), 0));
  canvas.TakeChanges();
  const struct {
    int x, y, w, h, k;
    Canvas::Rows rows;  // pixels filled in below: 80 x 10, rows 80 apart
  } cases[] = {
      {1, 1, 38, 2, 1, {nullptr, 80, 0, 0, 80, 10}},
      {1, 1, 38, 2, 2, {nullptr, 80, 0, 0, 80, 10}},
      {1, 1, 38, 2, 2, {nullptr, 80, 0, 0, 75, 3}},   // rows cut short of the enlarged pixels
      {0, 0, 40, 3, 3, {nullptr, 80, 40, 2, 80, 10}},  // rows holding the display from (40, 2)
      {-5, -2, 50, 9, 2, {nullptr, 80, 0, 0, 80, 10}},  // a rectangle past every edge of the canvas
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> pixels(80 * 10, 0xDEADBEEF);
    Canvas::Rows rows = c.rows;
    rows.pixels = pixels.data();
    canvas.CopyRows(c.x, c.y, c.w, c.h, c.k, rows);
    for (int oy = 0; oy < 10; ++oy)
      for (int ox = 0; ox < 80; ++ox) {
        // The display's pixel this one holds, and the canvas pixel under it.
        const int dx = rows.left + ox, dy = rows.top + oy, cx = dx / c.k, cy = dy / c.k;
        const bool written = ox < rows.width && oy < rows.height && cx >= std::max(c.x, 0) &&
                             cx < std::min(c.x + c.w, 40) && cy >= std::max(c.y, 0) && cy < std::min(c.y + c.h, 3);
        const uint32_t want = written ? platform::ToArgb(platform::RGB(int16_t(cx), int16_t(cy), 0)) : 0xDEADBEEF;
        ASSERT_EQ(pixels[size_t(oy) * 80 + size_t(ox)], want) << c.x << ", " << c.k << " at " << ox << ", " << oy;
      }
  }
}

TEST(Canvas, ResizingKeepsWhatOverlapsAndFillsTheRest) {
  Canvas canvas;
  canvas.Resize(2, 2, 0xFF000000);
  canvas.PSet(15, 15, platform::RGB(0, 0, 255));
  canvas.Resize(3, 1, 0xFF112233);
  EXPECT_EQ(canvas.Pixel(0, 0), 0xFF000000u);
  EXPECT_EQ(canvas.Pixel(2, 0), 0xFF112233u);
  canvas.Resize(2, 2, 0xFF000000);
  EXPECT_EQ(canvas.Pixel(1, 1), 0xFF000000u);  // the blue point was cut off
}

// Whatever the rectangles added, each pixel of a 16 x 16 grid that one of them holds
// is held by exactly one of the list's, and no other pixel by any.
TEST(AddDisjoint, EachPixelAddedIsHeldOnceAndNoOtherIs) {
  using platform::PixelRect;
  const std::vector<std::vector<PixelRect>> cases = {
      {{0, 0, 16, 16}, {2, 2, 6, 6}},                    // one inside another
      {{2, 2, 6, 6}, {0, 0, 16, 16}},                    // and around it
      {{4, 0, 8, 16}, {0, 4, 16, 8}},                    // a cross
      {{0, 0, 6, 6}, {3, 3, 9, 9}, {6, 6, 12, 12}, {0, 0, 12, 12}},  // a chain, then all of it
      {{1, 1, 5, 5}, {1, 1, 5, 5}, {5, 5, 5, 9}},        // the same twice, and an empty one
  };
  for (const auto& added : cases) {
    std::vector<PixelRect> list;
    for (const PixelRect& rect : added) platform::AddDisjoint(list, rect);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        auto holds = [x, y](const PixelRect& r) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; };
        const bool added_here = std::any_of(added.begin(), added.end(), holds);
        EXPECT_EQ(std::count_if(list.begin(), list.end(), holds), added_here ? 1 : 0) << x << ", " << y;
      }
  }
  // Rectangles that meet at an edge stay as they are.
  std::vector<PixelRect> list;
  for (const PixelRect& rect : {PixelRect{0, 0, 4, 4}, PixelRect{4, 0, 8, 4}, PixelRect{0, 4, 8, 5}})
    platform::AddDisjoint(list, rect);
  EXPECT_EQ(list, (std::vector<PixelRect>{{0, 0, 4, 4}, {4, 0, 8, 4}, {0, 4, 8, 5}}));
}

// The step's parts in the order they ran, as a window and its chores tell them.
struct StepLog : platform::EventSink, platform::StepWindow, platform::StepChore {
  std::string log;
  bool end_requested = false, unload_on_dispatch = false, timer_due = true;
  platform::WindowState* state = nullptr;

  void Form_Activate() override { log += "activate "; }
  void Form_KeyDown(int16_t, int16_t) override {}
  void Form_MouseDown(int16_t, int16_t, float, float) override {}
  void Form_MouseMove(int16_t, int16_t, float, float) override {}
  void Timer2_Timer() override { log += "tick "; }
  bool EndRequested() override { return end_requested; }
  void DispatchEvents() override {
    log += "events ";
    if (unload_on_dispatch) state->Unload();
  }
  uint64_t NowMs() override { return 7; }
  bool TimerDue(uint64_t now_ms) override { return timer_due && now_ms == 7; }
  void DrawFrame(uint64_t now_ms) override { log += "draw@" + std::to_string(now_ms) + " "; }
  void WaitForRefresh() override { log += "wait "; }
  void Step(uint64_t now_ms, bool ending) override {
    log += std::string(ending ? "chore-ending@" : "chore@") + std::to_string(now_ms) + " ";
  }
};

TEST(EventStep, EventsThenChoresThenTheTickThenTheFrameThenTheWaitAndNothingDrawnOnceUnloaded) {
  const struct {
    const char* what;
    bool end_requested, unload_on_dispatch, timer_due;
    int16_t loaded;
    std::string log;
  } cases[] = {
      {"a step", false, false, true, 1, "activate events chore@7 chore@7 tick draw@7 wait "},
      {"no tick due", false, false, false, 1, "activate events chore@7 chore@7 draw@7 wait "},
      {"an event unloads", false, true, true, 0, "activate events chore-ending@7 chore-ending@7 "},
      {"an end requested", true, false, true, 0, ""},
  };
  for (const auto& c : cases) {
    StepLog step;
    platform::WindowState state(step);
    step.state = &state;
    step.end_requested = c.end_requested;
    step.unload_on_dispatch = c.unload_on_dispatch;
    step.timer_due = c.timer_due;
    state.Shown();
    EXPECT_EQ(platform::RunEventStep(state, step, {&step, &step}), c.loaded) << c.what;
    EXPECT_EQ(step.log, c.log) << c.what;
  }
}

// Every read stops at the end, whatever it asks for, and leaves the place where it
// was; numbers read in either byte order.
TEST(ByteReader, NoReadPassesTheEndAndARefusedOneMovesNothing) {
  const uint8_t bytes[] = {0x12, 0x34, 0x56, 0x81, 0x82, 0x83, 0x84, 0x05};
  for (const auto order : {platform::ByteReader::Order::kLittleEndian, platform::ByteReader::Order::kBigEndian}) {
    const bool big = order == platform::ByteReader::Order::kBigEndian;
    platform::ByteReader in(bytes, 3, order);
    uint32_t u32 = 7, u16 = 7;
    uint8_t byte = 0;
    platform::ByteReader part(nullptr, 0);
    EXPECT_FALSE(in.U32(&u32));
    EXPECT_EQ(u32, 7u);
    EXPECT_TRUE(in.U16(&u16));
    EXPECT_EQ(u16, big ? 0x1234u : 0x3412u);
    EXPECT_FALSE(in.U16(&u16));
    EXPECT_FALSE(in.Skip(uint64_t(1) << 63));
    EXPECT_FALSE(in.Take(2, &part));
    EXPECT_TRUE(in.Byte(&byte));
    EXPECT_EQ(byte, 0x56);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_FALSE(in.Byte(&byte));
  }
  // A quantity of four bytes at most: 0x81 0x82 0x83 0x84 0x05 is one too many.
  platform::ByteReader quantity(bytes + 3, 5);
  uint32_t value = 0;
  EXPECT_FALSE(quantity.Quantity(&value));
  platform::ByteReader short_one(bytes + 6, 2);
  EXPECT_TRUE(short_one.Quantity(&value));
  EXPECT_EQ(value, (0x04u << 7) | 0x05u);
}

TEST(TwipsToPx, ThePixelHoldingAPlaceRoundedDownOnBothSidesOfZero) {
  const struct {
    float twips;
    int px;
  } cases[] = {{0.0f, 0}, {14.999999f, 0}, {15.0f, 1}, {44.99999f, 2}, {-0.0f, 0}, {-1e-45f, -1},
               {-0.5f, -1}, {-15.0f, -1}, {-15.01f, -2}, {-1500.0f, -100}, {28800.0f, 1920}};
  for (const auto& c : cases) EXPECT_EQ(platform::TwipsToPx(c.twips), c.px) << c.twips << " twips";
}

TEST(Colour, ComponentsAbove255CountAs255) {
  EXPECT_EQ(platform::RGB(300, 0, 0), 255u);
  EXPECT_EQ(platform::RGB(0, 256, 0), 255u * 256u);
  EXPECT_EQ(platform::RGB(0, 0, 420), 255u * 65536u);
  EXPECT_EQ(platform::RGB(1, 2, 3), 1u + 2u * 256u + 3u * 65536u);
  EXPECT_EQ(platform::ToArgb(65280), 0xFF00FF00u);  // the banner's green
}

TEST(HostPath, TheLiteralsBackslashIsTheSeparatorButTheFolderIsKept) {
  EXPECT_EQ(platform::HostPath("/opt/saver\\walk.wav", "/opt/saver"), "/opt/saver/walk.wav");
  EXPECT_EQ(platform::HostPath("/tmp/a\\b\\walk.wav", "/tmp/a\\b"), "/tmp/a\\b/walk.wav");
  EXPECT_EQ(platform::HostPath("/tmp/有 空格\\song.mid", "/tmp/有 空格"), "/tmp/有 空格/song.mid");
  EXPECT_EQ(platform::HostPath("C:\\x\\y.gif", "/opt"), "C:/x/y.gif");
}

TEST(TimerClock, TicksOnceAnIntervalHasPassedAndNeverTwiceForOneStep) {
  platform::TimerClock timer(100, 1000);
  EXPECT_FALSE(timer.Due(1099));
  EXPECT_TRUE(timer.Due(1100));
  EXPECT_FALSE(timer.Due(1100));
  EXPECT_FALSE(timer.Due(1199));
  EXPECT_TRUE(timer.Due(1550));   // late: one tick, not four
  EXPECT_FALSE(timer.Due(1600));  // the next is due 100 ms after the late one
  EXPECT_TRUE(timer.Due(1650));
}

// Each row: a frame presented at now_ms, with the display telling refresh_hz; the
// wait the pace gives until the next batch, in microseconds, against hand-counted
// refreshes.
struct PaceStep {
  double now_ms;
  double refresh_hz;
  uint64_t wait_us;
};

TEST(FramePace, TheNextBatchStartsAtTheNextRefreshWithNoCatchingUp) {
  const struct {
    const char* what;
    std::vector<PaceStep> steps;
  } cases[] = {
      {"on time: each present a little after the refresh it waited for",
       {{0, 50, 20000}, {20.5, 50, 19500}, {41, 50, 19000}, {60, 50, 20000}}},
      {"late: a batch that overruns two refreshes waits for the third, then keeps to the grid",
       {{0, 50, 20000}, {65, 50, 15000}, {81, 50, 19000}}},
      {"exactly at a refresh: the next one",
       {{0, 50, 20000}, {40, 50, 20000}}},
      {"a changed refresh: the new period from the refresh waited for",
       {{0, 50, 20000}, {20, 100, 10000}, {31, 100, 9000}}},
      {"no refresh known, or none a display has: 60 Hz",
       {{0, 0, 16666}, {16.667, -1, 16666}, {33.334, 5000, 16666}}},
      {"a wait cut short: the same refresh is still waited for",
       {{0, 50, 20000}, {10, 50, 10000}}},
      {"a clock gone back: the grid starts anew",
       {{100, 50, 20000}, {50, 50, 20000}}},
  };
  for (const auto& c : cases) {
    platform::FramePace pace;
    for (const PaceStep& step : c.steps)
      EXPECT_EQ(pace.WaitNs(uint64_t(step.now_ms * 1e6 + 0.5) + 1'000'000'000, step.refresh_hz) / 1000,
                step.wait_us)
          << c.what << ", at " << step.now_ms << " ms";
  }
}

// Each row: at now_ms, a notice of changed monitors, or the pointer read at (x, y)
// with or without a device's motion, and the place the person is taken to have
// moved it to.
struct PointerStep {
  uint64_t now_ms;
  bool notice;
  int x, y;
  bool device_moved;
  int person_x, person_y;
};

TEST(PointerMoves, TheServersMovesAfterAChangeAreNoneAndADevicesMotionAlwaysIsOne) {
  constexpr bool kNotice = true, kRead = false, kDevice = true, kServer = false;
  const struct {
    const char* what;
    std::vector<PointerStep> steps;
  } cases[] = {
      {"no change of monitors: every move counts, a device's or a warp's",
       {{0, kRead, 500, 400, kServer, 500, 400}, {10, kRead, 501, 400, kServer, 501, 400},
        {20, kRead, 490, 380, kDevice, 490, 380}}},
      {"the first reading after a change is where the pointer is",
       {{0, kNotice, 0, 0, kServer, 0, 0}, {10, kRead, 700, 300, kServer, 700, 300}}},
      {"moved off a monitor taken away, then moved by the person: the server's move is no movement",
       {{0, kRead, 1500, 900, kServer, 1500, 900}, {100, kNotice, 0, 0, kServer, 0, 0},
        {110, kRead, 1023, 767, kServer, 1500, 900}, {300, kRead, 1022, 767, kDevice, 1499, 900}}},
      {"through the layouts a change passes, and back where it was",
       {{0, kRead, 1023, 767, kServer, 1023, 767}, {5, kNotice, 0, 0, kServer, 0, 0},
        {10, kRead, 1024, 767, kServer, 1023, 767}, {20, kRead, 1023, 767, kServer, 1023, 767}}},
      {"outputs flapping every 200 ms: the server's moves never count, a device's at once",
       {{0, kRead, 2000, 900, kServer, 2000, 900}, {100, kNotice, 0, 0, kServer, 0, 0},
        {110, kRead, 1023, 767, kServer, 2000, 900}, {300, kNotice, 0, 0, kServer, 0, 0},
        {500, kNotice, 0, 0, kServer, 0, 0}, {700, kNotice, 0, 0, kServer, 0, 0},
        {900, kNotice, 0, 0, kServer, 0, 0}, {1100, kNotice, 0, 0, kServer, 0, 0},
        {1150, kRead, 1022, 767, kDevice, 1999, 900}}},
      {"a second after the last notice, a warp counts again, from the shifted place",
       {{0, kRead, 1500, 900, kServer, 1500, 900}, {100, kNotice, 0, 0, kServer, 0, 0},
        {150, kRead, 1023, 767, kServer, 1500, 900}, {1099, kRead, 1023, 766, kServer, 1500, 900},
        {1100, kRead, 1024, 766, kServer, 1501, 900}}},
  };
  for (const auto& c : cases) {
    platform::PointerMoves moves;
    for (const PointerStep& step : c.steps) {
      if (step.notice) {
        moves.MonitorsChanged(step.now_ms);
        continue;
      }
      const platform::PointerMoves::Place person = moves.Read({step.x, step.y}, step.now_ms, step.device_moved);
      EXPECT_EQ(person.x, step.person_x) << c.what << ", at " << step.now_ms << " ms";
      EXPECT_EQ(person.y, step.person_y) << c.what << ", at " << step.now_ms << " ms";
    }
  }
}

}  // namespace
