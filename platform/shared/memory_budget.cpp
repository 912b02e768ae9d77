// The budget for pictures and sounds. Implements: MemoryBudget.
#include "platform/shared/memory_budget.h"

#include "platform/shared/small_file.h"

namespace platform {

namespace {

std::string Mib(size_t bytes) { return std::to_string((bytes + (size_t(1) << 20) - 1) >> 20) + " MiB"; }

}  // namespace

bool MemoryBudget::Admit(const std::string& path, const Cost& cost) {
  if (cost.peak <= bytes_ - held_ && cost.held <= bytes_ - held_) {
    held_ += cost.held;
    return true;
  }
  ReportRefused(path, "needs " + Mib(cost.peak) + " to load, beyond the " + Mib(bytes_) +
                          " that pictures and sounds may take together (" + Mib(held_) + " taken)");
  return false;
}

}  // namespace platform
