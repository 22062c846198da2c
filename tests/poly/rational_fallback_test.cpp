// isl's rational operations, which stand in for PolyLib's where PolyLib's
// own arithmetic overflows: on random bounded systems, the same integer
// points as PolyLib's answers and as the input, counted in a box.
#include <gtest/gtest.h>

#include <random>

#include "solvers/isl_wrapper.h"
#include "solvers/polylib_wrapper.h"
#include "algebra/analysis_context.h"
#include "algebra/rank.h"
#include "tests/expect_failure.h"

namespace {

using Rows = std::vector<std::vector<Value>>;
using Point = std::vector<Value>;

const int kBox = 9;

bool holds(const Rows& m, const Point& x)
{
  for (const auto& r : m) {
    Value v = r.back();
    for (size_t j = 0; j < x.size(); j++)
      v += r[1 + j] * x[j];
    if (r[0] == 0 ? v != 0 : v < 0)
      return false;
  }
  return true;
}

// The integer points of m (n variables) in [-kBox, kBox]^n.
std::vector<Point> points(const Rows& m, int n)
{
  std::vector<Point> r;
  Point x(n, -kBox);
  for (;;) {
    if (holds(m, x))
      r.push_back(x);
    int k = 0;
    while (k < n && x[k] == kBox)
      x[k++] = -kBox;
    if (k == n)
      return r;
    x[k]++;
  }
}

// Rows over n variables with small coefficients, one equality at times,
// bounded by |x_j| <= 4.
Rows random_system(std::mt19937& rng, int n)
{
  std::uniform_int_distribution<int> coefficient(-3, 3), constant(-6, 6), count(1, 4);
  Rows m;
  for (int k = count(rng); k > 0; k--) {
    std::vector<Value> r{coefficient(rng) == 0 ? 0 : 1};
    for (int j = 0; j <= n; j++)
      r.push_back(j < n ? coefficient(rng) : constant(rng));
    m.push_back(r);
  }
  for (int j = 0; j < n; j++)
    for (int sign : {1, -1}) {
      std::vector<Value> r(n + 2, 0);
      r[0] = 1;
      r[1 + j] = sign;
      r.back() = 4;
      m.push_back(r);
    }
  return m;
}

// The points of a projection are those of the rational projection: a point
// of the box whose fiber holds a rational point. Both answers are compared
// with each other, and each holds the projection of every integer point.
TEST(RationalFallbackTest, ProjectionHasPolyLibsIntegerPoints)
{
  std::mt19937 rng(20241207);
  for (int trial = 0; trial < 60; trial++) {
    Rows m = random_system(rng, 3);
    Rows by_polylib = PolylibWrapper::project_columns(m, {false, true, true});
    Rows by_isl = ISLWrapper::rational_projection(m, 1, 2);
    EXPECT_EQ(points(by_isl, 2), points(by_polylib, 2)) << "trial " << trial;
    for (const Point& x : points(m, 3))
      EXPECT_TRUE(holds(by_isl, {x[1], x[2]})) << "trial " << trial;
  }
}

TEST(RationalFallbackTest, MinimalFormAndHullKeepTheIntegerPoints)
{
  AnalysisScope scope;
  create_counter_rank("x");
  create_counter_rank("y");
  std::mt19937 rng(7);
  for (int trial = 0; trial < 60; trial++) {
    Rows a = random_system(rng, 2), b = random_system(rng, 2);
    Rows minimal = ISLWrapper::rational_minimal_form(a, 2);
    EXPECT_EQ(points(minimal, 2), points(a, 2)) << "trial " << trial;
    EXPECT_EQ(points(minimal, 2), points(PolylibWrapper::simplify(a), 2)) << "trial " << trial;
    Rows hull = ISLWrapper::rational_convex_hull({a, b}, 2);
    EXPECT_EQ(points(hull, 2), points(PolylibWrapper::convex_hull({a, b}, 4), 2)) << "trial " << trial;
  }
}

TEST(RationalFallbackTest, EmptyAnswerIsOneFalseRow)
{
  Rows empty{{1, 1, -1}, {1, -1, -1}};  // x >= 1 and x <= -1
  EXPECT_EQ(ISLWrapper::rational_minimal_form(empty, 1), (Rows{{1, 0, -1}}));
  Rows lifted{{1, 1, 0, -1}, {1, -1, 0, -1}};
  EXPECT_EQ(ISLWrapper::rational_projection(lifted, 1, 1), (Rows{{1, 0, -1}}));
  EXPECT_EQ(ISLWrapper::rational_convex_hull({empty}, 1), (Rows{{1, 0, -1}}));
}

}  // namespace

// A point of isl beyond the 64-bit values is a Failure naming it, thrown
// after isl's walk over the points has ended and freed what it held: nothing
// of isl is written on the error stream.
TEST(IslPointsTest, APointBeyondTheValuesFailsAfterTheWalk)
{
  const Value most = INT64_MAX;
  // x = -most and y = 5 - x = most + 5.
  Rows m{{0, 1, 0, most}, {0, 1, 1, -5}};
  std::vector<Point> found;
  testing::internal::CaptureStderr();
  EXPECT_FAILURE(ISLWrapper::bounded_points(m, 2, 10, found), 1,
                 "value out of the 64-bit range: 9223372036854775812 ");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
