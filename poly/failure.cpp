#include "poly/failure.h"

#include <cstdlib>
#include <iostream>

void fail(Stream stream, const std::string& message, int status)
{
  std::ostream& os = stream == Stream::Out ? std::cout : std::cerr;
  os << message << std::endl;
  std::cout.flush();
  std::cerr.flush();
  std::exit(status);
}
