// SlabPool: storage for the molecular model's many small objects, cut from a few large slabs.
#pragma once

#include <cstddef>
#include <vector>

namespace VXMole {

// A protein holds hundreds of thousands of atoms and bonds. Allocated one by one, each is a
// heap block with its own header, scattered over pages that the kernel maps one at a time as
// they are first touched; on virtual machines a first touch can cost more than reading the
// atom's record. A pool cuts objects of one size from slabs instead: no header per object,
// neighbours in memory, and slabs from 2 MiB on asked to be backed by huge pages, so that a
// protein's atoms cost a few dozen page mappings rather than tens of thousands.
//
// Slabs grow with use: 64 KiB first, so that a small molecule costs little, then 2 MiB (one
// huge page), doubling up to kLargestSlab. A released object's storage goes back to the pool for
// the next object of that size; slabs themselves are kept until the process ends. Not thread-safe:
// the library is used by one thread at a time. Under AddressSanitizer every object is its own heap
// block, so that a use after free is still caught.
class SlabPool {
 public:
  static constexpr size_t kFirstSlab = size_t{64} << 10;
  static constexpr size_t kLargestSlab = size_t{4} << 20;

  explicit SlabPool(size_t objectBytes);
  SlabPool(const SlabPool&) = delete;
  SlabPool& operator=(const SlabPool&) = delete;

  // Storage for one object; throws std::bad_alloc when no slab can be had.
  void* allocate();
  // Gives back storage that allocate returned; null is ignored.
  void release(void* object);

  // The pool of objects of type T, made on first use.
  template <class T>
  static SlabPool& of() {
    static SlabPool pool(sizeof(T));
    return pool;
  }

 private:
  void addSlab();

  size_t objectBytes_;    // rounded up to a multiple of alignof(std::max_align_t)
  void* free_ = nullptr;  // released objects, each holding the next one's address
  char* next_ = nullptr;  // first unused byte of the newest slab
  char* end_ = nullptr;   // end of the newest slab
  size_t nextSlabBytes_ = kFirstSlab;
};

}  // namespace VXMole

// Gives a class its storage from SlabPool::of<Class>(). Put it in the class body.
#define VXMOLE_POOLED(Class)                                                   \
 public:                                                                       \
  static void* operator new(std::size_t bytes) {                               \
    return bytes == sizeof(Class) ? ::VXMole::SlabPool::of<Class>().allocate() \
                                  : ::operator new(bytes);                     \
  }                                                                            \
  static void operator delete(void* object, std::size_t bytes) {               \
    if (bytes == sizeof(Class)) {                                              \
      ::VXMole::SlabPool::of<Class>().release(object);                         \
    } else {                                                                   \
      ::operator delete(object);                                               \
    }                                                                          \
  }
