// The memory of the solvers' big integers. isl keeps every entry of its
// tableaux as a GMP integer, and GMP allocates, grows and frees the limbs of
// each one on its own: a tableau of 1,000 rows by 300 columns makes 300,000
// small blocks. GMP takes them from the small blocks' free lists
// (support/small_blocks.h), larger ones from the C library.
//
// Ownership: as support/small_blocks.h; a block given back goes to its list.
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
