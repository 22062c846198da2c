// The one error of the analysis.
//
// Library code never ends the process: an impossible input or a broken
// invariant throws a Failure through fail(). The Failure carries the message
// as written, the stream it belongs on, the exit status and the step the run
// was in; the vorl command reports it once (Failure::report()) and exits with
// its status. Callers of the library catch it like any std::exception.
#ifndef VORL_SUPPORT_FAILURE_H
#define VORL_SUPPORT_FAILURE_H

#include <sstream>
#include <stdexcept>
#include <string>

enum class Stream { Out, Err };

/// Plain words added to the messages of a value that left the 64-bit range
/// of the analysis.
constexpr const char* kBeyondTheIntegers =
    " (a date or coefficient beyond 9223372036854775807: the latencies and trip counts of this "
    "program are too large for the 64-bit integers of the analysis)";

/// A place of the user's input named at the start of a message
/// ("prog.c:7:12: ..."); line and column are 0 when the message names none.
struct SourcePlace {
  std::string file;
  int line = 0;
  int column = 0;
  bool known() const { return line > 0; }
};

/// What fail() throws. Value type: copies its strings.
class Failure : public std::runtime_error {
 public:
  Failure(Stream stream, const std::string& message, int status, std::string step);

  Stream stream() const { return stream_; }
  int status() const { return status_; }
  /// The step of the run when it was thrown (support/current_step.h).
  const std::string& step() const { return step_; }
  /// The place of the input the message starts with, if any.
  const SourcePlace& place() const { return place_; }

  /// The line the vorl command writes: the message when it names a place of
  /// the input or no step is known, else "vorl: analysis failed while
  /// <step>: <message>".
  std::string report() const;

 private:
  Stream stream_;
  int status_;
  std::string step_;
  SourcePlace place_;
};

/// A result the rows of the model cannot hold (a division, local variables
/// in a solver's answer): callers that have another way catch it; elsewhere
/// it is an ordinary failure of status 1.
class Unrepresentable : public Failure {
 public:
  explicit Unrepresentable(const std::string& message);
};

/// A value beyond the 64-bit integers of the analysis (see
/// kBeyondTheIntegers): an ordinary failure of status 1, which a caller that
/// knows the construct of the input behind the value places there. Value
/// type: copies its strings.
class BeyondTheIntegers : public Failure {
 public:
  /// value: the value in decimal, when it is known.
  explicit BeyondTheIntegers(const std::string& message, std::string value = "");
  const std::string& value() const { return value_; }

 private:
  std::string value_;
};

/// Throws Failure(stream, message, status, the current step).
[[noreturn]] void fail(Stream stream, const std::string& message, int status = 1);

/// The place a message starts with ("file:line:column: "), if any.
SourcePlace place_of(const std::string& message);

// Concatenates any streamable values into one string: cat("rank ", 3) is "rank 3".
template <typename... Parts>
std::string cat(const Parts&... parts)
{
  std::ostringstream os;
  ((os << parts), ...);
  return os.str();
}

#endif
