#include "solvers/number_pools.h"

#include <gmp.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "support/sanitizers.h"
#include "support/small_blocks.h"

namespace {

void (*refused)() = nullptr;  // the hook given to keep_numbers_in_pools()

// GMP cannot take a null block: without a hook, or with one that returns,
// the run ends all the same.
[[noreturn]] void refused_for_good()
{
  if (refused)
    refused();
  std::abort();
}

}  // namespace

void* number_pools::allocate(std::size_t size)
{
  if (size <= small_blocks::kLargest)
    if (void* p = small_blocks::allocate(size))
      return p;
  void* p = std::malloc(size == 0 ? 1 : size);
  if (!p)
    refused_for_good();
  return p;
}

void number_pools::release(void* p, std::size_t)
{
  if (!small_blocks::release(p))
    std::free(p);
}

void* number_pools::reallocate(void* p, std::size_t old_size, std::size_t size)
{
  std::size_t room = small_blocks::capacity(p);
  if (room == 0 && size > small_blocks::kLargest) {
    void* q = std::realloc(p, size);
    if (!q)
      refused_for_good();
    return q;
  }
  if (room != 0 && size <= room)
    return p;
  void* q = allocate(size);
  std::memcpy(q, p, old_size < size ? old_size : size);
  release(p, old_size);
  return q;
}

void keep_numbers_in_pools(void (*out_of_memory)())
{
#ifndef VORL_ADDRESS_SANITIZER
  refused = out_of_memory;
  mp_set_memory_functions(number_pools::allocate, number_pools::reallocate, number_pools::release);
#else
  (void)out_of_memory;
#endif
}
