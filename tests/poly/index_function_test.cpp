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
    auto i = var(0), j_plus_1 = *var(1) + 1, n_times_2 = *par("N") * 2;
    f = std::make_unique<IndexFunction>(std::vector<int>{0, 1},
                                        std::vector<Expression*>{i.get(), j_plus_1.get(),
                                                                 n_times_2.get()});
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
