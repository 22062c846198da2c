#include "solvers/equality_elimination.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <unordered_map>

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

long negated(long x)
{
  if (x == std::numeric_limits<long>::min())
    throw TooWide();
  return -x;
}

// The entry of column j (0 when absent).
long entry(const Row& r, int j)
{
  auto it = std::lower_bound(r.begin(), r.end(), j,
                             [](const std::pair<int, long>& t, int c) { return t.first < c; });
  return it != r.end() && it->first == j ? it->second : 0;
}

// r + a * v, without column `drop` (which v does not hold).
Row combined(const Row& r, long a, const Row& v, int drop)
{
  Row out;
  out.reserve(r.size() + v.size());
  auto i = r.begin(), k = v.begin();
  while (i != r.end() || k != v.end()) {
    if (k == v.end() || (i != r.end() && i->first < k->first)) {
      if (i->first != drop)
        out.push_back(*i);
      ++i;
    } else if (i == r.end() || k->first < i->first) {
      out.push_back({k->first, add_product(0, a, k->second)});
      ++k;
    } else {
      long x = add_product(i->second, a, k->second);
      if (x != 0)
        out.push_back({i->first, x});
      ++i, ++k;
    }
  }
  return out;
}

class Eliminator {
 public:
  Eliminator(std::vector<Row> eq, std::vector<Row> ineq, int n, int width)
      : eq_(std::move(eq)), ineq_(std::move(ineq)), n_(n), constant_(width - 1)
  {
  }

  EqualityElimination run()
  {
    for (;;) {
      tidy();
      index_unknowns();
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
  long constant(const Row& r) const { return !r.empty() && r.back().first == constant_ ? r.back().second : 0; }
  size_t nb_coefficients(const Row& r) const { return r.size() - (constant(r) != 0); }

  // Divided by the gcd of the coefficients (the constant rounded down for an
  // inequality; an equality is left as it is when the constant is not a
  // multiple, it then has no integer point and the solver says so).
  void normalize(Row& r, bool inequality) const
  {
    long g = 0;
    for (const auto& [column, value] : r)
      if (value == std::numeric_limits<long>::min())
        throw TooWide();
    size_t nc = nb_coefficients(r);
    for (size_t k = 0; k < nc; k++)
      g = std::gcd(g, r[k].second < 0 ? -r[k].second : r[k].second);
    if (g <= 1)
      return;
    if (!inequality && constant(r) % g != 0)
      return;
    for (size_t k = 0; k < nc; k++)
      r[k].second /= g;
    if (nc < r.size()) {
      r.back().second = inequality ? floor_div(r.back().second, g) : r.back().second / g;
      if (r.back().second == 0)
        r.pop_back();
    }
  }

  // Normalized, without rows 0 = 0 and 0 >= 0, with one inequality per set
  // of parallel ones (the tightest).
  void tidy()
  {
    std::vector<Row> eq;
    std::unordered_map<size_t, std::vector<size_t>> seen;  // hash -> rows of eq
    for (Row& r : eq_) {
      normalize(r, false);
      if (r.empty())
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
      if (r.empty())
        continue;
      std::vector<size_t>& bucket = coefficients_[hashed(r, 1, false)];
      auto parallel = std::find_if(bucket.begin(), bucket.end(),
                                   [&](size_t k) { return same_coefficients(ineq[k], r, 1); });
      if (parallel == bucket.end()) {
        bucket.push_back(ineq.size());
        ineq.push_back(std::move(r));
      } else if (constant(r) < constant(ineq[*parallel])) {
        set_constant(ineq[*parallel], constant(r));
      }
    }
    ineq_ = std::move(ineq);
  }

  void set_constant(Row& r, long c) const
  {
    if (constant(r) != 0)
      r.pop_back();
    if (c != 0)
      r.push_back({constant_, c});
  }

  // For each unknown, the rows that hold it (eq_ rows as (false, i), ineq_
  // rows as (true, i)); a row may be listed where it no longer holds the
  // unknown.
  void index_unknowns()
  {
    holding_.assign(n_, {});
    for (int pass = 0; pass < 2; pass++) {
      const std::vector<Row>& rows = pass ? ineq_ : eq_;
      for (size_t i = 0; i < rows.size(); i++)
        for (const auto& [column, value] : rows[i])
          if (column < n_)
            holding_[column].push_back({pass == 1, i});
    }
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
        if (k > i && same_coefficients(ineq_[k], ineq_[i], -1) && constant(ineq_[k]) == -constant(ineq_[i]))
          first.push_back(i);
    }
    return first;
  }

  // A hash of sign times the row's coefficients (and of its constant when
  // asked).
  size_t hashed(const Row& r, long sign, bool with_constant) const
  {
    size_t h = 14695981039346656037ULL;
    size_t end = with_constant ? r.size() : nb_coefficients(r);
    for (size_t k = 0; k < end; k++) {
      h ^= static_cast<size_t>(r[k].first) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
      h ^= static_cast<size_t>(sign * r[k].second) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    }
    return h;
  }

  // Whether a's coefficients are sign times b's.
  bool same_coefficients(const Row& a, const Row& b, long sign) const
  {
    size_t na = nb_coefficients(a);
    if (na != nb_coefficients(b))
      return false;
    for (size_t k = 0; k < na; k++)
      if (a[k].first != b[k].first || a[k].second != sign * b[k].second)
        return false;
    return true;
  }

  // Eliminates the last unknown of the equality e = 0 when its coefficient
  // is 1 or -1; whether it did.
  bool eliminate_by(const Row& e)
  {
    auto last = std::find_if(e.rbegin(), e.rend(), [&](const std::pair<int, long>& t) { return t.first < n_; });
    if (last == e.rend() || (last->second != 1 && last->second != -1))
      return false;
    int j = last->first;
    // x_j = -e[j] * (the rest of e).
    Row value;
    for (const auto& [column, v] : e)
      if (column != j)
        value.push_back({column, last->second == 1 ? negated(v) : v});
    // holding_[j] grows while it is walked (a row that gains j is appended).
    for (size_t h = 0; h < holding_[j].size(); h++) {
      auto [inequality, i] = holding_[j][h];
      Row& r = inequality ? ineq_[i] : eq_[i];
      long a = entry(r, j);
      if (a == 0)
        continue;
      Row before = std::move(r);
      r = combined(before, a, value, j);
      for (const auto& [column, v] : value)
        if (column < n_ && entry(before, column) == 0)
          holding_[column].push_back({inequality, i});
    }
    eliminated_.push_back({j, std::move(value)});
    return true;
  }

  EqualityElimination result()
  {
    EqualityElimination r;
    std::vector<bool> gone(n_, false);
    for (const auto& [j, value] : eliminated_)
      gone[j] = true;
    std::vector<int> position(n_, -1);
    for (int j = 0; j < n_; j++)
      if (!gone[j]) {
        position[j] = static_cast<int>(r.kept.size());
        r.kept.push_back(j);
      }
    // Each value names only unknowns eliminated after it: in the reverse
    // order, those are already over the kept unknowns.
    std::vector<Row> final_value(n_);
    for (auto it = eliminated_.rbegin(); it != eliminated_.rend(); ++it) {
      Row v = it->second;
      for (const auto& [k, a] : it->second)
        if (k < n_ && gone[k])
          v = combined(v, a, final_value[k], k);
      final_value[it->first] = std::move(v);
    }
    int shift = n_ - static_cast<int>(r.kept.size());
    auto compact = [&](Row row) {
      for (auto& [column, value] : row)
        column = column < n_ ? position[column] : column - shift;
      return row;
    };
    for (const auto& [j, value] : eliminated_)
      r.eliminated.push_back({j, compact(final_value[j])});
    for (Row& e : eq_)
      r.eq.push_back(compact(std::move(e)));
    for (Row& i : ineq_)
      r.ineq.push_back(compact(std::move(i)));
    return r;
  }

  std::vector<Row> eq_, ineq_;
  // The inequalities by the hash of their coefficients (made by tidy()).
  std::unordered_map<size_t, std::vector<size_t>> coefficients_;
  std::vector<std::vector<std::pair<bool, size_t>>> holding_;
  int n_;
  int constant_;  // the column of the constant
  std::vector<std::pair<int, Row>> eliminated_;
};

}  // namespace

EqualityElimination eliminate_equalities(std::vector<Row> eq, std::vector<Row> ineq, int n, int width)
{
  try {
    return Eliminator(eq, ineq, n, width).run();
  } catch (const TooWide&) {
    EqualityElimination unchanged;
    for (int j = 0; j < n; j++)
      unchanged.kept.push_back(j);
    unchanged.eq = std::move(eq);
    unchanged.ineq = std::move(ineq);
    return unchanged;
  }
}
