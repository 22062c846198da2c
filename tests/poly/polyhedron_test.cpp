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
using Union = std::vector<Polyhedron*>;

std::string code(const Polyhedron& p)
{
  std::ostringstream os;
  p.print_code(os);
  return os.str();
}

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
    i.reset(var(0));
    n.reset(par("N"));
    auto n1 = own(*n - 1);
    box.reset(new Polyhedron());
    for (Inequation* c : {*n >= 1, *i >= 0, *i <= *n1}) {
      box->add_constraint(c);
      delete c;
    }
  }
  std::unique_ptr<Expression> i, n;
  std::unique_ptr<Polyhedron> box;
};

TEST_F(PolyhedronTest, UniverseEmptyAndNoConstraint)
{
  Polyhedron none;
  EXPECT_TRUE(none.to_matrix().empty());
  EXPECT_TRUE(none.is_universe());
  EXPECT_EQ(code(none), "true");
  EXPECT_EQ(text(none), "/\n\\\n");

  Union both{universe(), empty()};
  Polyhedron *u = both[0], *e = both[1];
  EXPECT_TRUE(u->size() == 1 && u->is_universe());
  EXPECT_EQ(u->to_matrix(), (Rows{{1, 0, 0, 0}}));
  EXPECT_FALSE(e->is_universe() || box->is_universe());
  EXPECT_EQ(e->to_matrix(), (Rows{{1, 0, 0, -1}}));
  EXPECT_FALSE(Polyhedron::is_universe({}));
  EXPECT_FALSE(Polyhedron::is_universe({e, box.get()}));
  EXPECT_TRUE(Polyhedron::is_universe(both));

  std::ostringstream none_code, both_code;
  Polyhedron::print_code(none_code, {});
  Polyhedron::print_code(both_code, both);
  EXPECT_EQ(none_code.str(), "false");
  EXPECT_EQ(both_code.str(), "((0 >= 0)) || ((0 > 0))");
  EXPECT_EQ(text(Union{}), "(empty domain)");
  EXPECT_EQ(text(both), "/\n| 0 >= 0\n\\\nU\n/\n| 0 > 0\n\\\n");
  del(both);
}

TEST_F(PolyhedronTest, MatrixRowsAndColumnSelections)
{
  EXPECT_EQ(box->to_matrix(), (Rows{{1, 0, 1, -1}, {1, 1, 0, 0}, {1, -1, 1, -1}}));
  EXPECT_EQ(box->to_matrix_without_1(), (Rows{{0, 1, -1}, {1, 0, 0}, {-1, 1, -1}}));
  EXPECT_EQ(box->to_matrix(std::set<int>{}), (Rows{{1, 1, -1}, {1, 0, 0}, {1, 1, -1}}));
  EXPECT_EQ(box->to_matrix({0}, {}), (Rows{{1, 0, -1}, {1, 1, 0}, {1, -1, -1}}));

  // An equality gives two rows, a - b first; a strict a < b gives b - a - 1.
  auto eq = own(*i == 2), lt = own(*i < *n);
  Polyhedron p(std::list<Inequation*>{eq.get(), lt.get()});
  EXPECT_EQ(p.to_matrix(), (Rows{{1, 1, 0, -2}, {1, -1, 0, 2}, {1, -1, 1, -1}}));

  auto [context, rest] = box->to_matrix_context();
  EXPECT_EQ(context, (Rows{{1, 1, -1}}));
  EXPECT_EQ(rest, (Rows{{1, 1, 0, 0}, {1, -1, 1, -1}}));
  auto u = own(universe());  // a null row is not context
  EXPECT_EQ(u->to_matrix_context(), std::make_pair(Rows{}, Rows{{1, 0, 0, 0}}));

  EXPECT_TRUE(is_context({1, 0, 2, 5}) && is_null({1, 0, 0, 0}));
  EXPECT_FALSE(is_context({1, 1, 2, 5}) || is_context({1, 0, 0, 5}) || is_null({0, 0, 0, 1}));
}

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

TEST_F(PolyhedronTest, GivenMatrixIsCachedWithItsEqualities)
{
  Rows m{{0, 1, 0, -2}, {1, -1, 1, 0}};
  Polyhedron p(m);
  EXPECT_EQ(p.constraints.front()->pred, PRED_EQ);
  EXPECT_EQ(p.constraints.back()->pred, PRED_GE);
  EXPECT_EQ(p.to_matrix(), m);
  create_parameter_rank("M");
  EXPECT_EQ(p.to_matrix(), (Rows{{1, 1, 0, 0, -2}, {1, -1, 0, 0, 2}, {1, -1, 1, 0, 0}}));
}

TEST_F(PolyhedronTest, ActiveColumnsAreSpreadToFullWidth)
{
  create_counter_rank("j");
  create_parameter_rank("M");  // full rows: [kind, i, j, N, M, constant]
  EXPECT_EQ(Polyhedron(Rows{{1, 3, 4, 5}}, {1}, {1}).to_matrix(), (Rows{{1, 0, 3, 0, 4, 5}}));
  Polyhedron q(Rows{{0, 2, 7, 8, 9}}, {0});
  EXPECT_EQ(q.to_matrix(), (Rows{{0, 2, 0, 7, 8, 9}}));
  EXPECT_EQ(q.constraints.front()->pred, PRED_EQ);

  EXPECT_FAILURE(Polyhedron(Rows{{1, 3, 4}}, {1}, {1}), 1, "^Polyhedron::Polyhedron\\(active_counters,active_parameters\\): expect 4 "
              "columns. Found: 3\n$");
  EXPECT_FAILURE(Polyhedron(Rows{{1, 3, 4, 5}}, {1}), 1, "^Polyhedron::Polyhedron\\(active_counters\\): expect 5 columns. Found: 4\n$");
  EXPECT_FAILURE(Polyhedron(Rows{{1, 3, 5}}, {2}, {}), 1, "counter rank out of range: 2");
}

TEST_F(PolyhedronTest, CopiesOwnTheirConstraints)
{
  auto c = own(*i >= 4);
  Polyhedron single(c.get());
  c.reset();
  EXPECT_EQ(code(single), "(i >= 4)");

  auto cl = own(box->clone());
  EXPECT_EQ(cl->has_matrix, 0);
  auto both = own(Polyhedron::intersect(box.get(), &single));
  box.reset();
  EXPECT_EQ(code(*cl), "(N >= 1) && (i >= 0) && (i <= N-1)");
  EXPECT_EQ(code(*both), "(N >= 1) && (i >= 0) && (i <= N-1) && (i >= 4)");
  auto d = own(*i < 8);
  cl->add(*d)->add(*d);
  d.reset();
  EXPECT_TRUE(cl->size() == 5 && both->size() == 4);
  EXPECT_TRUE(Polyhedron::get_parameters({&single}).empty());
  EXPECT_EQ(Polyhedron::get_parameters({cl.get(), &single}), (std::set<int>{0}));
}

TEST_F(PolyhedronTest, DivisionsBlockUniverseAndCopyOfCache)
{
  auto half = own(*i / 2);
  auto zero = own(*half * 0);
  auto trivial = own(*zero >= 0);
  Polyhedron p(trivial.get());
  EXPECT_TRUE(p.has_divs == 1 && p.has_div());
  EXPECT_FALSE(p.is_universe());
  std::vector<Expression*> divs = p.get_divs();
  ASSERT_EQ(divs.size(), 1u);
  EXPECT_EQ(divs[0], p.constraints.front()->lhs->fg);  // a pointer into the constraint

  Polyhedron copy(&p);
  EXPECT_EQ(copy.has_matrix, 0);
  EXPECT_EQ(copy.has_divs, 1);
  box->add_constraints(&p);
  EXPECT_EQ(box->has_divs, 1);
}

TEST_F(PolyhedronTest, RenamingAndSubstitution)
{
  EXPECT_EQ(code(*own(box->parameters_to_counters({{0, 0}}))),
            "(i >= 1) && (i >= 0) && (i <= i-1)");
  EXPECT_EQ(code(*own(box->counters_to_parameters({{0, 0}}))),
            "(N >= 1) && (N >= 0) && (N <= N-1)");
  create_counter_rank("j");
  create_parameter_rank("M");
  auto c2c = own(box->counters_to_counters({{0, 1}}));
  EXPECT_EQ(code(*c2c), "(N >= 1) && (j >= 0) && (j <= N-1)");
  EXPECT_EQ(code(*own(box->parameters_to_parameters({{0, 1}}))),
            "(M >= 1) && (i >= 0) && (i <= M-1)");

  auto twice = own(*n * 2);
  auto sc = own(box->substitute_counters({{0, twice.get()}}));
  auto sp = own(box->substitute_parameters({{0, twice.get()}}));
  twice.reset();
  EXPECT_EQ(code(*sc), "(N >= 1) && (N*2 >= 0) && (N*2 <= N-1)");
  EXPECT_EQ(code(*sp), "(N*2 >= 1) && (i >= 0) && (i <= (N*2)-1)");
  EXPECT_EQ(code(*box), "(N >= 1) && (i >= 0) && (i <= N-1)");  // source unchanged

  Union r = Polyhedron::counters_to_counters({box.get(), c2c.get()}, {{0, 1}, {1, 0}});
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(code(*r[0]), code(*c2c));
  EXPECT_EQ(code(*r[1]), code(*box));
  EXPECT_EQ(Polyhedron::get_counters(r), (std::set<int>{0, 1}));
  del(r);
}

TEST_F(PolyhedronTest, ImpliesAndBuilders)
{
  EXPECT_TRUE(box->implies(own(*i >= -3).get()));
  EXPECT_FALSE(box->implies(own(*i >= 2).get()));

  auto n1 = own(*n - 1);
  std::vector<Expression*> v{i.get(), n1.get()};
  auto z = own(equal_zero(v)), g = own(positive(v));
  EXPECT_EQ(text(*z), "/\n| i = 0\n| N-1 = 0\n\\\n");
  EXPECT_EQ(code(*g), "(i >= 0) && (N-1 >= 0)");
  EXPECT_EQ(z->to_matrix(), (Rows{{1, 1, 0, 0}, {1, -1, 0, 0}, {1, 0, 1, -1}, {1, 0, -1, 1}}));
}

TEST_F(PolyhedronTest, IsccSetSyntax)
{
  create_counter_rank("j");
  auto j = own(var(1));
  auto m = own(par("M"));
  box->add_constraint(own(*j < *m).get());
  std::ostringstream os, none;
  box->print_iscc("S1", os);
  EXPECT_EQ(os.str(), "[N,M] -> { S1[i,j] : N >= 1 and i >= 0 and i <= N-1 and j < M}");
  Polyhedron().print_iscc("T", none);
  EXPECT_EQ(none.str(), "[] -> { T[] : }");
}

TEST_F(PolyhedronTest, CheckFindsNodesSharedBetweenConstraints)
{
  EXPECT_EQ(box->check().size(), 8u);  // 2 + 2 + 4 nodes
  Inequation* first = box->constraints.front();
  Inequation* second = *std::next(box->constraints.begin());
  Expression* kept = second->rhs;
  second->rhs = first->rhs;  // both constraints now hold the same node
  try {
    box->check();
    ADD_FAILURE() << "no interference reported";
  } catch (const Failure& e) {
    EXPECT_STREQ(e.what(), "Polyhedron::check: interference found");
  }
  second->rhs = kept;
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
