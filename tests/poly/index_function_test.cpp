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
    std::vector<Expression*> comps{var(0), (*j + 1).release(), (*n * 2).release()};
    f.reset(new IndexFunction({0, 1}, comps));
    del(comps);  // f holds clones
  }
  std::unique_ptr<IndexFunction> f;
};

TEST_F(IndexFunctionTest, SurroundingSwitchSelectsPositions)
{
  analysis_context().print_surrounding_index = true;
  EXPECT_EQ(text(*f), "[i][j+1]");
  f->surrounding_counters = {2, 0, 9};  // out-of-range positions are skipped
  EXPECT_EQ(text(*f), "[N*2][i]");
}

}  // namespace
