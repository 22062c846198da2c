// vorl [options] program.c
#include <cstdio>
#include <exception>
#include <iostream>
#include <new>

#include "codegen/bottom_limit.h"
#include "codegen/code_generation.h"
#include "driver/command_line.h"
#include "driver/output_file.h"
#include "driver/preprocessor.h"
#include "driver/run_limits.h"
#include "frontend/sg_project.h"
#include "poly/current_step.h"
#include "poly/failure.h"
#include "poly/options.h"
#include "program/program.h"
#include "program/statement.h"

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

// Ends the run when the program has no assignment: nothing to schedule. The
// message names the resource pragma, or the start of the file.
void refuse_empty_program(const Program* program, const std::string& input)
{
  if (!program->statement.empty())
    return;
  SourcePosition at = program->resource_pragma;
  if (!at.known())
    at = SourcePosition{input, 1, 1, ""};
  fail(Stream::Out, at.prefix() + "Preprocessor::extract_latency: no assignment to analyse: expect "
                                  "at least one assignment with its latency pragma");
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
  set_current_step("reading the program");
  SgProject* project = frontend(line.arguments);
  options() = Options::from_arguments(project->get_originalCommandLineArgumentList());
  if (project->numberOfFiles() == 0)
    return wrong_command_line("no source file (program.c)");
  set_current_step("reading the pragmas");
  project = preprocess_latency(project);
  set_current_step("building the polyhedral model");
  Program* program = Program::from_Sage(project);
  set_current_step("reading the latencies");
  auto [maps, resources] = extract_latency(program);
  refuse_empty_program(program, project->get_file(0)->getFileName());
  LimitAnalysis analysis = analyze_bottom_limit(program, maps[0], maps[1], maps[2], resources);
  std::cerr << "Step 5. Generate the code --> " << line.output << std::endl;
  set_current_step("generating the code");
  std::string text = generate_program(analysis);
  disarm_run_limits();
  std::string error = write_file_whole(line.output, text);
  if (!error.empty()) {
    std::cerr << "vorl: " << error << std::endl;
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv)
{
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
  name_the_step_in_failures();
  try {
    return run(line);
  } catch (const std::bad_alloc&) {
    stop_for_memory();
  } catch (const char* text) {
    std::cerr << failure_line(text) << std::endl;
  } catch (const std::exception& e) {
    std::cerr << failure_line(e.what()) << std::endl;
  }
  return 1;
}
