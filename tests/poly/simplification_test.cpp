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
using Union = std::vector<Polyhedron*>;
using Poly = std::unique_ptr<Polyhedron>;

// The members' texts in any order; the union is deleted.
std::multiset<std::string> consumed(Union u)
{
  std::multiset<std::string> r;
  for (const Polyhedron* p : u)
    r.insert(text(*p));
  del(u);
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
    i.reset(var(0));
    j.reset(var(1));
    n.reset(par("N"));
    half.reset(*i / 2);
  }
  static Polyhedron* poly(std::initializer_list<Inequation*> cs)
  {
    Polyhedron* p = new Polyhedron();
    for (Inequation* c : cs) {
      p->add_constraint(c);
      delete c;
    }
    return p;
  }
  std::unique_ptr<Expression> i, j, n, half;
};

TEST_F(SimplificationTest, SyntacticMatrixAndMinimalForms)
{
  std::unique_ptr<Expression> zero(v(0)), minus(v(-1));
  EXPECT_EQ(text(*Poly(Poly(poly({*i >= 0, *zero >= 0, *i >= 0}))->simplify())), "/\n| i >= 0\n\\\n");
  // Of duplicates the last occurrence stays, in its position.
  EXPECT_EQ(text(*Poly(Poly(poly({*i >= 0, *j <= *n, *i >= 0, *half >= 1, *half >= 1}))->simplify())),
            "/\n| j <= N\n| i >= 0\n| i/2 >= 1\n\\\n");
  EXPECT_EQ(Poly(Poly(poly({*i == 3, *j < *n}))->simplify_matrix())->to_matrix(),
            (Rows{{1, 1, 0, 0, -3}, {1, -1, 0, 0, 3}, {1, 0, -1, 1, -1}}));

  // PolyLib drops i >= -1 and gives j == N back as one equality row.
  Poly p(poly({*i >= 0, *i >= *minus, *i <= *n, *j <= *n, *j >= *n}));
  Rows rows = Poly(p->simplify_chernikova())->to_matrix();
  auto has = [&rows](const std::vector<Value>& r) { return std::count(rows.begin(), rows.end(), r); };
  EXPECT_EQ(has({1, 1, 0, 0, 0}) + has({1, -1, 0, 1, 0}), 2);
  EXPECT_EQ(has({0, 0, 1, -1, 0}) + has({0, 0, -1, 1, 0}), 1);
  EXPECT_EQ(has({1, 1, 0, 0, 1}), 0);
  Poly d(poly({*half >= 1, *i >= *minus}));
  EXPECT_EQ(text(*Poly(d->simplify_chernikova())), text(*d));
}

TEST_F(SimplificationTest, GistForms)
{
  Poly box(poly({*i >= 0, *i <= *n})), ctx(poly({*n >= 0, *i >= 0}));
  const std::string upper = "/\n| (-1*i)+N >= 0\n\\\n";
  EXPECT_EQ(text(*Poly(Polyhedron::gist(box.get(), ctx.get()))), upper);
  EXPECT_EQ(Poly(box->simplify_gist())->size(), 2);
  // A gist without a disjunct (p outside the context) gives p back.
  Poly far(poly({*i >= 5})), near(poly({*i <= 2}));
  EXPECT_EQ(text(*Poly(Polyhedron::gist(far.get(), near.get()))), text(*far));
  // One disjunct per member; a member with a division makes it give copies.
  EXPECT_EQ(consumed(Polyhedron::gist(Union{box.get(), far.get()}, ctx.get())),
            (std::multiset<std::string>{upper, "/\n| -5+i >= 0\n\\\n"}));
  Poly d(poly({*half >= 1, *i >= 0}));
  EXPECT_EQ(consumed(Polyhedron::gist(Union{box.get(), d.get()}, Union{ctx.get()})),
            (std::multiset<std::string>{text(*box), text(*d)}));
  EXPECT_EQ(text(*Poly(d->simplify_gist())), text(*d));
}

TEST_F(SimplificationTest, Coalesce)
{
  std::unique_ptr<Expression> n2(*n + 2);
  Union u{poly({*i >= 0, *i <= 4}), poly({*i >= 5, *i <= 9}), poly({*i >= 2, *i <= 7})};
  Union c = Polyhedron::coalesce(u);
  ASSERT_EQ(c.size(), 1u);
  Rows rows = c[0]->to_matrix();
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, (Rows{{1, -1, 0, 0, 9}, {1, 1, 0, 0, 0}}));
  del(c);
  Union apart{poly({*i <= *n}), poly({*i >= *n2})};
  EXPECT_EQ(consumed(Polyhedron::coalesce(apart)).size(), 2u);
  del(apart);
  EXPECT_TRUE(Polyhedron::coalesce({}).empty());
  Poly d(poly({*half >= 1}));
  EXPECT_THROW(Polyhedron::coalesce({d.get()}), Unrepresentable);
  del(u);
}

TEST_F(SimplificationTest, DivisionElimination)
{
  Poly p(poly({*half >= 1}));
  auto [ranks, rewritten] = p->eliminate_divs();
  EXPECT_EQ(text(*rewritten), "/\n| q__0 >= 1\n| i = (2*q__0)+r__0\n| r__0 >= 0\n| r__0 < 2\n\\\n");
  EXPECT_EQ(ranks, (std::set<int>{get_counter_rank("q__0"), get_counter_rank("r__0")}));
  EXPECT_EQ(rewritten->has_divs, 0);
  EXPECT_EQ(text(*p), "/\n| i/2 >= 1\n\\\n");
  delete rewritten;

  // The same division twice: eliminate_divs makes two pairs, un_div shares
  // one; both reuse the counters of earlier calls.
  std::unique_ptr<Expression> jq(*j + *half);
  Poly twice(poly({*half >= 1, *jq <= *n}));
  auto [all, separate] = twice->eliminate_divs();
  EXPECT_TRUE(all.size() == 4u && separate->size() == 8);
  auto [meaning, shared] = twice->un_div();
  EXPECT_EQ(text(*shared), "/\n| q__0 >= 1\n| j+q__0 <= N\n| i = (2*q__0)+r__0\n| r__0 >= 0\n"
                           "| r__0 < 2\n\\\n");
  ASSERT_EQ(meaning.size(), 2u);
  EXPECT_EQ(text(*meaning[get_counter_rank("q__0")]), "i/2");
  EXPECT_EQ(text(*meaning[get_counter_rank("r__0")]), "i-(2*(i/2))");
  EXPECT_EQ(get_nb_counters(), 6);
  del(meaning);
  delete separate;
  delete shared;

  std::unique_ptr<Expression> by_j(*i / *j);
  Poly bad(poly({*by_j >= 1}));
  const char* stop = "^Polyhedron::eliminate_divs: not a division by a constant: i/j\n$";
  EXPECT_FAILURE((std::cout.rdbuf(std::cerr.rdbuf()), bad->eliminate_divs()), 1, stop);
  EXPECT_FAILURE((std::cout.rdbuf(std::cerr.rdbuf()), bad->un_div()), 1, stop);
}

}  // namespace
