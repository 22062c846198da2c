// Expectations on the errors of library code.
//
// EXPECT_FAILURE(statement, status, pattern): the statement throws a Failure
// of that exit status (a FrontendError counts as status 1), and what it wrote
// on the standard streams followed by the message and an end of line matches
// the POSIX extended pattern (searched, as in a death test).
#ifndef VORL_TESTS_EXPECT_FAILURE_H
#define VORL_TESTS_EXPECT_FAILURE_H

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <regex.h>
#include <sstream>
#include <string>

#include "frontend/fatal_error.h"
#include "support/failure.h"

namespace vorl_test {

inline ::testing::AssertionResult fails_with(const std::function<void()>& statement, int status,
                                             const std::string& pattern)
{
  std::ostringstream written;
  std::streambuf* out = std::cout.rdbuf(written.rdbuf());
  std::streambuf* err = std::cerr.rdbuf(written.rdbuf());
  std::string text;
  int got = -1;
  bool thrown = false;
  try {
    statement();
  } catch (const Failure& e) {
    thrown = true;
    got = e.status();
    text = e.what();
  } catch (const FrontendError& e) {
    thrown = true;
    got = 1;
    text = e.what();
  }
  std::cout.rdbuf(out);
  std::cerr.rdbuf(err);
  std::string all = written.str() + text + "\n";
  if (!thrown)
    return ::testing::AssertionFailure() << "no failure; wrote: " << written.str();
  if (got != status)
    return ::testing::AssertionFailure() << "status " << got << ", expected " << status << ": " << all;
  regex_t re;
  if (regcomp(&re, pattern.c_str(), REG_EXTENDED | REG_NOSUB) != 0)
    return ::testing::AssertionFailure() << "bad pattern " << pattern;
  bool matches = regexec(&re, all.c_str(), 0, nullptr, 0) == 0;
  regfree(&re);
  if (!matches)
    return ::testing::AssertionFailure() << "the failure\n" << all << "does not match\n" << pattern;
  return ::testing::AssertionSuccess();
}

}  // namespace vorl_test

#define EXPECT_FAILURE(statement, status, pattern) \
  EXPECT_TRUE(::vorl_test::fails_with([&] { statement; }, status, pattern))

#endif
