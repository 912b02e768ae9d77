// The one reader of picture and sound files: what it refuses, in the words every
// refusal line uses, that nothing put in a file's place can make it wait, and what it
// makes of the system's rarer answers; and the budget the files share.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// The system's calls with its rarer answers made to happen: reads cut short, each
// one interrupted before it is done, a file that has shrunk since it was judged, a
// read that fails.
class AwkwardSystem final : public platform::FileCalls {
 public:
  unsigned piece = ~0u;    // the most a read gives
  bool interrupt = false;  // each read interrupted once before it gives anything
  uint64_t shrunk_by = 0;  // what the file lost between its judging and its reading
  int fail_at = -1;        // the read that fails, counted from 0

  int Status(int fd, bool* regular, uint64_t* size) override {
    const int result = FileCalls::Status(fd, regular, size);
    *size += shrunk_by;
    return result;
  }
  long Read(int fd, void* buffer, unsigned bytes) override {
    if (interrupt && !interrupted_) {
      interrupted_ = true;
      errno = EINTR;
      return -1;
    }
    interrupted_ = false;
    if (reads_++ == fail_at) {
      errno = EIO;
      return -1;
    }
    return FileCalls::Read(fd, buffer, std::min(bytes, piece));
  }

 private:
  bool interrupted_ = false;
  int reads_ = 0;
};

TEST(ReadSmallFile, ReadsThroughWhatTheSystemMaySay) {
  const std::string path = testing::TempDir() + "/small_file_awkward";
  std::string content;
  for (int i = 0; i < 1000; ++i) content += char('a' + i % 26);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(content.data(), 1, content.size(), f);
  std::fclose(f);
  struct Case {
    const char* what;
    unsigned piece;
    bool interrupt;
    uint64_t shrunk_by;
    int fail_at;
    bool read;
    const char* why;
  };
  const Case cases[] = {
      {"short reads, each interrupted first: the whole file", 7, true, 0, -1, true, ""},
      {"a file that shrank by 400 bytes: the 1000 it still has", 64, false, 400, -1, true, ""},
      {"a read that fails: nothing, and why", 64, false, 0, 3, false, "cannot read: Input/output error"},
  };
  for (const Case& c : cases) {
    AwkwardSystem system;
    system.piece = c.piece;
    system.interrupt = c.interrupt;
    system.shrunk_by = c.shrunk_by;
    system.fail_at = c.fail_at;
    std::string why;
    const auto bytes = ReadSmallFile(path, 1 << 20, &why, system);
    EXPECT_EQ(bool(bytes), c.read) << c.what;
    if (bytes) {
      EXPECT_EQ(std::string(bytes->begin(), bytes->end()), content) << c.what;
    }
    EXPECT_EQ(why, c.why) << c.what;
  }
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
