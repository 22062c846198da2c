// Small helpers shared by the tests of the algebra and the polyhedra.
// Include it after the headers of the types it prints, so that their
// operator<< are visible here.
#ifndef VORL_TESTS_POLY_POLY_TEST_SUPPORT_H
#define VORL_TESTS_POLY_POLY_TEST_SUPPORT_H

#include <memory>
#include <sstream>
#include <string>

// What operator<< writes of x.
template <typename T>
std::string text(const T& x)
{
  std::ostringstream os;
  os << x;
  return os.str();
}

// Takes a new object returned by an operation, so that the test frees it.
template <typename T>
std::unique_ptr<T> own(T* p)
{
  return std::unique_ptr<T>(p);
}

#endif
