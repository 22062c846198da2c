// Loop nests scanning a polyhedron: several bounds nest max and min.
#include <gtest/gtest.h>

#include <regex>

#include "codegen/code_generation.h"
#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "algebra/inequation.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"
#include "tests/codegen/codegen_test_support.h"
#include "tests/expect_failure.h"

namespace {

using E = std::unique_ptr<Expression>;

class ScanTest : public ::testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
  void SetUp() override
  {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
  }

  static E counter(const std::string& name) { return E(var(name)); }
  static E parameter(const std::string& name) { return E(par(name)); }
  static E k(int v) { return E(new Expression(v)); }

  // c op e, added to p.
  static void add(Polyhedron& p, predicate_t op, const E& c, const E& e)
  {
    Inequation constraint(op, c.get(), e.get());
    p.add_constraint(&constraint);
  }

  static std::string scan_text(Polyhedron& p, const std::vector<int>& counters)
  {
    std::ostringstream os;
    print_scan(os, &p, counters, "  ");
    return os.str();
  }
};

TEST_F(ScanTest, SeveralBoundsNestMaxAndMin)
{
  E t = counter("t"), N = parameter("N"), M = parameter("M");
  Polyhedron p;
  add(p, PRED_GE, t, k(0));
  add(p, PRED_GE, t, E(*N - 5));
  add(p, PRED_GE, t, E(*M - 7));
  add(p, PRED_LE, t, E(*E(*N + *M) + 1));
  add(p, PRED_LE, t, k(20));
  std::string text = scan_text(p, {t->counter_rank});
  std::smatch m;
  ASSERT_TRUE(std::regex_match(
      text, m, std::regex(R"(  for\(t = max\(([^,]+),max\(([^,]+),([^,]+)\)\); t <= min\(([^,]+),([^,]+)\); t\+\+\)\n)")))
      << text;
  std::multiset<std::string> lower{m[1], m[2], m[3]}, upper{m[4], m[5]};
  EXPECT_EQ(lower, (std::multiset<std::string>{"0", "-5+N", "-7+M"}));
  EXPECT_EQ(upper, (std::multiset<std::string>{"(1+N)+M", "20"}));
}

}  // namespace
