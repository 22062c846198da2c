// Integer matrices and vectors, and their products with expression vectors.
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

TEST(MatrixTest, ShapesAndConversions)
{
  EXPECT_EQ(null_matrix(2, 1), (Matrix{{0}, {0}}));
  EXPECT_EQ(identity_matrix(3), (Matrix{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}));
  EXPECT_TRUE(identity_matrix(0).empty());
  EXPECT_EQ(column_matrix({4, -1}), (Matrix{{4}, {-1}}));
  EXPECT_EQ(column_matrix_to_vector(Matrix{{4}, {-1}}), (std::vector<Value>{4, -1}));
  EXPECT_EQ(transpose(A23), (Matrix{{1, 4}, {2, 5}, {3, 6}}));
  EXPECT_TRUE(transpose(Matrix{}).empty());
  EXPECT_EQ(vec_to_set({3, 1, 3}), (std::set<int>{1, 3}));
}

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

class ExpressionVectorTest : public testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
  void SetUp() override
  {
    create_counter_rank("i");
    create_parameter_rank("N");
    e = {s("i"), s("N")};
  }
  void TearDown() override { del(e); }
  std::vector<Expression*> e;
};

std::vector<std::string> texts(std::vector<Expression*> r)
{
  std::vector<std::string> out;
  for (Expression* x : r)
    out.push_back(text(*x));
  del(r);
  return out;
}

TEST_F(ExpressionVectorTest, ProductsBuildUnsimplifiedLeftNestedSums)
{
  Matrix m{{1, 2}, {3, 4}};
  using S = std::vector<std::string>;
  EXPECT_EQ(texts(e * m), (S{"(0+(i*1))+(N*3)", "(0+(i*2))+(N*4)"}));
  EXPECT_EQ(texts(m * e), (S{"(0+(1*i))+(2*N)", "(0+(3*i))+(4*N)"}));
  EXPECT_TRUE(texts(std::vector<Expression*>{} * Matrix{}).empty());
  EXPECT_TRUE(texts(Matrix{} * e).empty());

  std::unique_ptr<Expression> dot(e * std::vector<Value>{2, -1});
  std::unique_ptr<Expression> tod(std::vector<Value>{2, -1} * e);
  EXPECT_EQ(text(*dot), "(0+(i*2))+(N*-1)");
  EXPECT_TRUE(*dot == *tod);
  EXPECT_EQ(dot->to_vector(), (std::vector<Value>{2, -1, 0}));
  std::unique_ptr<Expression> zero(std::vector<Expression*>{} * std::vector<Value>{});
  std::unique_ptr<Expression> orez(std::vector<Value>{} * std::vector<Expression*>{});
  EXPECT_TRUE(zero->is_value(0) && orez->is_value(0));

  EXPECT_EQ(texts((e + std::vector<Value>{1, -2})), (S{"i+1", "N+-2"}));
  std::vector<Expression*> f = clone_ve(e);
  std::vector<Expression*> sum = e + f;
  // The results own copies: the operands may go.
  del(f);
  *e[0] = Expression(5);
  EXPECT_EQ(texts(sum), (S{"i+i", "N+N"}));
}

TEST(MatrixTest, Printers)
{
  EXPECT_EQ(text(A23), "2 3\n1  2  3  \n4  5  6  \n");
  EXPECT_EQ(text(Matrix{}), "0 0\n");
  EXPECT_EQ(text(std::vector<Value>{7, -1}), "2\n7\n-1\n");
  EXPECT_EQ(text(std::vector<Value>{}), "0\n");

  testing::internal::CaptureStdout();
  MatrixPrinter::print_vec({1, -2});
  MatrixPrinter::print_vec_vec(A23);
  MatrixPrinter::print_list_vec({{5}, {}});
  MatrixPrinter::print_vec_vec_vec({Matrix{{1}}, Matrix{}});
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "1  -2  \n1  2  3  \n4  5  6  \n5  \n\n--\n1  \n\n\n--\n");
}

TEST(MatrixFailureTest, MismatchesStop)
{
  EXPECT_FAILURE(on_stderr([] { null_matrix(0, 3); }), 1, "^Matrix::null_matrix: dimensions must be > 0\n$");
  EXPECT_FAILURE(on_stderr([] { identity_matrix(-1); }), 1, "^Matrix::identity_matrix: dimension must be >= 0\n$");
  EXPECT_FAILURE(column_matrix_to_vector(A23), 1, "^Matrix::column_matrix_to_vector: not a single col matrix\n$");
  EXPECT_FAILURE(on_stderr([] { A23 * A23; }), 1, "^Matrix::\\*: mismatch matrices\n2 3\n1  2  3  \n4  5  6  \n2 3\n");
  EXPECT_FAILURE(on_stderr([] { Matrix{} * A23; }), 1, "^Matrix::\\*: empty matrices col\\(A\\) = 0 col\\(B\\) = 2\n$");
  EXPECT_FAILURE(on_stderr([] { A23 * std::vector<Value>{}; }), 1, "empty matrices");
  EXPECT_FAILURE(on_stderr([] { A23 * std::vector<Value>{1, 2}; }), 1, "mismatch matrices");
  EXPECT_EQ((Matrix{{1 << 16}} * Matrix{{1 << 16}}), (Matrix{{Value{1} << 32}}));
  EXPECT_FAILURE(on_stderr([] { Matrix{{Value{1} << 32}} * Matrix{{Value{1} << 31}}; }), 1, "^Matrix::\\*: integer overflow \\(a date or coefficient beyond 9223372036854775807: ");
  EXPECT_FAILURE(on_stderr([] { std::vector<Value>{1} + std::vector<Value>{1, 2}; }), 1, "^Matrix::\\+\\(vec<int>,vec<int>\\): mismatch vector size\n$");
  EXPECT_FAILURE(sub_vec({1}, {1, 2}), 1, "^Matrix::sub_vec: vector size mismatch\n$");
  EXPECT_FAILURE(inv({{1, 7}, {2, 7}}), 1, "^Matrix::inv\\(map<int,int>\\): expect an injective map\n$");
}

using ExpressionVectorFailureTest = ExpressionVectorTest;

TEST_F(ExpressionVectorFailureTest, MismatchesStop)
{
  std::vector<Expression*> x = e;
  EXPECT_FAILURE(on_stderr([&] { x * transpose(A23); }), 1, "^Matrix::\\(tx \\* A\\):mismatch dimensions\ni\nN\n3 2\n1  4  \n");
  EXPECT_FAILURE(on_stderr([&] { x * std::vector<Value>{1}; }), 1, "mismatch dimensions");
  EXPECT_FAILURE(A23 * x, 1, "^Matrix::\\*\\(int_matrix, expression_vector\\): size mismatch\n$");
  EXPECT_FAILURE(on_stderr([&] { x + std::vector<Expression*>{x[0]}; }), 1, "^Matrix::\\+\\(vec<Expr,Expr>: mismatch vector size\n$");
  EXPECT_FAILURE(on_stderr([&] { x + std::vector<Value>{1, 2, 3}; }), 1, "^Matrix::\\+\\(vec<Expr>,vec<int>\\): mismatch vector size: 2 vs 3\n$");
}

}  // namespace
