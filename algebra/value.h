// The integer type of every coefficient, constant, matrix entry, solver
// value and date of the analysis, and its overflow-checked arithmetic.
//
// Latencies and constant bounds are read capped at 10^9, so their products
// (a date, a Farkas coefficient) need 64 bits. A result beyond 64 bits ends
// the run with one message naming the operation (see kBeyondTheIntegers).
//
// Ownership: plain values; nothing is kept.
#ifndef VORL_ALGEBRA_VALUE_H
#define VORL_ALGEBRA_VALUE_H

#include <cstdint>
#include <vector>

using Value = std::int64_t;

/// A coefficient row: [counters | parameters | constant] or a constraint row
/// [kind | counters | parameters | constant].
using ValueRow = std::vector<Value>;

/// Ends the run: the operation named by where left the 64-bit integers
/// (throws BeyondTheIntegers).
[[noreturn]] void value_overflow(const char* where);

/// a + b, a - b, a * b and -a, or value_overflow(where).
inline Value checked_add(Value a, Value b, const char* where)
{
  Value r;
  if (__builtin_add_overflow(a, b, &r))
    value_overflow(where);
  return r;
}

inline Value checked_sub(Value a, Value b, const char* where)
{
  Value r;
  if (__builtin_sub_overflow(a, b, &r))
    value_overflow(where);
  return r;
}

inline Value checked_mul(Value a, Value b, const char* where)
{
  Value r;
  if (__builtin_mul_overflow(a, b, &r))
    value_overflow(where);
  return r;
}

inline Value checked_neg(Value a, const char* where) { return checked_sub(0, a, where); }

/// acc + a * b, checked.
inline Value checked_mul_add(Value acc, Value a, Value b, const char* where)
{
  return checked_add(acc, checked_mul(a, b, where), where);
}

#endif
