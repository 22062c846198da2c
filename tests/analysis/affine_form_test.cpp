// Farkas forms of small polyhedra: the roots of a form, checked point by point.
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
    std::unique_ptr<Expression> leaf = Expression::from_counter_rank(i);
    Expression zero(0), nine(9);
    Inequation low(PRED_GE, leaf.get(), &zero), high(PRED_LE, leaf.get(), &nine);
    range.add_constraint(&low);
    range.add_constraint(&high);
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


}  // namespace
