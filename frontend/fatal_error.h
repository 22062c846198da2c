// Ending the process on an input the front-end cannot accept.
#ifndef VORL_FRONTEND_FATAL_ERROR_H
#define VORL_FRONTEND_FATAL_ERROR_H

#include <string>

// Writes the message and an end of line on the error stream, flushes both
// standard streams and ends the process with status 1.
[[noreturn]] void frontend_fatal(const std::string& message);

#endif
