#include "support/options.h"

Options Options::from_arguments(const std::list<std::string>& arguments)
{
  Options read;
  for (const std::string& a : arguments) {
    if (a == "-alap")
      read.alap = true;
    else if (a == "-asap")
      read.asap = true;
    else if (a == "-verbose" || a == "-v")
      read.verbose = true;
  }
  return read;
}

void Options::print_usage(std::ostream& os)
{
  os << "vorl: a polyhedral scheduler helper\n"
     << "Finds the red and green bottom-level limits of affine loop nests\n"
     << "\n"
     << "Usage: vorl [options] program.c\n"
     << "options:\n"
     << "  -o FILE                  Write the generated program to FILE (default out.c)\n"
     << "  -D NAME[=VALUE], -U NAME, -I DIR, -std=STANDARD\n"
     << "                           Preprocessor switches, as for a C compiler\n"
     << "  -verbose, -v             Detailed steps: the dependence graphs and the\n"
     << "                           scheduler's traces, on the error stream\n"
     << "  --time-limit SECONDS     Stop the analysis after SECONDS seconds (default 600)\n"
     << "  --memory-limit MB        Stop the analysis beyond MB megabytes of memory\n"
     << "                           (default half of the machine's physical memory)\n"
     << "  -asap, -alap             Accepted, without effect\n"
     << "  -h, --help, -?           This text\n"
     << "  --version                The version of vorl\n"
     << "\n"
     << "The generated program prints the red limit, then the green limit, for the\n"
     << "parameter values of program.c or those given as NAME=VALUE arguments;\n"
     << "with --profile, every date searched and its parallelism, as CSV.\n";
}
