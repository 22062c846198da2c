#include "driver/command_line.h"

#include <sys/stat.h>

namespace {

bool starts_with(const std::string& text, const std::string& prefix)
{
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool is_tool_switch(const std::string& a)
{
  return a == "-verbose" || a == "-v" || a == "-asap" || a == "-alap";
}

// -D, -U, -I with their value in the next argument.
bool takes_value(const std::string& a) { return a == "-D" || a == "-U" || a == "-I"; }

bool is_frontend_switch(const std::string& a)
{
  return starts_with(a, "-D") || starts_with(a, "-U") || starts_with(a, "-I") ||
         starts_with(a, "-std=");
}

CommandLine wrong(const std::string& error)
{
  CommandLine line;
  line.request = CommandLine::Request::Wrong;
  line.error = error;
  return line;
}

}  // namespace

CommandLine read_command_line(const std::vector<std::string>& argv)
{
  CommandLine line;
  if (argv.size() <= 1)
    return wrong("");
  for (const std::string& a : argv)
    if (a == "-h" || a == "--help" || a == "-?") {
      line.request = CommandLine::Request::Help;
      return line;
    } else if (a == "--version") {
      line.request = CommandLine::Request::Version;
      return line;
    }
  line.arguments.push_back(argv[0]);
  for (size_t k = 1; k < argv.size(); k++) {
    const std::string& a = argv[k];
    if (a == "-o" || (starts_with(a, "-o") && a.size() > 2)) {
      if (a == "-o" && k + 1 >= argv.size())
        return wrong("missing file name after '-o'");
      line.output = a == "-o" ? argv[++k] : a.substr(2);
      if (line.output.empty())
        return wrong("empty file name after '-o'");
    } else if (takes_value(a)) {
      line.arguments.push_back(a);
      if (k + 1 < argv.size())
        line.arguments.push_back(argv[++k]);
    } else if (is_tool_switch(a) || is_frontend_switch(a)) {
      line.arguments.push_back(a);
    } else if (starts_with(a, "-")) {
      return wrong("unknown option '" + a + "'");
    } else {
      line.inputs.push_back(a);
      line.arguments.push_back(a);
    }
  }
  return line;
}

bool same_file(const std::string& a, const std::string& b)
{
  if (a == b)
    return true;
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}
