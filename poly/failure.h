// Ending the process on an impossible input or a broken invariant.
//
// Every "ends the process" of the tool goes through fail(): the message is
// written, followed by an end of line, on the chosen stream, both standard
// streams are flushed, and the process exits with the given status.
#ifndef VORL_POLY_FAILURE_H
#define VORL_POLY_FAILURE_H

#include <sstream>
#include <string>

enum class Stream { Out, Err };

[[noreturn]] void fail(Stream stream, const std::string& message, int status = 1);

// Concatenates any streamable values into one string: cat("rank ", 3) is "rank 3".
template <typename... Parts>
std::string cat(const Parts&... parts)
{
  std::ostringstream os;
  ((os << parts), ...);
  return os.str();
}

#endif
