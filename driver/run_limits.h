// The budget of one run: its wall-clock time and its memory.
//
// Once armed, a timer ticks ten times a second. When the run has lasted its
// time, or holds more resident memory than its ceiling, the tick writes one
// line on the error stream,
//   "vorl: analysis stopped: time limit of N s reached while <step>"
//   "vorl: analysis stopped: memory limit of N MB reached while <step>"
// (<step> from support/current_step.h) and ends the process with status 1.
// The limits are lifted before the generated program is written, so that
// they never stop a run with its output half done. The address space is
// capped too, at twice the ceiling and 1 GB more, so that one allocation far
// beyond the ceiling fails at once instead of swapping: such a failure
// (std::bad_alloc) ends the run with the memory line as well. AddressSanitizer
// builds reserve terabytes of address space: there the cap is left out and
// the ticks alone watch the memory. The child processes of the counting
// inherit the address-space cap.
//
// Ownership: process-wide state; the limits are values.
#ifndef VORL_DRIVER_RUN_LIMITS_H
#define VORL_DRIVER_RUN_LIMITS_H

struct RunLimits {
  /// Wall-clock seconds the run may take.
  unsigned seconds = 600;
  /// Megabytes of resident memory it may hold.
  unsigned long long megabytes = 0;
};

/// Half of the machine's physical memory, in megabytes: the default ceiling.
unsigned long long default_memory_limit_mb();

/// Starts the clock and the watch on memory. Once per process.
void arm_run_limits(const RunLimits& limits);

/// Stops the clock and the watch; a pending tick is ignored.
void disarm_run_limits();

/// Ends the run with the memory line (an allocation failed).
[[noreturn]] void stop_for_memory();

#endif
