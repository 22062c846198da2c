#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "solvers/number_pools.h"
#include "support/small_blocks.h"

namespace {

struct Live {
  unsigned char* block;
  std::size_t size;
  unsigned char mark;
};

bool marked(const Live& b, std::size_t n)
{
  for (std::size_t i = 0; i < n; i++)
    if (b.block[i] != b.mark)
      return false;
  return true;
}

// The way the process takes blocks: GMP's three functions, or the C++
// allocation functions' (a small block, else the C library's).
struct Allocator {
  const char* name;
  void* (*allocate)(std::size_t);
  void* (*reallocate)(void*, std::size_t, std::size_t);  // null: none
  void (*release)(void*, std::size_t);
};

void* new_block(std::size_t size)
{
  void* p = size <= small_blocks::kLargest ? small_blocks::allocate(size) : nullptr;
  return p ? p : std::malloc(size == 0 ? 1 : size);
}

void delete_block(void* p, std::size_t)
{
  if (!small_blocks::release(p))
    std::free(p);
}

const Allocator kAllocators[] = {
    {"GMP's", number_pools::allocate, number_pools::reallocate, number_pools::release},
    {"C++'s", new_block, nullptr, delete_block},
};

// Random allocations, reallocations and releases of every small size (both
// sides of each class's bound), and of large ones. Every live block holds a
// mark of its own: a block that two live blocks share, or a reallocation
// that loses bytes, shows as a wrong mark. Blocks are aligned as their size
// asks (16 bytes beyond 8), and a small block's room covers its size.
TEST(SmallBlocksTest, LiveBlocksKeepTheirContents)
{
  for (const Allocator& a : kAllocators) {
    SCOPED_TRACE(a.name);
    std::mt19937 rng(7u);
    auto pick = [&](std::size_t lo, std::size_t hi) {
      return std::uniform_int_distribution<std::size_t>(lo, hi)(rng);
    };
    auto size = [&]() { return pick(0, 9) == 0 ? pick(0, 700) : pick(0, small_blocks::kLargest + 8); };
    auto check = [&](const Live& b) {
      std::uintptr_t address = reinterpret_cast<std::uintptr_t>(b.block);
      std::size_t room = small_blocks::capacity(b.block);
      return address % (b.size > 8 ? 16 : 8) == 0 && (room == 0 || room >= b.size) &&
             (room != 0 || b.size > small_blocks::kLargest);
    };
    std::vector<Live> live;
    unsigned char next_mark = 1;
    for (int step = 0; step < 200000; step++) {
      std::size_t what = live.empty() ? 0 : pick(0, 2);
      if (what == 0 && live.size() < 5000) {
        Live b{nullptr, size(), next_mark++};
        b.block = static_cast<unsigned char*>(a.allocate(b.size));
        ASSERT_TRUE(check(b)) << "step " << step << ", a block of " << b.size << " bytes";
        std::memset(b.block, b.mark, b.size);
        live.push_back(b);
        continue;
      }
      std::size_t k = pick(0, live.size() - 1);
      Live& b = live[k];
      ASSERT_TRUE(marked(b, b.size)) << "step " << step << ", a block of " << b.size << " bytes";
      if (what == 1 && a.reallocate) {
        std::size_t n = size();
        b.block = static_cast<unsigned char*>(a.reallocate(b.block, b.size, n));
        ASSERT_TRUE(marked(b, b.size < n ? b.size : n)) << "step " << step << ", " << b.size << " -> " << n;
        b.size = n;
        ASSERT_TRUE(check(b)) << "step " << step << ", reallocated to " << n << " bytes";
        std::memset(b.block, b.mark, b.size);
      } else {
        a.release(b.block, b.size);
        live[k] = live.back();
        live.pop_back();
      }
    }
    for (const Live& b : live) {
      EXPECT_TRUE(marked(b, b.size));
      a.release(b.block, b.size);
    }
  }
}

// A block may be given back by another thread than the one that took it
// (libclang parses on a thread of its own): it then serves that thread's
// next blocks of its class, and the blocks both threads hold stay apart.
TEST(SmallBlocksTest, BlocksGoBackFromAnyThread)
{
  constexpr int kBlocks = 20000;
  std::vector<unsigned char*> theirs(kBlocks);
  std::thread([&] {
    for (int i = 0; i < kBlocks; i++) {
      theirs[i] = static_cast<unsigned char*>(small_blocks::allocate(48));
      std::memset(theirs[i], 0xA5, 48);
    }
  }).join();
  std::vector<unsigned char*> mine;
  for (int i = 0; i < kBlocks; i += 2) {
    ASSERT_TRUE(small_blocks::release(theirs[i]));
    mine.push_back(static_cast<unsigned char*>(small_blocks::allocate(40)));
    std::memset(mine.back(), 0x5A, 40);
  }
  // Every freed block was taken again, by this thread, for a block of its class.
  std::vector<unsigned char*> freed;
  for (int i = 0; i < kBlocks; i += 2)
    freed.push_back(theirs[i]);
  std::sort(freed.begin(), freed.end());
  std::vector<unsigned char*> taken = mine;
  std::sort(taken.begin(), taken.end());
  EXPECT_EQ(taken, freed);
  for (int i = 1; i < kBlocks; i += 2)
    for (int j = 0; j < 48; j++)
      ASSERT_EQ(theirs[i][j], 0xA5) << "block " << i;
  for (int i = 1; i < kBlocks; i += 2)
    small_blocks::release(theirs[i]);
  for (unsigned char* p : mine)
    small_blocks::release(p);
  EXPECT_FALSE(small_blocks::release(nullptr));
  int on_the_stack = 0;
  EXPECT_FALSE(small_blocks::release(&on_the_stack));
}

}  // namespace
