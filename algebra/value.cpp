#include "algebra/value.h"

#include "support/failure.h"

void value_overflow(const char* where)
{
  throw BeyondTheIntegers(cat(where, ": integer overflow", kBeyondTheIntegers));
}
