// Small blocks for the whole process. The analysis makes and frees millions
// of blocks of a few dozen bytes (the nodes of expressions, constraints and
// containers, the limbs of the solvers' big integers); the C library's
// allocator spends a sixth of the run on them. Blocks of up to kLargest bytes
// come instead from free lists, one per size class and per thread, carved
// from spans of one reserved region: a block's class is found from its
// address alone, so a block may be given back without its size, and from any
// thread. The C++ allocation functions of the process (operator new and
// delete, the libraries' calls included) are defined with them, except under
// the address sanitizer.
//
// Ownership: the region is reserved at the first allocation and kept until
// the process ends; a freed block goes back to a list of its class (the
// freeing thread's), for the next block of that class.
#ifndef VORL_SUPPORT_SMALL_BLOCKS_H
#define VORL_SUPPORT_SMALL_BLOCKS_H

#include <cstddef>

namespace small_blocks {

constexpr std::size_t kLargest = 256;

/// A block of at least `size` bytes (0 <= size <= kLargest), aligned on 16
/// bytes (on 8 for the class of 8 bytes and less), given to the caller; null
/// when the region is full or could not be reserved: the caller then takes
/// its block elsewhere.
void* allocate(std::size_t size) noexcept;
/// Takes back a block of allocate() and returns true; returns false, and
/// does nothing, for any other address (null included).
bool release(void* block) noexcept;
/// The bytes a block of allocate() can hold (its class's size); 0 for any
/// other address.
std::size_t capacity(const void* block) noexcept;

}  // namespace small_blocks

#endif
