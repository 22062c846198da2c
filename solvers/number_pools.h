// The memory of the solvers' big integers. isl keeps every entry of its
// tableaux as a GMP integer, and GMP allocates, grows and frees the limbs of
// each one on its own: a tableau of 1,000 rows by 300 columns makes 300,000
// small blocks, and the allocator's general path is a good part of the
// solvers' time. Blocks of up to a few limbs come instead from free lists,
// one per size, carved from large chunks; GMP gives a block's size on every
// reallocation and release, so no block needs a header.
//
// Ownership: the chunks are kept until the process ends (a freed block goes
// back to its list, for the next integer of its size).
#ifndef VORL_SOLVERS_NUMBER_POOLS_H
#define VORL_SOLVERS_NUMBER_POOLS_H

#include <cstddef>

/// Makes GMP take its blocks from the pools; out_of_memory is called, and
/// must not return, when the system refuses memory. Call once, first thing in
/// main(), before any big integer exists. Under the address sanitizer GMP
/// keeps the C library's allocator, so that the sanitizer sees every block.
void keep_numbers_in_pools(void (*out_of_memory)());

// The three functions GMP is given, usable on their own: sizes in bytes, a
// block given back (reallocated or freed) with the size it was last given.
namespace number_pools {
void* allocate(std::size_t size);
void* reallocate(void* block, std::size_t old_size, std::size_t size);
void release(void* block, std::size_t size);
}  // namespace number_pools

#endif
