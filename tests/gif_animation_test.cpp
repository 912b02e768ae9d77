// The animated picture control's GIF loading: limits, decoding, disposal, timing.
#include "platform/shared/gif/gif_animation.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "tests/gif_fixtures.h"

namespace {

using namespace gif_fixtures;
using platform::gif::Animation;
using platform::gif::Decode;
using platform::gif::Limits;

constexpr uint32_t kClear = 0x00000000;
constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

const std::vector<Rgb> kPalette{{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

std::optional<Animation> DecodeRecipe(const GifRecipe& recipe, const Limits& limits = {}) {
  const std::vector<uint8_t> bytes = Encode(recipe);
  std::string why;
  auto anim = DecodeBytes(bytes, limits, &why);
  EXPECT_TRUE(anim) << why;
  return anim;
}

std::string Refusal(const std::vector<uint8_t>& bytes, const Limits& limits = {}) {
  std::string why;
  auto anim = DecodeBytes(bytes, limits, &why);
  EXPECT_FALSE(anim);
  return why;
}

TEST(GifTiming, DelaysAreTheFramesOwnAndTooShortOnesBecomeATenth) {
  auto anim = DecodeRecipe({2, 2, kPalette, {Solid(2, 2, 1, 10), Solid(2, 2, 2, 25), Solid(2, 2, 3, 0)}});
  ASSERT_TRUE(anim);
  ASSERT_EQ(anim->frames.size(), 3u);
  EXPECT_EQ(anim->frames[0].delay_ms, 100);
  EXPECT_EQ(anim->frames[1].delay_ms, 250);
  EXPECT_EQ(anim->frames[2].delay_ms, 100);
  EXPECT_EQ(anim->TotalMs(), 450);
  EXPECT_EQ(anim->FrameAt(0), 0u);
  EXPECT_EQ(anim->FrameAt(99), 0u);
  EXPECT_EQ(anim->FrameAt(100), 1u);
  EXPECT_EQ(anim->FrameAt(349), 1u);
  EXPECT_EQ(anim->FrameAt(350), 2u);
  EXPECT_EQ(anim->FrameAt(450), 0u);  // loops
  EXPECT_EQ(anim->FrameAt(450 * 1000 + 120), 1u);
}

TEST(GifCompositing, BackgroundDisposalClearsTheFrameRectangleToTransparent) {
  FrameRecipe base = Solid(4, 2, 1);
  base.disposal = 1;
  FrameRecipe patch{1, 0, 2, 1, {2, 2}, 10, 2};
  FrameRecipe dot{3, 1, 1, 1, {3}, 10, 1};
  auto anim = DecodeRecipe({4, 2, kPalette, {base, patch, dot}});
  ASSERT_TRUE(anim);
  EXPECT_EQ(anim->frames[1].argb, (std::vector<uint32_t>{kRed, kGreen, kGreen, kRed,  //
                                                          kRed, kRed, kRed, kRed}));
  EXPECT_EQ(anim->frames[2].argb, (std::vector<uint32_t>{kRed, kClear, kClear, kRed,  //
                                                          kRed, kRed, kRed, kBlue}));
}

TEST(GifCompositing, AnInterlacedFrameHasItsRowsInPlace) {
  // Eleven rows, each of its own colour by row number, so that a row read in the
  // wrong pass lands where the colours show it.
  FrameRecipe frame{0, 0, 2, 11, {}, 10, 1};
  for (int y = 0; y < 11; ++y) frame.indices.insert(frame.indices.end(), 2, uint8_t(y % 3 + 1));
  frame.interlaced = true;
  auto anim = DecodeRecipe({2, 11, kPalette, {frame}});
  ASSERT_TRUE(anim);
  const uint32_t by_row[] = {kRed, kGreen, kBlue};
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(anim->frames[0].argb[size_t(y * 2 + x)], by_row[y % 3]) << "row " << y;
}

TEST(GifCompositing, PreviousDisposalRestoresWhatWasThere) {
  FrameRecipe base = Solid(2, 1, 1);
  FrameRecipe flash{0, 0, 1, 1, {2}, 10, 3};
  FrameRecipe after{1, 0, 1, 1, {3}, 10, 1};
  auto anim = DecodeRecipe({2, 1, kPalette, {base, flash, after}});
  ASSERT_TRUE(anim);
  EXPECT_EQ(anim->frames[1].argb, (std::vector<uint32_t>{kGreen, kRed}));
  EXPECT_EQ(anim->frames[2].argb, (std::vector<uint32_t>{kRed, kBlue}));
}

TEST(GifCompositing, TheTransparentIndexLeavesWhatLiesBelow) {
  FrameRecipe first{0, 0, 3, 1, {0, 1, 0}, 10, 1, 0};
  FrameRecipe second{0, 0, 3, 1, {2, 0, 0}, 10, 1, 0};
  auto anim = DecodeRecipe({3, 1, kPalette, {first, second}});
  ASSERT_TRUE(anim);
  EXPECT_EQ(anim->frames[0].argb, (std::vector<uint32_t>{kClear, kRed, kClear}));
  EXPECT_EQ(anim->frames[1].argb, (std::vector<uint32_t>{kGreen, kRed, kClear}));
}

TEST(GifCompositing, AFrameReachingPastTheScreenIsClipped) {
  FrameRecipe wide{1, 0, 3, 1, {2, 3, 3}, 10, 1};
  auto anim = DecodeRecipe({2, 1, kPalette, {Solid(2, 1, 1), wide}});
  ASSERT_TRUE(anim);
  EXPECT_EQ(anim->frames[1].argb, (std::vector<uint32_t>{kRed, kGreen}));
}

TEST(GifCompositing, FramesWhollyOffTheScreenDrawAndDisposeOfNothing) {
  // Right of, below, and left of and above a 2 x 1 screen, each cleared to the
  // background afterwards: the screen keeps its first frame.
  FrameRecipe right{5000, 0, 3, 1, {2, 2, 2}, 10, 2};
  FrameRecipe below{0, 4000, 2, 2, {3, 3, 3, 3}, 10, 2};
  FrameRecipe past{3, 3, 1, 1, {2}, 10, 2};
  auto anim = DecodeRecipe({2, 1, kPalette, {Solid(2, 1, 1), right, below, past}});
  ASSERT_TRUE(anim);
  ASSERT_EQ(anim->frames.size(), 4u);
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(anim->frames[i].argb, (std::vector<uint32_t>{kRed, kRed})) << i;
}

TEST(GifCompositing, OnlyThePartAControlShowsIsKept) {
  // A 4 x 3 screen in a control of 3 x 2: each frame keeps its top-left 3 x 2,
  // disposal included.
  FrameRecipe corner{2, 0, 2, 2, {2, 2, 2, 2}, 10, 2};  // green, cleared afterwards
  FrameRecipe low{0, 2, 4, 1, {3, 3, 3, 3}, 10};       // below what is kept
  std::vector<uint8_t> bytes = Encode({4, 3, kPalette, {Solid(4, 3, 1), corner, low}});
  std::string why;
  auto anim = DecodeBytes(bytes, {}, &why, {3, 2});
  ASSERT_TRUE(anim) << why;
  EXPECT_EQ(anim->width, 3);
  EXPECT_EQ(anim->height, 2);
  EXPECT_EQ(anim->frames[0].argb, (std::vector<uint32_t>(6, kRed)));
  EXPECT_EQ(anim->frames[1].argb, (std::vector<uint32_t>{kRed, kRed, kGreen, kRed, kRed, kGreen}));
  EXPECT_EQ(anim->frames[2].argb, (std::vector<uint32_t>{kRed, kRed, kClear, kRed, kRed, kClear}));
}

// What a decoded picture holds is what its cost says it holds, counted at the size
// its control keeps; at the peak the file, giflib's rasters and what is held are all
// there at once.
TEST(GifCost, TheHeldCostIsWhatTheFramesHoldAndThePeakCoversTheFileAndItsRasters) {
  const std::vector<uint8_t> bytes = Encode({4, 3, kPalette, {Solid(4, 3, 1), Solid(4, 3, 2)}});
  std::string why;
  const std::optional<platform::gif::Outline> outline = platform::gif::Scan(bytes.data(), bytes.size(), {}, &why);
  ASSERT_TRUE(outline) << why;
  const auto anim = DecodeBytes(bytes, {}, &why, {3, 2});
  ASSERT_TRUE(anim) << why;
  size_t holds = 0;
  for (const auto& frame : anim->frames) holds += frame.argb.size() * sizeof(uint32_t);
  const platform::Cost cost = platform::gif::CostOf(*outline, bytes.size(), {3, 2});
  EXPECT_EQ(cost.held, holds);
  EXPECT_GE(cost.peak, bytes.size() + outline->raster_bytes + cost.held);
  // A large screen: its frames counted whole, or at the size kept.
  platform::gif::Outline large = *outline;
  large.width = 4096;
  large.height = 4095;
  EXPECT_EQ(platform::gif::CostOf(large, 100).held, size_t(2) * 4096 * 4095 * 4);
  EXPECT_EQ(platform::gif::CostOf(large, 100, {145, 120}).held, size_t(2) * 145 * 120 * 4);
}

// A picture admitted by its scan that giflib then cannot decode (its LZW codes name
// entries its table does not have yet): refused, and what it was admitted for stays
// counted, as the budget counts every file from its admission.
TEST(GifCost, APictureThatFailsToDecodeKeepsItsAdmittedCost) {
  std::vector<uint8_t> bytes = Encode({8, 8, kPalette, {Solid(8, 8, 1)}});
  size_t at = 13 + 3 * 4;  // past the header and the global palette
  while (bytes[at] != 0x2C) at += size_t(bytes[at + 2]) + 4;  // past the extensions, each one sub-block
  // After the 10-byte image descriptor, the code size, then a sub-block of codes.
  const size_t codes = at + 12;
  std::fill(bytes.begin() + ptrdiff_t(codes), bytes.begin() + ptrdiff_t(codes + bytes[codes - 1]), 0xFF);
  const std::string path = testing::TempDir() + "/gif_cost_undecodable.gif";
  WriteFile(path, bytes);
  platform::MemoryBudget budget;
  std::string why;
  const auto file = platform::gif::ReadAdmitted(path, {}, {}, budget, &why);
  ASSERT_TRUE(file) << why;
  EXPECT_FALSE(Decode(*file, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(budget.held(), platform::gif::CostOf(file->outline, bytes.size()).held);
  unlink(path.c_str());
}

TEST(GifLoad, InputsTheFuzzerFoundLoadOrAreRefusedWithoutHarm) {
  const std::string folder = SOURCE_DIR "/tests/fuzz/regressions/gif";
  DIR* dir = opendir(folder.c_str());
  ASSERT_TRUE(dir);
  int tried = 0;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::string why;
    const auto anim = gif_fixtures::LoadFile(folder + "/" + entry->d_name, &why);
    if (anim) EXPECT_FALSE(anim->frames.empty()) << entry->d_name;
    else EXPECT_FALSE(why.empty()) << entry->d_name;
    ++tried;
  }
  closedir(dir);
  EXPECT_GT(tried, 0);
}

TEST(GifRefusal, TruncatedFilesAreRefusedAtEveryLength) {
  const std::vector<uint8_t> whole = Encode({8, 8, kPalette, {Solid(8, 8, 1), Solid(8, 8, 2)}});
  for (size_t n = 0; n + 1 < whole.size(); ++n) {
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + ptrdiff_t(n));
    std::string why;
    EXPECT_FALSE(DecodeBytes(cut, {}, &why)) << "length " << n;
    EXPECT_FALSE(why.empty());
  }
}

TEST(GifRefusal, GarbageAndEmptyFilesAreRefused) {
  EXPECT_EQ(Refusal({}), "not a GIF file");
  std::vector<uint8_t> garbage(4096);
  srand(7);
  for (uint8_t& b : garbage) b = uint8_t(rand());
  EXPECT_EQ(Refusal(garbage), "not a GIF file");
  garbage[0] = 'G', garbage[1] = 'I', garbage[2] = 'F', garbage[3] = '8', garbage[4] = '9',
  garbage[5] = 'a';
  EXPECT_FALSE(Refusal(garbage).empty());
}

TEST(GifRefusal, AHugeLogicalScreenIsRefusedBeforeDecoding) {
  std::vector<uint8_t> bytes = Encode({4, 4, kPalette, {Solid(4, 4, 1)}});
  bytes[6] = bytes[7] = bytes[8] = bytes[9] = 0xFF;  // 65535 x 65535
  EXPECT_EQ(Refusal(bytes), "logical screen larger than the limit");
}

TEST(GifRefusal, FrameCountAndDecodedSizeHaveLimits) {
  const GifRecipe three{16, 16, kPalette, {Solid(16, 16, 1), Solid(16, 16, 2), Solid(16, 16, 3)}};
  Limits two_frames;
  two_frames.max_frames = 2;
  EXPECT_EQ(Refusal(Encode(three), two_frames), "more frames than the limit");
  Limits small;
  small.max_decoded_bytes = 2 * (16 * 16 * 5);  // room for two frames, not three
  EXPECT_EQ(Refusal(Encode(three), small), "decoded size larger than the limit");
  EXPECT_TRUE(DecodeRecipe(three));
}

// bytes with a comment of count one-byte sub-blocks spliced in before the trailer.
std::vector<uint8_t> WithComment(std::vector<uint8_t> bytes, size_t count) {
  std::vector<uint8_t> comment{0x21, 0xFE};
  for (size_t i = 0; i < count; ++i) comment.insert(comment.end(), {0x01, 'x'});
  comment.push_back(0x00);
  bytes.insert(bytes.end() - 1, comment.begin(), comment.end());
  return bytes;
}

TEST(GifRefusal, CommentsAndExtensionsCountWithTheirBookkeeping) {
  const std::vector<uint8_t> picture = Encode({4, 4, kPalette, {Solid(4, 4, 1)}});
  // The picture's own extension: one frame's graphic control, 4 + 64 (the recipe asks
  // for no loop block). Each one-byte sub-block of the comment adds 1 + 64.
  Limits limits;
  limits.max_extension_bytes = 68 + 15 * 65;
  std::string why;
  EXPECT_TRUE(DecodeBytes(WithComment(picture, 15), limits, &why)) << why;
  EXPECT_EQ(Refusal(WithComment(picture, 16), limits), "extensions and comments larger than the limit");
  // A 32 MiB file that is nearly all one comment: 16.7 million sub-blocks that a
  // decoder would keep one by one.
  EXPECT_EQ(Refusal(WithComment(picture, (size_t(32) << 20) / 2 - 64)),
            "extensions and comments larger than the limit");
}

TEST(GifLoad, MissingFilesAndFoldersAreRefused) {
  std::string why;
  EXPECT_FALSE(gif_fixtures::LoadFile("/nonexistent/ghost.gif", &why));
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(gif_fixtures::LoadFile("/tmp", &why));
  EXPECT_EQ(why, "not a regular file");
}

TEST(GifLoad, AFileOnDiskDecodes) {
  char dir[] = "/tmp/gif_test_XXXXXX";
  ASSERT_TRUE(mkdtemp(dir));
  const std::string path = std::string(dir) + "/sprite.gif";
  WriteFile(path, Encode({3, 2, kPalette, {Solid(3, 2, 3)}}));
  std::string why;
  auto anim = gif_fixtures::LoadFile(path, &why);
  ASSERT_TRUE(anim) << why;
  EXPECT_EQ(anim->width, 3);
  EXPECT_EQ(anim->height, 2);
  EXPECT_EQ(anim->frames[0].argb[5], kBlue);
  unlink(path.c_str());
  rmdir(dir);
}

}  // namespace
