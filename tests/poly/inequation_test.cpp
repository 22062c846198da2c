#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "algebra/inequation.h"
#include "algebra/rank.h"
#include "tests/poly/poly_test_support.h"
#include "tests/expect_failure.h"

namespace {

using Rows = std::vector<std::vector<Value>>;

std::string code(const Inequation& c)
{
  std::ostringstream os;
  c.print_code(os);
  return os.str();
}

// Registry: counters i, j; parameter N. Rows are [i, j, N, constant].
class InequationTest : public ::testing::Test {
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
  }
  std::unique_ptr<Expression> i, j, n;
};

TEST_F(InequationTest, RowsFollowThePredicate)
{
  Inequation lt(PRED_LT, i.get(), n.get()), le(PRED_LE, i.get(), n.get());
  Inequation gt(PRED_GT, i.get(), n.get()), ge(PRED_GE, i.get(), n.get());
  EXPECT_EQ(lt.to_matrix(), (Rows{{-1, 0, 1, -1}}));
  EXPECT_EQ(le.to_matrix(), (Rows{{-1, 0, 1, 0}}));
  EXPECT_EQ(gt.to_matrix(), (Rows{{1, 0, -1, -1}}));
  EXPECT_EQ(ge.to_matrix(), (Rows{{1, 0, -1, 0}}));
  auto eq = own(*i == 2);
  EXPECT_EQ(eq->to_matrix(), (Rows{{1, 0, 0, -2}, {-1, 0, 0, 2}}));
  create_counter_rank("k");  // the rows follow the registry as it grows
  EXPECT_EQ(eq->to_matrix(), (Rows{{1, 0, 0, 0, -2}, {-1, 0, 0, 0, 2}}));
}

TEST_F(InequationTest, ConstructorsCloneAndOperatorsPlaceConstants)
{
  auto sum = own(*i + *n);
  Inequation c(PRED_LE, sum.get(), j.get());
  sum.reset();
  EXPECT_EQ(text(c), "i+N <= j");
  auto copy = own(c.clone());
  EXPECT_TRUE(*copy == c && copy->lhs != c.lhs);
  copy.reset();
  EXPECT_EQ(text(c), "i+N <= j");

  auto a = own(5 < *i), b = own(*i >= 3), e = own(0 == *j);
  EXPECT_EQ(text(*a), "5 < i");
  EXPECT_EQ(text(*b), "i >= 3");
  EXPECT_EQ(text(*e), "0 = j");
  EXPECT_EQ(code(*e), "0 == j");
  EXPECT_FALSE(*a == *b);

  Inequation from_eq(std::vector<Value>{0, 1, 0, -1, 2}), from_ge(std::vector<Value>{1, 0, 1, 0, 0});
  EXPECT_EQ(from_eq.to_matrix(), (Rows{{1, 0, -1, 2}, {-1, 0, 1, -2}}));
  EXPECT_EQ(from_ge.to_matrix(), (Rows{{0, 1, 0, 0}}));
}

TEST_F(InequationTest, TruthOfConstantConstraints)
{
  Inequation yes(1), no(0);
  EXPECT_TRUE(yes.is_true() && yes.is_trivial());
  EXPECT_FALSE(yes.is_false());
  EXPECT_TRUE(no.is_false() && no.is_empty());
  EXPECT_FALSE(no.is_true());
  auto open = own(*i >= 0);
  EXPECT_FALSE(open->is_trivial() || open->is_true() || open->is_false());

  // A division makes the constraint neither true nor empty, whatever it says.
  auto half = own(*i / 2);
  auto zero = own(*half * 0);
  Inequation div_true(PRED_GE, zero.get(), zero.get()), div_false(PRED_LT, half.get(), half.get());
  EXPECT_TRUE(div_true.has_div());
  EXPECT_FALSE(div_true.is_true());
  EXPECT_FALSE(div_false.is_empty());
}

TEST_F(InequationTest, ImpliesAndEquals)
{
  auto two_i = own(*i * 2);
  auto l3 = own(*two_i + 3), l5 = own(*two_i + 5);
  auto c3 = own(*l3 >= 0), c5 = own(*l5 >= 0);
  EXPECT_TRUE(c3->implies(c5.get()));
  EXPECT_FALSE(c5->implies(c3.get()));
  EXPECT_FALSE(c3->equals(c5.get()));

  auto eq0 = own(*i == 0), eq1 = own(*i == 1), ge0 = own(*i >= 0);
  EXPECT_FALSE(eq0->implies(ge0.get()));
  EXPECT_FALSE(ge0->implies(eq0.get()));
  EXPECT_TRUE(eq0->implies(eq0.get()));
  // Equalities with different constants exclude each other.
  EXPECT_FALSE(eq1->implies(eq0.get()));
  EXPECT_FALSE(eq0->implies(eq1.get()));
  EXPECT_TRUE(ge0->equals(ge0.get()));
  EXPECT_FALSE(eq0->equals(ge0.get()));

  // A division on either side: no syntactic answer, and no crash.
  auto half = own(*i / 2);
  auto d = own(*half >= 0);
  EXPECT_FALSE(d->implies(ge0.get()) || ge0->implies(d.get()));
  EXPECT_FALSE(d->equals(ge0.get()) || ge0->equals(d.get()));
}

TEST_F(InequationTest, NegateSwapsStrictness)
{
  const predicate_t expected[] = {PRED_GE, PRED_GT, PRED_LE, PRED_LT};
  for (int p = PRED_LT; p <= PRED_GE; p++) {
    Inequation c(static_cast<predicate_t>(p), i.get(), n.get());
    auto neg = own(c.negate());
    EXPECT_EQ(neg->pred, expected[p]);
    EXPECT_TRUE(*neg->lhs == *i && *neg->rhs == *n);
  }
  Inequation eq(PRED_EQ, i.get(), n.get());
  EXPECT_FAILURE({
        std::cout.rdbuf(std::cerr.rdbuf());
        eq.negate();
      }, 1, "^Inequation::negate: unhandled predicate\ni = N\n$");
}

TEST_F(InequationTest, SeparateReadsBoundsOnOneCounter)
{
  auto bounds = [](const std::vector<Value>& row, int k) {
    std::string out;
    for (Inequation* b : Inequation(row).separate(k)) {
      out += text(*b) + ";";
      delete b;
    }
    return out;
  };
  EXPECT_EQ(bounds({1, -2, 0, 1, 0}, 0), "i <= floord(N,2);");
  EXPECT_EQ(bounds({1, 3, 0, -1, 1}, 0), "i >= ceild(-1+N,3);");
  EXPECT_EQ(bounds({0, 2, 0, -1, 0}, 0), "i >= ceild(N,2);i <= floord(N,2);");
  EXPECT_EQ(bounds({1, -1, 0, 1, -1}, 0), "i <= -1+N;");
  EXPECT_EQ(bounds({0, 1, 0, -1, 3}, 0), "i >= -3+N;i <= -3+N;");
  EXPECT_EQ(bounds({1, 1, 0, -1, 0}, 1), "");  // j does not occur
  EXPECT_EQ(bounds({1, 1, 0, -1, 0}, 7), "");  // no such counter
}

TEST_F(InequationTest, QueriesAndRenaming)
{
  auto half = own(*j / 2);
  auto left = own(*i + *half), right = own(*n / 3);
  Inequation c(PRED_LE, left.get(), right.get());
  EXPECT_EQ(c.get_counters(), (std::set<int>{0, 1}));
  EXPECT_EQ(c.get_parameters(), (std::set<int>{0}));
  EXPECT_TRUE(c.has_parameters() && c.has_variables());
  std::vector<Expression*> divs = c.get_divs();
  ASSERT_EQ(divs.size(), 2u);
  EXPECT_EQ(divs[0], c.lhs->fd);  // pointers into the sides, lhs first
  EXPECT_EQ(divs[1], c.rhs);

  auto p = own(c.counters_to_parameters({{0, 0}}));
  EXPECT_EQ(text(*p), "N+(j/2) <= N/3");
  EXPECT_EQ(text(*own(p->parameters_to_counters({{0, 1}}))), "j+(j/2) <= j/3");
  EXPECT_EQ(text(*own(c.counters_to_counters({{0, 1}, {1, 0}}))), "j+(i/2) <= N/3");
  auto m = own(par("M"));
  EXPECT_EQ(text(*own(c.parameters_to_parameters({{0, 1}}))), "i+(j/2) <= M/3");
  auto repl = own(*j + 1);
  auto t = own(c.substitute_counters({{0, repl.get()}}));
  repl.reset();
  EXPECT_EQ(text(*t), "(j+1)+(j/2) <= N/3");
  EXPECT_EQ(text(*own(c.substitute_parameters({{0, m.get()}}))), "i+(j/2) <= M/3");
  EXPECT_EQ(text(c), "i+(j/2) <= N/3");  // source unchanged
  EXPECT_EQ(code(c), "i+(div(j,2)) <= div(N,3)");
}

TEST_F(InequationTest, CheckFindsSharedSides)
{
  Inequation c(PRED_LE, i.get(), n.get());
  EXPECT_EQ(c.check().size(), 2u);
  Expression* kept = c.rhs;
  c.rhs = c.lhs;
  try {
    c.check();
    ADD_FAILURE() << "no interference reported";
  } catch (const Failure& e) {
    EXPECT_STREQ(e.what(), "Inequation::check: interference found");
  }
  c.rhs = kept;
  std::list<Inequation*> l{c.clone(), c.clone()};
  del(l);  // frees both (checked by the sanitizer)
}

}  // namespace
