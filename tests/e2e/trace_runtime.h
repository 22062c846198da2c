// Runtime of the instrumented kernels that the end-to-end checker compiles
// (C++17, header only; not part of the test binaries). The checker turns the
// element type T of every traced array and scalar into Traced<T>, starts each
// statement instance with begin() (or begin_listed() when the statement's
// pragmas name its reads and writes), and the run writes trace.txt in the
// working directory, one event per line:
//   S k v0 v1 ...   an instance of statement k, with the values of the names
//                   the checker asked for
//   R addr / W addr a read / a write of the cell at addr by that instance
//   E               the kernel returned
// Ownership: the recorder owns the trace file; Traced<T> owns its value.
#ifndef VORL_TESTS_E2E_TRACE_RUNTIME_H
#define VORL_TESTS_E2E_TRACE_RUNTIME_H

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <initializer_list>
#include <memory>

namespace vorl_trace {

struct Recorder {
  FILE* out = nullptr;
  bool in_instance = false;  // events before the first instance are not recorded
  bool listed = false;       // the current instance's accesses were given by begin_listed
};

inline Recorder& recorder()
{
  static Recorder r;
  if (!r.out && !(r.out = fopen("trace.txt", "w"))) {
    perror("trace.txt");
    exit(2);
  }
  return r;
}

inline void access(char kind, const void* cell)
{
  Recorder& r = recorder();
  if (r.in_instance && !r.listed)
    fprintf(r.out, "%c %p\n", kind, cell);
}

inline void start(int statement, std::initializer_list<long> values, bool listed)
{
  Recorder& r = recorder();
  fprintf(r.out, "S %d", statement);
  for (long v : values)
    fprintf(r.out, " %ld", v);
  fputc('\n', r.out);
  r.in_instance = true;
  r.listed = listed;
}

// A new instance of statement k; its reads and writes are caught by Traced.
inline void begin(int statement, std::initializer_list<long> values)
{
  start(statement, values, false);
}

// A new instance whose reads and writes are the cells given here.
inline void begin_listed(int statement, std::initializer_list<long> values,
                         std::initializer_list<const void*> reads,
                         std::initializer_list<const void*> writes)
{
  start(statement, values, false);
  for (const void* c : reads)
    access('R', c);
  for (const void* c : writes)
    access('W', c);
  recorder().listed = true;
}

inline void finish()
{
  Recorder& r = recorder();
  fprintf(r.out, "E\n");
  fclose(r.out);
  r.out = nullptr;
}

template <class X>
const void* address(X& x)
{
  return std::addressof(x);
}

// A cell whose reads (conversion to T) and writes (assignments) are traced.
template <class T>
class Traced {
 public:
  Traced() : value_() {}
  explicit Traced(T v) : value_(v) {}
  Traced(const Traced& o) : value_(T(o)) {}

  operator T() const
  {
    access('R', this);
    return value_;
  }
  Traced& operator=(const Traced& o) { return *this = T(o); }
  Traced& operator=(T v)
  {
    access('W', this);
    value_ = v;
    return *this;
  }
  Traced& operator+=(T v) { return *this = T(*this) + v; }
  Traced& operator-=(T v) { return *this = T(*this) - v; }
  Traced& operator*=(T v) { return *this = T(*this) * v; }
  Traced& operator/=(T v) { return *this = T(*this) / v; }
  Traced& operator++() { return *this = T(*this) + 1; }
  Traced& operator--() { return *this = T(*this) - 1; }
  T operator++(int)
  {
    T old = *this;
    *this = old + 1;
    return old;
  }
  T operator--(int)
  {
    T old = *this;
    *this = old - 1;
    return old;
  }

 private:
  T value_;
};

}  // namespace vorl_trace

// Functions the kernels call without declaring them, or declare themselves:
// defined in the kernel's own namespace, so that a kernel's declaration
// (double sqrt(double);) names these and its arrays may reuse the names of
// the C library's functions (y1, j0, ...).
#define VORL_TRACE_KERNEL_FUNCTIONS                                  \
  inline double sqrt(double x) { return ::sqrt(x); }                 \
  inline double fabs(double x) { return ::fabs(x); }                 \
  inline double exp(double x) { return ::exp(x); }                   \
  inline double pow(double x, double y) { return ::pow(x, y); }      \
  inline double floor(double x) { return ::floor(x); }               \
  inline double ceil(double x) { return ::ceil(x); }                 \
  inline long min(long a, long b) { return a < b ? a : b; }          \
  inline long max(long a, long b) { return a < b ? b : a; }

#endif
