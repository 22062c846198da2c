// The end-to-end checker: runs vorl on an annotated C program, compiles and
// runs the out.c it writes, and checks the printed red and green limits and
// the schedules vorl listed against an independent brute force: the program
// itself, instrumented, enumerates the statement instances and the cells they
// touch (annotated_source.h, instances.h).
// Ownership: values only; each check works in a scratch folder of its own,
// removed at the end unless VORL_E2E_KEEP is set in the environment.
#ifndef VORL_TESTS_E2E_CHECKER_H
#define VORL_TESTS_E2E_CHECKER_H

#include <map>
#include <string>
#include <vector>

#include "tests/e2e/annotated_source.h"
#include "tests/e2e/instances.h"

namespace e2e {

/// One disagreement: which check, and what was seen.
struct Finding {
  std::string check;
  std::string detail;
};

struct CheckResult {
  std::vector<Finding> findings;
  int vorl_status = -1;
  double vorl_seconds = 0;
  std::string printed;  ///< what out.c printed
  std::string folder;   ///< the scratch folder, when kept

  bool passed() const { return findings.empty(); }
  /// One line per finding, for a test failure message.
  std::string summary() const;
};

struct CheckOptions {
  std::string vorl;                ///< the vorl command
  int vorl_timeout_seconds = 300;  ///< a longer run counts as a hang
};

/// The whole check of the program `text`, saved as `name`.c for vorl.
CheckResult check_program(const std::string& name, const std::string& text, const CheckOptions& options);

/// The checks that follow vorl's run: its error stream (with -verbose) and
/// what out.c printed and its exit status, against the instances of the
/// program, instrumented and run in `folder`.
std::vector<Finding> judge(const std::string& folder, const AnnotatedSource& source,
                           const std::string& vorl_error_stream, const std::string& printed, int out_status);

/// The instances of the program, instrumented, built and run in `folder`;
/// statement k's record the values of names[k]. Throws CheckError.
std::vector<Instance> traced_instances(const std::string& folder, const AnnotatedSource& source,
                                       const std::vector<std::vector<std::string>>& names);

/// A fresh folder under the test temporary directory, removed on destruction
/// unless `keep`.
class ScratchFolder {
 public:
  explicit ScratchFolder(bool keep = false);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool keep_;
};

/// The exit status of a shell command, -1 when it did not exit.
int shell(const std::string& command);
std::string slurp(const std::string& path);
void spit(const std::string& path, const std::string& text);

}  // namespace e2e

#endif
