// The error of an input the front-end cannot accept.
#ifndef VORL_FRONTEND_FATAL_ERROR_H
#define VORL_FRONTEND_FATAL_ERROR_H

#include <stdexcept>
#include <string>

/// What frontend_fatal() throws: the message is the whole line for the user
/// ("prog.c:3:5: error: ..."); the run ends with status 1.
class FrontendError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Throws FrontendError(message).
[[noreturn]] void frontend_fatal(const std::string& message);

#endif
