#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "algebra/index_function.h"
#include "algebra/rank.h"
#include "tests/poly/poly_test_support.h"
#include "tests/expect_failure.h"

namespace {

using Rows = std::vector<std::vector<Value>>;

// Registry: counters i, j; parameter N. Vectors are [i, j, N, constant].
// f is the reference a[i][j+1][N*2] around the counters (0, 1).
class IndexFunctionTest : public ::testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
  void SetUp() override
  {
    create_counter_rank("i");
    create_counter_rank("j");
    auto j = own(var(1));
    auto n = own(par("N"));
    std::vector<Expression*> comps{var(0), *j + 1, *n * 2};
    f.reset(new IndexFunction({0, 1}, comps));
    del(comps);  // f holds clones
  }
  std::unique_ptr<IndexFunction> f;
};

TEST_F(IndexFunctionTest, ConstructionAndPrinting)
{
  EXPECT_EQ(f->dimension(), 3);
  EXPECT_EQ(text(*f), "[i][j+1][N*2]");
  std::ostringstream all, some;
  f->print_code(all);
  f->print_code(some, {2, 0});
  EXPECT_EQ(all.str(), "i,j+1,N*2");
  EXPECT_EQ(some.str(), "N*2,i");

  IndexFunction id(std::vector<int>{1, 0});
  EXPECT_EQ(id.surrounding_counters, (std::vector<int>{1, 0}));
  EXPECT_EQ(text(id), "[j][i]");
  EXPECT_EQ(text(IndexFunction()), "");

  IndexFunction bare(f->index_mapping);
  EXPECT_TRUE(bare.surrounding_counters.empty());
  EXPECT_NE(bare.index_mapping[0], f->index_mapping[0]);
}

TEST_F(IndexFunctionTest, SurroundingSwitchSelectsPositions)
{
  analysis_context().print_surrounding_index = true;
  EXPECT_EQ(text(*f), "[i][j+1]");
  f->surrounding_counters = {2, 0, 9};  // out-of-range positions are skipped
  EXPECT_EQ(text(*f), "[N*2][i]");
}

TEST_F(IndexFunctionTest, CopiesAreIndependent)
{
  auto c = own(f->clone());
  auto first = own(f->keep_first(2)), last = own(f->keep_last(2));
  f.reset();
  EXPECT_EQ(text(*c), "[i][j+1][N*2]");
  EXPECT_EQ(text(*first), "[i][j+1]");
  EXPECT_EQ(text(*last), "[j+1][N*2]");
  EXPECT_EQ(first->surrounding_counters, (std::vector<int>{0, 1}));
  EXPECT_EQ(last->surrounding_counters, (std::vector<int>{0, 1}));

  auto three = own(v(3));
  c->add_dimension(three.get());
  three.reset();
  EXPECT_EQ(text(*c), "[i][j+1][N*2][3]");
  EXPECT_EQ(text(*first), "[i][j+1]");
  EXPECT_EQ(own(c->keep_last(0))->dimension(), 0);
}

TEST_F(IndexFunctionTest, KeepBeyondTheDimensionStops)
{
  EXPECT_FAILURE(f->keep_first(4), 1, "^IndexFunction::keep_first: bigger than the dimension\n$");
  EXPECT_FAILURE(f->keep_last(4), 1, "^IndexFunction::keep_last: bigger than the dimension\n$");
  EXPECT_FAILURE(f->keep_first(-1), 1, "^IndexFunction::keep_first: negative size\n$");
}

TEST_F(IndexFunctionTest, MatricesFollowTheRegistry)
{
  EXPECT_EQ(f->to_matrix(), (Rows{{1, 0, 0, 0}, {0, 1, 0, 1}, {0, 0, 2, 0}}));
  EXPECT_EQ(f->to_matrix({1}, {0}), (Rows{{0, 0, 0}, {1, 0, 1}, {0, 2, 0}}));
  create_parameter_rank("M");
  EXPECT_EQ(f->to_matrix(), (Rows{{1, 0, 0, 0, 0}, {0, 1, 0, 0, 1}, {0, 0, 2, 0, 0}}));
}

TEST_F(IndexFunctionTest, RenamingKeepsSurroundingCounters)
{
  auto swapped = own(f->counters_to_counters({{0, 1}, {1, 0}}));
  EXPECT_EQ(text(*swapped), "[j][i+1][N*2]");
  EXPECT_EQ(swapped->surrounding_counters, (std::vector<int>{0, 1}));
  EXPECT_EQ(text(*own(f->counters_to_parameters({{1, 0}}))), "[i][N+1][N*2]");

  auto i = own(var(0));
  auto repl = own(*i - 1);
  auto sub = own(f->substitute_counters({{1, repl.get()}}));
  repl.reset();
  EXPECT_EQ(text(*sub), "[i][(i-1)+1][N*2]");
  EXPECT_EQ(sub->surrounding_counters, (std::vector<int>{0, 1}));
  EXPECT_EQ(text(*f), "[i][j+1][N*2]");  // source unchanged
}

}  // namespace
