// The process-wide option table, filled from the command line before any
// analysis and only read afterwards. A key that nothing stored reads as 0.
//
// Ownership: static state only.
#ifndef VORL_SUPPORT_OPTIONS_H
#define VORL_SUPPORT_OPTIONS_H

#include <list>
#include <map>
#include <ostream>
#include <string>

class Options {
 public:
  static std::map<std::string, int> option;
  static int pragma_scop;

  // Stores 0 under "verbose", "asap" and "alap", then reads the switches
  // "-verbose" (or "-v"), "-asap" and "-alap"; every other argument is left
  // to the other readers of the command line.
  static void set_options(const std::list<std::string>& arguments);
  // Writes the usage text.
  static void print_usage(std::ostream& os);
};

#endif
