// Where a statement or pragma of the input was written, for the messages that
// refuse it.
//
// Ownership: a plain value.
#ifndef VORL_PROGRAM_SOURCE_POSITION_H
#define VORL_PROGRAM_SOURCE_POSITION_H

#include <string>

struct SourcePosition {
  std::string file;  // as named on the command line; empty when unknown
  int line = 0;      // 1-based; 0 when unknown
  int column = 0;
  std::string text;  // the construct as written, on one line

  bool known() const { return !file.empty(); }
  // "prog.c:7:12: text: ", or what is known of it; empty when unknown.
  std::string prefix() const
  {
    if (!known())
      return "";
    std::string r = file;
    if (line > 0)
      r += ":" + std::to_string(line) + ":" + std::to_string(column);
    r += ": ";
    if (!text.empty())
      r += text + ": ";
    return r;
  }
};

#endif
