// The quick emptiness test against enumeration: it may leave a question
// unknown, never answer it wrongly.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "solvers/rational_emptiness.h"

namespace {

using Rows = std::vector<std::vector<long>>;  // [kind | x | constant]

const char* name(QuickEmptiness q)
{
  return q == QuickEmptiness::Empty ? "empty" : q == QuickEmptiness::NotEmpty ? "not empty" : "unknown";
}

struct Case {
  const char* what;
  Rows rows;
  QuickEmptiness expected;
};

TEST(QuickEmptinessTest, Cases)
{
  const long big = LONG_MAX / 2;
  const std::vector<Case> cases = {
      {"x >= 1 and x <= 0", {{1, 1, -1}, {1, -1, 0}}, QuickEmptiness::Empty},
      {"2x = 1 (no integer)", {{0, 2, -1}}, QuickEmptiness::Empty},
      {"1 <= 2x <= 1 (a rational point only)", {{1, 2, -1}, {1, -2, 1}}, QuickEmptiness::Empty},
      {"x = y, x < y (one level)", {{0, 1, -1, 0}, {1, -1, 1, -1}}, QuickEmptiness::Empty},
      {"x = y + 2, 0 <= y <= 3", {{0, 1, -1, -2}, {1, 0, 1, 0}, {1, 0, -1, 3}}, QuickEmptiness::NotEmpty},
      {"x = 2y, 1 <= y", {{0, 1, -2, 0}, {1, 0, 1, -1}}, QuickEmptiness::NotEmpty},
      {"no row over x", {{1, 0, 5}}, QuickEmptiness::NotEmpty},
      {"entries beyond 64 bits", {{1, big, big - 1, 0}, {1, -(big - 1), big, 0}, {1, 0, -1, -1}},
       QuickEmptiness::Unknown},
  };
  for (const Case& c : cases)
    EXPECT_EQ(quick_emptiness(c.rows), c.expected)
        << c.what << ": " << name(quick_emptiness(c.rows)) << " instead of " << name(c.expected);
}

// Random systems over three integers in the box [-B, B]^3, with
// equalities and non-unit coefficients: every answer given agrees with the
// enumeration of the box, and most questions are answered.
TEST(QuickEmptinessTest, AnswersAgreeWithEnumeration)
{
  const int n = 3, B = 4;
  std::mt19937 rng(20261207u);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int answered = 0, empty = 0, trials = 3000;
  for (int t = 0; t < trials && !testing::Test::HasFailure(); t++) {
    Rows rows;
    for (int j = 0; j < n; j++)
      for (int s : {1, -1}) {
        rows.push_back(std::vector<long>(n + 2, 0));
        rows.back()[0] = 1;
        rows.back()[1 + j] = s;
        rows.back().back() = B;
      }
    for (int k = pick(0, 5); k > 0; k--) {
      std::vector<long> r(n + 2, 0);
      r[0] = pick(0, 3) == 0 ? 0 : 1;
      for (int j = 1; j <= n; j++)
        r[j] = pick(0, 2) ? pick(-3, 3) : 0;
      r.back() = pick(-6, 6);
      rows.push_back(r);
    }
    bool has_point = false;
    for (long x = -B; x <= B && !has_point; x++)
      for (long y = -B; y <= B && !has_point; y++)
        for (long z = -B; z <= B && !has_point; z++) {
          bool holds = true;
          for (const auto& r : rows) {
            long v = r[1] * x + r[2] * y + r[3] * z + r[4];
            holds = holds && (r[0] == 0 ? v == 0 : v >= 0);
          }
          has_point = holds;
        }
    QuickEmptiness q = quick_emptiness(rows);
    if (q != QuickEmptiness::Unknown) {
      answered++;
      EXPECT_EQ(q == QuickEmptiness::Empty, !has_point) << "system " << t << ": " << name(q);
    }
    empty += !has_point;
  }
  EXPECT_GT(empty, trials / 10);
  EXPECT_GT(answered, trials * 9 / 10);
}

}  // namespace
