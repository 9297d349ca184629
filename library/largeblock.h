// Large blocks: memory mapped from the system in one piece, backed by huge pages where the kernel
// offers them on request.
#pragma once

#include <cstddef>
#include <new>  // for operator new

namespace VXMole {

// Blocks from this size on are aligned to it and asked to be backed by huge pages: a first touch
// then maps 2 MiB at once instead of 4 KiB, which on virtual machines costs more than the work
// done on the page.
inline constexpr size_t kHugePageBytes = size_t{2} << 20;

// `bytes` of fresh zeroed memory, aligned to a page. From half a huge page on, the block is
// whole huge pages, aligned to them and asked to be backed by them. Throws std::bad_alloc when
// the system gives none.
char* mapLargeBlock(size_t bytes);
// Gives back a block that mapLargeBlock returned, with the same size; null is ignored.
void unmapLargeBlock(char* block, size_t bytes);

// Whether the heap is watched by AddressSanitizer: large blocks and pools then stay plain heap
// blocks, so that an overflow or a use after free is still caught.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitizedHeap = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitizedHeap = true;
#else
inline constexpr bool kSanitizedHeap = false;
#endif
#else
inline constexpr bool kSanitizedHeap = false;
#endif

// An allocator for the arrays that grow with a molecule (its lists of atoms and bonds, indexes
// over them): arrays of kLargeArrayBytes and more are large blocks, smaller ones heap blocks.
template <class T>
struct LargeBlockAllocator {
  using value_type = T;
  static constexpr size_t kLargeArrayBytes = size_t{1} << 20;

  LargeBlockAllocator() = default;
  template <class U>
  LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

  static bool large(size_t n) { return !kSanitizedHeap && n * sizeof(T) >= kLargeArrayBytes; }
  T* allocate(size_t n) {
    if (large(n)) return reinterpret_cast<T*>(mapLargeBlock(n * sizeof(T)));
    return static_cast<T*>(::operator new(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) noexcept {
    if (large(n)) {
      unmapLargeBlock(reinterpret_cast<char*>(p), n * sizeof(T));
    } else {
      ::operator delete(p);
    }
  }
  friend bool operator==(const LargeBlockAllocator&, const LargeBlockAllocator&) { return true; }
  friend bool operator!=(const LargeBlockAllocator&, const LargeBlockAllocator&) { return false; }
};

}  // namespace VXMole
