#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <sstream>

#include "poly/enumeration_expression.h"
#include "poly/inequation.h"
#include "poly/polyhedron.h"
#include "poly/polylib_wrapper.h"
#include "poly/rank.h"
#include "tests/poly/poly_test_support.h"

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
  void SetUp() override
  {
    reset_registry();
    create_parameter_rank("N");
    create_parameter_rank("M");
    n.reset(par("N")), m.reset(par("M"));
    full_variable_type["volume"] = TYPE_INT;
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
  EXPECT_EXIT(multi->parameters_to_parameters({{0, 1}}), ::testing::ExitedWithCode(1),
              "^EnumerationExpression::parameters_to_parameters: a monomial would square");

  EXPECT_EQ(per->get_divs(), static_cast<EnumerationExpression*>(per.get())->periodic_values);
  auto* q = static_cast<EnumerationExpression*>(poly.get());
  delete q->variable;
  q->variable = *n / 4;  // the variable is not searched
  EXPECT_EQ(poly->get_divs(), std::vector<Expression*>{q->coefficients[0]});
  EXPECT_EQ(multi->get_divs().size(), 1u);
}

TEST_F(EnumerationTest, Compiles)
{
  std::unique_ptr<Inequation> positive(*n >= 1);
  Polyhedron domain(positive.get());
  Ptr count = polynomial({v(0), v(1)});
  std::ostringstream os;
  compile({{&domain, count.get()}}, os, "volume", "");
  compile({}, os, "volume", "");  // is_defined is not released, the others are
  EXPECT_EQ(os.str(),
            "is_defined_0 = false;\nif((N >= 1))\n  {\n"
            "    double_result_0 = 0;\n    X_0 = 1;\n\n"
            "    //Degree 0 term\n    a_i_0 = 0.0;\n    double_result_0 += a_i_0*(X_0);\n"
            "    X_0 = X_0*(N);\n\n"
            "    //Degree 1 term\n    a_i_0 = 1.0;\n    double_result_0 += a_i_0*(X_0);\n"
            "    volume = (int)floor(double_result_0 + 0.5);\n"
            "    is_defined_0 = true;\n  }\nif(!is_defined_0)\n  {\n    volume = 0;\n  }\n"
            "is_defined_1 = false;\nif(!is_defined_1)\n  {\n    volume = 0;\n  }\n");
  EXPECT_EQ(compiled(*periodic({v(1), v(2)}, 0), "  "),
            "  offset_0 = N % 2;\n  if(offset_0 == 0)\n    {\n      volume = 1;\n    }\n"
            "  if(offset_0 == 1)\n    {\n      volume = 2;\n    }\n");
  // A periodic coefficient goes to the double temporary, in floating point.
  std::string half = compiled(*polynomial({periodic({v(0), new Expression(1, 2)}, 0).release()}));
  EXPECT_NE(half.find("  {\n    a_i_0 = 1.0/2.0;\n  }\n"), std::string::npos) << half;
}

TEST_F(EnumerationTest, Stops)
{
  const auto one = ::testing::ExitedWithCode(1);
  Ptr per = periodic({v(1), v(2)}, 0), multi = multivariate({{{0}, v(1)}});
  EnumerationExpression undefined;
  EXPECT_EXIT(per->evaluate({{0, m.get()}}), one,
              "^EnumerationExpression: evaluate: periodic value not resolved: \\[ 1 2 \\]_N\n$");
  EXPECT_EXIT(multi->evaluate_int({}), one, "^EnumerationExpression::evaluate_int\\(\\): not an enum");
  EXPECT_EXIT(multi->evaluate_double({}), one, "^EnumerationExpression::evaluate_double\\(\\): not an");
  EXPECT_EXIT(compiled(*multi), one, "^EnumerationExpression::compile\\(\\): not an enumeration!\n$");
  EXPECT_EXIT(undefined.clone(), one, "^EnumerationExpression::clone\\(\\): not an enumeration!\n$");
  EXPECT_EXIT(undefined.parameters_to_parameters({}), one, "parameters_to_parameters: not an enum");

  EXPECT_EQ(get_int(2147483643L), 2147483643);
  EXPECT_EQ(get_int(INT_MIN), INT_MIN);
  EXPECT_EXIT(get_int(2147483644L), one, "^PolylibWrapper::get_int: too big integer\n$");
  EXPECT_EXIT(get_int(INT_MIN - 1L), one, "^PolylibWrapper::get_int: too big integer\n$");
}

}  // namespace
