// Loop nests scanning a polyhedron, their stops, and constant counter
// intervals.
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

TEST_F(ScanTest, TriangleGivesTwoNestedLoops)
{
  E t0 = counter("t0"), t1 = counter("t1"), N = parameter("N");
  Polyhedron p;
  add(p, PRED_GE, t0, k(0));
  add(p, PRED_LE, t0, N);
  add(p, PRED_GE, t1, k(0));
  add(p, PRED_LE, t1, t0);
  EXPECT_EQ(scan_text(p, {t0->counter_rank, t1->counter_rank}),
            "  for(t0 = 0; t0 <= N; t0++)\n"
            "    for(t1 = 0; t1 <= t0; t1++)\n");
}

TEST_F(ScanTest, InnerBoundsOnlyUseOuterCountersAndParameters)
{
  // Scanned in the other order, the bounds of t0 come from the projection
  // onto t1 first: 0 <= t1 <= N, then t1 <= t0 <= N.
  E t0 = counter("t0"), t1 = counter("t1"), N = parameter("N");
  Polyhedron p;
  add(p, PRED_GE, t1, k(0));
  add(p, PRED_LE, t1, t0);
  add(p, PRED_LE, t0, N);
  EXPECT_EQ(scan_text(p, {t1->counter_rank, t0->counter_rank}),
            "  for(t1 = 0; t1 <= N; t1++)\n"
            "    for(t0 = t1; t0 <= N; t0++)\n");
}

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

TEST_F(ScanTest, NoCounterWritesNoLoop)
{
  E N = parameter("N");
  Polyhedron p;
  add(p, PRED_GE, N, k(1));
  EXPECT_EQ(scan_text(p, {}), "");
}

TEST_F(ScanTest, CounterListMustBeExactlyThePolyhedronCounters)
{
  E t0 = counter("t0"), t1 = counter("t1"), u = counter("u");
  Polyhedron p;
  add(p, PRED_GE, t0, k(0));
  add(p, PRED_LE, t0, k(3));
  add(p, PRED_GE, t1, k(0));
  add(p, PRED_LE, t1, k(3));
  EXPECT_FAILURE(scan_text(p, {t0->counter_rank}), 1, quoted("CodeGeneration::print_scan: 'counters' must contain exactly polyhedron counters"));
  EXPECT_FAILURE(scan_text(p, {t0->counter_rank, u->counter_rank}), 1, quoted("CodeGeneration::print_scan: 'counters' must contain only polyhedron counters"));
}

TEST_F(ScanTest, MissingBoundStopsTheScan)
{
  E t = counter("t"), N = parameter("N");
  Polyhedron below, above;
  add(below, PRED_LE, t, N);
  add(above, PRED_GE, t, N);
  EXPECT_FAILURE(scan_text(below, {t->counter_rank}), 1, "^No lower bound for " + std::to_string(t->counter_rank) + "\n$");
  EXPECT_FAILURE(scan_text(above, {t->counter_rank}), 1, "^" + quoted("CodeGeneration::print_scan: no upper bound for t"));
}

TEST_F(ScanTest, IntervalsOfConstantBoundsAreFoldedAndMerged)
{
  E t = counter("t"), u = counter("u"), N = parameter("N");
  Polyhedron p, q;
  // 2t >= -3 and 2t <= 9: t from ceil(-3/2) = -1 to floor(9/2) = 4; u up
  // to floor(9/2 + 2) = 6 in the rational shadow.
  add(p, PRED_GE, E(*t * 2), k(-3));
  add(p, PRED_LE, E(*t * 2), k(9));
  add(p, PRED_GE, u, k(0));
  add(p, PRED_LE, u, E(*t + 2));
  // The parameter is eliminated: u <= N <= 10 bounds u by 10.
  add(q, PRED_GE, t, k(2));
  add(q, PRED_LE, t, k(6));
  add(q, PRED_GE, u, k(1));
  add(q, PRED_LE, u, N);
  add(q, PRED_LE, N, k(10));
  Intervals a = get_counter_intervals(&p);
  EXPECT_EQ(a, (Intervals{{"t", {-1, 4}}, {"u", {0, 6}}}));
  Intervals both = get_counter_intervals(std::vector<Polyhedron*>{&p, &q});
  EXPECT_EQ(both, (Intervals{{"t", {-1, 6}}, {"u", {0, 10}}}));
  EXPECT_FAILURE(max_intervals(a, Intervals{{"t", {0, 1}}}), 1, quoted("CodeGeneration::max_intervals: u not found"));
  EXPECT_FAILURE(get_counter_intervals(std::vector<Polyhedron*>{}), 1, quoted("CodeGeneration::get_counter_intervals: empty domain"));
}

TEST_F(ScanTest, UnboundedIntervalIsReportedAndKeptUnlessAsked)
{
  E t = counter("t"), u = counter("u");
  Polyhedron p;
  add(p, PRED_GE, t, k(2));
  add(p, PRED_GE, u, k(0));
  add(p, PRED_LE, u, k(5));
  ::testing::internal::CaptureStderr();
  Intervals r = get_counter_intervals(&p, {t->counter_rank, u->counter_rank});
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(r, (Intervals{{"t", {2, 2147483643}}, {"u", {0, 5}}}));
  EXPECT_EQ(err.rfind("\nUnbounded iteration domain:\n", 0), 0u) << err;
  analysis_context().fail_on_unbounded = true;
  EXPECT_FAILURE(get_counter_intervals(&p, {t->counter_rank}), 1, "Unbounded iteration domain:");
}

}  // namespace
