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

// Enumerations adopting their parts.
Ptr periodic(std::vector<Expression*> values, int rank)
{
  Ptr r(new EnumerationExpression(values, rank));
  del(values);
  return r;
}
Ptr polynomial(std::vector<Expression*> coefficients)
{
  Ptr n(par("N")), r(new EnumerationExpression(coefficients, n.get()));
  del(coefficients);
  return r;
}
Ptr multivariate(std::map<std::set<int>, Expression*> monomials)
{
  Ptr r(new EnumerationExpression(monomials));
  del(monomials);
  return r;
}
std::string compiled(const Expression& e, const std::string& prefix = "")
{
  std::ostringstream os;
  e.compile(os, "volume", prefix);
  return os.str();
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
    n.reset(par("N")), m.reset(par("M"));
    registry().full_variable_type["volume"] = TYPE_INT;
  }
  Ptr n, m;
};

TEST_F(EnumerationTest, PrintsAndClones)
{
  Ptr per = periodic({v(1), v(2)}, 0);
  Ptr poly = polynomial({v(0), new Expression(1, 2), *n - 1, v(3)});
  Ptr multi = multivariate({{{}, v(2)}, {{0}, *n + 1}, {{0, 1}, new Expression(1, 2)}});
  EXPECT_EQ(text(*per), "[ 1 2 ]_N");
  EXPECT_EQ(text(*multi), "2 + (N+1)*N + 1/2*N.M");
  EXPECT_EQ(per->get_class() + "," + poly->get_class() + "," + multi->get_class() + "," +
                EnumerationExpression().get_class(),
            "periodic number,polynomial,multivariate_polynomial,undefined enumeration");
  EXPECT_TRUE(multi->is_a_multivariate_polynomial() && !multi->is_a_polynomial() && *per == *poly);
  Ptr copy(poly->clone());
  poly.reset();  // the clone owns its parts
  EXPECT_EQ(text(*copy), "0 + 1/2*N + (N-1)*N\xC2\xB2 + 3*N^3");
}

TEST_F(EnumerationTest, Evaluation)
{
  Ptr three(v(3)), four(v(4));
  // floor((N + 1) / 2) = [ 0 1/2 ]_N + 1/2 N: symbolic without N, a number with it.
  Ptr half = polynomial({periodic({v(0), new Expression(1, 2)}, 0).release(), new Expression(1, 2)});
  EXPECT_EQ(text(*Ptr(half->evaluate())), "[ 0 1/2 ]_N + 1/2*N");
  EXPECT_EQ(text(*Ptr(half->evaluate({{0, three.get()}}))), "2");
  for (int value : {-3, -2, 0, 3, 4, 7})
    EXPECT_EQ(half->evaluate_int({{0, value}}), value >= 0 ? (value + 1) / 2 : -(-value / 2));
  EXPECT_DOUBLE_EQ(half->evaluate_double({{0, 7.0}}), 4.0);
  Ptr triangle = polynomial({v(0), new Expression(1, 2), new Expression(1, 2)});
  EXPECT_EQ(triangle->evaluate_int({{0, 5}}), 15);

  Ptr per = periodic({v(1), *m + 2}, 0), minus_one(v(-1));
  EXPECT_EQ(text(*Ptr(per->evaluate({{0, minus_one.get()}, {1, four.get()}}))), "6");
  EXPECT_EQ(text(*Ptr(per->evaluate({{1, four.get()}}))), "[ 1 6 ]_N");
  EXPECT_EQ(per->evaluate_int({{0, 3}, {1, 4}}), 6);

  Ptr multi = multivariate({{{}, v(2)}, {{0}, *n + 1}, {{0, 1}, new Expression(1, 2)}, {{1}, *n - 3}});
  EXPECT_EQ(text(*Ptr(multi->evaluate({{0, three.get()}}))), "14 + 3/2*M");
  EXPECT_EQ(text(*Ptr(multi->evaluate({{0, three.get()}, {1, four.get()}}))), "20");
  EXPECT_EQ(text(*Ptr(multi->evaluate())), text(*multi));
  testing::internal::CaptureStderr();
  Ptr(EnumerationExpression().evaluate());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "EnumerationExpression::evaluate: not an enumeration\n");
}

TEST_F(EnumerationTest, RenamingAndDivisions)
{
  std::map<int, int> swap{{0, 1}, {1, 0}};
  Ptr per = periodic({*n / 2, *m / 3}, 0), poly = polynomial({*m / 2, v(1)});
  Ptr multi = multivariate({{{0}, *m / 2}, {{1}, v(5)}, {{0, 1}, v(7)}});
  EXPECT_EQ(text(*Ptr(per->parameters_to_parameters(swap))), "[ M/2 N/3 ]_M");
  EXPECT_EQ(text(*Ptr(poly->parameters_to_parameters(swap))), "N/2 + 1*M");
  EXPECT_EQ(text(*Ptr(multi->parameters_to_parameters(swap))), "5*N + 7*N.M + (N/2)*M");
  // Monomials that meet add up; a monomial cannot turn into a square.
  Ptr linear = multivariate({{{0}, v(2)}, {{1}, v(5)}});
  EXPECT_EQ(text(*Ptr(linear->parameters_to_parameters({{0, 1}}))), "(2+5)*M");
  EXPECT_FAILURE(multi->parameters_to_parameters({{0, 1}}), 1, "^EnumerationExpression::parameters_to_parameters: a monomial would square");

  EXPECT_EQ(per->get_divs(), static_cast<EnumerationExpression*>(per.get())->periodic_values);
  auto* q = static_cast<EnumerationExpression*>(poly.get());
  delete q->variable;
  q->variable = *n / 4;  // the variable is not searched
  EXPECT_EQ(poly->get_divs(), std::vector<Expression*>{q->coefficients[0]});
  EXPECT_EQ(multi->get_divs().size(), 1u);
}

TEST_F(EnumerationTest, CompilesToExactIntegerCode)
{
  std::unique_ptr<Inequation> positive(*n >= 1);
  Polyhedron domain(positive.get());
  Ptr count = polynomial({v(0), v(1)});
  std::ostringstream os;
  compile({{&domain, count.get()}}, os, "volume", "");
  compile({}, os, "volume", "");
  compile({{&domain, count.get()}}, os, "volume", "");  // is_defined is not released
  EXPECT_EQ(os.str(),
            "is_defined_0 = false;\nif((N >= 1))\n  {\n    volume = N;\n    is_defined_0 = true;\n  }\n"
            "if(!is_defined_0)\n  {\n    volume = 0;\n  }\n"
            "volume = 0;\n"
            "is_defined_1 = false;\nif((N >= 1))\n  {\n    volume = N;\n    is_defined_1 = true;\n  }\n"
            "if(!is_defined_1)\n  {\n    volume = 0;\n  }\n");
  EXPECT_EQ(compiled(*periodic({v(1), v(2)}, 0), "  "),
            "  volume = (vorl_residue(N, 2) == 0 ? 1 : 2);\n");
  // floor((N + 1) / 2) = [ 0 1/2 ]_N + 1/2 N: twice the value by Horner's
  // rule, then halved.
  Ptr half = polynomial({periodic({v(0), new Expression(1, 2)}, 0).release(), new Expression(1, 2)});
  EXPECT_EQ(compiled(*half),
            "volume = vorl_count(vorl_add(N, (vorl_residue(N, 2) == 0 ? 0 : 1)), 2);\n");
}

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
  Ptr simplex = polynomial({v(1), new Expression(25, 12), new Expression(35, 24),
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
  Ptr per = periodic({v(1), v(2)}, 0), multi = multivariate({{{0}, v(1)}});
  EnumerationExpression undefined;
  EXPECT_FAILURE(per->evaluate({{0, m.get()}}), 1, "^EnumerationExpression: evaluate: periodic value not resolved: \\[ 1 2 \\]_N\n$");
  EXPECT_FAILURE(multi->evaluate_int({}), 1, "^EnumerationExpression::evaluate_int\\(\\): not an enum");
  EXPECT_FAILURE(multi->evaluate_double({}), 1, "^EnumerationExpression::evaluate_double\\(\\): not an");
  EXPECT_FAILURE(compiled(*multi), 1, "^EnumerationExpression::compile\\(\\): not an enumeration!\n$");
  EXPECT_FAILURE(undefined.clone(), 1, "^EnumerationExpression::clone\\(\\): not an enumeration!\n$");
  EXPECT_FAILURE(undefined.parameters_to_parameters({}), 1, "parameters_to_parameters: not an enum");

}

}  // namespace
