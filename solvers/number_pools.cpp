#include "solvers/number_pools.h"

#include <gmp.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "support/sanitizers.h"

namespace {

constexpr std::size_t kUnit = sizeof(mp_limb_t);
// Blocks of 1 to kSizes units come from the pools; larger ones from malloc.
constexpr std::size_t kSizes = 8;
constexpr std::size_t kLargest = kSizes * kUnit;
constexpr std::size_t kChunk = std::size_t(1) << 20;

struct FreeBlock {
  FreeBlock* next;
};

// A chunk starts with the address of the chunk before it: every chunk stays
// reachable from `last_chunk` (leak checkers see them kept, not lost).
struct Chunk {
  Chunk* previous;
};

FreeBlock* free_blocks[kSizes];
Chunk* last_chunk = nullptr;
char* carve_next = nullptr;
char* carve_end = nullptr;
void (*refused)() = nullptr;  // the hook given to keep_numbers_in_pools()

// GMP cannot take a null block: without a hook, or with one that returns,
// the run ends all the same.
[[noreturn]] void refused_for_good()
{
  if (refused)
    refused();
  std::abort();
}

void* system_block(std::size_t size)
{
  void* p = std::malloc(size);
  if (!p)
    refused_for_good();
  return p;
}

// The list of a block of `size` bytes (1 <= size <= kLargest).
std::size_t list_of(std::size_t size) { return (size + kUnit - 1) / kUnit - 1; }

}  // namespace

void* number_pools::allocate(std::size_t size)
{
  if (size == 0 || size > kLargest)
    return system_block(size == 0 ? 1 : size);
  std::size_t k = list_of(size);
  if (FreeBlock* b = free_blocks[k]) {
    free_blocks[k] = b->next;
    return b;
  }
  std::size_t bytes = (k + 1) * kUnit;
  if (static_cast<std::size_t>(carve_end - carve_next) < bytes) {
    Chunk* c = static_cast<Chunk*>(system_block(kChunk));
    c->previous = last_chunk;
    last_chunk = c;
    carve_next = reinterpret_cast<char*>(c) + kUnit;
    carve_end = reinterpret_cast<char*>(c) + kChunk;
  }
  void* p = carve_next;
  carve_next += bytes;
  return p;
}

void number_pools::release(void* p, std::size_t size)
{
  if (!p)
    return;
  if (size == 0 || size > kLargest) {
    std::free(p);
    return;
  }
  FreeBlock* b = static_cast<FreeBlock*>(p);
  std::size_t k = list_of(size);
  b->next = free_blocks[k];
  free_blocks[k] = b;
}

void* number_pools::reallocate(void* p, std::size_t old_size, std::size_t size)
{
  bool was_small = old_size != 0 && old_size <= kLargest;
  bool small = size != 0 && size <= kLargest;
  if (was_small && small && list_of(old_size) == list_of(size))
    return p;
  if (!was_small && !small) {
    void* q = std::realloc(p, size == 0 ? 1 : size);
    if (!q)
      refused_for_good();
    return q;
  }
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
