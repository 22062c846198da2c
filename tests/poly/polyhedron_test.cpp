#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <numeric>
#include <optional>
#include <random>
#include <set>
#include <memory>
#include <sstream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "polyhedra/polyhedron.h"
#include "polyhedra/quast.h"
#include "algebra/rank.h"
#include "tests/poly/poly_test_support.h"
#include "tests/expect_failure.h"

namespace {

using Rows = std::vector<std::vector<Value>>;

// Registry: counter i, parameter N; rows are [kind, i, N, constant].
// box is {N >= 1, i >= 0, i <= N - 1}.
class PolyhedronTest : public ::testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
  void SetUp() override
  {
    create_counter_rank("i");
    create_parameter_rank("N");
    i = var(0);
    n = par("N");
    auto n1 = own(*n - 1);
    box = poly({*n >= 1, *i >= 0, *i <= *n1});
  }
  std::unique_ptr<Expression> i, n;
  std::unique_ptr<Polyhedron> box;
};

TEST_F(PolyhedronTest, CacheIsReusedUntilConstraintsOrRegistryChange)
{
  box->to_matrix();
  box->matrix[0][0] = 7;  // a reused cache shows the mark
  EXPECT_EQ(box->to_matrix()[0][0], 7);
  Polyhedron copy(box.get());
  EXPECT_EQ(copy.has_matrix, 1);
  EXPECT_EQ(copy.to_matrix()[0][0], 7);  // copied, not rebuilt

  // A new counter comes between the counters and the parameters.
  create_counter_rank("j");
  Rows wide{{1, 0, 0, 1, -1}, {1, 1, 0, 0, 0}, {1, -1, 0, 1, -1}};
  EXPECT_EQ(box->to_matrix(), wide);
  EXPECT_EQ(copy.to_matrix(), wide);
  EXPECT_EQ(box->nb_counters, 2);

  auto c = own(*i <= 9);
  box->add_constraint(c.get());
  EXPECT_EQ(box->has_matrix, 0);
  EXPECT_EQ(box->to_matrix().back(), (std::vector<Value>{1, -1, 0, 0, 9}));
  copy.add_constraints(box.get());
  EXPECT_EQ(copy.has_matrix, 0);
  EXPECT_EQ(copy.to_matrix().size(), 7u);
}

}  // namespace

// Maps keyed by polyhedra iterate in creation order, whatever the addresses:
// a polyhedron made later in memory freed by an earlier one comes last.
TEST(PolyhedronMapTest, IteratesInCreationOrderNotAddressOrder)
{
  std::vector<std::unique_ptr<Polyhedron>> made;
  for (int k = 0; k < 64; k++)
    made.push_back(std::make_unique<Polyhedron>());
  for (int k = 0; k < 64; k += 2)
    made[k].reset();
  PolyhedronMap<int> pieces;
  std::vector<Polyhedron*> order;
  for (int k = 0; k < 64; k++) {
    Polyhedron* p = k % 2 ? made[k].release() : new Polyhedron();  // reuses freed addresses
    order.push_back(p);
    pieces[p] = k;
  }
  std::sort(order.begin(), order.end(),
            [](const Polyhedron* a, const Polyhedron* b) { return a->serial < b->serial; });
  std::vector<Polyhedron*> iterated;
  for (const auto& [p, k] : pieces)
    iterated.push_back(p);
  EXPECT_EQ(iterated, order);
  for (Polyhedron* p : order)
    delete p;
}

// Random scheduler-like problems over the counters t0..t3 (in [-2, 2]), the
// 0/1 indicators e0..e5 and u = 6 - (e0 + ... + e5). Some indicators copy
// the bound of an earlier one, written differently by a multiple of an
// equality between the t's: they are found interchangeable, and stating the
// equality of each interchangeable pair changes no minimum of (u, t, e).
// The indicators said never 1 are 0 at every point; fixing them to 0 changes
// no minimum, and neither does fixing all others to 1 too when that leaves a
// point. Each claim is checked against an enumeration of the points.
TEST(InterchangeableCountersTest, CopiesAreFoundAndTyingThemKeepsTheMinimum)
{
  constexpr int kT = 4, kE = 6, kWidth = kT + kE + 1;
  AnalysisScope scope;
  for (int k = 0; k < kWidth; k++)
    create_counter_rank(k < kT ? "t" : k < kT + kE ? "e" : "u");
  std::vector<int> all(kWidth), indicators;
  std::iota(all.begin(), all.end(), 0);
  for (int k = kT; k < kT + kE; k++)
    indicators.push_back(k);
  using Row = std::array<long, kWidth + 1>;  // coefficients, constant
  auto constraint = [&](const Row& r, predicate_t pred) {
    Expression e(std::vector<Value>(r.begin(), r.end()), all, std::vector<int>()), zero(0);
    return std::make_unique<Inequation>(pred, &e, &zero);
  };
  std::mt19937 rng(7);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int copies = 0, feasible = 0, nevers = 0, shortcuts = 0;
  for (int round = 0; round < 80; round++) {
    std::vector<Row> ge, eq;
    for (int k = 0; k < kT; k++) {
      Row low{}, high{};
      low[k] = 1, low[kWidth] = 2, high[k] = -1, high[kWidth] = 2;
      ge.push_back(low), ge.push_back(high);
    }
    Row equality{};  // t_a - t_b - c = 0
    int a = pick(0, kT - 1), b = (a + pick(1, kT - 1)) % kT;
    equality[a] = 1, equality[b] = -1, equality[kWidth] = pick(-1, 1);
    eq.push_back(equality);
    std::vector<Row> bound(kE);  // L e_k <= f_k(t)
    std::vector<int> copied(kE, -1);
    for (int k = 0; k < kE; k++) {
      Row& r = bound[k];
      if (k > 0 && pick(0, 1)) {
        copied[k] = pick(0, k - 1);
        r = bound[copied[k]];
        std::swap(r[kT + copied[k]], r[kT + k]);
        long m = pick(1, 2) * (pick(0, 1) ? 1 : -1);
        for (int j = 0; j <= kWidth; j++)
          r[j] += m * equality[j];
      } else {
        for (int j = 0; j < kT; j++)
          r[j] = pick(-2, 2);
        r[kWidth] = pick(-1, 2);
        r[kT + k] = -pick(1, 2);
      }
      Row hard{};
      for (int j = 0; j < kT; j++)
        hard[j] = pick(-1, 1);
      hard[kWidth] = pick(0, 3);
      ge.push_back(r), ge.push_back(hard);
      Row low{}, high{};
      low[kT + k] = 1, high[kT + k] = -1, high[kWidth] = 1;
      ge.push_back(low), ge.push_back(high);
    }
    Row count{};  // u - 6 + sum e = 0
    count[kT + kE] = 1, count[kWidth] = -kE;
    for (int k = kT; k < kT + kE; k++)
      count[k] = 1;

    auto p = std::make_unique<Polyhedron>();
    for (const Row& r : ge)
      p->add_constraint(constraint(r, PRED_GE).get());
    for (const Row& r : eq)
      p->add_constraint(constraint(r, PRED_EQ).get());
    auto counted = std::make_unique<Polyhedron>();
    counted->add_constraint(constraint(count, PRED_EQ).get());
    std::map<int, int> first = Polyhedron::interchangeable_counters({p.get()}, indicators);
    std::set<int> never = Polyhedron::counters_never_one({p.get(), counted.get()}, indicators);
    for (int k = 0; k < kE; k++)
      if (copied[k] >= 0) {
        copies++;
        EXPECT_EQ(first.at(kT + k), first.at(kT + copied[k])) << "round " << round << ", e" << k;
      }

    // The enumeration: the smallest u, its points, and the minimum.
    auto value = [](const Row& r, const Row& x) {
      long v = r[kWidth];
      for (int j = 0; j < kWidth; j++)
        v += r[j] * x[j];
      return v;
    };
    std::vector<Row> points;
    Row x{};
    for (int code = 0; code < 625 * 64; code++) {
      int rest = code;
      for (int k = kT + kE - 1; k >= 0; k--) {
        int base = k < kT ? 5 : 2;
        x[k] = rest % base - (k < kT ? 2 : 0);
        rest /= base;
      }
      x[kT + kE] = kE - std::accumulate(x.begin() + kT, x.begin() + kT + kE, 0L);
      bool in = std::all_of(ge.begin(), ge.end(), [&](const Row& r) { return value(r, x) >= 0; }) &&
                std::all_of(eq.begin(), eq.end(), [&](const Row& r) { return value(r, x) == 0; });
      if (in) {
        points.push_back(x);
        for (int c : never)
          EXPECT_EQ(x[c], 0) << "round " << round << ": e" << c - kT << " said never 1";
      }
    }
    if (points.empty())
      continue;
    feasible++;
    nevers += static_cast<int>(never.size());
    long best = std::min_element(points.begin(), points.end(), [](const Row& l, const Row& r) {
                  return l[kT + kE] < r[kT + kE];
                })->at(kT + kE);
    Row minimum{};
    bool found = false;
    for (const Row& y : points) {
      if (y[kT + kE] != best)
        continue;
      for (const auto& [c, f] : first)
        EXPECT_EQ(y[c], y[f]) << "round " << round << ": e" << c - kT << " and e" << f - kT;
      if (!found || y < minimum)
        minimum = y, found = true;
    }
    // The minimum, or nothing when there is no point.
    auto optimum = [&](std::vector<const Polyhedron*> parts) -> std::optional<Row> {
      std::unique_ptr<Expression> date(Expression::from_counter_rank(kT + kE));
      IndexFunction dates(std::vector<Expression*>{date.get()});
      std::unique_ptr<Quast> q(Polyhedron::min_lex2(parts, &dates));
      if (q->is_bottom)
        return std::nullopt;
      Row y{};
      for (int k = 0; k < kWidth; k++)
        y[k] = q->solution->index_mapping.at(k)->val;
      return y;
    };
    auto solved = [&](std::vector<const Polyhedron*> parts) { return optimum(parts).value_or(Row{}); };
    std::vector<std::unique_ptr<Polyhedron>> values;
    std::vector<const Polyhedron*> zeros{p.get(), counted.get()}, fixed = zeros;
    for (int c : indicators) {
      Row v{};
      v[c] = 1, v[kWidth] = never.count(c) ? 0 : -1;
      values.push_back(std::make_unique<Polyhedron>());
      values.back()->add_constraint(constraint(v, PRED_EQ).get());
      fixed.push_back(values.back().get());
      if (never.count(c))
        zeros.push_back(values.back().get());
    }
    EXPECT_EQ(solved(zeros), minimum) << "round " << round << " with the indicators never 1 at 0";
    if (std::optional<Row> y = optimum(fixed)) {
      shortcuts++;
      EXPECT_EQ(*y, minimum) << "round " << round << " with every indicator fixed";
    }
    std::vector<std::unique_ptr<Polyhedron>> ties;
    std::vector<const Polyhedron*> parts{p.get(), counted.get()};
    EXPECT_EQ(solved(parts), minimum) << "round " << round;
    for (const auto& [c, f] : first) {
      Row same{};
      same[c] = 1, same[f] -= 1;
      ties.push_back(std::make_unique<Polyhedron>());
      ties.back()->add_constraint(constraint(same, PRED_EQ).get());
      parts.push_back(ties.back().get());
    }
    EXPECT_EQ(solved(parts), minimum) << "round " << round << " with the ties";
  }
  EXPECT_GT(copies, 100);
  EXPECT_GT(feasible, 40);
  EXPECT_GT(nevers, 30);
  EXPECT_GT(shortcuts, 30);
}
