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

/// Plain words added to the messages of a value that left the 64-bit range
/// of the analysis.
constexpr const char* kBeyondTheIntegers =
    " (a date or coefficient beyond 9223372036854775807: the latencies and trip counts of this "
    "program are too large for the 64-bit integers of the analysis)";

[[noreturn]] void fail(Stream stream, const std::string& message, int status = 1);

/// From now on, a message of fail() that does not start with a place of the
/// input ("prog.c:7:12: ...") is written as the failure of the step the run
/// is in (poly/current_step.h): "vorl: analysis failed while <step>:
/// <message>". The vorl command turns this on; the tests of the layers see
/// the messages as they are.
void name_the_step_in_failures();

/// The line that fail() writes for message.
std::string failure_line(const std::string& message);

// Concatenates any streamable values into one string: cat("rank ", 3) is "rank 3".
template <typename... Parts>
std::string cat(const Parts&... parts)
{
  std::ostringstream os;
  ((os << parts), ...);
  return os.str();
}

#endif
