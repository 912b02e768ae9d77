// What the pictures and sounds a program holds may cost together. Every file is
// admitted, in the order the program asks for it, only where what it costs at its
// peak while it loads fits beside what the files admitted before it hold; one that
// does not fit is refused, with one line naming it and the budget. What a file was
// admitted for stays counted while the program runs, even where it then fails to load.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// A file's cost in bytes of memory: the most it takes while it loads (its bytes, the
// libraries' own copies and work, the pictures or samples made from it), and what
// stays held once it has loaded.
struct Cost {
  size_t peak = 0;
  size_t held = 0;
};

class MemoryBudget {
 public:
  static constexpr size_t kBytes = size_t(160) << 20;

  explicit MemoryBudget(size_t bytes = kBytes) : bytes_(bytes) {}

  // Whether a file that costs this fits beside what is held: it is then held too.
  // Otherwise one line names the file, what it needs and the budget, and nothing
  // changes.
  bool Admit(const std::string& path, const Cost& cost);
  size_t held() const { return held_; }

 private:
  size_t bytes_;
  size_t held_ = 0;
};

}  // namespace platform
