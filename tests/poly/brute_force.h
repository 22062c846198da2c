// Ground truth for the engine's property tests: small polyhedra kept as
// integer forms of their own, whose integer points are enumerated in a box,
// and an evaluator for the expression trees the engine answers with.
//
// The registry of these tests holds the counters i, j, k (ranks 0 to 2) and
// the parameters N, M (ranks 0 and 1); a point lists them in that order.
#ifndef VORL_TESTS_POLY_BRUTE_FORCE_H
#define VORL_TESTS_POLY_BRUTE_FORCE_H

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <random>
#include <vector>

#include "algebra/expression.h"
#include "algebra/inequation.h"
#include "polyhedra/polyhedron.h"

namespace brute {

constexpr int kCounters = 3, kParameters = 2;
using Point = std::array<int, kCounters + kParameters>;
using Row = std::array<int, kCounters + kParameters + 1>;  // coefficients, constant

inline long floor_div(long a, long b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

// a . (x, 1), plus q * floor(num . (x, 1) / d) when d > 0.
struct Form {
  Row a{};
  int q = 0, d = 0;
  Row num{};

  long value(const Point& x) const
  {
    long v = a.back(), n = num.back();
    for (size_t r = 0; r < x.size(); r++) {
      v += long(a[r]) * x[r];
      n += long(num[r]) * x[r];
    }
    return d > 0 ? v + q * floor_div(n, d) : v;
  }

  std::unique_ptr<Expression> expression() const
  {
    auto affine = [](const Row& c) {
      return Expression(std::vector<Value>(c.begin(), c.end()), std::vector<int>{0, 1, 2},
                        std::vector<int>{0, 1});
    };
    Expression e = affine(a), n = affine(num), den(d), factor(q);
    if (d <= 0)
      return e.clone();
    Expression quotient(OP_DIV, &n, &den), term(OP_TIMES, &factor, &quotient);
    return std::make_unique<Expression>(OP_PLUS, &e, &term);
  }
};

// A conjunction of form >= 0 and form == 0 (the flag).
struct System {
  std::vector<std::pair<Form, bool>> rows;

  bool holds(const Point& x) const
  {
    for (const auto& [f, equality] : rows)
      if (f.value(x) < 0 || (equality && f.value(x) != 0))
        return false;
    return true;
  }
  void add(const Form& f, bool equality = false) { rows.emplace_back(f, equality); }
  // lo <= x[r] <= hi.
  void bound(int r, int lo, int hi)
  {
    Form low, high;
    low.a[r] = 1, low.a.back() = -lo;
    high.a[r] = -1, high.a.back() = hi;
    add(low);
    add(high);
  }

  // The same constraints for the engine, alternately written e >= 0 and e > -1.
  std::unique_ptr<Polyhedron> polyhedron() const
  {
    auto p = std::make_unique<Polyhedron>();
    Expression zero(0), minus_one(-1);
    for (size_t k = 0; k < rows.size(); k++) {
      std::unique_ptr<Expression> e = rows[k].first.expression();
      Inequation c(rows[k].second ? PRED_EQ : k % 2 ? PRED_GT : PRED_GE, e.get(),
                   k % 2 && !rows[k].second ? &minus_one : &zero);
      p->add_constraint(&c);
    }
    return p;
  }
};

// Calls f on every point whose coordinates at `positions` range over
// [lo, hi], the others as in x, in lexicographic order of the positions;
// stops, returning false, when f returns false.
template <typename F>
bool each_point(Point x, const std::vector<int>& positions, int lo, int hi, F&& f, size_t k = 0)
{
  if (k == positions.size())
    return f(x);
  for (x[positions[k]] = lo; x[positions[k]] <= hi; x[positions[k]]++)
    if (!each_point(x, positions, lo, hi, f, k + 1))
      return false;
  return true;
}

// A point as the maps evaluate_int reads.
struct Values {
  std::map<int, Value> counters, parameters;
  explicit Values(const Point& x)
      : counters{{0, x[0]}, {1, x[1]}, {2, x[2]}}, parameters{{0, x[3]}, {1, x[4]}}
  {
  }
};

// Division nodes, in a polyhedron or a solver's answer, are floor quotients
// while evaluate_int truncates: subtrees holding one are evaluated here.
inline long value(const Expression* e, const Values& x)
{
  if (!e->has_div())
    return e->evaluate_int(x.counters, x.parameters);
  long a = value(e->fg, x), b = value(e->fd, x);
  switch (e->op) {
    case OP_PLUS: return a + b;
    case OP_MINUS: return a - b;
    case OP_TIMES: return a * b;
    case OP_DIV: EXPECT_GT(b, 0) << *e; return b > 0 ? floor_div(a, b) : 0;
    default: ADD_FAILURE() << "unexpected operator around a division: " << *e; return 0;
  }
}

inline long slack(const Inequation* c, const Values& x)
{
  return value(c->lhs, x) - value(c->rhs, x);
}

inline bool holds(const Inequation* c, const Values& x)
{
  long v = slack(c, x);
  switch (c->pred) {
    case PRED_LT: return v < 0;
    case PRED_LE: return v <= 0;
    case PRED_GT: return v > 0;
    case PRED_GE: return v >= 0;
    default: return v == 0;
  }
}

inline bool holds(const Polyhedron* p, const Point& x)
{
  Values values(x);
  for (const Inequation* c : p->constraints)
    if (!holds(c, values))
      return false;
  return true;
}

inline int pick(std::mt19937& rng, int lo, int hi)
{
  return lo + int(rng() % unsigned(hi - lo + 1));
}

// n of the m positions from `first` on, in ascending order.
inline std::vector<int> subset(std::mt19937& rng, int first, int m, int n)
{
  std::vector<int> all;
  for (int r = first; r < first + m; r++)
    all.push_back(r);
  while (int(all.size()) > n)
    all.erase(all.begin() + pick(rng, 0, int(all.size()) - 1));
  return all;
}

// A random form over the given positions, counter coefficients at most
// `largest` and parameter coefficients at most 2 in magnitude.
inline Form random_form(std::mt19937& rng, const std::vector<int>& positions, int largest = 3)
{
  Form f;
  for (int r : positions)
    f.a[r] = r < kCounters ? pick(rng, -largest, largest) : pick(rng, -2, 2);
  f.a.back() = pick(rng, -4, 7);
  return f;
}

}  // namespace brute

#endif
