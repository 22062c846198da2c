#include <gtest/gtest.h>

#include <iostream>
#include <memory>
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

}  // namespace
