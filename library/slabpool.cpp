// SlabPool: slabs mapped from the system, a free list of released objects.
#include "slabpool.h"

#include <algorithm>  // for std::min
#include <new>        // for std::bad_alloc

#include "largeblock.h"

namespace VXMole {

SlabPool::SlabPool(size_t objectBytes) {
  const size_t align = alignof(std::max_align_t);
  objectBytes_ = (objectBytes + align - 1) / align * align;
}

void SlabPool::addSlab() {
  const size_t bytes = nextSlabBytes_;
  char* slab = mapLargeBlock(bytes);
  next_ = slab;
  end_ = slab + bytes;
  // A molecule that fills its first slab is a large one: the next slab is a huge page at once.
  nextSlabBytes_ =
      nextSlabBytes_ < kHugePageBytes ? kHugePageBytes : std::min(2 * nextSlabBytes_, kLargestSlab);
}

void* SlabPool::allocate() {
  if (kSanitizedHeap) return ::operator new(objectBytes_);
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
  if (kSanitizedHeap) {
    ::operator delete(object);
    return;
  }
  *static_cast<void**>(object) = free_;
  free_ = object;
}

}  // namespace VXMole
