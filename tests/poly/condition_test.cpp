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
using Cond = std::unique_ptr<Condition>;

// The union's text; the union is deleted.
std::string consumed(Union u)
{
  std::string r = text(u);
  return del(u), r;
}

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
    i.reset(var(0)), j.reset(var(1)), n.reset(par("N")), k.reset(v(1));
  }
  // A leaf or a polyhedron adopting the inequations.
  static Condition* leaf(Inequation* c) { return new Condition(std::unique_ptr<Inequation>(c).get()); }
  static Polyhedron* poly(std::initializer_list<Inequation*> cs)
  {
    Polyhedron* p = new Polyhedron();
    for (Inequation* c : cs) {
      p->add_constraint(c);
      delete c;
    }
    return p;
  }
  // Whether some member holds at the point (x, y), parameters absent.
  static bool holds(const Union& u, int x, int y)
  {
    std::map<int, Expression*> at{{0, v(x)}, {1, v(y)}};
    bool found = false;
    for (const Polyhedron* p : u) {
      std::unique_ptr<Polyhedron> s(p->substitute_counters(at));
      bool all = true;
      for (const Inequation* c : s->constraints)
        all = all && c->is_true();
      found = found || all;
    }
    del(at);
    return found;
  }
  std::unique_ptr<Expression> i, j, n, k;
};

TEST_F(ConditionTest, BuildsComparesAndPrints)
{
  std::unique_ptr<Polyhedron> p(poly({*i >= 0, *i <= *n})), q(poly({*j >= 1}));
  Condition c(p.get()), u(Union{p.get(), q.get()});
  EXPECT_EQ(text(c), "(i <= N) and ((i >= 0) and (true))");
  EXPECT_EQ(text(u), "((j >= 1) and (true)) or (((i <= N) and ((i >= 0) and (true))) or (false))");
  EXPECT_TRUE(Condition(std::list<Polyhedron*>{}).is_false() && Condition(1).is_true());
  EXPECT_TRUE(*Cond(c.clone()) == c);
  EXPECT_FALSE(c == u || Condition(1) == Condition(0) || Condition(1) == *c.left);
  EXPECT_FALSE(*Cond(new Condition(BOOL_AND, c.right, c.left)) == c);  // operands in order
}

TEST_F(ConditionTest, NegationAndPolyhedra)
{
  Cond a(leaf(*i >= 0)), b(leaf(*i <= *n));
  Condition* negation = Condition(BOOL_AND, a.get(), b.get()).negate();
  EXPECT_EQ(text(*negation), "(i < 0) or (i > N)");
  Union pieces = negation->to_polyhedra();  // consumes negation
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0]->to_matrix(), std::vector<std::vector<Value>>({{1, -1, 0, 0, -1}}));
  EXPECT_EQ(pieces[1]->to_matrix(), std::vector<std::vector<Value>>({{1, 1, 0, -1, -1}}));
  del(pieces);
  EXPECT_TRUE(Cond(Condition(1).negate())->is_false());

  // False gives an empty polyhedron, which is dropped; 0 >= 0 is no constraint.
  Condition f(0);
  EXPECT_EQ(consumed((new Condition(BOOL_OR, &f, a.get()))->to_polyhedra()), "/\n| i >= 0\n\\\n");
  std::unique_ptr<Expression> zero(v(0));
  EXPECT_EQ(consumed(leaf(*zero >= 0)->to_polyhedra()), "/\n\\\n");
  EXPECT_EQ(consumed(leaf(*zero > 0)->to_polyhedra()), "(empty domain)");
  EXPECT_EQ(consumed(leaf(*i < 0)->to_polyhedra()), "/\n| i < 0\n\\\n");
}

TEST_F(ConditionTest, DnfAndSimplifyConsumeTheirObject)
{
  Cond a(leaf(*i >= 0)), b(leaf(*j >= 0)), c(leaf(*j <= *n)), d(leaf(*i <= *n));
  Cond bc(new Condition(BOOL_OR, b.get(), c.get())), ad(new Condition(BOOL_OR, a.get(), d.get()));
  EXPECT_EQ(text(*Cond((new Condition(BOOL_AND, a.get(), bc.get()))->dnf())),
            "((i >= 0) and (j >= 0)) or ((i >= 0) and (j <= N))");
  Condition* left = (new Condition(BOOL_AND, bc.get(), a.get()))->dnf();
  EXPECT_EQ(text(*left), "((j >= 0) and (i >= 0)) or ((j <= N) and (i >= 0))");
  EXPECT_EQ(left->dnf(), left);  // already in normal form: returned as it is
  delete left;
  // (a or d) and (b or c) takes several passes: four conjuncts of two.
  EXPECT_EQ(consumed((new Condition(BOOL_AND, ad.get(), bc.get()))->to_polyhedra()),
            "/\n| i >= 0\n| j >= 0\n\\\nU\n/\n| i <= N\n| j >= 0\n\\\nU\n"
            "/\n| i >= 0\n| j <= N\n\\\nU\n/\n| i <= N\n| j <= N\n\\\n");

  // Simplification folds constant leaves and keeps the operands intact.
  Cond t(leaf(*k >= 0)), f(leaf(*k < 1));
  Cond at(new Condition(BOOL_AND, a.get(), t.get()));
  Cond or_false(new Condition(BOOL_OR, f.get(), at.get()));
  EXPECT_EQ(text(*Cond(or_false->clone()->simplify())), "i >= 0");
  EXPECT_EQ(text(*or_false), "(1 < 1) or ((i >= 0) and (1 >= 0))");
  EXPECT_TRUE(Cond((new Condition(BOOL_OR, a.get(), t.get()))->simplify())->is_true());
  EXPECT_TRUE(Cond((new Condition(BOOL_AND, a.get(), f.get()))->simplify())->is_false());
  Cond kept(new Condition(BOOL_OR, a.get(), a.get()));
  EXPECT_TRUE(*Cond(kept->clone()->simplify()) == *kept);
}

TEST_F(ConditionTest, ComplementsHoldExactlyTheOtherPoints)
{
  std::vector<Union> cases{{poly({*i <= 0}), poly({*i >= 5})},
                           {poly({*i >= 1, *i <= 4, *j >= 2}), poly({*j <= 0, *i >= 3})},
                           {poly({})},
                           {}};
  for (Union& u : cases) {  // on the box [-3, 8] x [-3, 8]
    Union complement = Polyhedron::negate(u);
    for (int x = -3; x <= 8; x++)
      for (int y = -3; y <= 8; y++)
        EXPECT_NE(holds(u, x, y), holds(complement, x, y)) << x << "," << y;
    EXPECT_EQ(u.size() == 1 ? consumed(u[0]->negate()) : text(complement), text(complement));
    del(complement), del(u);
  }
}

}  // namespace
