// Integer matrices and vectors: products, sums and rank maps; overflow stops.
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "algebra/matrix.h"
#include "algebra/rank.h"
#include "tests/poly/poly_test_support.h"
#include "tests/expect_failure.h"

namespace {

template <typename F>
void on_stderr(F f) { std::cout.rdbuf(std::cerr.rdbuf()); f(); }

const Matrix A23{{1, 2, 3}, {4, 5, 6}};

TEST(MatrixTest, ProductsSumsAndRankMaps)
{
  EXPECT_EQ((A23 * Matrix{{1}, {0}, {-1}}), (Matrix{{-2}, {-2}}));
  EXPECT_EQ(A23 * transpose(A23), (Matrix{{14, 32}, {32, 77}}));
  EXPECT_EQ((A23 * std::vector<Value>{1, 1, 1}), (std::vector<Value>{6, 15}));
  EXPECT_EQ(-2 * A23, (Matrix{{-2, -4, -6}, {-8, -10, -12}}));
  EXPECT_EQ((3 * std::vector<Value>{1, -2}), (std::vector<Value>{3, -6}));
  EXPECT_EQ((std::vector<Value>{1, 2}) + (std::vector<Value>{10, -20}), (std::vector<Value>{11, -18}));

  EXPECT_TRUE(sub_vec({0, 2, 0}, {5, 2, -1}));
  EXPECT_FALSE(sub_vec({0, 2, 1}, {5, 2, -1}));
  EXPECT_TRUE(sub_vec({}, {}));

  EXPECT_EQ(apply({1, 2, 5}, {{1, 10}, {2, 20}}), (std::set<int>{10, 20}));
  EXPECT_EQ(apply({1, 2}, {{1, 7}, {2, 7}}), (std::set<int>{7}));
  EXPECT_EQ(inv({{1, 7}, {2, 3}}), (std::map<int, int>{{7, 1}, {3, 2}}));
}

TEST(MatrixFailureTest, MismatchesStop)
{
  EXPECT_EQ((Matrix{{1 << 16}} * Matrix{{1 << 16}}), (Matrix{{Value{1} << 32}}));
  EXPECT_FAILURE(on_stderr([] { Matrix{{Value{1} << 32}} * Matrix{{Value{1} << 31}}; }), 1, "^Matrix::\\*: integer overflow \\(a date or coefficient beyond 9223372036854775807: ");
}

}  // namespace
