// vorl [options] program.c
#include <exception>
#include <iostream>

#include "codegen/bottom_limit.h"
#include "driver/preprocessor.h"
#include "frontend/sg_project.h"
#include "poly/options.h"
#include "program/program.h"

int main(int argc, char** argv)
{
  if (argc == 1)
    Options::help();
  try {
    SgProject* project = frontend(argc, argv);
    Options::set_options(project->get_originalCommandLineArgumentList());
    if (project->numberOfFiles() == 0)
      Options::help();
    project = preprocess_latency(project);
    Program* program = Program::from_Sage(project);
    auto [maps, resources] = extract_latency(program);
    bottom_limit(program, maps[0], maps[1], maps[2], resources);
  } catch (const char* text) {
    std::cerr << text << std::endl;
  } catch (const std::exception& e) {
    std::cerr << "vorl: " << e.what() << std::endl;
  }
  return 1;
}
