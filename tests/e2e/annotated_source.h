// The annotated C program as the end-to-end checker reads it, straight from
// its text and independently of vorl: the machine and the latencies of the
// pragmas, where each annotated assignment starts, the size parameters
// (file-scope `int NAME = VALUE` declarations), and the instrumented C++
// version of the program that records every statement instance.
// Ownership: every function takes its arguments by const reference and gives
// back values; nothing is kept between calls.
#ifndef VORL_TESTS_E2E_ANNOTATED_SOURCE_H
#define VORL_TESTS_E2E_ANNOTATED_SOURCE_H

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace e2e {

/// A program the checker cannot read or instrument (its message says why).
struct CheckError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// An assignment preceded by `#pragma latency`, in textual order.
struct AnnotatedStatement {
  size_t start = 0;  ///< offset of its first character in the text
  long cpu_latency = 0, gpu_latency = 0;
  bool has_input = false, has_output = false;
  std::vector<int> inputs, outputs;  ///< right-hand-side positions of the pragmas
};

struct AnnotatedSource {
  std::string text;
  long cpus = 0, gpus = 0;  ///< `#pragma resource [cpus][gpus]`
  std::vector<AnnotatedStatement> statements;
  std::map<std::string, long> parameters;  ///< file-scope int initialisers
};

/// Reads the pragmas and size parameters of text; throws CheckError on a
/// malformed or misplaced pragma.
AnnotatedSource read_annotated_source(const std::string& text);

/// text with the initialisers of the named file-scope ints replaced; throws
/// CheckError for a name that has no such initialiser.
std::string with_parameter_values(const std::string& text, const std::map<std::string, long>& values);

/// For each annotated statement, the int variables declared in a function
/// (its counters, in these programs) that the statement mentions, in order of
/// declaration.
std::vector<std::vector<std::string>> counters_mentioned(const AnnotatedSource& source);

/// A C++ translation unit that runs the program and writes its trace (see
/// trace_runtime.h). Statement k's instances record the values of
/// recorded_names[k], in that order. Throws CheckError when the program
/// cannot be instrumented.
std::string instrumented_program(const AnnotatedSource& source,
                                 const std::vector<std::vector<std::string>>& recorded_names);

}  // namespace e2e

#endif
