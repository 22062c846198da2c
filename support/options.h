// The option table of an analysis: the tool's switches, read from the command
// line before the analysis starts and only read afterwards.
//
// Ownership: values only; the table of the analysis under way is
// AnalysisContext::options, reached by options() (both in
// algebra/analysis_context.h).
#ifndef VORL_SUPPORT_OPTIONS_H
#define VORL_SUPPORT_OPTIONS_H

#include <list>
#include <ostream>
#include <string>

struct Options {
  /// The dependence graphs and the scheduler's traces, on the error stream
  /// ("-verbose" or "-v").
  bool verbose = false;
  /// "-asap" and "-alap": accepted, without effect.
  bool asap = false;
  bool alap = false;

  /// The switches "-verbose" (or "-v"), "-asap" and "-alap" among the
  /// arguments; every other argument is left to the other readers of the
  /// command line.
  static Options from_arguments(const std::list<std::string>& arguments);
  /// Writes the usage text.
  static void print_usage(std::ostream& os);
};

#endif
