// vorl [options] program.c
#include <exception>
#include <iostream>

#include "codegen/bottom_limit.h"
#include "codegen/code_generation.h"
#include "driver/command_line.h"
#include "driver/output_file.h"
#include "driver/preprocessor.h"
#include "frontend/sg_project.h"
#include "poly/options.h"
#include "program/program.h"

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
  SgProject* project = frontend(line.arguments);
  Options::set_options(project->get_originalCommandLineArgumentList());
  if (project->numberOfFiles() == 0)
    return wrong_command_line("no source file (program.c)");
  project = preprocess_latency(project);
  Program* program = Program::from_Sage(project);
  auto [maps, resources] = extract_latency(program);
  LimitAnalysis analysis = analyze_bottom_limit(program, maps[0], maps[1], maps[2], resources);
  std::cerr << "Step 5. Generate the code --> " << line.output << std::endl;
  std::string error = write_file_whole(line.output, generate_program(analysis));
  if (!error.empty()) {
    std::cerr << "vorl: " << error << std::endl;
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv)
{
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
  try {
    return run(line);
  } catch (const char* text) {
    std::cerr << text << std::endl;
  } catch (const std::exception& e) {
    std::cerr << "vorl: " << e.what() << std::endl;
  }
  return 1;
}
