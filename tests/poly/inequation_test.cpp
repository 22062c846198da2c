#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "algebra/inequation.h"
#include "algebra/rank.h"
#include "tests/poly/poly_test_support.h"
#include "tests/expect_failure.h"

namespace {

using Rows = std::vector<std::vector<Value>>;

// Registry: counters i, j; parameter N. Rows are [i, j, N, constant].
class InequationTest : public ::testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
  void SetUp() override
  {
    create_counter_rank("i");
    create_counter_rank("j");
    create_parameter_rank("N");
    i = var(0);
    j = var(1);
    n = par("N");
  }
  std::unique_ptr<Expression> i, j, n;
};

TEST_F(InequationTest, RowsFollowThePredicate)
{
  Inequation lt(PRED_LT, i.get(), n.get()), le(PRED_LE, i.get(), n.get());
  Inequation gt(PRED_GT, i.get(), n.get()), ge(PRED_GE, i.get(), n.get());
  EXPECT_EQ(lt.to_matrix(), (Rows{{-1, 0, 1, -1}}));
  EXPECT_EQ(le.to_matrix(), (Rows{{-1, 0, 1, 0}}));
  EXPECT_EQ(gt.to_matrix(), (Rows{{1, 0, -1, -1}}));
  EXPECT_EQ(ge.to_matrix(), (Rows{{1, 0, -1, 0}}));
  auto eq = own(*i == 2);
  EXPECT_EQ(eq->to_matrix(), (Rows{{1, 0, 0, -2}, {-1, 0, 0, 2}}));
  create_counter_rank("k");  // the rows follow the registry as it grows
  EXPECT_EQ(eq->to_matrix(), (Rows{{1, 0, 0, 0, -2}, {-1, 0, 0, 0, 2}}));
}

TEST_F(InequationTest, SeparateReadsBoundsOnOneCounter)
{
  auto bounds = [](const std::vector<Value>& row, int k) {
    std::string out;
    for (const auto& b : Inequation(row).separate(k))
      out += text(*b) + ";";
    return out;
  };
  EXPECT_EQ(bounds({1, -2, 0, 1, 0}, 0), "i <= floord(N,2);");
  EXPECT_EQ(bounds({1, 3, 0, -1, 1}, 0), "i >= ceild(-1+N,3);");
  EXPECT_EQ(bounds({0, 2, 0, -1, 0}, 0), "i >= ceild(N,2);i <= floord(N,2);");
  EXPECT_EQ(bounds({1, -1, 0, 1, -1}, 0), "i <= -1+N;");
  EXPECT_EQ(bounds({0, 1, 0, -1, 3}, 0), "i >= -3+N;i <= -3+N;");
  EXPECT_EQ(bounds({1, 1, 0, -1, 0}, 1), "");  // j does not occur
  EXPECT_EQ(bounds({1, 1, 0, -1, 0}, 7), "");  // no such counter
}

// Whether a constraint always holds, never holds, or holds no variable, as
// its rows say: rows of the registry's width with every entry but the
// constant zero, and the sign of the constant. Random sides over i, j and N,
// half of them with the same variables on both sides so that they cancel.
TEST_F(InequationTest, TrivialTrueAndFalseAsTheRowsSay)
{
  std::mt19937 rng(20261208u);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int trivial = 0, truths = 0, falsities = 0;
  for (int t = 0; t < 2000; t++) {
    std::vector<Value> a{pick(-2, 2), pick(-2, 2), pick(-2, 2), pick(-3, 3)};
    std::vector<Value> b = a;
    if (pick(0, 1))
      b = {pick(-2, 2), pick(-2, 2), pick(-2, 2), pick(-3, 3)};
    else
      b.back() = pick(-3, 3);
    Expression lhs(a, std::vector<int>{0, 1}, std::vector<int>{0});
    Expression rhs(b, std::vector<int>{0, 1}, std::vector<int>{0});
    Inequation c(static_cast<predicate_t>(pick(0, 4)), &lhs, &rhs);
    bool all_trivial = true, all_hold = true, one_fails = false;
    for (const std::vector<Value>& row : c.to_matrix()) {
      bool no_variable = std::all_of(row.begin(), row.end() - 1, [](Value x) { return x == 0; });
      all_trivial = all_trivial && no_variable;
      all_hold = all_hold && no_variable && row.back() >= 0;
      one_fails = one_fails || (no_variable && row.back() < 0);
    }
    EXPECT_EQ(c.is_trivial(), all_trivial) << c;
    EXPECT_EQ(c.is_true(), all_hold) << c;
    EXPECT_EQ(c.is_false(), one_fails) << c;
    trivial += all_trivial;
    truths += all_hold;
    falsities += one_fails;
  }
  // Each answer comes both ways, often.
  EXPECT_GT(trivial, 300);
  EXPECT_GT(truths, 100);
  EXPECT_GT(falsities, 100);
}

}  // namespace
