#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "algebra/inequation.h"
#include "support/options.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"
#include "tests/poly/poly_test_support.h"
#include "tests/expect_failure.h"

namespace {

using Rows = std::vector<std::vector<Value>>;
using Poly = std::unique_ptr<Polyhedron>;

// The members' texts in any order.
std::multiset<std::string> texts(const std::vector<Poly>& u)
{
  std::multiset<std::string> r;
  for (const Poly& p : u)
    r.insert(text(*p));
  return r;
}

// Registry: counters i, j and parameter N; rows are [kind, i, j, N, constant].
class SimplificationTest : public ::testing::Test {
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
    half = *i / 2;
  }
  std::unique_ptr<Expression> i, j, n, half;
};

TEST_F(SimplificationTest, Coalesce)
{
  std::unique_ptr<Expression> n2(*n + 2);
  std::vector<Poly> u =
      members(poly({*i >= 0, *i <= 4}), poly({*i >= 5, *i <= 9}), poly({*i >= 2, *i <= 7}));
  std::vector<Poly> c = Polyhedron::coalesce(view(u));
  ASSERT_EQ(c.size(), 1u);
  Rows rows = c[0]->to_matrix();
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, (Rows{{1, -1, 0, 0, 9}, {1, 1, 0, 0, 0}}));
  std::vector<Poly> apart = members(poly({*i <= *n}), poly({*i >= *n2}));
  EXPECT_EQ(texts(Polyhedron::coalesce(view(apart))).size(), 2u);
  EXPECT_TRUE(Polyhedron::coalesce({}).empty());
  Poly d = poly({*half >= 1});
  EXPECT_THROW(Polyhedron::coalesce({d.get()}), Unrepresentable);
}

}  // namespace
