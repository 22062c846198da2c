// The command line of vorl: the tool's own switches, recognised before the
// front-end sees the rest.
//
//   -h, --help, -?        the usage text on standard output
//   --version             the tool's name and version
//   -o FILE (or -oFILE)   where the generated program goes (default out.c)
//   --time-limit SECONDS, --memory-limit MB (or --time-limit=SECONDS, ...)
//                         the budget of the run (driver/run_limits.h)
//   -verbose, -v, -asap, -alap
//                         read into the option table (support/options.h)
//   -D, -U, -I, -std=     the front-end's switches, passed on
//
// Any other argument that starts with '-' is an unknown option. The
// arguments that are neither options nor values of options are the inputs.
//
// Ownership: values only.
#ifndef VORL_DRIVER_COMMAND_LINE_H
#define VORL_DRIVER_COMMAND_LINE_H

#include <string>
#include <vector>

struct CommandLine {
  enum class Request { Run, Help, Version, Wrong };
  /// What the command line asks for.
  Request request = Request::Run;
  /// Why the command line is wrong (Wrong); empty when only the usage is due.
  std::string error;
  /// The file the generated program is written to.
  std::string output = "out.c";
  /// Wall-clock seconds the run may take.
  unsigned time_limit = 600;
  /// Megabytes of memory the run may hold; 0 for the default (half the machine's).
  unsigned long long memory_limit = 0;
  /// The arguments that are not options, in order.
  std::vector<std::string> inputs;
  /// What the front-end and the option table read: the program name and
  /// every argument but -o and its file name.
  std::vector<std::string> arguments;
};

/// Reads argv (program name first). Help and version requests win over the
/// rest of the line; the first wrong argument makes the line wrong.
CommandLine read_command_line(const std::vector<std::string>& argv);

/// Whether two names designate one file: the same text, or the same device
/// and inode once both exist.
bool same_file(const std::string& a, const std::string& b);

#endif
