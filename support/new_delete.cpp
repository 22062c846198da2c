// The C++ allocation functions of the whole process (the libraries' included)
// take their small blocks from support/small_blocks.h, the others from the C
// library. Under the address sanitizer they are left as they are, so that the
// sanitizer sees every block.
#include <cstdlib>
#include <new>

#include "support/sanitizers.h"
#include "support/small_blocks.h"

#ifndef VORL_ADDRESS_SANITIZER

namespace {

void* block_of(std::size_t size)
{
  if (size <= small_blocks::kLargest)
    if (void* p = small_blocks::allocate(size))
      return p;
  for (;;) {
    if (void* p = std::malloc(size == 0 ? 1 : size))
      return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler)
      throw std::bad_alloc();
    handler();
  }
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
