#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <memory>
#include <sstream>

#include "algebra/analysis_context.h"
#include "polyhedra/count_code.h"
#include "polyhedra/enumeration_expression.h"
#include "algebra/inequation.h"
#include "polyhedra/polyhedron.h"
#include "solvers/polylib_wrapper.h"
#include "algebra/rank.h"
#include "tests/poly/poly_test_support.h"
#include "tests/expect_failure.h"

namespace {

using Ptr = std::unique_ptr<Expression>;

// A polynomial in N adopting its coefficients.
Ptr polynomial(std::vector<Expression*> coefficients)
{
  Ptr n(par("N")), r(new EnumerationExpression(coefficients, n.get()));
  del(coefficients);
  return r;
}

// Registry: parameters N (rank 0) and M (rank 1); "volume" is an int result.
class EnumerationTest : public ::testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
  void SetUp() override
  {
    create_parameter_rank("N");
    create_parameter_rank("M");
    n = par("N"), m = par("M");
    registry().full_variable_type["volume"] = TYPE_INT;
  }
  Ptr n, m;
};

// A random quasi-polynomial in N and M: fractions, periodic numbers and
// polynomials nested to the given depth.
Expression* random_count(std::mt19937& rng, int depth)
{
  auto pick = [&rng](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  int kind = depth == 0 ? 0 : pick(0, 2);
  if (kind == 0)
    return new Expression(pick(-9, 9), pick(1, 12));
  std::vector<Expression*> parts;
  for (int k = pick(1, kind == 1 ? 3 : 5); k > 0; k--)
    parts.push_back(random_count(rng, depth - 1));
  Expression* r = nullptr;
  if (kind == 1) {
    r = new EnumerationExpression(parts, pick(0, 1));
  } else {
    Ptr x(par(pick(0, 1) ? "N" : "M"));
    r = new EnumerationExpression(parts, x.get());
  }
  del(parts);
  return r;
}

// The compiled code of random quasi-polynomials gives what evaluate_int gives,
// at points where the residues of both parameters take every value.
TEST_F(EnumerationTest, CompiledCountsEqualTheirEvaluation)
{
  std::mt19937 rng(20260610u);
  std::string functions, calls, expected;
  for (int q = 0; q < 60; q++) {
    Ptr count(random_count(rng, 1 + q % 3));
    std::string name = "count_" + std::to_string(q);
    functions += "long long " + name + "(int N, int M)\n{\n  (void)N, (void)M;\n  return " +
                 exact_count_code(count.get()) + ";\n}\n";
    for (int point = 0; point < 12; point++) {
      int n = std::uniform_int_distribution<int>(-13, 13)(rng);
      int m = std::uniform_int_distribution<int>(-13, 13)(rng);
      std::string call = name + "(" + std::to_string(n) + ", " + std::to_string(m) + ")";
      calls += "  printf(\"%lld\\n\", " + call + ");\n";
      expected += std::to_string(count->evaluate_int({{0, n}, {1, m}})) + "\n";
    }
  }
  EXPECT_EQ(compile_and_run(count_program_prelude() + functions + "int main(void)\n{\n" + calls +
                            "  return 0;\n}\n"),
            expected);
}

// Counts of degree four at sizes of 10^5 exceed 64 bits on the way (the
// value times the denominator 24); the count itself fits. Beyond 64 bits, the
// program stops with a message.
TEST_F(EnumerationTest, CompiledCountsAreExactForLargeSizesAndStopOnOverflow)
{
  // The points of 0 <= i1 <= i2 <= i3 <= i4 <= N: (N+1)(N+2)(N+3)(N+4)/24.
  Ptr simplex = polynomial({new Expression(1), new Expression(25, 12), new Expression(35, 24),
                            new Expression(5, 12), new Expression(1, 24)});
  std::string functions = "long long simplex(int N)\n{\n  return " +
                          exact_count_code(simplex.get()) + ";\n}\n";
  auto run = [&functions](const std::string& calls) {
    return compile_and_run(count_program_prelude() + functions + "int main(void)\n{\n" + calls +
                           "  return 0;\n}\n");
  };
  std::string calls, expected;
  for (long long size : {0LL, 7LL, 65536LL, 100000LL}) {
    __int128 value = static_cast<__int128>(size + 1) * (size + 2) * (size + 3) * (size + 4) / 24;
    calls += "  printf(\"%lld\\n\", simplex(" + std::to_string(size) + "));\n";
    expected += std::to_string(static_cast<long long>(value)) + "\n";
  }
  EXPECT_EQ(run(calls), expected);
  EXPECT_EQ(run("  printf(\"%lld\\n\", simplex(2000000));\n"),
            "integer overflow while counting the instances of a date (parameter values too "
            "large?)\n(status 1)\n");
}

TEST_F(EnumerationTest, Stops)
{
}

}  // namespace
