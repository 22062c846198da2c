#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "algebra/analysis_context.h"
#include "polyhedra/condition.h"
#include "algebra/expression.h"
#include "algebra/inequation.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"
#include "tests/poly/poly_test_support.h"

namespace {

using Union = std::vector<Polyhedron*>;

// Registry: counters i, j and parameter N.
class ConditionTest : public ::testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
  void SetUp() override
  {
    create_counter_rank("i");
    create_counter_rank("j");
    create_parameter_rank("N");
    i = var(0), j = var(1), n = par("N"), k = v(1);
  }
  // Whether some member holds at the point (x, y), parameters absent.
  static bool holds(const Union& u, int x, int y)
  {
    std::unique_ptr<Expression> at_x = v(x), at_y = v(y);
    std::map<int, Expression*> at{{0, at_x.get()}, {1, at_y.get()}};
    bool found = false;
    for (const Polyhedron* p : u) {
      std::unique_ptr<Polyhedron> s = p->substitute_counters(at);
      bool all = true;
      for (const Inequation* c : s->constraints)
        all = all && c->is_true();
      found = found || all;
    }
    return found;
  }
  std::unique_ptr<Expression> i, j, n, k;
};

TEST_F(ConditionTest, ComplementsHoldExactlyTheOtherPoints)
{
  std::vector<std::vector<std::unique_ptr<Polyhedron>>> cases;
  cases.push_back(members(poly({*i <= 0}), poly({*i >= 5})));
  cases.push_back(members(poly({*i >= 1, *i <= 4, *j >= 2}), poly({*j <= 0, *i >= 3})));
  cases.push_back(members(poly({})));
  cases.emplace_back();
  for (const auto& members_of_u : cases) {  // on the box [-3, 8] x [-3, 8]
    Union u = view(members_of_u);
    std::vector<std::unique_ptr<Polyhedron>> owned = Polyhedron::negate(u);
    Union complement = view(owned);
    for (int x = -3; x <= 8; x++)
      for (int y = -3; y <= 8; y++)
        EXPECT_NE(holds(u, x, y), holds(complement, x, y)) << x << "," << y;
    EXPECT_EQ(u.size() == 1 ? text(view(u[0]->negate())) : text(complement), text(complement));
  }
}

}  // namespace
