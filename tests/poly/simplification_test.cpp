#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <sstream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "algebra/inequation.h"
#include "support/options.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"
#include "solvers/isl_wrapper.h"
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

// A gist within the universe (a context without rows) is isl's own
// simplified form of the set, as isl's general path gives it for a context
// that only names a row always true; so is the gist of a set known to have
// a point, asked of the non-empty ones: random sets over i, j and N, with
// equalities, redundant and empty ones among them. Each set is asked twice,
// the second time after all the others (the answers are kept, and the two
// gists within the universe share them: every other set is asked as known
// non-empty first).
TEST(IslGistTest, WithinTheUniverseIsTheGeneralAnswer)
{
  std::mt19937 rng(20261207u);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const Rows always_true{{1, 0, 0, 0, 1}};
  std::vector<Rows> sets(1000);
  for (Rows& u : sets)
    for (int k = pick(1, 6); k > 0; k--)
      u.push_back({pick(0, 3) == 0 ? 0 : 1, pick(-3, 3), pick(-3, 3), pick(-2, 2), pick(-5, 5)});
  size_t nonempty = 0;
  for (int round = 0; round < 2; round++)
    for (size_t t = 0; t < sets.size(); t++) {
      std::vector<Rows> general = ISLWrapper::gist({sets[t]}, {always_true}, 2, 1);
      bool known_first = t % 2 == 0 && !general.empty();
      if (known_first) {
        EXPECT_EQ(ISLWrapper::gist_of_nonempty(sets[t], 2, 1), general) << "set " << t << ", round " << round;
      }
      EXPECT_EQ(ISLWrapper::gist({sets[t]}, {Rows{}}, 2, 1), general) << "set " << t << ", round " << round;
      if (!known_first && !general.empty()) {
        EXPECT_EQ(ISLWrapper::gist_of_nonempty(sets[t], 2, 1), general) << "set " << t << ", round " << round;
      }
      nonempty += round == 0 && !general.empty();
    }
  // Both kinds of sets are drawn.
  EXPECT_GT(nonempty, 300u);
  EXPECT_LT(nonempty, 950u);
}

}  // namespace
