// Small helpers shared by the tests of the algebra and the polyhedra.
// Include it after the headers of the types it prints, so that their
// operator<< are visible here.
#ifndef VORL_TESTS_POLY_POLY_TEST_SUPPORT_H
#define VORL_TESTS_POLY_POLY_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "algebra/inequation.h"
#include "polyhedra/count_code.h"
#include "polyhedra/polyhedron.h"
#include "support/ownership.h"

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
template <typename T>
std::unique_ptr<T> own(std::unique_ptr<T> p)
{
  return p;
}

// A new polyhedron of the constraints.
inline std::unique_ptr<Polyhedron> poly(
    std::initializer_list<std::unique_ptr<Inequation>> constraints)
{
  auto p = std::make_unique<Polyhedron>();
  for (const auto& c : constraints)
    p->add_constraint(c.get());
  return p;
}

// The union of the polyhedra, which it takes.
template <class... Members>
std::vector<std::unique_ptr<Polyhedron>> members(Members... p)
{
  std::vector<std::unique_ptr<Polyhedron>> u;
  (u.push_back(std::move(p)), ...);
  return u;
}

// What compiled counts need of the generated program: the library functions
// it declares, its integer macros and the count arithmetic.
inline std::string count_program_prelude()
{
  return std::string("int printf(const char*, ...);\nint dprintf(int, const char*, ...);\n"
                     "void exit(int);\n#define true 1\n#define false 0\n"
                     "#define floord(n,d) (((n)/(d)) - ((n)%(d) != 0 && (((n)<0) != ((d)<0))))\n"
                     "#define ceild(n,d) (((n)/(d)) + ((n)%(d) != 0 && (((n)<0) == ((d)<0))))\n"
                     "#define min(x,y) ((x)<(y)?(x):(y))\n#define max(x,y) ((x)<(y)?(y):(x))\n"
                     "#define div(a,b) floord(a,b)\n") +
         count_arithmetic_definitions();
}

// Compiles the C program with cc -Wall -Wextra, which must neither fail nor
// warn, runs it and returns its output (with its exit status when not 0).
inline std::string compile_and_run(const std::string& program)
{
  std::string pattern = testing::TempDir() + "vorl_compiled_XXXXXX";
  if (!mkdtemp(pattern.data())) {
    ADD_FAILURE() << "no temporary directory";
    return "";
  }
  std::filesystem::path dir(pattern);
  std::ofstream(dir / "count.c") << program;
  std::string d = dir.string();
  std::string cc = "cc -Wall -Wextra -o " + d + "/count " + d + "/count.c >" + d + "/log 2>&1";
  std::string output;
  if (std::system(cc.c_str()) != 0 || std::filesystem::file_size(dir / "log") != 0) {
    std::ifstream log(dir / "log");
    ADD_FAILURE() << "cc:\n" << log.rdbuf() << "\n" << program;
  } else {
    int status = std::system((d + "/count >" + d + "/out 2>&1").c_str());
    std::ifstream out(dir / "out");
    output = std::string(std::istreambuf_iterator<char>(out), {});
    if (status != 0)
      output += "(status " + std::to_string(WEXITSTATUS(status)) + ")\n";
  }
  std::filesystem::remove_all(dir);
  return output;
}

#endif
