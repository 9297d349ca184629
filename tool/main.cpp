// Kestrum: fits a comparison molecule onto a reference molecule and carries other molecules along.
#include <iostream>

#include "driver.h"

#ifdef __GLIBC__
#include <malloc.h>    // for mallopt
#include <sys/mman.h>  // for madvise
#include <unistd.h>    // for sbrk, sysconf

#include <cstdint>
#include <cstdlib>
#endif

namespace {

// A run builds hundreds of thousands of small heap objects: a protein of 90,000 atoms is some
// 60 MB of atoms, bonds and their graph vertices and edges. In pages of 4 KiB that is 15,000
// page faults, which cost more than the reading itself where a fault is slow (in virtual
// machines, several microseconds each). So the heap grows in one large step, of address space
// only, and the kernel is asked to back it with transparent huge pages where it offers them on
// request; where it does not, or where the allocator is not glibc's (sanitizer builds), the
// heap stays as it was. Nothing else depends on it.
void reserveHeapInHugePages() {
#ifdef __GLIBC__
  const size_t kReserve = size_t{1} << 30;  // address space, not memory
  if (mallopt(M_TOP_PAD, static_cast<int>(kReserve)) == 0) return;
  const auto start = reinterpret_cast<uintptr_t>(sbrk(0));
  // Blocks below the mmap threshold come from the heap's top; once the top is used up, the
  // heap grows by the reserve.
  void* blocks[64];
  int count = 0;
  while (count < 64 && reinterpret_cast<uintptr_t>(sbrk(0)) == start)
    blocks[count++] = std::malloc(32 * 1024);
  for (int i = 0; i < count; ++i) std::free(blocks[i]);
  const auto end = reinterpret_cast<uintptr_t>(sbrk(0));
  const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t first = (start + page - 1) / page * page;
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  reserveHeapInHugePages();
  const int status = kestrumMain(argc, argv);
  std::cout.flush();
  return status;
}
