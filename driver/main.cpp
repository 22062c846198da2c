// vorl [options] program.c
#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <iostream>
#include <new>

#include "driver/analysis.h"
#include "driver/command_line.h"
#include "driver/output_file.h"
#include "driver/run_limits.h"
#include "solvers/number_pools.h"
#include "support/child_process.h"
#include "support/current_step.h"
#include "support/failure.h"
#include "support/huge_pages.h"
#include "support/options.h"

#ifndef VORL_VERSION
#define VORL_VERSION "unknown"
#endif

namespace {

int wrong_command_line(const std::string& error)
{
  if (!error.empty())
    std::cerr << "vorl: " << error << "\n";
  Options::print_usage(std::cerr);
  return 1;
}

int run(const CommandLine& line)
{
  for (const std::string& input : line.inputs)
    if (same_file(input, line.output)) {
      std::cerr << "vorl: the output file " << line.output << " is the input file " << input
                << "; choose another output with -o FILE\n";
      return 1;
    }
  arm_run_limits({line.time_limit, line.memory_limit});
  // The counts' child processes are forked from a server forked now, while
  // the process is small.
  start_child_server();
  AnalysisRequest request;
  request.arguments = line.arguments;
  request.output_name = line.output;
  request.echo = true;
  request.record = false;
  AnalysisResult result = run_analysis(request);
  if (result.outcome == AnalysisResult::Outcome::NoSource)
    return wrong_command_line("no source file (program.c)");
  if (result.outcome == AnalysisResult::Outcome::Failed)
    return result.status;
  disarm_run_limits();
  std::string error = write_file_whole(line.output, result.out_c);
  if (!error.empty()) {
    std::cerr << "vorl: " << error << std::endl;
    return 1;
  }
  return 0;
}

// A standard stream that the caller closed is opened on /dev/null, so that
// no file or channel the run opens takes its number (what is written to the
// stream would go into it: the count server's channel, or out.c).
void keep_standard_streams()
{
  for (int fd = 0; fd <= 2; fd++)
    if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF)
      ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);  // the lowest free number: fd
}

}  // namespace

int main(int argc, char** argv)
{
  keep_heap_on_huge_pages();
  keep_numbers_in_pools(stop_for_memory);
  keep_standard_streams();
  // The error stream goes out a whole line at a time, so that the line of a
  // run stopped by its limits (driver/run_limits.h) starts a line of its own.
  std::setvbuf(stderr, nullptr, _IOLBF, BUFSIZ);
  std::cerr.unsetf(std::ios_base::unitbuf);
  CommandLine line = read_command_line(std::vector<std::string>(argv, argv + argc));
  switch (line.request) {
    case CommandLine::Request::Help:
      Options::print_usage(std::cout);
      return 0;
    case CommandLine::Request::Version:
      std::cout << "vorl " << VORL_VERSION << std::endl;
      return 0;
    case CommandLine::Request::Wrong:
      return wrong_command_line(line.error);
    case CommandLine::Request::Run:
      break;
  }
  // An allocation that fails ends the run with the memory limit's line.
  std::set_new_handler(stop_for_memory);
  try {
    return run(line);
  } catch (const std::bad_alloc&) {
    stop_for_memory();
  } catch (const std::exception& e) {
    std::cerr << Failure(Stream::Err, e.what(), 1, current_step()).report() << std::endl;
  }
  return 1;
}
