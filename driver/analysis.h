// The tool as a library: one analysis of one C source, from its text to the
// text of out.c, in an analysis context of its own (algebra/analysis_context.h),
// so that analyses run one after the other in one process give what separate
// processes give. The vorl command is a shell over it.
//
// Nothing is written to the working directory: the caller writes out.c.
// What the analysis writes on standard output (the scheduler's lines, the
// messages of the latency reading) and on the error stream (the "Step N"
// progress, the traces) is recorded in the result, or reaches those streams
// as it is written, or both, as the request says.
//
// An input the analysis refuses, or an error of its layers (Failure,
// FrontendError, any other std::exception), ends the analysis: its one line,
// the one the vorl command writes, goes on its stream (recorded or echoed as
// the rest), and the result says Failed with the exit status. An allocation
// that fails (std::bad_alloc) leaves run_analysis() as it is, with the
// context and the streams put back.
//
// Ownership: values only; run_analysis() keeps nothing of the request, and
// the result owns everything it holds.
#ifndef VORL_DRIVER_ANALYSIS_H
#define VORL_DRIVER_ANALYSIS_H

#include <optional>
#include <string>
#include <vector>

struct AnalysisRequest {
  /// The command line, program name first, as the front-end and the option
  /// table read it: the source file (the argument that names a ".c" file),
  /// the tool's switches (-verbose, -asap, -alap) and the preprocessor's
  /// (-D, -U, -I, -std=).
  std::vector<std::string> arguments;
  /// The source text, when it is held in memory: parsed as the file the
  /// command line names, which is then not read.
  std::optional<std::string> text;
  /// The name the progress gives the generated program
  /// ("Step 5. Generate the code --> out.c").
  std::string output_name = "out.c";
  /// Whether standard output and the error stream are written to.
  bool echo = false;
  /// Whether what is written to them is recorded in the result.
  bool record = true;

  /// The request for the source file at path, with the given switches.
  static AnalysisRequest for_file(const std::string& path, const std::vector<std::string>& switches = {});
  /// The request for text held in memory, named path in the messages.
  static AnalysisRequest for_text(const std::string& path, const std::string& text,
                                  const std::vector<std::string>& switches = {});
};

/// What the generated program is written from, for one of the two limits,
/// as printed text: one entry per statement of the program scheduled (the
/// whole program for red, the instances beyond the red limit for green).
struct LimitSide {
  /// The schedule of each statement ("[(2*N)+(-1*i)]").
  std::vector<std::string> schedules;
  /// The count of each statement's instances per date: its pieces, each
  /// "domain: count" with the domain as C code.
  std::vector<std::string> counts;
  /// The hull of the dates of all statements, as C code.
  std::string level_domain;
};

/// The ingredients of the two limits.
struct LimitIngredients {
  int nb_cpu = 0;
  int nb_gpu = 0;
  LimitSide red;
  LimitSide green;
};

struct AnalysisResult {
  enum class Outcome {
    /// The analysis ran to its end: out_c holds the generated program.
    Done,
    /// The command line names no source file (program.c): nothing ran.
    NoSource,
    /// The analysis stopped: failure holds its line.
    Failed
  };
  Outcome outcome = Outcome::NoSource;
  /// The status the vorl command ends with: 0 when Done, else 1 or the
  /// failure's own.
  int status = 1;
  /// The line that reports the failure (Failed), without its end of line.
  std::string failure;
  /// The red schedules, then the green ones, as the progress prints them
  /// ("  Statement #0: [...]", one line each), after a "red:" and a "green:" line.
  std::string schedules;
  LimitIngredients limits;
  /// The text of out.c.
  std::string out_c;
  /// What was written on standard output (when recorded).
  std::string output;
  /// What was written on the error stream (when recorded).
  std::string diagnostics;
};

/// Runs the whole analysis of the request's source.
AnalysisResult run_analysis(const AnalysisRequest& request);

#endif
