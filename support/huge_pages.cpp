#include "support/huge_pages.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

#if defined(__linux__) && defined(__GLIBC__)
// The heap grows by this much address space at a time: the first step holds
// the whole heap of every kernel of the examples (60 MB for the largest).
// Address space only; pages are made when first touched.
constexpr int kHeapStep = 128 << 20;
// Blocks up to this size come from the heap, not from a mapping of their own
// (made and faulted in anew for each one, a large tableau every time).
constexpr int kLargestHeapBlock = 32 << 20;
constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;
#endif

}  // namespace

void keep_heap_on_huge_pages()
{
#if defined(__linux__) && defined(__GLIBC__)
  if (mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock) == 0 || mallopt(M_TRIM_THRESHOLD, 2 * kHeapStep) == 0 ||
      mallopt(M_TOP_PAD, kHeapStep) == 0)
    return;
  // One block beyond the free space at the top of the heap makes the heap
  // grow by a whole step now; freed, it stays there for later blocks.
  std::uintptr_t before = reinterpret_cast<std::uintptr_t>(sbrk(0));
  void* volatile block = std::malloc(1 << 20);
  std::free(block);
  std::uintptr_t after = reinterpret_cast<std::uintptr_t>(sbrk(0));
  std::uintptr_t start = (before + kHugePage - 1) & ~(kHugePage - 1);
  // Under another allocator (a sanitizer's) the heap does not move.
  if (before == std::uintptr_t(-1) || after <= start)
    return;
  // Advice only: refused (huge pages disabled), the heap is as before.
  madvise(reinterpret_cast<void*>(start), after - start, MADV_HUGEPAGE);
#endif
}
