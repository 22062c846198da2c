#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <random>
#include <vector>

#include "solvers/number_pools.h"

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

// Random allocations, reallocations and releases of pool sizes (1 to 64
// bytes, both sides of every limb boundary), of the sizes around them and of
// large ones. Every live block holds a mark of its own: a block that two live
// integers share, or a reallocation that loses bytes, shows as a wrong mark.
TEST(NumberPoolsTest, LiveBlocksKeepTheirContents)
{
  std::mt19937 rng(7u);
  auto pick = [&](std::size_t lo, std::size_t hi) {
    return std::uniform_int_distribution<std::size_t>(lo, hi)(rng);
  };
  auto size = [&]() { return pick(0, 9) == 0 ? pick(0, 700) : pick(1, 72); };
  std::vector<Live> live;
  unsigned char next_mark = 1;
  for (int step = 0; step < 200000; step++) {
    std::size_t what = live.empty() ? 0 : pick(0, 2);
    if (what == 0 && live.size() < 5000) {
      Live b{nullptr, size(), next_mark++};
      b.block = static_cast<unsigned char*>(number_pools::allocate(b.size));
      std::memset(b.block, b.mark, b.size);
      live.push_back(b);
      continue;
    }
    std::size_t k = pick(0, live.size() - 1);
    Live& b = live[k];
    ASSERT_TRUE(marked(b, b.size)) << "step " << step << ", a block of " << b.size << " bytes";
    if (what == 1) {
      std::size_t n = size();
      b.block = static_cast<unsigned char*>(number_pools::reallocate(b.block, b.size, n));
      ASSERT_TRUE(marked(b, b.size < n ? b.size : n)) << "step " << step << ", " << b.size << " -> " << n;
      b.size = n;
      std::memset(b.block, b.mark, b.size);
    } else {
      number_pools::release(b.block, b.size);
      live[k] = live.back();
      live.pop_back();
    }
  }
  for (const Live& b : live) {
    EXPECT_TRUE(marked(b, b.size));
    number_pools::release(b.block, b.size);
  }
}

}  // namespace
