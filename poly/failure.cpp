#include "poly/failure.h"

#include <cstdlib>
#include <iostream>
#include <regex>

#include "poly/current_step.h"

namespace {

bool naming_the_step = false;

// "file:line:column: " at the start: a message about a place of the input.
bool starts_with_place(const std::string& message)
{
  static const std::regex place("^[^\n]*?:[0-9]+:[0-9]+: ");
  return std::regex_search(message, place);
}

}  // namespace

void name_the_step_in_failures() { naming_the_step = true; }

std::string failure_line(const std::string& message)
{
  if (!naming_the_step || starts_with_place(message))
    return message;
  return std::string("vorl: analysis failed while ") + current_step() + ": " + message;
}

void fail(Stream stream, const std::string& message, int status)
{
  std::ostream& os = stream == Stream::Out ? std::cout : std::cerr;
  os << failure_line(message) << std::endl;
  std::cout.flush();
  std::cerr.flush();
  std::exit(status);
}
