// Farkas forms of small polyhedra: their rows and multipliers, definition
// constraints, scaling, moving onto more variables, roots, and misuse.
#include <gtest/gtest.h>

#include <sstream>

#include "analysis/affine_form.h"
#include "algebra/analysis_context.h"
#include "tests/analysis/dependence_test_support.h"
#include "tests/expect_failure.h"

namespace {

using Matrix = std::vector<std::vector<Value>>;

class AffineFormTest : public ::testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
  void SetUp() override
  {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    create_counter_rank("i");
    create_counter_rank("j");
    i = get_counter_rank("i");
    j = get_counter_rank("j");
    Expression* leaf = Expression::from_counter_rank(i);
    Expression zero(0), nine(9);
    Inequation low(PRED_GE, leaf, &zero), high(PRED_LE, leaf, &nine);
    range.add_constraint(&low);
    range.add_constraint(&high);
    delete leaf;
  }

  static std::string name(const Expression* e) { return get_counter_string(e->counter_rank); }

  // Whether p holds at the counters named, the others being 0.
  static bool at(const Polyhedron* p, const std::map<std::string, int>& values)
  {
    truth::Values counters;
    for (const auto& [n, v] : values)
      counters[get_counter_rank(n)] = v;
    return truth::holds(p, counters, {});
  }

  int i = 0, j = 0;
  Polyhedron range;  // 0 <= i <= 9
};

TEST_F(AffineFormTest, FarkasFormOfARangeAndItsDefinition)
{
  AffineForm f(&range, {i}, "m");
  EXPECT_TRUE(f.is_farkas && !f.is_basic && !f.is_sum);
  EXPECT_EQ(f.A, (Matrix{{1}, {-1}}));
  EXPECT_EQ(f.b, (std::vector<Value>{0, 9}));
  ASSERT_EQ(f.lambda.size(), 2u);
  EXPECT_EQ(name(f.lambda[0]) + " " + name(f.lambda[1]), "m_0 m_1");
  EXPECT_EQ(name(f.constant_term), "m_2");
  EXPECT_EQ(*f.constant_multiplier, *f.constant_term);
  auto [definition, ranks] = f.get_definition_constraints("c");
  ASSERT_EQ(ranks.size(), 2u);
  EXPECT_EQ(get_counter_string(ranks[0]) + " " + get_counter_string(ranks[1]), "c_0 c_1");
  // Exactly c_0 = m_0 - m_1 and c_1 = 9 m_1 + m_2.
  for (int m0 : {0, 2})
    for (int m1 : {0, 3})
      for (int c0 = -3; c0 <= 2; c0++)
        for (int c1 : {0, 9, 27, 28})
          EXPECT_EQ(at(definition, {{"m_0", m0}, {"m_1", m1}, {"m_2", 1}, {"c_0", c0}, {"c_1", c1}}),
                    c0 == m0 - m1 && c1 == 9 * m1 + 1);
  // A second form restarts the names.
  AffineForm g(&range, {i}, "m", 4);
  EXPECT_EQ(name(g.lambda[0]) + " " + name(g.constant_term), "m_4_0 m_4_2");
  AffineForm h(&range, {i}, "m");
  EXPECT_EQ(*h.lambda[0], *f.lambda[0]);
  delete definition;
}

TEST_F(AffineFormTest, FormOfAPolyhedronWithoutConstraints)
{
  Polyhedron universe;
  AffineForm f(&universe, {i}, "n");
  EXPECT_TRUE(f.A.empty() && f.b.empty() && f.lambda.empty());
  EXPECT_EQ(name(f.constant_term), "n_0");
  AffineForm* moved = f.adapt_to({i, j}, {i});
  EXPECT_TRUE(moved->is_farkas && moved->A.empty() && moved->lambda.empty());
  EXPECT_EQ(*moved->constant_term, *f.constant_term);
  auto [definition, ranks] = f.get_definition_constraints("d");
  ASSERT_EQ(ranks.size(), 1u);
  // The single equality d_0 = n_0.
  for (int n = 0; n < 3; n++)
    for (int d = 0; d < 3; d++)
      EXPECT_EQ(at(definition, {{"n_0", n}, {"d_0", d}}), n == d);
  delete moved;
  delete definition;
}

TEST_F(AffineFormTest, ScalingTwiceByMinusOneGivesTheFormBack)
{
  AffineForm f(&range, {i}, "m");
  std::string positivity = text(*std::unique_ptr<Polyhedron>(f.get_positivity_constraints()));
  f.scale(-1);
  EXPECT_EQ(f.A, (Matrix{{-1}, {1}}));
  EXPECT_EQ(f.b, (std::vector<Value>{0, -9}));
  EXPECT_EQ(f.constant_term->evaluate_int({{get_counter_rank("m_2"), 5}}, {}), -5);
  EXPECT_EQ(name(f.constant_multiplier), "m_2");
  f.scale(-1);
  EXPECT_EQ(f.A, (Matrix{{1}, {-1}}));
  EXPECT_EQ(f.b, (std::vector<Value>{0, 9}));
  EXPECT_EQ(f.constant_term->evaluate_int({{get_counter_rank("m_2"), 5}}, {}), 5);
  EXPECT_EQ(text(*std::unique_ptr<Polyhedron>(f.get_positivity_constraints())), positivity);
}

TEST_F(AffineFormTest, ComposeAndAdaptPlaceTheColumns)
{
  AffineForm f(&range, {i}, "m");
  std::unique_ptr<AffineForm> g(f.compose(Matrix{{2}}, {1}));  // f(2y + 1)
  EXPECT_EQ(g->A, (Matrix{{2}, {-2}}));
  EXPECT_EQ(g->b, (std::vector<Value>{1, 8}));
  EXPECT_EQ(*g->lambda[1], *f.lambda[1]);
  std::unique_ptr<AffineForm> on_j(f.adapt_to({i, j}, {j}));
  EXPECT_EQ(on_j->A, (Matrix{{0, 1}, {0, -1}}));
  EXPECT_EQ(on_j->b, f.b);
  std::unique_ptr<AffineForm> on_i(f.adapt_to({i, j}, {i}));
  EXPECT_EQ(on_i->A, (Matrix{{1, 0}, {-1, 0}}));
}

TEST_F(AffineFormTest, RootsOfAFormAndOfItsDifferenceWithItself)
{
  AffineForm f(&range, {i}, "m");
  AffineForm negated(f);
  negated.scale(-1);
  AffineForm difference(std::vector<AffineForm*>{&f, &negated});
  std::unique_ptr<Polyhedron> none(difference.roots());
  // Only the multipliers' positivity remains.
  std::unique_ptr<Polyhedron> only(f.roots());
  for (int m0 = -1; m0 <= 2; m0++)
    for (int m1 = -1; m1 <= 2; m1++)
      for (int m2 = -1; m2 <= 2; m2++) {
        std::map<std::string, int> point{{"m_0", m0}, {"m_1", m1}, {"m_2", m2}};
        EXPECT_EQ(at(none.get(), point), m0 >= 0 && m1 >= 0 && m2 >= 0);
        // f itself vanishes identically only with every multiplier 0.
        EXPECT_EQ(at(only.get(), point), m0 == 0 && m1 == 0 && m2 == 0);
      }
  Expression zero(0);
  AffineForm basic({1}, &zero);
  EXPECT_EQ(basic.roots(), nullptr);
}

using AffineFormFailureTest = AffineFormTest;

TEST_F(AffineFormFailureTest, MisuseStopsWithStatusOne)
{
  Expression zero(0);
  AffineForm basic({1}, &zero);
  EXPECT_FAILURE(basic.scale(-1), 1, "AffineForm::scale: should be in farkas form");
  EXPECT_FAILURE(basic.get_definition_constraints(std::vector<Expression*>{&zero, &zero}), 1, "AffineForm::get_definition_constraints\\(\\): expect Farkas form");
  AffineForm f(&range, {i}, "m");
  EXPECT_FAILURE(f.get_definition_constraints(std::vector<Expression*>{&zero}), 1, "AffineForm::get_definition_constraints\\(\\): wrong coef size2 1");
}

}  // namespace
