#include "support/small_blocks.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "support/sanitizers.h"

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

// The region: its base is set once, by the first span taken (before main(),
// by a static constructor of a library); null until then, or for good when
// the reservation is refused. Constant-initialized: no guard on the paths
// that read it.
std::atomic<char*> base{nullptr};
std::atomic<std::size_t> next_span{0};
// The class of each span taken, written before any of its blocks is given.
unsigned char span_class[kSpans];

char* reserve_region()
{
#if defined(__linux__)
  void* p = mmap(nullptr, kRegion + kHugePage, PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED)
    return nullptr;
  std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(p) + kHugePage - 1) & ~(kHugePage - 1);
  char* region = reinterpret_cast<char*>(start);
  // Advice only: refused (huge pages disabled), the pages are small ones.
  madvise(region, kRegion, MADV_HUGEPAGE);
  return region;
#else
  return nullptr;
#endif
}

// The span of a block of the region; kSpans for any other address.
inline std::size_t span_of(const void* block)
{
  char* b = base.load(std::memory_order_relaxed);
  std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(block) - reinterpret_cast<std::uintptr_t>(b);
  return b && offset < kRegion ? offset / kSpan : kSpans;
}

// Each thread's lists and the part of a span it is carving, per class.
struct Lists {
  FreeBlock* free[kClasses];
  char* next[kClasses];
  char* end[kClasses];
};
thread_local Lists lists;

// A new span for class k, for this thread; false when there is none.
bool take_span(Lists& mine, std::size_t k)
{
  static char* const region = [] {
    char* r = reserve_region();
    base.store(r, std::memory_order_relaxed);
    return r;
  }();
  if (!region)
    return false;
  std::size_t span = next_span.fetch_add(1, std::memory_order_relaxed);
  if (span >= kSpans)
    return false;
  span_class[span] = static_cast<unsigned char>(k);
  mine.next[k] = region + span * kSpan;
  mine.end[k] = mine.next[k] + kSpan;
  return true;
}

// A block of class k never used before, from this thread's span of the
// class; null when there is none. Out of line: most blocks come from the
// free lists, whose path stays short.
[[gnu::noinline]] void* carve(Lists& mine, std::size_t k) noexcept
{
  std::size_t bytes = size_of(k);
  if (static_cast<std::size_t>(mine.end[k] - mine.next[k]) < bytes && !take_span(mine, k))
    return nullptr;
  void* p = mine.next[k];
  mine.next[k] += bytes;
  return p;
}

}  // namespace

void* allocate(std::size_t size) noexcept
{
  std::size_t k = class_of(size);
  Lists& mine = lists;
  if (FreeBlock* b = mine.free[k]) {
    mine.free[k] = b->next;
    return b;
  }
  return carve(mine, k);
}

bool release(void* block) noexcept
{
  std::size_t span = span_of(block);
  if (span == kSpans)
    return false;
  FreeBlock* b = static_cast<FreeBlock*>(block);
  Lists& mine = lists;
  std::size_t k = span_class[span];
  b->next = mine.free[k];
  mine.free[k] = b;
  return true;
}

std::size_t capacity(const void* block) noexcept
{
  std::size_t span = span_of(block);
  return span == kSpans ? 0 : size_of(span_class[span]);
}

}  // namespace small_blocks

// The C++ allocation functions of the whole process (the libraries' included)
// take their small blocks from here, the others from the C library. Under the
// address sanitizer they are left as they are, so that the sanitizer sees
// every block.
#ifndef VORL_ADDRESS_SANITIZER

namespace {

[[gnu::noinline]] void* system_block(std::size_t size)
{
  for (;;) {
    if (void* p = std::malloc(size == 0 ? 1 : size))
      return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler)
      throw std::bad_alloc();
    handler();
  }
}

void* block_of(std::size_t size)
{
  if (size <= small_blocks::kLargest)
    if (void* p = small_blocks::allocate(size))
      return p;
  return system_block(size);
}

void give_back(void* p) noexcept
{
  if (!small_blocks::release(p))
    std::free(p);
}

}  // namespace

void* operator new(std::size_t size) { return block_of(size); }
void* operator new[](std::size_t size) { return block_of(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
  try {
    return block_of(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
  try {
    return block_of(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { give_back(p); }
void operator delete[](void* p) noexcept { give_back(p); }
void operator delete(void* p, std::size_t) noexcept { give_back(p); }
void operator delete[](void* p, std::size_t) noexcept { give_back(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { give_back(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { give_back(p); }

#endif
