// libFuzzer target: the animated picture control's load path, from a file's bytes
// through the limits, giflib and compositing, to the frame shown at a time.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/shared/gif/gif_animation.h"
#include "tests/fuzz/memory_account.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  memory_account::Install();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The bytes as a regular file that lives in memory, opened by its path.
  const int fd = memfd_create("gif", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (write(fd, data, size) != ssize_t(size)) {
    close(fd);
    return 0;
  }
  const platform::gif::Limits limits;
  // A control of 145 x 120 pixels keeps that much of each frame.
  const platform::gif::Crop crop{145, 120};
  std::string why;
  std::optional<platform::gif::Animation> animation;
  const size_t peak = memory_account::PeakDuring(
      [&] {
        platform::MemoryBudget budget(SIZE_MAX);
        const auto file = platform::gif::ReadAdmitted("/proc/self/fd/" + std::to_string(fd), limits, crop, budget, &why);
        if (file) animation = platform::gif::Decode(*file, &why, crop);
      });
  close(fd);
  // What the budget counts for the file, where it passes the scan (a picture from
  // each kept frame included, though none is made here); the file's bytes where not.
  const std::optional<platform::gif::Outline> outline = platform::gif::Scan(data, size, limits, nullptr);
  const size_t counted = outline ? platform::gif::CostOf(*outline, size, crop).peak : size;
  if (peak > counted + 4096) std::fprintf(stderr, "heap %zu bytes at its peak, counted %zu\n", peak, counted);
  Require(peak <= counted + 4096, "memory within what the budget counts");
  if (!animation) {
    Require(!why.empty(), "a refusal says why");
    return 0;
  }
  Require(animation->width > 0 && animation->width <= limits.max_side, "width within the limits");
  Require(animation->height > 0 && animation->height <= limits.max_side, "height within the limits");
  Require(!animation->frames.empty() && int(animation->frames.size()) <= limits.max_frames,
          "frame count within the limits");
  for (const platform::gif::Frame& frame : animation->frames) {
    Require(frame.argb.size() == size_t(animation->width) * size_t(animation->height), "whole frames");
    Require(frame.delay_ms > 0, "every frame shows for a while");
  }
  const uint64_t total = uint64_t(animation->TotalMs());
  for (uint64_t t : {uint64_t(0), total - 1, total, total * 7 + 3, uint64_t(-1)})
    Require(animation->FrameAt(t) < animation->frames.size(), "FrameAt names a frame");
  return 0;
}
