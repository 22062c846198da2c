// The heap on huge pages. The analysis makes and frees millions of small
// blocks (the solvers' big integers above all, a tableau of 1,000 rows by
// 300 columns holds 300,000 of them) over a heap of tens of megabytes: on
// 4 KB pages, every first touch of a page is a fault of its own, and blocks
// freed back to the system are faulted in again at the next large problem.
//
// Ownership: nothing is given or kept; the heap stays the allocator's.
#ifndef VORL_SUPPORT_HUGE_PAGES_H
#define VORL_SUPPORT_HUGE_PAGES_H

/// Reserves the heap in large steps, keeps what is freed for later blocks
/// (large blocks included), and asks the system to back the first step with
/// huge pages. Call once, first thing in main(), before the heap grows; it
/// does nothing where the C library or the system does not allow it (other
/// allocators, huge pages disabled), and the run is the same either way.
void keep_heap_on_huge_pages();

#endif
