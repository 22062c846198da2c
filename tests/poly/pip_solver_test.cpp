// The limits of the PIP solver on its own; its answers are checked against
// enumeration through the polyhedra that call it (engine_property_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

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
{
  return PipMatrix{static_cast<int>(rows.size()), width, rows};
}

PipOptions options(int maximize, int urs_parms, int urs_unknowns)
{
  PipOptions o = pip_options_init();
  o.Maximize = maximize;
  o.Urs_parms = urs_parms;
  o.Urs_unknowns = urs_unknowns;
  return o;
}

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
}

namespace {

// The lexicographic optimum of the integer points of the rows in the box
// [-B, B]^n, by enumeration.
std::optional<std::vector<long>> enumerated(const std::vector<Row>& rows, int n, int B, bool maximize)
{
  std::optional<std::vector<long>> best;
  std::vector<long> x(n, -B);
  for (;;) {
    bool holds = true;
    for (const Row& r : rows) {
      long v = r.back();
      for (int j = 0; j < n; j++)
        v += r[1 + j] * x[j];
      holds = holds && (r[0] == 0 ? v == 0 : v >= 0);
    }
    if (holds && (!best || (maximize ? x > *best : x < *best)))
      best = x;
    int j = n - 1;
    while (j >= 0 && x[j] == B)
      x[j--] = -B;
    if (j < 0)
      return best;
    x[j]++;
  }
}

}  // namespace

// Problems without parameters whose equalities (rows, and pairs of opposite
// inequalities) fix some unknowns: the solver leaves those out and computes
// them back; the optimum must still be the enumerated one.
TEST(PipSolverTest, OptimaWithEqualitiesMatchEnumeration)
{
  const int n = 4, B = 3;
  std::mt19937 rng(20261207u);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto random_row = [&](int kind) {
    Row r(n + 2, 0);
    r[0] = kind;
    for (int j = 1; j <= n; j++)
      r[j] = pick(0, 2) ? 0 : pick(-3, 3);
    r[1 + pick(0, n - 1)] = pick(0, 1) ? 1 : -1;
    r.back() = pick(-4, 4);
    return r;
  };
  for (int t = 0; t < 400 && !testing::Test::HasFailure(); t++) {
    Problem p{n, 0, {}, {}};
    for (int j = 0; j < n; j++) {  // the box
      Row lo(n + 2, 0), hi(n + 2, 0);
      lo[0] = hi[0] = 1;
      lo[1 + j] = 1, lo.back() = B;
      hi[1 + j] = -1, hi.back() = B;
      p.domain.push_back(lo);
      p.domain.push_back(hi);
    }
    for (int k = pick(0, 2); k > 0; k--)
      p.domain.push_back(random_row(0));
    for (int k = pick(0, 2); k > 0; k--) {
      Row r = random_row(1), s = r;
      for (size_t j = 1; j < s.size(); j++)
        s[j] = -r[j] * (pick(0, 3) ? 1 : 2);  // sometimes twice the opposite
      p.domain.push_back(r);
      p.domain.push_back(s);
    }
    for (int k = pick(0, 2); k > 0; k--)
      p.domain.push_back(random_row(1));
    for (int maximize : {0, 1})
      for (int urs : {0, 1}) {
        std::unique_ptr<PipQuast> q = solve(p, options(maximize, 1, urs));
        ASSERT_TRUE(q);
        ASSERT_FALSE(q->has_condition);
        std::optional<std::vector<long>> got;
        if (q->has_list) {
          got.emplace();
          for (const PipVector& v : q->list)
            got->push_back(v.the_vector.back());
        }
        std::vector<Row> rows = p.domain;
        for (int j = 0; urs == 0 && j < n; j++) {
          Row sign(n + 2, 0);
          sign[0] = 1, sign[1 + j] = 1;
          rows.push_back(sign);
        }
        EXPECT_EQ(got, enumerated(rows, n, B, maximize)) << "problem " << t << " maximize " << maximize
                                                         << " unsigned " << urs;
      }
  }
}
