// The one reader of picture and sound files: what it refuses, in the words every
// refusal line uses, and that nothing put in a file's place can make it wait; and the
// budget the files share.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/shared/memory_budget.h"
#include "platform/shared/small_file.h"

namespace {

using platform::ReadSmallFile;

std::string Why(const std::string& path, size_t limit) {
  std::string why;
  EXPECT_FALSE(ReadSmallFile(path, limit, &why)) << path;
  return why;
}

TEST(ReadSmallFile, WhatIsNotASmallRegularFileIsRefusedAndSaysWhy) {
  const std::string dir = testing::TempDir() + "/small_file_test";
  mkdir(dir.c_str(), 0700);
  // A named pipe with no writer: opening it to read would wait for one for ever.
  const std::string pipe = dir + "/song.mid";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(Why(pipe, 1 << 20), "not a regular file");
  EXPECT_EQ(Why("/dev/zero", 1 << 20), "not a regular file");
  EXPECT_EQ(Why(dir, 1 << 20), "not a regular file");
  EXPECT_EQ(Why(dir + "/walk.wav", 1 << 20), "cannot open: No such file or directory");
  // A gigabyte that takes no room on the disk is judged by its size, unread.
  const std::string sparse = dir + "/sparse.gif";
  std::FILE* f = std::fopen(sparse.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fseek(f, 1L << 30, SEEK_SET);
  std::fputc(0, f);
  std::fclose(f);
  EXPECT_EQ(Why(sparse, 1 << 20), "larger than the limit of 1048576 bytes");
  unlink(sparse.c_str());
  unlink(pipe.c_str());
  rmdir(dir.c_str());
}

TEST(ReadSmallFile, AFileOfExactlyTheLimitIsReadWhole) {
  const std::string path = testing::TempDir() + "/small_file_exact";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("GIF89a", f);
  std::fclose(f);
  std::string why;
  const auto bytes = ReadSmallFile(path, 6, &why);
  ASSERT_TRUE(bytes) << why;
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "GIF89a");
  EXPECT_EQ(Why(path, 5), "larger than the limit of 5 bytes");
  unlink(path.c_str());
}

TEST(MemoryBudget, FilesAreAdmittedInTurnWhileTheyFit) {
  platform::MemoryBudget budget(100 << 20);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(budget.Admit("/a/ghostgif1.gif", {60 << 20, 40 << 20}));
  // 60 MiB are left: a file that needs 61 to load does not fit, one of 60 does.
  EXPECT_FALSE(budget.Admit("/a/ghostgif2.gif", {61 << 20, 1 << 20}));
  EXPECT_EQ(budget.held(), size_t(40) << 20);
  EXPECT_TRUE(budget.Admit("/a/ghostgif3.gif", {60 << 20, 60 << 20}));
  EXPECT_FALSE(budget.Admit("/a/walk.wav", {1, 1}));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "/a/ghostgif2.gif: needs 61 MiB to load, beyond the 100 MiB that pictures and sounds may take together "
            "(40 MiB taken)\n"
            "/a/walk.wav: needs 1 MiB to load, beyond the 100 MiB that pictures and sounds may take together "
            "(100 MiB taken)\n");
}

}  // namespace
