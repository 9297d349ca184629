// Large blocks: anonymous mappings, aligned, with the huge-page hint.
#include "largeblock.h"

#include <sys/mman.h>  // for mmap, munmap, madvise

#include <cstdint>
#include <new>  // for std::bad_alloc

namespace VXMole {

namespace {

// What a block of `bytes` takes: from half a huge page on, whole huge pages.
size_t mappedBytes(size_t bytes) {
  if (bytes < kHugePageBytes / 2) return bytes;
  return (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
}

}  // namespace

char* mapLargeBlock(size_t requested) {
  const size_t bytes = mappedBytes(requested);
  const size_t align = bytes >= kHugePageBytes ? kHugePageBytes : 4096;
  const size_t span = bytes + align;
  void* mapped = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + align - 1) & ~(uintptr_t{align} - 1);
  // The unaligned head and the tail beyond the block go back at once.
  if (aligned > start) munmap(mapped, aligned - start);
  const uintptr_t tail = aligned + bytes;
  if (start + span > tail) munmap(reinterpret_cast<void*>(tail), start + span - tail);
  // A hint: where the kernel offers huge pages only on request, a large block asks for them.
  if (bytes >= kHugePageBytes) madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
  return reinterpret_cast<char*>(aligned);
}

void unmapLargeBlock(char* block, size_t bytes) {
  if (block != nullptr) munmap(block, mappedBytes(bytes));
}

}  // namespace VXMole
