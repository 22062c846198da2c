// The process-wide option table, filled from the command line before any
// analysis and only read afterwards. A key that nothing stored reads as 0.
#ifndef VORL_POLY_OPTIONS_H
#define VORL_POLY_OPTIONS_H

#include <list>
#include <map>
#include <string>

class Options {
 public:
  static std::map<std::string, int> option;
  static int pragma_scop;

  // Stores 0 under "verbose", "asap" and "alap", then reads the switches
  // "-?", "-asap" and "-alap"; every other argument is left to the front-end.
  static void set_options(const std::list<std::string>& arguments);
  // Writes the usage text on standard output and ends the process (status 1).
  [[noreturn]] static void help();
};

#endif
