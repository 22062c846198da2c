// Everything one analysis defines and that the code below the driver reads
// as if it were the only analysis of the process: the variable registry
// (whose ranks are matrix columns), the array registry, the option table,
// the creation count of polyhedra and the printing switches.
//
// It lives with the registry, the lowest layer that holds part of it; the
// layers above keep their part here as plain data (the arrays of program/,
// the count of polyhedra/, the switch of codegen/).
//
// There is always a current context: the process starts with one, and an
// AnalysisScope makes a fresh one current for its lifetime, then puts the
// previous one back. An analysis run inside its own scope sees nothing of the
// analyses before it, so that two analyses in one process give what two
// processes give. One thread: contexts are not shared between threads.
//
// What stays process-wide, and why:
// - the step the run is in (support/current_step.h): a signal handler reads it,
//   so it is a lock-free atomic; every analysis names its steps from its
//   first one on, and the last one stays for the messages written after it;
// - the caches of expressions and polyhedra belong to those objects and are
//   checked against the registry's sizes, and the objects of one analysis
//   are not handed to another;
// - constant tables (names of node kinds, regular expressions) never change.
//
// Ownership: an AnalysisScope owns its context and frees it when it ends;
// analysis_context() gives a reference that stays valid while that context
// is current.
#ifndef VORL_ALGEBRA_ANALYSIS_CONTEXT_H
#define VORL_ALGEBRA_ANALYSIS_CONTEXT_H

#include <map>
#include <memory>
#include <string>

#include "algebra/rank.h"
#include "support/options.h"

struct AnalysisContext {
  /// Counters, parameters, fresh names and typed variables, by rank.
  VariableRegistry registry;
  /// The arrays met in the program: name to number of dimensions (0 for a
  /// scalar); program/array.h reads and writes it.
  std::map<std::string, int> arrays;
  /// The switches of the command line.
  Options options;
  /// How many polyhedra were made so far: the next one's serial.
  unsigned long long polyhedra_made = 0;
  /// Counter leaves printed between parentheses (algebra/expression.h).
  bool parenthesise_counters = false;
  /// Index functions printed by their surrounding counters only
  /// (algebra/index_function.h).
  bool print_surrounding_index = false;
  /// An unbounded counter interval ends the run (codegen/code_generation.h).
  bool fail_on_unbounded = false;
};

/// The current context.
AnalysisContext& analysis_context();

/// The option table of the current context.
Options& options();

/// Makes a fresh, empty context current until it is destroyed, which puts
/// the previous one back. Scopes nest; each ends in the reverse order of
/// its creation.
class AnalysisScope {
 public:
  AnalysisScope();
  ~AnalysisScope();
  AnalysisScope(const AnalysisScope&) = delete;
  AnalysisScope& operator=(const AnalysisScope&) = delete;

  /// The context this scope made current.
  AnalysisContext& context() { return *context_; }

 private:
  std::unique_ptr<AnalysisContext> context_;
  AnalysisContext* previous_;
};

#endif
