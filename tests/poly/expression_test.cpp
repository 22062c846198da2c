// Expression trees: coefficient vectors as the registry grows, the
// evaluators, and the operations that stop (division by zero, overflow).
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "algebra/rank.h"
#include "tests/poly/poly_test_support.h"
#include "tests/expect_failure.h"

namespace {

using E = std::unique_ptr<Expression>;
E own(Expression* e) { return E(e); }
E op(operator_t o, const E& a, const E& b) { return own(new Expression(o, a.get(), b.get())); }
E op(operator_t o, Value a, Value b) { return op(o, own(v(a)), own(v(b))); }

// The C string that f throws, or "" when it returns.
template <typename F>
std::string thrown(F f)
{
  try {
    f();
  } catch (const Failure& e) {
    return e.what();
  }
  return "";
}

template <typename F>
void on_stderr(F f) { std::cout.rdbuf(std::cerr.rdbuf()); f(); }

// Counters j (rank 0) and i (rank 1), parameter N (rank 0).
class ExpressionTest : public testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
  void SetUp() override
  {
    create_counter_rank("j");
    create_counter_rank("i");
    create_parameter_rank("N");
    i = own(s("i"));
    j = own(s("j"));
    N = own(s("N"));
  }
  E i, j, N;
};
using ExpressionFailureTest = ExpressionTest;

TEST_F(ExpressionTest, CoefficientVectorFollowsTheRegistry)
{
  E e = own(*own(*own(2 * *i) - *N) + 3);
  EXPECT_EQ(e->to_vector(), (std::vector<Value>{0, 2, -1, 3}));
  EXPECT_EQ(e->to_vector({1}, {0}), (std::vector<Value>{2, -1, 3}));
  E kept = own(e->clone());
  create_counter_rank("k");
  EXPECT_EQ(e->to_vector(), (std::vector<Value>{0, 2, 0, -1, 3}));
  EXPECT_EQ(kept->to_vector(), (std::vector<Value>{0, 2, 0, -1, 3}));
  E m = own(s("M"));
  EXPECT_EQ(e->to_vector(), (std::vector<Value>{0, 2, 0, -1, 0, 3}));
  EXPECT_EQ(own(*own(*own(*i * -2) + *m) * 3)->to_vector(), (std::vector<Value>{0, -6, 0, 0, 3, 0}));

  E prod = own(*i * *j);
  testing::internal::CaptureStdout();
  EXPECT_EQ(thrown([&] { prod->to_vector(); }), "Expression::to_vector: Non affine expression");
  E fl = op(OP_FLOOR, i, own(v(2)));
  E dv = own(*i / 2);
  EXPECT_EQ(thrown([&] { fl->to_vector(); }), "Expression::to_vector: Non affine expression (newparm?)");
  EXPECT_EQ(thrown([&] { dv->to_vector(); }), "Expression::to_vector: Non affine expression (newparm?)");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(ExpressionTest, IntegerAndFloatingPointEvaluation)
{
  EXPECT_EQ(own(*i + *N)->evaluate_int({{0, 5}}), 5);
  EXPECT_EQ(own(*own(*i * *j) - *N)->evaluate_int({{0, 3}, {1, 4}}, {{0, 2}}), 10);
  EXPECT_EQ(op(OP_FLOOR, -7, 2)->evaluate_int({}), -4);
  EXPECT_EQ(op(OP_FLOOR, 7, -2)->evaluate_int({}), -4);
  EXPECT_EQ(op(OP_CEIL, -7, 2)->evaluate_int({}), -3);
  EXPECT_EQ(op(OP_CEIL, 7, 2)->evaluate_int({}), 4);
  EXPECT_EQ(op(OP_DIV, -7, 2)->evaluate_int({}), -3);
  EXPECT_EQ(op(OP_MOD, -7, 2)->evaluate_int({}), -1);
  EXPECT_EQ(op(OP_POWER, 2, 10)->evaluate_int({}), 1024);
  EXPECT_EQ(op(OP_POWER, -2, 61)->evaluate_int({}), -(Value{1} << 61));
  EXPECT_EQ(op(OP_POWER, -1, 7)->evaluate_int({}), -1);
  EXPECT_EQ(op(OP_POWER, 2, -1)->evaluate_int({}), 0);
  EXPECT_EQ(op(OP_MAX, -3, -5)->evaluate_int({}), -3);

  EXPECT_DOUBLE_EQ(own(*i / 2)->evaluate_double({{1, 7.0}}, {}), 3.5);
  EXPECT_DOUBLE_EQ(op(OP_POWER, N, own(v(-1)))->evaluate_double({{0, 4.0}}), 0.25);
}

TEST_F(ExpressionFailureTest, ImpossibleOperationsStop)
{
  EXPECT_FAILURE(own(*i % *N)->evaluate_int({}), 1, "^Expression::evaluate_int: division by zero: i%N\n$");
  EXPECT_FAILURE(op(OP_FLOOR, 3, 0)->evaluate_int({}), 1, "division by zero: floord\\(3,0\\)");
  const Value two_to_32 = Value{1} << 32, two_to_62 = Value{1} << 62;
  const char* beyond = "integer overflow \\(a date or coefficient beyond 9223372036854775807: ";
  EXPECT_EQ(op(OP_TIMES, 65536, 65536)->evaluate_int({}), two_to_32);
  EXPECT_FAILURE(op(OP_TIMES, two_to_32, two_to_32)->evaluate_int({}), 1, beyond);
  EXPECT_FAILURE(op(OP_TIMES, two_to_32, two_to_32)->evaluate(), 1, beyond);
  EXPECT_EQ(op(OP_PLUS, 1 << 30, 1 << 30)->to_vector().back(), two_to_32 / 2);
  EXPECT_FAILURE(op(OP_PLUS, two_to_62, two_to_62)->to_vector(), 1, beyond);
  EXPECT_FAILURE(op(OP_POWER, 2, 63)->evaluate_int({}), 1, beyond);
  EXPECT_FAILURE(op(OP_DIV, INT64_MIN, -1)->evaluate_int({}), 1, beyond);
  Value n = 1;
  Value d = 0;
  EXPECT_FAILURE(simplify_fraction(n, d), 1, "^Expression::simplify_fraction: \\*/0\n$");
}

}  // namespace
