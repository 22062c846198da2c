#include "poly/value.h"

#include "poly/failure.h"

void value_overflow(const char* where)
{
  fail(Stream::Err, cat(where, ": integer overflow", kBeyondTheIntegers));
}
