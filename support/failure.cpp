#include "support/failure.h"

#include <regex>

#include "support/current_step.h"

SourcePlace place_of(const std::string& message)
{
  static const std::regex place("^([^\n]*?):([0-9]+):([0-9]+): ");
  std::smatch m;
  SourcePlace r;
  if (!std::regex_search(message, m, place))
    return r;
  try {
    r.file = m[1].str();
    r.line = std::stoi(m[2].str());
    r.column = std::stoi(m[3].str());
  } catch (const std::exception&) {
    return SourcePlace{};
  }
  return r;
}

Failure::Failure(Stream stream, const std::string& message, int status, std::string step)
    : std::runtime_error(message),
      stream_(stream),
      status_(status),
      step_(std::move(step)),
      place_(place_of(message))
{
}

std::string Failure::report() const
{
  if (place_.known() || step_.empty())
    return what();
  return "vorl: analysis failed while " + step_ + ": " + what();
}

Unrepresentable::Unrepresentable(const std::string& message)
    : Failure(Stream::Err, message, 1, current_step())
{
}

BeyondTheIntegers::BeyondTheIntegers(const std::string& message, std::string value)
    : Failure(Stream::Err, message, 1, current_step()), value_(std::move(value))
{
}

void fail(Stream stream, const std::string& message, int status)
{
  throw Failure(stream, message, status, current_step());
}
