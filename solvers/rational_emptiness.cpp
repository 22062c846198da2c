#include "solvers/rational_emptiness.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <numeric>
#include <optional>
#include <utility>

namespace {

// Beyond these, the test gives up: the exact test is then as quick.
constexpr size_t kMaxVariables = 48;
constexpr size_t kMaxRows = 256;

// Thrown when the test gives up (an entry beyond 64 bits, too many rows).
struct GivenUp {};

using Row = std::vector<long>;  // [variables | constant]

long add(long a, long b)
{
  long r;
  if (__builtin_add_overflow(a, b, &r))
    throw GivenUp{};
  return r;
}

long mul(long a, long b)
{
  long r;
  if (__builtin_mul_overflow(a, b, &r))
    throw GivenUp{};
  return r;
}

long magnitude(long a)
{
  if (a == LONG_MIN)
    throw GivenUp{};
  return a < 0 ? -a : a;
}

long negated(long a)
{
  if (a == LONG_MIN)
    throw GivenUp{};
  return -a;
}

long floor_div(long a, long b)  // b > 0
{
  return a / b - (a % b != 0 && a < 0 ? 1 : 0);
}

// fa * a + fb * b.
Row combined(const Row& a, long fa, const Row& b, long fb)
{
  Row r(a.size());
  for (size_t j = 0; j < a.size(); ++j)
    r[j] = add(mul(fa, a[j]), mul(fb, b[j]));
  return r;
}

enum class Normal { Kept, Dropped, Contradiction };

// Divides the row by the gcd of its coefficients, an inequality's constant
// rounded down (the integer points keep it). A row without variable is
// dropped when it holds and a contradiction otherwise; so is an equality
// whose gcd does not divide its constant.
Normal normalize(Row& r, bool equality)
{
  long g = 0;
  for (size_t j = 0; j + 1 < r.size(); ++j)
    g = std::gcd(g, magnitude(r[j]));
  long& c = r.back();
  if (g == 0)
    return (equality ? c != 0 : c < 0) ? Normal::Contradiction : Normal::Dropped;
  if (equality && c % g != 0)
    return Normal::Contradiction;
  if (g > 1) {
    for (size_t j = 0; j + 1 < r.size(); ++j)
      r[j] /= g;
    c = equality ? c / g : floor_div(c, g);
  }
  return Normal::Kept;
}

void without_duplicates(std::vector<Row>& rows)
{
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
}

// Normalizes r and adds it to rows unless it always holds; true when it is
// a contradiction.
bool add_normalized(Row r, bool equality, std::vector<Row>& rows)
{
  Normal n = normalize(r, equality);
  if (n == Normal::Kept)
    rows.push_back(std::move(r));
  return n == Normal::Contradiction;
}

// Normalizes the rows in place, dropping those that always hold; true when
// one of them is a contradiction.
bool contradicted(std::vector<Row>& rows, bool equality)
{
  std::vector<Row> kept;
  for (Row& r : rows)
    if (add_normalized(std::move(r), equality, kept))
      return true;
  without_duplicates(kept);
  rows = std::move(kept);
  return false;
}

// ceil(a / b) and floor(a / b), b > 0.
long ceil_div(long a, long b) { return negated(floor_div(negated(a), b)); }

// The equalities substituted, then the variables eliminated one at a time
// (Fourier-Motzkin), each derived row normalized; what was eliminated is
// kept, to build a point back when no contradiction comes.
class Elimination {
 public:
  explicit Elimination(size_t nv) : nv_(nv) {}

  // True when a contradiction comes.
  bool contradiction(std::vector<Row> eq, std::vector<Row> ineq)
  {
    if (contradicted(eq, true) || contradicted(ineq, false))
      return true;
    while (!eq.empty()) {
      Row e = std::move(eq.back());
      eq.pop_back();
      // The variable of smallest coefficient: a unit one substitutes exactly.
      size_t k = nv_;
      for (size_t j = 0; j < nv_; ++j)
        if (e[j] != 0 && (k == nv_ || magnitude(e[j]) < magnitude(e[k])))
          k = j;
      long sign = e[k] > 0 ? 1 : -1, factor = magnitude(e[k]);
      // Only the rows that hold x_k change; the others stay normalized.
      for (bool equality : {true, false}) {
        std::vector<Row>& rows = equality ? eq : ineq;
        std::vector<Row> kept;
        for (Row& r : rows) {
          if (r[k] == 0)
            kept.push_back(std::move(r));
          else if (add_normalized(combined(r, factor, e, mul(-sign, r[k])), equality, kept))
            return true;
        }
        without_duplicates(kept);
        rows = std::move(kept);
      }
      substituted_.push_back({k, std::move(e)});
    }
    for (;;) {
      size_t k = cheapest(ineq);
      if (k == nv_)
        return false;
      // The rows without x_k stay as they are (normalized); each pair of a
      // lower and an upper bound on x_k gives a new row.
      std::vector<Row> next;
      std::vector<const Row*> upper, lower;
      for (const Row& r : ineq) {
        if (r[k] > 0)
          lower.push_back(&r);
        else if (r[k] < 0)
          upper.push_back(&r);
        else
          next.push_back(r);
      }
      if (next.size() + lower.size() * upper.size() > kMaxRows)
        throw GivenUp{};
      for (const Row* l : lower)
        for (const Row* u : upper)
          if (add_normalized(combined(*l, negated((*u)[k]), *u, (*l)[k]), false, next))
            return true;
      without_duplicates(next);
      projected_.push_back({k, std::move(ineq)});
      ineq = std::move(next);
    }
  }

  // After contradiction() gave false: an integer point of the rows that
  // remained, each projected variable at the least integer of its range,
  // each substituted one computed back; none when a range holds no integer
  // or a value is not an integer.
  std::optional<Row> point() const
  {
    Row x(nv_, 0);
    for (auto it = projected_.rbegin(); it != projected_.rend(); ++it) {
      size_t k = it->first;
      std::optional<long> low, high;
      for (const Row& r : it->second) {
        if (r[k] == 0)
          continue;
        long rest = r.back();
        for (size_t j = 0; j < nv_; ++j)
          if (j != k)
            rest = add(rest, mul(r[j], x[j]));
        if (r[k] > 0) {
          long bound = ceil_div(-rest, r[k]);
          low = low ? std::max(*low, bound) : bound;
        } else {
          long bound = floor_div(rest, negated(r[k]));
          high = high ? std::min(*high, bound) : bound;
        }
      }
      if (low && high && *low > *high)
        return std::nullopt;
      x[k] = low ? *low : high ? *high : 0;
    }
    for (auto it = substituted_.rbegin(); it != substituted_.rend(); ++it) {
      const auto& [k, e] = *it;
      long rest = e.back();
      for (size_t j = 0; j < nv_; ++j)
        if (j != k)
          rest = add(rest, mul(e[j], x[j]));
      if (negated(rest) % e[k] != 0)
        return std::nullopt;
      x[k] = negated(rest) / e[k];
    }
    return x;
  }

 private:
  // The variable whose elimination makes the fewest rows; nv_ when no row
  // holds a variable.
  size_t cheapest(const std::vector<Row>& ineq) const
  {
    size_t k = nv_, best = 0;
    for (size_t j = 0; j < nv_; ++j) {
      size_t pos = 0, neg = 0;
      for (const Row& r : ineq) {
        if (r[j] > 0)
          pos++;
        else if (r[j] < 0)
          neg++;
      }
      if (pos + neg > 0 && (k == nv_ || pos * neg < best)) {
        k = j;
        best = pos * neg;
      }
    }
    return k;
  }

  size_t nv_;
  std::vector<std::pair<size_t, Row>> substituted_;              // variable, its equality
  std::vector<std::pair<size_t, std::vector<Row>>> projected_;  // variable, the rows before
};

// Whether the point satisfies every row [kind | variables | constant].
bool satisfies(const std::vector<std::vector<long>>& rows, const Row& x)
{
  for (const auto& row : rows) {
    long v = row.back();
    for (size_t j = 0; j < x.size(); ++j)
      v = add(v, mul(row[1 + j], x[j]));
    if (row[0] == 0 ? v != 0 : v < 0)
      return false;
  }
  return true;
}

}  // namespace

QuickEmptiness quick_emptiness(const std::vector<std::vector<long>>& rows)
{
  if (rows.empty() || rows.size() > kMaxRows || rows.front().size() < 2 ||
      rows.front().size() - 2 > kMaxVariables)
    return QuickEmptiness::Unknown;
  size_t nv = rows.front().size() - 2;
  std::vector<Row> eq, ineq;
  for (const auto& row : rows) {
    if (row.size() != nv + 2 || (row[0] != 0 && row[0] != 1))
      return QuickEmptiness::Unknown;
    (row[0] == 0 ? eq : ineq).push_back(Row(row.begin() + 1, row.end()));
  }
  try {
    Elimination elimination(nv);
    if (elimination.contradiction(std::move(eq), std::move(ineq)))
      return QuickEmptiness::Empty;
    std::optional<Row> x = elimination.point();
    return x && satisfies(rows, *x) ? QuickEmptiness::NotEmpty : QuickEmptiness::Unknown;
  } catch (const GivenUp&) {
    return QuickEmptiness::Unknown;
  }
}
