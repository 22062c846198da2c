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
