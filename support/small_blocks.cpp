#include "support/small_blocks.h"

#include <atomic>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace small_blocks {
namespace {

// Class 0 holds blocks of up to 8 bytes (an object that small is aligned on
// 8 at most); class k >= 1 blocks of 16 * k bytes.
constexpr std::size_t kClasses = kLargest / 16 + 1;
// A span holds blocks of one class; the region, address space reserved
// once (pages are made when first touched), holds kSpans spans: 256 MB,
// where the largest kernels of the examples and benchmarks take up to 55 MB
// of spans. Beyond, blocks come from the C library.
constexpr std::size_t kSpan = std::size_t(64) << 10;
constexpr std::size_t kSpans = 4096;
constexpr std::size_t kRegion = kSpan * kSpans;
constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;

constexpr std::size_t class_of(std::size_t size) { return size <= 8 ? 0 : (size + 15) / 16; }
constexpr std::size_t size_of(std::size_t k) { return k == 0 ? 8 : 16 * k; }

struct FreeBlock {
  FreeBlock* next;
};

// The region, reserved by the first call (before main(), by a static
// constructor of a library: one thread only).
struct Region {
  char* base = nullptr;
  std::atomic<std::size_t> next_span{0};
  // The class of each span taken, written before any of its blocks is given.
  unsigned char span_class[kSpans] = {};

  Region()
  {
#if defined(__linux__)
    void* p = mmap(nullptr, kRegion + kHugePage, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED)
      return;
    std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(p) + kHugePage - 1) & ~(kHugePage - 1);
    base = reinterpret_cast<char*>(start);
    // Advice only: refused (huge pages disabled), the pages are small ones.
    madvise(base, kRegion, MADV_HUGEPAGE);
#endif
  }

  // The span of a block of the region; kSpans for any other address.
  std::size_t span_of(const void* block) const
  {
    std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(block) - reinterpret_cast<std::uintptr_t>(base);
    return base && offset < kRegion ? offset / kSpan : kSpans;
  }
};

Region& region()
{
  static Region r;
  return r;
}

// Each thread's lists and the part of a span it is carving, per class.
struct Lists {
  FreeBlock* free[kClasses];
  char* next[kClasses];
  char* end[kClasses];
};
thread_local Lists lists;

}  // namespace

void* allocate(std::size_t size) noexcept
{
  std::size_t k = class_of(size);
  Lists& mine = lists;
  if (FreeBlock* b = mine.free[k]) {
    mine.free[k] = b->next;
    return b;
  }
  std::size_t bytes = size_of(k);
  if (static_cast<std::size_t>(mine.end[k] - mine.next[k]) < bytes) {
    Region& r = region();
    if (!r.base)
      return nullptr;
    std::size_t span = r.next_span.fetch_add(1, std::memory_order_relaxed);
    if (span >= kSpans)
      return nullptr;
    r.span_class[span] = static_cast<unsigned char>(k);
    mine.next[k] = r.base + span * kSpan;
    mine.end[k] = mine.next[k] + kSpan;
  }
  void* p = mine.next[k];
  mine.next[k] += bytes;
  return p;
}

bool release(void* block) noexcept
{
  Region& r = region();
  std::size_t span = r.span_of(block);
  if (span == kSpans)
    return false;
  std::size_t k = r.span_class[span];
  FreeBlock* b = static_cast<FreeBlock*>(block);
  Lists& mine = lists;
  b->next = mine.free[k];
  mine.free[k] = b;
  return true;
}

std::size_t capacity(const void* block) noexcept
{
  const Region& r = region();
  std::size_t span = r.span_of(block);
  return span == kSpans ? 0 : size_of(r.span_class[span]);
}

}  // namespace small_blocks
