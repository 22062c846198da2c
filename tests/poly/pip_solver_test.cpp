// The limits of the PIP solver on its own; its answers are checked against
// enumeration through the polyhedra that call it (engine_property_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

#include "brute_force.h"
#include "solvers/pip_solver.h"
#include "tests/expect_failure.h"

namespace {

using Row = std::vector<long>;

// Rows with their kind: [kind | unknowns | parameters | constant].
struct Problem {
  int n = 0, np = 0;
  std::vector<Row> domain, context;
};

PipMatrix matrix(const std::vector<Row>& rows, int width)
{ return {static_cast<int>(rows.size()), width, rows}; }

PipOptions options(int maximize, int urs_parms, int urs_unknowns)
{ return {maximize, urs_parms, urs_unknowns, 0}; }

std::unique_ptr<PipQuast> solve(const Problem& p, const PipOptions& o)
{
  return pip_solve(matrix(p.domain, p.n + p.np + 2), matrix(p.context, p.np + 2), p.n, -1, o);
}

}  // namespace

TEST(PipSolverFailureTest, OptimumOutOfRangeEndsTheProcess)
{
  // i >= 2^62 N, j >= i + 2^62 N: the minimum of j is 2^63 N.
  long big = 1L << 62;
  Problem pb{2, 1, {{1, 1, 0, -big, 0}, {1, -1, 1, -big, 0}}, {}};
  EXPECT_FAILURE(solve(pb, options(0, 0, 0)), 1, "pip_solve: coefficient does not fit in a 64-bit integer");
  PipOptions capped = options(0, 0, 0);
  capped.Max_operations = 1;
  Problem small{1, 1, {{1, 2, -1, 0}, {1, -3, 1, 7}}, {}};
  EXPECT_FAILURE(solve(small, capped), 1, "pip_solve: isl operation limit of 1 reached");
  // Rows given by their entries must name each column once, in order.
  PipMatrix context{0, 2, {}};
  for (const auto& [entries, message] : std::vector<std::pair<std::vector<std::pair<int, long>>, std::string>>{
           {{{1, 1}, {0, 1}}, "domain row 0 has entry 1 in column 0 .increasing columns from 0 to 2 expected."},
           {{{3, 1}}, "domain row 0 has entry 0 in column 3 .increasing columns from 0 to 2 expected."}}) {
    PipSparseMatrix bad{4, {PipSparseRow{1, entries}}};
    EXPECT_FAILURE(pip_solve(bad, context, 2, -1, options(0, 0, 0)), 1, "pip_solve: " + message);
  }
}

// An elimination whose substitution would overflow is given up: isl gets the
// problem as it is and still finds the optimum.
TEST(PipSolverTest, EliminationBeyond64BitsIsGivenUp)
{
  long big = 1L << 40;
  // x1 = 2^40 x0, x0 + 2^30 x1 >= 0 (beyond 2^70 x0 once x1 is eliminated),
  // 0 <= x0 <= 1.
  Problem p{2, 0, {{0, -big, 1, 0}, {1, 1, 1L << 30, 0}, {1, 1, 0, 0}, {1, -1, 0, 1}}, {}};
  std::unique_ptr<PipQuast> q = solve(p, options(1, 1, 1));
  ASSERT_TRUE(q && q->has_list && q->list.size() == 2);
  EXPECT_EQ(q->list[0].the_vector, std::vector<long>{1});
  EXPECT_EQ(q->list[1].the_vector, std::vector<long>{big});
}

// Problems without parameters whose equalities (rows, and pairs of opposite
// inequalities) fix some unknowns: the solver leaves those out and computes
// them back; the optimum must still be the one found by enumerating the box
// [-B, B]^n ([0, B]^n for unknowns of sign >= 0).
TEST(PipSolverTest, OptimaWithEqualitiesMatchEnumeration)
{
  const int n = 4, B = 3;
  std::mt19937 rng(20261207u);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto row = [&](int kind, int unit, long constant) {  // random but for a unit coefficient
    Row r(n + 2, 0);
    r[0] = kind;
    for (int j = 1; unit < 0 && j <= n; j++)
      r[j] = pick(0, 2) ? 0 : pick(-3, 3);
    r[1 + (unit < 0 ? pick(0, n - 1) : unit)] = unit < 0 && pick(0, 1) ? -1 : 1;
    r.back() = constant;
    return r;
  };
  auto enumerated = [&](const std::vector<Row>& rows, int lo, bool maximize) {
    std::optional<std::vector<long>> best;  // points come in lexicographic order
    brute::each_point(brute::Point{}, {0, 1, 2, 3}, lo, B, [&](const brute::Point& x) {
      bool holds = true;
      for (const Row& r : rows) {
        long v = r.back();
        for (int j = 0; j < n; j++)
          v += r[1 + j] * x[j];
        holds = holds && (r[0] == 0 ? v == 0 : v >= 0);
      }
      if (holds)
        best = std::vector<long>(x.begin(), x.begin() + n);
      return !best || maximize;
    });
    return best;
  };
  for (int t = 0; t < 400 && !testing::Test::HasFailure(); t++) {
    Problem p{n, 0, {}, {}};
    for (int j = 0; j < n; j++) {  // the box: x_j + B >= 0, -x_j + B >= 0
      p.domain.push_back(row(1, j, B));
      p.domain.push_back(row(1, j, B));
      p.domain.back()[1 + j] = -1;
    }
    for (int k = pick(0, 2); k > 0; k--)
      p.domain.push_back(row(0, -1, pick(-4, 4)));
    for (int k = pick(0, 2); k > 0; k--) {
      Row r = row(1, -1, pick(-4, 4)), s = r;
      for (size_t j = 1; j < s.size(); j++)
        s[j] = -r[j] * (pick(0, 3) ? 1 : 2);  // sometimes twice the opposite
      p.domain.insert(p.domain.end(), {r, s});
    }
    for (int k = pick(0, 2); k > 0; k--)
      p.domain.push_back(row(1, -1, pick(-4, 4)));
    for (int maximize : {0, 1})
      for (int urs : {0, 1}) {
        std::unique_ptr<PipQuast> q = solve(p, options(maximize, 1, urs));
        ASSERT_TRUE(q);
        ASSERT_FALSE(q->has_condition);
        std::optional<std::vector<long>> got;
        for (size_t j = 0; q->has_list && j < q->list.size(); j++)
          (got ? *got : got.emplace()).push_back(q->list[j].the_vector.back());
        EXPECT_EQ(got, enumerated(p.domain, urs ? -B : 0, maximize))
            << "problem " << t << " maximize " << maximize << " unsigned " << urs;
      }
  }
}
