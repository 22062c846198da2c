#include "poly/options.h"

#include <iostream>

#include "poly/failure.h"

std::map<std::string, int> Options::option;
int Options::pragma_scop = 0;

void Options::set_options(const std::list<std::string>& arguments)
{
  option["verbose"] = 0;
  option["asap"] = 0;
  option["alap"] = 0;
  for (const std::string& a : arguments) {
    if (a == "-?")
      help();
    else if (a == "-alap")
      option["alap"] = 1;
    else if (a == "-asap")
      option["asap"] = 1;
    else if (a == "-verbose" || a == "-v")
      option["verbose"] = 1;
  }
}

void Options::help()
{
  std::cout << "vorl: a polyhedral scheduler helper\n"
            << "Finds the red and green bottom-level limits of affine loop nests\n"
            << "\n"
            << "Usage: vorl [options] program.c\n"
            << "options:\n";
  fail(Stream::Out, "  -verbose                 Detailed steps (todo)");
}
