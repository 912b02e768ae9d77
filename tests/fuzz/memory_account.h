// The heap a fuzz target's call takes at its peak, counted through the sanitizer's
// allocation hooks, so that an input costing more memory than the limits allow is
// a finding rather than a passing run.
#pragma once

#include <sanitizer/allocator_interface.h>

#include <atomic>
#include <cstddef>

namespace memory_account {

inline std::atomic<size_t> in_use{0}, peak{0};

inline void OnMalloc(const volatile void*, size_t size) {
  const size_t now = in_use += size;
  size_t seen = peak;
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
}

inline void OnFree(const volatile void* p) {
  if (p) in_use -= __sanitizer_get_allocated_size(const_cast<const void*>(p));
}

inline void Install() { __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree); }

// The most the heap grew above its size at this call, while fn ran.
template <typename Fn>
size_t PeakDuring(Fn&& fn) {
  const size_t base = in_use;
  peak = base;
  fn();
  return peak - base;
}

}  // namespace memory_account
