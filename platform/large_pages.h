// Memory for a large buffer that is read and written at scattered places, such as
// the canvas, where every falling dot stands on a page of its own: on Linux it is
// asked for in 2 MB pages, so that a frame's few hundred scattered places cost a
// handful of address translations rather than one each, which under a virtual
// machine is a walk of two page tables. Elsewhere, and for small buffers, it is
// ordinary memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace platform {

template <typename T>
struct LargePageAllocator {
  using value_type = T;

  LargePageAllocator() = default;
  template <typename U>
  LargePageAllocator(const LargePageAllocator<U>&) {}

  T* allocate(size_t n) {
#if defined(__linux__)
    if (const size_t bytes = Rounded(n); bytes != 0) {
      // Mapped one page more, so that a 2 MB boundary lies within; what lies
      // outside the aligned part is given back.
      void* mapped = mmap(nullptr, bytes + kLarge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (mapped == MAP_FAILED) throw std::bad_alloc();
      const uintptr_t start = uintptr_t(mapped), aligned = (start + kLarge - 1) & ~uintptr_t(kLarge - 1);
      if (aligned != start) munmap(mapped, aligned - start);
      if (const size_t after = start + kLarge - aligned; after != 0) munmap(reinterpret_cast<void*>(aligned + bytes), after);
      madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);  // a hint: ordinary pages where refused
      return reinterpret_cast<T*>(aligned);
    }
#endif
    return static_cast<T*>(::operator new(n * sizeof(T)));
  }

  void deallocate(T* p, size_t n) {
#if defined(__linux__)
    if (const size_t bytes = Rounded(n); bytes != 0) {
      munmap(p, bytes);
      return;
    }
#endif
    ::operator delete(p);
  }

  bool operator==(const LargePageAllocator&) const { return true; }

 private:
  static constexpr size_t kLarge = size_t(2) << 20;
  // The bytes mapped for n elements, in whole large pages; 0 where n is too few to
  // be worth a large page.
  static size_t Rounded(size_t n) {
    if (n > (SIZE_MAX - 2 * kLarge) / sizeof(T)) throw std::bad_alloc();
    const size_t bytes = n * sizeof(T);
    return bytes < kLarge ? 0 : (bytes + kLarge - 1) & ~(kLarge - 1);
  }
};

}  // namespace platform
