#include "solvers/equality_elimination.h"

#include <cstdlib>
#include <limits>
#include <algorithm>
#include <unordered_map>
#include <numeric>

namespace {

using Row = EqualityElimination::Row;

// An entry beyond 64 bits: the elimination is given up.
struct TooWide {};

long add_product(long acc, long a, long b)
{
  long p;
  if (__builtin_mul_overflow(a, b, &p) || __builtin_add_overflow(acc, p, &acc))
    throw TooWide();
  return acc;
}

long floor_div(long a, long b)  // b > 0
{
  long q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

bool is_zero(const Row& r)
{
  for (long x : r)
    if (x != 0)
      return false;
  return true;
}

// Divided by the gcd of the coefficients (the constant rounded down for an
// inequality; an equality is left as it is when the constant is not a
// multiple, it then has no integer point and the solver says so).
void normalize(Row& r, bool inequality)
{
  long g = 0;
  for (long x : r)
    if (x == std::numeric_limits<long>::min())
      throw TooWide();
  for (size_t j = 0; j + 1 < r.size(); j++)
    g = std::gcd(g, r[j] < 0 ? -r[j] : r[j]);
  if (g <= 1)
    return;
  if (!inequality && r.back() % g != 0)
    return;
  for (size_t j = 0; j + 1 < r.size(); j++)
    r[j] /= g;
  r.back() = inequality ? floor_div(r.back(), g) : r.back() / g;
}

Row negated(const Row& r)
{
  Row n(r.size());
  for (size_t j = 0; j < r.size(); j++) {
    if (r[j] == std::numeric_limits<long>::min())
      throw TooWide();
    n[j] = -r[j];
  }
  return n;
}

class Eliminator {
 public:
  Eliminator(const std::vector<Row>& eq, const std::vector<Row>& ineq, int n)
      : eq_(eq), ineq_(ineq), n_(n)
  {
  }

  EqualityElimination run()
  {
    for (;;) {
      tidy();
      std::vector<std::pair<bool, size_t>> candidates;  // (inequality, index)
      for (size_t i = 0; i < eq_.size(); i++)
        candidates.push_back({false, i});
      for (size_t i : opposite_pairs())
        candidates.push_back({true, i});
      bool progress = false;
      for (const auto& [inequality, i] : candidates)
        progress |= eliminate_by(inequality ? ineq_[i] : eq_[i]);
      if (!progress)
        break;
    }
    return result();
  }

 private:
  // Normalized, without rows 0 = 0 and 0 >= 0, with one inequality per set
  // of parallel ones (the tightest).
  void tidy()
  {
    std::vector<Row> eq;
    std::unordered_map<size_t, std::vector<size_t>> seen;  // hash -> rows of eq
    for (Row& r : eq_) {
      normalize(r, false);
      if (is_zero(r))
        continue;
      std::vector<size_t>& bucket = seen[hashed(r, 1, true)];
      bool repeated = false;
      for (size_t k : bucket)
        repeated = repeated || eq[k] == r;
      if (!repeated) {
        bucket.push_back(eq.size());
        eq.push_back(std::move(r));
      }
    }
    eq_ = std::move(eq);
    std::vector<Row> ineq;
    coefficients_.clear();
    for (Row& r : ineq_) {
      normalize(r, true);
      if (is_zero(r))
        continue;
      std::vector<size_t>& bucket = coefficients_[hashed(r, 1, false)];
      auto parallel = std::find_if(bucket.begin(), bucket.end(),
                                   [&](size_t k) { return same_coefficients(ineq[k], r, 1); });
      if (parallel == bucket.end()) {
        bucket.push_back(ineq.size());
        ineq.push_back(std::move(r));
      } else if (r.back() < ineq[*parallel].back()) {
        ineq[*parallel].back() = r.back();
      }
    }
    ineq_ = std::move(ineq);
  }

  // One inequality of each pair a.x + c >= 0, -a.x - c >= 0 (after tidy()).
  std::vector<size_t> opposite_pairs() const
  {
    std::vector<size_t> first;
    for (size_t i = 0; i < ineq_.size(); i++) {
      auto bucket = coefficients_.find(hashed(ineq_[i], -1, false));
      if (bucket == coefficients_.end())
        continue;
      for (size_t k : bucket->second)
        if (k > i && same_coefficients(ineq_[k], ineq_[i], -1) && ineq_[k].back() == -ineq_[i].back())
          first.push_back(i);
    }
    return first;
  }

  // A hash of sign times the row's coefficients (and of its constant when
  // asked).
  static size_t hashed(const Row& r, long sign, bool constant)
  {
    size_t h = 14695981039346656037ULL;
    size_t end = constant ? r.size() : r.size() - 1;
    for (size_t j = 0; j < end; j++) {
      h ^= static_cast<size_t>(sign * r[j]) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    }
    return h;
  }

  // Whether a's coefficients are sign times b's.
  static bool same_coefficients(const Row& a, const Row& b, long sign)
  {
    for (size_t j = 0; j + 1 < a.size(); j++)
      if (a[j] != sign * b[j])
        return false;
    return true;
  }

  // Eliminates the last unknown of the equality e = 0 when its coefficient
  // is 1 or -1; whether it did.
  bool eliminate_by(const Row& e)
  {
    int j = n_ - 1;
    while (j >= 0 && e[j] == 0)
      j--;
    if (j < 0 || (e[j] != 1 && e[j] != -1))
      return false;
    // x_j = -e[j] * (the rest of e).
    Row value = e[j] == 1 ? negated(e) : e;
    value[j] = 0;
    substitute(j, value, eq_);
    substitute(j, value, ineq_);
    eliminated_.push_back({j, value});
    return true;
  }

  static void substitute(int j, const Row& value, std::vector<Row>& rows)
  {
    for (Row& r : rows) {
      long a = r[j];
      if (a == 0)
        continue;
      r[j] = 0;
      for (size_t k = 0; k < r.size(); k++)
        if (value[k] != 0)
          r[k] = add_product(r[k], a, value[k]);
    }
  }

  EqualityElimination result()
  {
    EqualityElimination r;
    std::vector<bool> gone(n_, false);
    for (const auto& [j, value] : eliminated_)
      gone[j] = true;
    for (int j = 0; j < n_; j++)
      if (!gone[j])
        r.kept.push_back(j);
    // Each value names only unknowns eliminated after it: in the reverse
    // order, those are already over the kept unknowns.
    std::vector<Row> final_value(n_);
    for (auto it = eliminated_.rbegin(); it != eliminated_.rend(); ++it) {
      Row v = it->second;
      for (int k = 0; k < n_; k++)
        if (gone[k] && v[k] != 0) {
          long a = v[k];
          v[k] = 0;
          for (size_t c = 0; c < v.size(); c++)
            if (final_value[k][c] != 0)
              v[c] = add_product(v[c], a, final_value[k][c]);
        }
      final_value[it->first] = v;
    }
    for (const auto& [j, value] : eliminated_)
      r.eliminated.push_back({j, compact(final_value[j], gone)});
    for (const Row& e : eq_)
      r.eq.push_back(compact(e, gone));
    for (const Row& i : ineq_)
      r.ineq.push_back(compact(i, gone));
    return r;
  }

  Row compact(const Row& row, const std::vector<bool>& gone) const
  {
    Row c;
    for (size_t k = 0; k < row.size(); k++)
      if (k >= static_cast<size_t>(n_) || !gone[k])
        c.push_back(row[k]);
    return c;
  }

  std::vector<Row> eq_, ineq_;
  // The inequalities by the hash of their coefficients (made by tidy()).
  std::unordered_map<size_t, std::vector<size_t>> coefficients_;
  int n_;
  std::vector<std::pair<int, Row>> eliminated_;
};

}  // namespace

EqualityElimination eliminate_equalities(const std::vector<Row>& eq, const std::vector<Row>& ineq, int n)
{
  try {
    return Eliminator(eq, ineq, n).run();
  } catch (const TooWide&) {
    EqualityElimination unchanged;
    for (int j = 0; j < n; j++)
      unchanged.kept.push_back(j);
    unchanged.eq = eq;
    unchanged.ineq = ineq;
    return unchanged;
  }
}
