#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "algebra/inequation.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"
#include "tests/poly/poly_test_support.h"
#include "tests/expect_failure.h"

namespace {

using Rows = std::vector<std::vector<Value>>;

// Registry: counter i, parameter N; rows are [kind, i, N, constant].
// box is {N >= 1, i >= 0, i <= N - 1}.
class PolyhedronTest : public ::testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
  void SetUp() override
  {
    create_counter_rank("i");
    create_parameter_rank("N");
    i = var(0);
    n = par("N");
    auto n1 = own(*n - 1);
    box = poly({*n >= 1, *i >= 0, *i <= *n1});
  }
  std::unique_ptr<Expression> i, n;
  std::unique_ptr<Polyhedron> box;
};

TEST_F(PolyhedronTest, CacheIsReusedUntilConstraintsOrRegistryChange)
{
  box->to_matrix();
  box->matrix[0][0] = 7;  // a reused cache shows the mark
  EXPECT_EQ(box->to_matrix()[0][0], 7);
  Polyhedron copy(box.get());
  EXPECT_EQ(copy.has_matrix, 1);
  EXPECT_EQ(copy.to_matrix()[0][0], 7);  // copied, not rebuilt

  // A new counter comes between the counters and the parameters.
  create_counter_rank("j");
  Rows wide{{1, 0, 0, 1, -1}, {1, 1, 0, 0, 0}, {1, -1, 0, 1, -1}};
  EXPECT_EQ(box->to_matrix(), wide);
  EXPECT_EQ(copy.to_matrix(), wide);
  EXPECT_EQ(box->nb_counters, 2);

  auto c = own(*i <= 9);
  box->add_constraint(c.get());
  EXPECT_EQ(box->has_matrix, 0);
  EXPECT_EQ(box->to_matrix().back(), (std::vector<Value>{1, -1, 0, 0, 9}));
  copy.add_constraints(box.get());
  EXPECT_EQ(copy.has_matrix, 0);
  EXPECT_EQ(copy.to_matrix().size(), 7u);
}

}  // namespace

// Maps keyed by polyhedra iterate in creation order, whatever the addresses:
// a polyhedron made later in memory freed by an earlier one comes last.
TEST(PolyhedronMapTest, IteratesInCreationOrderNotAddressOrder)
{
  std::vector<std::unique_ptr<Polyhedron>> made;
  for (int k = 0; k < 64; k++)
    made.push_back(std::make_unique<Polyhedron>());
  for (int k = 0; k < 64; k += 2)
    made[k].reset();
  PolyhedronMap<int> pieces;
  std::vector<Polyhedron*> order;
  for (int k = 0; k < 64; k++) {
    Polyhedron* p = k % 2 ? made[k].release() : new Polyhedron();  // reuses freed addresses
    order.push_back(p);
    pieces[p] = k;
  }
  std::sort(order.begin(), order.end(),
            [](const Polyhedron* a, const Polyhedron* b) { return a->serial < b->serial; });
  std::vector<Polyhedron*> iterated;
  for (const auto& [p, k] : pieces)
    iterated.push_back(p);
  EXPECT_EQ(iterated, order);
  for (Polyhedron* p : order)
    delete p;
}
