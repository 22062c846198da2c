// Counting the integer points of a polyhedron, piece by piece over the
// parameters.
//
// The problem is first made as small as it can be: equalities are used to
// eliminate variables (one per equality, through a unimodular change of
// variables), so that PolyLib enumerates a full-dimensional polytope. Where
// the coefficients of an equality's variables have a common factor g (a date
// 16t + 8i + 4j = d), the equality holds only when g divides the rest: the
// quotient q becomes a parameter of the reduced problem, and the count is
// valid where g divides that rest; q is then replaced by the quotient in the
// pieces and the counts. Where PolyLib cannot count (its 64-bit arithmetic
// overflows), or gives a chamber a polynomial that is wrong at a point where
// it is checked, the count of that piece is made by enumeration.
#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <numeric>
#include <optional>

#include "polyhedra/enumeration_expression.h"
#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/inequation.h"
#include "solvers/isl_wrapper.h"
#include "polyhedra/point_count.h"
#include "polyhedra/polyhedron.h"
#include "solvers/polylib_wrapper.h"
#include "algebra/rank.h"
#include "support/ownership.h"

namespace {

using Row = std::vector<long long>;

// A coefficient of the reduction left the 64-bit range PolyLib is given
// (the smallest value, which has no opposite, included).
struct TooLarge {};

long long checked(__int128 v)
{
  if (v > LLONG_MAX || v <= LLONG_MIN)
    throw TooLarge{};
  return static_cast<long long>(v);
}

// A parameter of the reduced problem: q = numerator / divisor, where the
// divisor divides the numerator, an affine function (a row [parameters |
// constant]) of the parameter columns that preceded q.
struct Quotient {
  int rank;
  Row numerator;
  long long divisor;
};

// Rows [kind | variables | parameters | constant] over the remaining
// variables and the parameter columns, named by their registry ranks.
struct Problem {
  std::vector<Row> rows;
  int nb_vars = 0;
  std::vector<int> parameters;
  std::vector<Quotient> quotients;
  // The parameter columns before merge_parameters and recombine_parameters:
  // those beyond are their sums and combinations of them.
  int plain_columns = -1;

  int parameter_column(int j) const { return 1 + nb_vars + j; }
};

bool has_variables(const Problem& p, const Row& r)
{
  for (int v = 0; v < p.nb_vars; v++)
    if (r[1 + v] != 0)
      return true;
  return false;
}

void add_parameter_column(Problem& p, int rank)
{
  for (Row& r : p.rows)
    r.insert(r.end() - 1, 0);
  p.parameters.push_back(rank);
}

void drop_variable(Problem& p, int v)
{
  for (Row& r : p.rows)
    r.erase(r.begin() + 1 + v);
  p.nb_vars--;
}

// The change of variables x_j = y_j - k * y_i (every other x_l = y_l): in
// every row, the coefficient of y_i becomes a_i - k * a_j.
void combine_columns(Problem& p, int i, int j, long long k)
{
  for (Row& r : p.rows)
    r[1 + i] = checked(static_cast<__int128>(r[1 + i]) - static_cast<__int128>(k) * r[1 + j]);
}

// Makes the variables' coefficients of equality e coprime: divides the row
// when the divisor also divides its parameters and constant, and otherwise
// makes the quotient of the rest a new parameter.
void make_coprime(Problem& p, size_t e, int& nb_quotients)
{
  long long g = 0;
  for (int v = 0; v < p.nb_vars; v++)
    g = std::gcd(g, p.rows[e][1 + v]);
  if (g <= 1)
    return;
  Row& eq = p.rows[e];
  bool divisible = true;
  for (size_t c = 1 + p.nb_vars; c < eq.size(); c++)
    divisible = divisible && eq[c] % g == 0;
  if (divisible) {
    for (size_t c = 1; c < eq.size(); c++)
      eq[c] /= g;
    return;
  }
  // a.x + b.p + c = 0 becomes (a/g).x - q = 0 with q = -(b.p + c) / g.
  Row numerator;
  for (size_t c = 1 + p.nb_vars; c < eq.size(); c++)
    numerator.push_back(-eq[c]);
  int rank = create_parameter("count_q", nb_quotients++).first;
  p.quotients.push_back({rank, numerator, g});
  add_parameter_column(p, rank);
  // The relation b.p + c + g*q = 0 holds on every point: a parameter with a
  // unit coefficient in it (the date, typically) is replaced by q in the
  // other rows, so that the counted rows name q instead of it.
  Row relation(p.rows[e].begin() + 1 + p.nb_vars, p.rows[e].end());
  relation[relation.size() - 2] = g;
  int unit = -1;
  for (int j = static_cast<int>(p.parameters.size()) - 2; j >= 0 && unit < 0; j--)
    if (std::llabs(relation[j]) == 1)
      unit = j;
  if (unit >= 0)
    for (size_t r = 0; r < p.rows.size(); r++) {
      long long k = p.rows[r][p.parameter_column(unit)];
      if (r == e || k == 0)
        continue;
      long long factor = k * relation[unit];
      for (size_t j = 0; j < relation.size(); j++) {
        long long& x = p.rows[r][1 + p.nb_vars + j];
        x = checked(static_cast<__int128>(x) - static_cast<__int128>(factor) * relation[j]);
      }
    }
  Row& row = p.rows[e];
  for (int v = 0; v < p.nb_vars; v++)
    row[1 + v] /= g;
  std::fill(row.begin() + 1 + p.nb_vars, row.end(), 0);
  row[row.size() - 2] = -1;
}

// Divides every row by the common factor of its variables' and parameters'
// coefficients; an inequality's constant is rounded down, which keeps every
// integer point. False when an equality has no integer point.
bool tighten(Problem& p)
{
  for (Row& r : p.rows) {
    long long g = 0;
    for (size_t c = 1; c + 1 < r.size(); c++)
      g = std::gcd(g, r[c]);
    if (g <= 1)
      continue;
    if (r[0] == 0 && r.back() % g != 0)
      return false;
    for (size_t c = 1; c + 1 < r.size(); c++)
      r[c] /= g;
    long long constant = r.back();
    r.back() = constant / g - (constant % g != 0 && constant < 0);
  }
  return true;
}

// Uses equality e, whose variables' coefficients are coprime, to eliminate
// one variable from every other row.
void eliminate(Problem& p, size_t e)
{
  // Euclid on the columns: a unimodular change of variables leaves one
  // coefficient, +1 or -1.
  for (;;) {
    int smallest = -1;
    int nonzero = 0;
    for (int v = 0; v < p.nb_vars; v++) {
      long long a = p.rows[e][1 + v];
      if (a == 0)
        continue;
      nonzero++;
      if (smallest < 0 || std::llabs(a) < std::llabs(p.rows[e][1 + smallest]))
        smallest = v;
    }
    if (nonzero <= 1)
      break;
    for (int v = 0; v < p.nb_vars; v++)
      if (v != smallest && p.rows[e][1 + v] != 0)
        combine_columns(p, v, smallest, p.rows[e][1 + v] / p.rows[e][1 + smallest]);
  }
  int pivot = 0;
  while (p.rows[e][1 + pivot] == 0)
    pivot++;
  long long sign = p.rows[e][1 + pivot];  // +1 or -1
  Row eq = p.rows[e];
  for (size_t r = 0; r < p.rows.size(); r++) {
    if (r == e || p.rows[r][1 + pivot] == 0)
      continue;
    long long factor = p.rows[r][1 + pivot] * sign;
    for (size_t c = 1; c < eq.size(); c++)
      p.rows[r][c] = checked(static_cast<__int128>(p.rows[r][c]) - static_cast<__int128>(factor) * eq[c]);
  }
  p.rows.erase(p.rows.begin() + e);
  drop_variable(p, pivot);
}

// Eliminates every equality that names a variable.
void eliminate_equalities(Problem& p)
{
  int nb_quotients = 0;
  for (;;) {
    size_t e = 0;
    while (e < p.rows.size() && (p.rows[e][0] != 0 || !has_variables(p, p.rows[e])))
      e++;
    if (e == p.rows.size())
      return;
    make_coprime(p, e, nb_quotients);
    eliminate(p, e);
  }
}

// Where the counted rows name two parameters only in one combination (the
// column of p_j is c times that of p_i, c an integer, as t_0 + t_1 in every
// row), the count depends on p_i + c * p_j alone: that sum becomes one
// parameter (a quotient with divisor 1) and the two columns are cleared.
// PolyLib's work grows fast with the number of parameters.
void merge_parameters(Problem& p, std::vector<Row>& counted)
{
  int nb_sums = 0;
  for (bool merged = true; merged;) {
    merged = false;
    int np = static_cast<int>(p.parameters.size());
    for (int i = 0; i < np && !merged; i++) {
      int ci = p.parameter_column(i);
      if (std::all_of(counted.begin(), counted.end(), [ci](const Row& r) { return r[ci] == 0; }))
        continue;
      for (int j = i + 1; j < np && !merged; j++) {
        int cj = p.parameter_column(j);
        long long factor = 0;
        bool proportional = true, named = false;
        for (const Row& r : counted) {
          if (r[ci] == 0) {
            proportional = proportional && r[cj] == 0;
            continue;
          }
          named = named || r[cj] != 0;
          if (r[cj] % r[ci] != 0) {
            proportional = false;
            continue;
          }
          long long k = r[cj] / r[ci];
          proportional = proportional && (factor == 0 || k == factor) && k != 0;
          factor = k;
        }
        if (!proportional || !named)
          continue;
        Row numerator(np + 1, 0);
        numerator[i] = 1;
        numerator[j] = factor;
        int rank = create_parameter("count_s", nb_sums++).first;
        p.quotients.push_back({rank, numerator, 1});
        add_parameter_column(p, rank);
        for (Row& r : counted) {
          r.insert(r.end() - 1, r[ci]);
          r[ci] = r[cj] = 0;
        }
        merged = true;
      }
    }
  }
}

// The largest variable coefficient of a counted row, in absolute value.
long long largest_coefficient(const Problem& p, const Row& r)
{
  long long w = 0;
  for (int v = 0; v < p.nb_vars; v++)
    w = std::max(w, std::llabs(r[1 + v]));
  return w;
}

// The interpolation PolyLib makes of a count grows with the product of the
// parameters' periods. A counted row whose largest variable coefficient is
// w > 1 gives each parameter it names with coefficient a the period
// w / gcd(w, a). parts[i] holds the parameter coefficients of counted[i]:
// the product of the columns' periods (saturated).
double period_product(const Problem& p, const std::vector<Row>& counted,
                      const std::vector<Row>& parts)
{
  double product = 1;
  for (size_t c = 0; !parts.empty() && c < parts[0].size(); c++) {
    long long period = 1;
    for (size_t i = 0; i < counted.size() && period <= 1'000'000; i++) {
      long long w = largest_coefficient(p, counted[i]);
      if (parts[i][c] != 0 && w > 1)
        period = std::lcm(period, w / std::gcd(w, std::llabs(parts[i][c])));
    }
    product *= static_cast<double>(period);
  }
  return product;
}

// A set of integer vectors (the rows of `basis`, over np columns) brought to
// lower triangular form by unimodular column operations: reduced = basis * U,
// where row i of reduced is zero beyond the pivots of rows 0..i.
struct Lattice {
  std::vector<Row> reduced;
  Row u;  // U, np x np, row-major
  std::vector<int> pivot;
  int np = 0;

  // False when the rows are linearly dependent.
  bool reduce(const std::vector<Row>& basis, int columns)
  {
    np = columns;
    reduced = basis;
    u.assign(static_cast<size_t>(np * np), 0);
    for (int c = 0; c < np; c++)
      u[c * np + c] = 1;
    pivot.clear();
    std::vector<bool> active(static_cast<size_t>(np), true);
    for (Row& row : reduced) {
      for (;;) {
        int k = -1, named = 0;
        for (int c = 0; c < np; c++)
          if (active[c] && row[c] != 0) {
            named++;
            if (k < 0 || std::llabs(row[c]) < std::llabs(row[k]))
              k = c;
          }
        if (named == 0)
          return false;
        if (named == 1) {
          active[k] = false;
          pivot.push_back(k);
          break;
        }
        // Column j minus q times column k, with q the quotient of their
        // entries in this row: Euclid's algorithm on the row's entries.
        for (int j = 0; j < np; j++) {
          if (j == k || !active[j] || row[j] == 0)
            continue;
          long long q = row[j] / row[k];
          for (Row& r : reduced)
            r[j] = checked(static_cast<__int128>(r[j]) - static_cast<__int128>(q) * r[k]);
          for (int i = 0; i < np; i++)
            u[i * np + j] =
                checked(static_cast<__int128>(u[i * np + j]) - static_cast<__int128>(q) * u[i * np + k]);
        }
      }
    }
    return true;
  }

  // Whether the rows are a basis of the integer points of the space they
  // span (every pivot +-1).
  bool saturated() const
  {
    for (size_t i = 0; i < pivot.size(); i++)
      if (std::llabs(reduced[i][pivot[i]]) != 1)
        return false;
    return true;
  }

  // The integer coordinates of a over the rows, when a is in their span.
  std::optional<Row> coordinates(const Row& a) const
  {
    Row b(static_cast<size_t>(np), 0);
    for (int j = 0; j < np; j++) {
      __int128 sum = 0;
      for (int i = 0; i < np; i++)
        sum += static_cast<__int128>(a[i]) * u[i * np + j];
      b[j] = checked(sum);
    }
    Row lambda(pivot.size(), 0);
    for (size_t i = pivot.size(); i-- > 0;) {
      long long d = reduced[i][pivot[i]];
      if (b[pivot[i]] % d != 0)
        return std::nullopt;
      lambda[i] = b[pivot[i]] / d;
      for (int j = 0; j < np; j++)
        b[j] = checked(static_cast<__int128>(b[j]) - static_cast<__int128>(lambda[i]) * reduced[i][j]);
    }
    if (std::any_of(b.begin(), b.end(), [](long long x) { return x != 0; }))
      return std::nullopt;
    return lambda;
  }
};

// Asks the count over combinations of parameters (8p_0 - p_1 - p_2 as one
// parameter) where that makes PolyLib's work smaller: where the counted rows
// name fewer combinations than parameters, or where a row with a large
// variable coefficient spreads its period over several parameters (a period
// of 56 in each of three parameters, against one in one parameter: 80 ms
// against 2 ms). The new parameters are the rows' own combinations, taken by
// decreasing variable coefficient while they stay a basis of the integer
// points of the space they span, then parameters as they are until every
// row is an integer combination of them. A combination that is not one of
// the parameters becomes a quotient with divisor 1, as merge_parameters
// makes. The columns are left as they are, and false returned, unless the
// number of parameters or the product of their periods goes down.
bool recombine_parameters(Problem& p, std::vector<Row>& counted)
{
  const int np = static_cast<int>(p.parameters.size());
  auto part = [&](const Row& r) {
    return Row(r.begin() + p.parameter_column(0), r.begin() + p.parameter_column(np));
  };
  std::vector<size_t> order(counted.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return largest_coefficient(p, counted[a]) > largest_coefficient(p, counted[b]);
  });
  std::vector<Row> candidates;
  for (size_t i : order) {
    Row a = part(counted[i]);
    long long g = 0;
    for (long long x : a)
      g = std::gcd(g, std::llabs(x));
    if (g == 0)
      continue;
    long long sign = *std::find_if(a.begin(), a.end(), [](long long x) { return x != 0; }) < 0 ? -1 : 1;
    for (long long& x : a)
      x = x / g * sign;
    candidates.push_back(a);
  }
  int before = 0;  // parameters named
  for (int c = 0; c < np; c++) {
    if (std::none_of(counted.begin(), counted.end(),
                     [&](const Row& r) { return r[p.parameter_column(c)] != 0; }))
      continue;
    before++;
    Row unit(static_cast<size_t>(np), 0);
    unit[c] = 1;
    candidates.push_back(unit);
  }
  std::vector<Row> basis;
  Lattice lattice;
  auto spans_every_row = [&]() {
    return std::all_of(counted.begin(), counted.end(),
                       [&](const Row& r) { return lattice.coordinates(part(r)).has_value(); });
  };
  bool spanned = false;
  for (const Row& a : candidates) {
    if (std::find(basis.begin(), basis.end(), a) != basis.end())
      continue;
    basis.push_back(a);
    if (!lattice.reduce(basis, np) || !lattice.saturated()) {
      basis.pop_back();
      continue;
    }
    if ((spanned = spans_every_row()))
      break;
  }
  if (!spanned)  // else the lattice is that of the basis, reduced last
    return false;

  std::vector<Row> old_parts, new_parts;
  for (const Row& r : counted) {
    old_parts.push_back(part(r));
    new_parts.push_back(*lattice.coordinates(part(r)));
  }
  auto is_unit = [](const Row& a) {
    return std::count(a.begin(), a.end(), 0) + 1 == static_cast<long>(a.size()) &&
           std::count(a.begin(), a.end(), 1) == 1;
  };
  if (std::all_of(basis.begin(), basis.end(), is_unit) ||
      (static_cast<int>(basis.size()) >= before &&
       period_product(p, counted, new_parts) >= period_product(p, counted, old_parts)))
    return false;

  // Each counted row over the new parameters: a unit vector's parameter
  // keeps its column, a combination gets a new one.
  std::vector<int> column(basis.size());
  int nb_combinations = 0;
  for (size_t k = 0; k < basis.size(); k++) {
    if (is_unit(basis[k])) {
      auto one = std::find(basis[k].begin(), basis[k].end(), 1);
      column[k] = p.parameter_column(static_cast<int>(one - basis[k].begin()));
      continue;
    }
    Row numerator = basis[k];
    numerator.push_back(0);
    int rank = create_parameter("count_b", nb_combinations++).first;
    p.quotients.push_back({rank, numerator, 1});
    add_parameter_column(p, rank);
    column[k] = p.parameter_column(static_cast<int>(p.parameters.size()) - 1);
  }
  for (size_t i = 0; i < counted.size(); i++) {
    Row& r = counted[i];
    std::fill(r.begin() + p.parameter_column(0), r.begin() + p.parameter_column(np), 0);
    r.insert(r.end() - 1, static_cast<size_t>(nb_combinations), 0);
    for (size_t k = 0; k < basis.size(); k++)
      r[column[k]] = new_parts[i][k];
  }
  return true;
}

std::vector<std::vector<Value>> to_value_rows(const std::vector<Row>& rows)
{
  std::vector<std::vector<Value>> r;
  for (const Row& row : rows)
    r.emplace_back(row.begin(), row.end());
  return r;
}

// The affine expression of a row [parameters | constant] over the given ranks.
std::unique_ptr<Expression> affine(const Row& coefficients, const std::vector<int>& ranks)
{
  std::vector<Value> c(coefficients.begin(), coefficients.end());
  return std::make_unique<Expression>(c, std::vector<int>(), std::vector<int>(ranks.begin(), ranks.begin() + (c.size() - 1)));
}

// Exact rationals for checking counts.
struct Fraction {
  __int128 n = 0, d = 1;
};

Fraction normal(__int128 n, __int128 d)
{
  if (d < 0) {
    n = -n;
    d = -d;
  }
  __int128 a = n < 0 ? -n : n, b = d;
  while (b != 0) {
    __int128 t = a % b;
    a = b;
    b = t;
  }
  if (a == 0)
    a = 1;
  return {n / a, d / a};
}

// The value of an Ehrhart polynomial at a point of its parameters (by
// position, 1-based in the polynomial); false when it overflows.
bool value_at(const ORO__evalue* e, const std::vector<Value>& point, Fraction& out)
{
  if (e->d != 0) {
    out = normal(e->n, e->d);
    return true;
  }
  const ORO__enode* n = e->p.get();
  if (n && n->type == 0 && n->arr.size() == 1)
    return value_at(n->arr[0].get(), point, out);
  if (!n || n->pos < 1 || n->pos > static_cast<int>(point.size()))
    return false;
  long long x = point[n->pos - 1];
  if (n->type == 1) {
    long long size = static_cast<long long>(n->arr.size());
    return value_at(n->arr[((x % size) + size) % size].get(), point, out);
  }
  if (n->type != 0)
    return false;
  Fraction sum{0, 1};
  const __int128 small = (__int128)1 << 30, large = (__int128)1 << 60;
  if (x > small || -x > small)
    return false;
  for (size_t i = n->arr.size(); i-- > 0;) {
    Fraction c;
    if (!value_at(n->arr[i].get(), point, c))
      return false;
    // sum = sum * x + c, within bounds that keep every product in 128 bits
    if (sum.n > large || -sum.n > large || sum.d > small || c.n > small || -c.n > small ||
        c.d > small)
      return false;
    sum = normal(sum.n * x * c.d + c.n * sum.d, sum.d * c.d);
  }
  out = sum;
  return true;
}

// How many parameter points of each chamber are checked against an exact
// count, among how many looked for in which box.
const std::size_t kCheckedPoints = 24;
const std::size_t kCandidatePoints = 4096;
const int kCheckBox = 8;
const int kSearchedParameters = 4;

// The first `limit` integer points, in lexicographic order, of the chamber
// given by rows [kind | parameters | constant] within [-box, box] in every
// parameter, as ISLWrapper::points_in_box finds them, by a search that cuts
// a branch as soon as a row cannot hold for any completion in the box (the
// chambers are small: a few parameters, a few rows).
std::vector<std::vector<Value>> box_points(const std::vector<std::vector<Value>>& rows, int np, int box,
                                           std::size_t limit)
{
  std::vector<std::vector<Value>> points;
  std::vector<Value> x(static_cast<std::size_t>(np), 0);
  // reach[r][d]: box * the sum of |a_j| over j >= d, for row r (in 128 bits:
  // the coefficients are 64-bit values).
  std::vector<std::vector<__int128>> reach(rows.size(), std::vector<__int128>(np + 1, 0));
  for (std::size_t r = 0; r < rows.size(); r++)
    for (int d = np - 1; d >= 0; d--) {
      __int128 a = rows[r][1 + d];
      reach[r][d] = reach[r][d + 1] + static_cast<__int128>(box) * (a < 0 ? -a : a);
    }
  std::vector<__int128> partial(rows.size());
  for (std::size_t r = 0; r < rows.size(); r++)
    partial[r] = rows[r].back();
  std::function<void(int)> search = [&](int d) {
    for (std::size_t r = 0; r < rows.size(); r++) {
      __int128 hi = partial[r] + reach[r][d], lo = partial[r] - reach[r][d];
      if (hi < 0 || (rows[r][0] == 0 && lo > 0))
        return;
    }
    if (d == np) {
      points.push_back(x);
      return;
    }
    for (int v = -box; v <= box && points.size() < limit; v++) {
      x[d] = v;
      for (std::size_t r = 0; r < rows.size(); r++)
        partial[r] += static_cast<__int128>(rows[r][1 + d]) * v;
      search(d + 1);
      for (std::size_t r = 0; r < rows.size(); r++)
        partial[r] -= static_cast<__int128>(rows[r][1 + d]) * v;
    }
  };
  search(0);
  return points;
}

// Whether the polynomial of a piece is right at the points of its chamber
// that are checked. PolyLib may give a thin chamber a polynomial that is
// wrong at part of its integer points, seen where its boundaries meet: the
// points checked are those of the box closest to the chamber's boundary.
// Over sums and combinations of parameters, the box is that of the
// parameters they combine, up to four of them: expansion[j] writes the
// parameter of column j of the rows over those.
bool checked_piece(const VolumePiece& piece, const std::vector<std::vector<Value>>& rows, int nb_vars,
                   std::vector<Row> expansion)
{
  int np = static_cast<int>(rows.empty() ? 0 : rows[0].size()) - nb_vars - 2;
  int searched = expansion.empty() ? np : static_cast<int>(expansion[0].size());
  if (searched != np && searched > kSearchedParameters) {
    // Beyond what the box search takes, the rows' own columns, as isl scans
    // them (more dimensions would make that scan long).
    searched = np;
    expansion.assign(static_cast<size_t>(np), Row(static_cast<size_t>(np), 0));
    for (int j = 0; j < np; j++)
      expansion[j][j] = 1;
  }
  std::vector<std::vector<Value>> chamber;
  for (const auto& row : piece.rows) {
    std::vector<Value> r(static_cast<size_t>(searched) + 2, 0);
    r[0] = row[0];
    r.back() = row.back();
    for (int o = 0; o < searched; o++) {
      __int128 sum = 0;
      for (int j = 0; j < np; j++)
        sum += static_cast<__int128>(row[1 + j]) * expansion[j][o];
      r[1 + o] = checked(sum);
    }
    chamber.push_back(r);
  }
  // Up to four parameters the box holds at most 17^4 points: searched here,
  // without a solver's set-up per point; beyond, isl scans the chamber.
  std::vector<std::vector<Value>> points =
      searched <= kSearchedParameters
          ? box_points(chamber, searched, kCheckBox, kCandidatePoints)
          : ISLWrapper::points_in_box(chamber, searched, kCheckBox, kCandidatePoints);
  if (points.empty())
    return true;
  for (auto& x : points) {
    std::vector<Value> combined(static_cast<size_t>(np), 0);
    for (int j = 0; j < np; j++) {
      __int128 sum = 0;
      for (int o = 0; o < searched; o++)
        sum += static_cast<__int128>(expansion[j][o]) * x[o];
      combined[j] = checked(sum);
    }
    x = std::move(combined);
  }
  // The points where more of the chamber's constraints are tight come first
  // (its vertices, then its edges), then those closer to its boundary.
  auto closeness = [&piece](const std::vector<Value>& x) {
    __int128 tight = 0, total = 0;
    for (const auto& r : piece.rows) {
      __int128 v = r.back();
      for (size_t j = 0; j < x.size(); j++)
        v += static_cast<__int128>(r[1 + j]) * x[j];
      v = v < 0 ? -v : v;
      tight += v == 0;
      total += v;
    }
    return std::pair<__int128, __int128>(-tight, total);
  };
  std::stable_sort(points.begin(), points.end(),
                   [&closeness](const std::vector<Value>& a, const std::vector<Value>& b) {
                     return closeness(a) < closeness(b);
                   });
  if (points.size() > kCheckedPoints)
    points.resize(kCheckedPoints);
  std::vector<long> exact = ISLWrapper::counts(rows, nb_vars, points);
  for (size_t k = 0; k < points.size(); k++) {
    Fraction f;
    if (exact[k] < 0 || !value_at(piece.polynomial.get(), points[k], f))
      continue;
    if (f.d != 1 || f.n != exact[k])
      return false;
  }
  return true;
}

// Converts an Ehrhart polynomial: the parameter of position k (1-based) is
// variables[k - 1]; a periodic number in a quotient takes the value of its
// residue, fixed for the piece being built; one in an integer combination of
// parameters (a quotient with divisor 1, whose terms may be exact quotients
// of the piece) reads the combination's residue.
std::unique_ptr<Expression> convert(const ORO__evalue* e, const std::vector<Expression*>& variables,
                                    const std::map<int, long long>& residues)
{
  if (e->d != 0) {
    Value numerator = e->n, denominator = e->d;
    simplify_fraction(numerator, denominator);
    return denominator == 1 || numerator == 0 ? std::make_unique<Expression>(numerator)
                                               : std::make_unique<Expression>(numerator, denominator);
  }
  const ORO__enode* n = e->p.get();
  if (n && n->type == 0 && n->arr.size() == 1)
    return convert(n->arr[0].get(), variables, residues)->evaluate();
  if (!n || n->pos < 1 || n->pos > static_cast<int>(variables.size()))
    fail(Stream::Err, cat("Polyhedron::volume: parameter position out of range ", n ? n->pos : -1, " of ", variables.size(), " type ", n ? n->type : -1));
  std::vector<std::unique_ptr<Expression>> parts;
  if (n->type == 1) {
    auto fixed = residues.find(n->pos);
    long long size = static_cast<long long>(n->arr.size());
    if (fixed != residues.end())
      return convert(n->arr[fixed->second % size].get(), variables, residues);
    const Expression* x = variables[n->pos - 1];
    for (const auto& v : n->arr)
      parts.push_back(convert(v.get(), variables, residues));
    if (x->is_a_parameter())
      return std::make_unique<EnumerationExpression>(std::move(parts), x->parameter_rank);
    return std::make_unique<EnumerationExpression>(std::move(parts), x->clone());
  }
  if (n->type != 0)
    fail(Stream::Err, cat("Polyhedron::volume: unknown node type ", n->type));
  for (const auto& v : n->arr)
    parts.push_back(convert(v.get(), variables, residues));
  return std::make_unique<EnumerationExpression>(std::move(parts), variables[n->pos - 1]);
}

// The periods of the periodic numbers of e in each parameter position.
void periods(const ORO__evalue* e, std::map<int, long long>& out)
{
  if (e->d != 0 || !e->p)
    return;
  if (e->p->type == 1) {
    long long& l = out[e->p->pos];
    l = std::lcm(l == 0 ? 1 : l, static_cast<long long>(e->p->arr.size()));
  }
  for (const auto& v : e->p->arr)
    periods(v.get(), out);
}

// e == 0 (mod m) as a constraint: e - m * div(e, m) == 0.
std::unique_ptr<Inequation> multiple_of(const Expression* e, long long m)
{
  Expression modulus(Value{checked(m)});
  Expression quotient(OP_DIV, e, &modulus);
  Expression multiple(OP_TIMES, &modulus, &quotient);
  Expression zero(0);
  Expression rest(OP_MINUS, e, &multiple);
  return std::make_unique<Inequation>(PRED_EQ, &rest, &zero);
}

using Pieces = OwnedPieces<Expression>;

// The pieces of one chamber of the reduced problem, in the original
// parameters: the quotients replaced by their definitions, with the
// conditions under which they are integers, and one piece per residue of a
// quotient that a periodic number depends on.
void add_chamber(const Problem& p, const std::vector<int>& used, const VolumePiece& piece,
                 const Polyhedron& context, bool exact, const Polyhedron& original,
                 const std::set<int>& vars, Pieces& result)
{
  // Each parameter column's meaning: its leaf, or its quotient's expression.
  std::map<int, std::unique_ptr<Expression>> meaning;  // rank -> expression over the original parameters
  std::map<int, std::pair<std::unique_ptr<Expression>, long long>> quotients;  // rank -> (numerator, divisor)
  for (const Quotient& q : p.quotients) {
    std::unique_ptr<Expression> numerator = affine(q.numerator, p.parameters)->substitute_parameters(view(meaning));
    Expression divisor(Value{q.divisor});
    meaning[q.rank] = q.divisor == 1 ? numerator->clone()
                                     : std::make_unique<Expression>(OP_DIV, numerator.get(), &divisor);
    quotients[q.rank] = {std::move(numerator), q.divisor};
  }
  std::vector<int> ranks;
  for (int j : used)
    ranks.push_back(p.parameters[j]);

  Polyhedron domain;
  domain.add_constraints(&context);
  for (const auto& row : piece.rows) {
    Row r(row.begin() + 1, row.end());
    std::unique_ptr<Expression> e = affine(r, ranks);
    Expression zero(0);
    Inequation c(row[0] == 0 ? PRED_EQ : PRED_GE, e.get(), &zero);
    domain.add_constraint(&c);
  }
  std::unique_ptr<Polyhedron> substituted = domain.substitute_parameters(view(meaning));
  for (const auto& [rank, q] : quotients) {
    if (q.second == 1)
      continue;
    substituted->add_constraint(multiple_of(q.first.get(), q.second).get());
  }

  if (!exact) {
    if (!substituted->is_empty())
      result.insert(substituted->clone(), std::make_unique<PointCount>(&original, vars));
  } else {
    std::vector<std::unique_ptr<Expression>> variables;
    for (int rank : ranks) {
      auto m = meaning.find(rank);
      variables.push_back(m != meaning.end() ? m->second->clone()
                                             : Expression::from_parameter_rank(rank));
    }
    // One piece per residue of the quotients with a divisor that periodic
    // numbers read; an integer combination is read by the periodic number.
    std::map<int, long long> by_position;
    periods(piece.polynomial.get(), by_position);
    std::vector<std::pair<int, long long>> split;  // position, period
    for (const auto& [position, period] : by_position) {
      auto q = quotients.find(ranks[position - 1]);
      if (q != quotients.end() && q->second.second != 1)
        split.push_back({position, period});
    }
    std::map<int, long long> residues;
    std::function<void(size_t, Polyhedron&)> each = [&](size_t k, Polyhedron& where) {
      if (k == split.size()) {
        if (!where.is_empty())
          result.insert(where.clone(), convert(piece.polynomial.get(), view(variables), residues));
        return;
      }
      auto [position, period] = split[k];
      const auto& [numerator, divisor] = quotients.at(ranks[position - 1]);
      for (long long r = 0; r < period; r++) {
        // q = r (mod period) where q = numerator / divisor: numerator = divisor * r
        // (mod divisor * period).
        residues[position] = r;
        Expression shift(Value{checked(static_cast<__int128>(divisor) * r)});
        Expression shifted(OP_MINUS, numerator.get(), &shift);
        std::unique_ptr<Inequation> c =
            multiple_of(&shifted, checked(static_cast<__int128>(divisor) * period));
        std::unique_ptr<Polyhedron> narrower = where.clone();
        narrower->add_constraint(c.get());
        each(k + 1, *narrower);
      }
      residues.erase(position);
    };
    each(0, *substituted);
  }
}

// Adds to result the pieces of the count of the counted rows of p over the
// parameters they name, in the original parameters (see add_chamber): false,
// with nothing added, when PolyLib fails.
bool count_chambers(const Problem& p, const std::vector<Row>& counted, const Polyhedron& context,
                    const Polyhedron& original, const std::set<int>& vars, Pieces& result)
{
  std::vector<int> used;  // parameter columns that a counted row names
  for (size_t j = 0; j < p.parameters.size(); j++)
    if (std::any_of(counted.begin(), counted.end(),
                    [&](const Row& r) { return r[p.parameter_column(static_cast<int>(j))] != 0; }))
      used.push_back(static_cast<int>(j));
  std::vector<Row> compact;
  for (const Row& r : counted) {
    Row c(r.begin(), r.begin() + 1 + p.nb_vars);
    for (int j : used)
      c.push_back(r[p.parameter_column(j)]);
    c.push_back(r.back());
    compact.push_back(c);
  }
  if (compact.empty()) {
    // No variable left: one point wherever the context holds.
    Row one(1 + p.nb_vars + used.size() + 1, 0);
    one[0] = 1;
    one.back() = 1;
    compact.push_back(one);
  }
  std::vector<std::vector<Value>> rows = to_value_rows(compact);
  bool failed = false;
  std::unique_ptr<std::vector<VolumePiece>> pieces =
      p.nb_vars == 0 ? nullptr : PolylibWrapper::volume(rows, p.nb_vars, &failed);
  if (p.nb_vars == 0) {
    // Only the context: one point.
    VolumePiece all;
    all.rows.push_back(std::vector<Value>(used.size() + 2, 0));
    all.rows[0][0] = all.rows[0].back() = 1;
    auto one = std::make_unique<ORO__evalue>();
    one->d = 1;
    one->n = 1;
    all.polynomial = std::move(one);
    pieces = std::make_unique<std::vector<VolumePiece>>();
    pieces->push_back(std::move(all));
  }
  if (failed)
    return false;
  // The used columns over the plain columns they name: a sum or combination
  // over the columns it combines, in turn.
  int plain = p.plain_columns < 0 ? static_cast<int>(p.parameters.size()) : p.plain_columns;
  std::function<Row(int)> over = [&](int j) {
    Row e(static_cast<size_t>(plain), 0);
    if (j < plain) {
      e[j] = 1;
      return e;
    }
    const Quotient& q = *std::find_if(p.quotients.begin(), p.quotients.end(),
                                      [&](const Quotient& q) { return q.rank == p.parameters[j]; });
    for (size_t c = 0; c + 1 < q.numerator.size(); c++)
      if (q.numerator[c] != 0) {
        Row part = over(static_cast<int>(c));
        for (int o = 0; o < plain; o++)
          e[o] = checked(static_cast<__int128>(e[o]) + static_cast<__int128>(q.numerator[c]) * part[o]);
      }
    return e;
  };
  std::vector<int> searched;
  std::vector<Row> over_plain;
  for (int j : used)
    over_plain.push_back(over(j));
  for (int o = 0; o < plain; o++)
    if (std::any_of(over_plain.begin(), over_plain.end(), [o](const Row& e) { return e[o] != 0; }))
      searched.push_back(o);
  std::vector<Row> expansion;
  for (const Row& e : over_plain) {
    Row x;
    for (int o : searched)
      x.push_back(e[o]);
    expansion.push_back(x);
  }
  if (pieces)
    for (const VolumePiece& piece : *pieces)
      add_chamber(p, used, piece, context, checked_piece(piece, rows, p.nb_vars, expansion), original,
                  vars, result);
  return true;
}

}  // namespace

OwnedPieces<Expression> Polyhedron::volume(const std::set<int>& vars)
{
  std::set<int> parameters = get_parameters();
  Pieces result;
  Problem p;
  p.nb_vars = static_cast<int>(vars.size());
  p.parameters.assign(parameters.begin(), parameters.end());
  std::vector<std::vector<Value>> minimal = to_matrix(vars, parameters);
  bool by_enumeration = false;
  try {
    // Implicit equalities made explicit, redundant rows dropped.
    if (!minimal.empty() &&
        !ISLWrapper::minimal_form(minimal, p.nb_vars, static_cast<int>(p.parameters.size())))
      return result;
    for (const auto& row : minimal)
      p.rows.emplace_back(row.begin(), row.end());
    eliminate_equalities(p);
    if (!tighten(p))
      return result;
  } catch (const TooLarge&) {
    by_enumeration = true;
  } catch (const Unrepresentable&) {
    by_enumeration = true;
  }

  if (!by_enumeration) {
    // The rows without variables hold on every piece; the others are counted
    // over the parameters they name.
    Polyhedron context;
    std::vector<Row> counted;
    for (const Row& r : p.rows) {
      bool nonzero = false;
      for (size_t c = 1; c + 1 < r.size(); c++)
        nonzero = nonzero || r[c] != 0;
      if (!nonzero) {
        if (r.back() < 0 || (r[0] == 0 && r.back() != 0))
          return result;  // no point for any parameter value
        continue;
      }
      if (has_variables(p, r)) {
        counted.push_back(r);
        continue;
      }
      Row tail(r.begin() + 1 + p.nb_vars, r.end());
      std::unique_ptr<Expression> e = affine(tail, p.parameters);
      Expression zero(0);
      Inequation c(r[0] == 0 ? PRED_EQ : PRED_GE, e.get(), &zero);
      context.add_constraint(&c);
    }
    p.plain_columns = static_cast<int>(p.parameters.size());
    merge_parameters(p, counted);
    // The count is asked over recombined parameters, and again over the
    // parameters as they were where PolyLib fails there.
    Problem recombined = p;
    std::vector<Row> recombined_rows = counted;
    bool changed = false;
    try {
      changed = recombine_parameters(recombined, recombined_rows);
    } catch (const TooLarge&) {
    }
    auto count = [&](const Problem& q, const std::vector<Row>& rows) {
      try {
        return count_chambers(q, rows, context, *this, vars, result);
      } catch (const TooLarge&) {
        result = Pieces();
        return false;
      }
    };
    if (!(changed && count(recombined, recombined_rows)) && !count(p, counted))
      by_enumeration = true;
  }
  if (by_enumeration)
    result.insert(std::make_unique<Polyhedron>(), std::make_unique<PointCount>(this, vars));
  return result;
}

OwnedPieces<Expression> Polyhedron::volume() { return volume(get_counters()); }

