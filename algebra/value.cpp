#include "algebra/value.h"

#include "support/failure.h"

void value_overflow(const char* where)
{
  fail(Stream::Err, cat(where, ": integer overflow", kBeyondTheIntegers));
}
