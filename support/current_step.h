// The step of the run the process is in, as words that complete "while ..."
// ("computing the bottom levels (red limit)"): what a message that stops the
// run from outside any step (a time or memory limit) names.
//
// Ownership: set_current_step() keeps the pointer it is given, which must
// stay valid for the rest of the process (a string literal); current_step()
// gives it back, or "starting" before any step.
#ifndef VORL_SUPPORT_CURRENT_STEP_H
#define VORL_SUPPORT_CURRENT_STEP_H

/// Records the step the run enters.
void set_current_step(const char* description);

/// The step the run is in; safe to call from a signal handler.
const char* current_step();

#endif
