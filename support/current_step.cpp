#include "support/current_step.h"

#include <atomic>

namespace {

std::atomic<const char*> step{"starting"};
static_assert(std::atomic<const char*>::is_always_lock_free, "read from a signal handler");

}  // namespace

void set_current_step(const char* description) { step.store(description); }

const char* current_step() { return step.load(); }
