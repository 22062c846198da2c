// Statement instances as the instrumented program recorded them, in
// execution order, and their memory dependences found by brute force on the
// cells they touched; then what the checker derives from dates: whether the
// dates respect the dependences with the latencies, and the first date that
// gathers enough instances.
// Ownership: values only.
#ifndef VORL_TESTS_E2E_INSTANCES_H
#define VORL_TESTS_E2E_INSTANCES_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct Instance {
  int statement = 0;
  std::vector<long> values;  ///< of the names recorded for its statement
  std::vector<std::uintptr_t> reads, writes;  ///< cells
};

/// The instances of a trace file's text (see trace_runtime.h); throws
/// CheckError on a malformed or unfinished trace.
std::vector<Instance> read_trace(const std::string& text);

/// `from` executes before `to`, and both touch a cell that one of them writes.
struct Dependence {
  size_t from, to;  ///< indices into the instance list
};

/// The dependences among the instances that `kept` selects (all when empty):
/// per cell, each write to the reads that follow it up to the next write and
/// to that write, and each read to the next write. The others follow by
/// transitivity. Each pair once, in order of the later instance, then of the
/// earlier.
std::vector<Dependence> dependences(const std::vector<Instance>& instances, const std::vector<bool>& kept = {});

using Date = std::vector<long>;

/// The latency that a dependence must leave between the dates of its two
/// instances: date(from) - date(to) >= latency(to) on some dimension d, with
/// date(from) >= date(to) on the dimensions before d (dates are bottom
/// levels: the later instance has the smaller date).
bool respects(const Date& from, const Date& to, long latency);

/// The lexicographically smallest date held by at least `threshold` of the
/// dates, if any.
std::optional<Date> first_date_with(const std::vector<Date>& dates, long threshold);

/// The line out.c prints for a limit: each component followed by a blank,
/// or "<colour>_bottom_level(): not found".
std::string limit_line(const std::optional<Date>& limit, const std::string& colour);

/// date padded with zeros to `length` components.
Date padded(Date date, size_t length);

}  // namespace e2e

#endif
