// The coefficients of the affine functions non-negative on a polyhedron,
// against an enumeration: on random non-empty polyhedra over x and y
// (bounded or not, with an equality or not), whose vertices are integral,
// f = u0 x + u1 y + u2 is non-negative on the polyhedron exactly for the
// (u0, u1, u2) of the answer.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <vector>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "algebra/inequation.h"
#include "algebra/rank.h"
#include "analysis/farkas.h"
#include "polyhedra/polyhedron.h"

namespace {

TEST(FarkasTest, AnswerIsEveryFunctionNonNegativeOnThePolyhedron)
{
  AnalysisScope scope;
  for (const char* name : {"x", "y", "u0", "u1", "u2"})
    create_counter_rank(name);
  std::mt19937 rng(11);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  // Rows over (x, y, constant): >= 0, or == 0 for an equality. Unit rows,
  // x + y and x - y keep the constraint matrix totally unimodular, so the
  // vertices are integral and the integer points decide.
  using Row = std::array<int, 3>;
  int unbounded = 0, with_equality = 0, instances = 0;
  for (int round = 0; round < 60; round++) {
    std::vector<std::pair<Row, bool>> rows;
    for (int v = 0; v < 2; v++) {
      int low = pick(-3, 0), width = pick(0, 3);
      Row lower{}, upper{};
      lower[v] = 1, lower[2] = -low;
      upper[v] = -1, upper[2] = low + width;
      if (pick(0, 3))
        rows.push_back({lower, false});
      if (pick(0, 3))
        rows.push_back({upper, false});
    }
    if (pick(0, 2) == 0) {
      Row r{pick(0, 1) ? 1 : -1, pick(0, 1) ? 1 : -1, pick(-2, 2)};
      bool equality = pick(0, 2) == 0;
      rows.push_back({r, equality});
      with_equality += equality;
    }
    constexpr int kBox = 25;
    std::vector<std::array<int, 2>> points;
    bool at_edge = false;
    for (int x = -kBox; x <= kBox; x++)
      for (int y = -kBox; y <= kBox; y++) {
        bool in = true;
        for (const auto& [r, equality] : rows) {
          int value = r[0] * x + r[1] * y + r[2];
          in = in && (equality ? value == 0 : value >= 0);
        }
        if (in) {
          points.push_back({x, y});
          at_edge = at_edge || x == kBox || y == kBox || x == -kBox || y == -kBox;
        }
      }
    if (points.empty())
      continue;
    instances++;
    unbounded += at_edge;

    auto p = std::make_unique<Polyhedron>();
    Expression zero(0);
    for (const auto& [r, equality] : rows) {
      Expression e(std::vector<Value>{r[0], r[1], 0, 0, 0, r[2]}, std::vector<int>{0, 1, 2, 3, 4},
                   std::vector<int>());
      Inequation c(equality ? PRED_EQ : PRED_GE, &e, &zero);
      p->add_constraint(&c);
    }
    std::vector<UnknownRow> f{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    std::unique_ptr<Polyhedron> answer = non_negative_on(p.get(), {0, 1}, f, {2, 3, 4}, {});
    std::vector<std::vector<Value>> matrix = answer->to_matrix();
    for (int u0 = -2; u0 <= 2; u0++)
      for (int u1 = -2; u1 <= 2; u1++)
        for (int u2 = -2; u2 <= 2; u2++) {
          bool non_negative = true;
          for (const auto& [x, y] : points)
            non_negative = non_negative && u0 * x + u1 * y + u2 >= 0;
          std::array<long, 5> point{0, 0, u0, u1, u2};
          bool member = true;
          for (const std::vector<Value>& r : matrix) {
            long value = r.back();
            for (size_t k = 0; k < point.size(); k++)
              value += r[1 + k] * point[k];
            member = member && (r[0] == 0 ? value == 0 : value >= 0);
          }
          EXPECT_EQ(member, non_negative)
              << "round " << round << ", u = (" << u0 << ", " << u1 << ", " << u2 << ")\n" << *p;
        }
  }
  EXPECT_GT(instances, 40);
  EXPECT_GT(unbounded, 20);
  EXPECT_GT(with_equality, 3);
}

}  // namespace
