// SlabPool: slabs mapped from the system, a free list of released objects.
#include "slabpool.h"

#include <sys/mman.h>  // for mmap, munmap, madvise

#include <cstdint>
#include <new>  // for std::bad_alloc

namespace VXMole {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPlainHeap = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPlainHeap = true;
#else
constexpr bool kPlainHeap = false;
#endif
#else
constexpr bool kPlainHeap = false;
#endif

// `bytes` of fresh memory aligned to `align` (a power of two, at least a page).
char* mapAligned(size_t bytes, size_t align) {
  const size_t span = bytes + align;
  void* mapped = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + align - 1) & ~(uintptr_t{align} - 1);
  // The unaligned head and the tail beyond the slab go back at once.
  if (aligned > start) munmap(mapped, aligned - start);
  const uintptr_t tail = aligned + bytes;
  if (start + span > tail) munmap(reinterpret_cast<void*>(tail), start + span - tail);
  return reinterpret_cast<char*>(aligned);
}

}  // namespace

SlabPool::SlabPool(size_t objectBytes) {
  const size_t align = alignof(std::max_align_t);
  objectBytes_ = (objectBytes + align - 1) / align * align;
}

void SlabPool::addSlab() {
  const size_t bytes = nextSlabBytes_;
  const size_t align = bytes >= kHugePage ? kHugePage : 4096;
  char* slab = mapAligned(bytes, align);
  // A hint: where the kernel offers huge pages only on request, a large slab asks for them.
  if (bytes >= kHugePage) madvise(slab, bytes, MADV_HUGEPAGE);
  next_ = slab;
  end_ = slab + bytes;
  if (nextSlabBytes_ < kLargestSlab) nextSlabBytes_ *= 2;
}

void* SlabPool::allocate() {
  if (kPlainHeap) return ::operator new(objectBytes_);
  if (free_ != nullptr) {
    void* object = free_;
    free_ = *static_cast<void**>(object);
    return object;
  }
  if (static_cast<size_t>(end_ - next_) < objectBytes_) addSlab();
  void* object = next_;
  next_ += objectBytes_;
  return object;
}

void SlabPool::release(void* object) {
  if (object == nullptr) return;
  if (kPlainHeap) {
    ::operator delete(object);
    return;
  }
  *static_cast<void**>(object) = free_;
  free_ = object;
}

}  // namespace VXMole
