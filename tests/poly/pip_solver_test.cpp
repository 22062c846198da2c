#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

#include "solvers/pip_solver.h"
#include "tests/expect_failure.h"

namespace {

using Row = std::vector<long>;
using Point = std::vector<long>;

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

long floor_div(long a, long b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

long eval(const PipVector& v, const Point& values)
{
  EXPECT_EQ(v.the_vector.size(), values.size() + 1);
  EXPECT_EQ(v.the_deno, Row(v.the_vector.size(), 1));
  long sum = v.the_vector.back();
  for (size_t i = 0; i < values.size() && i + 1 < v.the_vector.size(); ++i)
    sum += v.the_vector[i] * values[i];
  return sum;
}

// The answer of the tree at the parameter point `values`: the new parameters
// are evaluated with floor division as they come into scope.
std::optional<Point> walk(const PipQuast& q, Point values, int n)
{
  for (const PipNewparm& np : q.newparm) {
    EXPECT_EQ(np.rank, static_cast<int>(values.size()));
    EXPECT_GE(np.deno, 1);
    values.push_back(floor_div(eval(np.vector, values), np.deno));
  }
  if (q.has_condition)
    return walk(eval(q.condition, values) >= 0 ? *q.next_then : *q.next_else, values, n);
  if (!q.has_list)
    return std::nullopt;
  EXPECT_EQ(q.list.size(), static_cast<size_t>(n));
  Point x;
  for (const PipVector& v : q.list)
    x.push_back(eval(v, values));
  return x;
}

// The number of nodes of the tree and of its new parameters dividing by deno.
std::pair<int, int> count(const PipQuast& q, long deno)
{
  int divisions = std::count_if(q.newparm.begin(), q.newparm.end(),
                                [&](const PipNewparm& np) { return np.deno == deno; });
  if (!q.has_condition)
    return {1, divisions};
  std::pair<int, int> t = count(*q.next_then, deno), e = count(*q.next_else, deno);
  return {1 + t.first + e.first, divisions + t.second + e.second};
}

bool satisfies(const std::vector<Row>& rows, const Point& x, const Point& p)
{
  for (const Row& r : rows) {
    long sum = r.back();
    for (size_t i = 0; i < x.size(); ++i)
      sum += r[1 + i] * x[i];
    for (size_t i = 0; i < p.size(); ++i)
      sum += r[1 + x.size() + i] * p[i];
    if (r[0] == 0 ? sum != 0 : sum < 0)
      return false;
  }
  return true;
}

// Calls f on every point of [lo, hi]^dim in lexicographic order.
template <typename F>
void for_box(int dim, long lo, long hi, F f)
{
  Point x(dim, lo);
  while (true) {
    f(x);
    int i = dim - 1;
    while (i >= 0 && x[i] == hi)
      x[i--] = lo;
    if (i < 0)
      return;
    ++x[i];
  }
}

bool non_negative(const Point& v)
{
  return std::all_of(v.begin(), v.end(), [](long e) { return e >= 0; });
}

bool in_context(const Problem& pb, const Point& p, const PipOptions& o)
{
  return (o.Urs_parms || non_negative(p)) && satisfies(pb.context, {}, p);
}

// The lexicographically first and last points of the domain at parameters p
// with unknowns in [-b, b]^n (non-negative ones unless urs_unknowns).
struct Extremes {
  std::optional<Point> first, last;
  std::optional<Point> optimum(const PipOptions& o) const { return o.Maximize ? last : first; }
};

Extremes brute_extremes(const Problem& pb, const Point& p, long b, bool urs_unknowns)
{
  Extremes e;
  for_box(pb.n, -b, b, [&](const Point& x) {
    if ((urs_unknowns || non_negative(x)) && satisfies(pb.domain, x, p)) {
      if (!e.first)
        e.first = x;
      e.last = x;
    }
  });
  return e;
}

// Whether the domain has no point with parameters in [-pb_box, pb_box]^np and
// unknowns in [-b, b]^n, for each sign convention (urs_parms + 2 * urs_unknowns).
std::vector<bool> brute_empty(const Problem& pb, long pb_box, long b)
{
  std::vector<bool> empty(4, true);
  for_box(pb.np, -pb_box, pb_box, [&](const Point& p) {
    for_box(pb.n, -b, b, [&](const Point& x) {
      if (satisfies(pb.domain, x, p))
        for (int c = 0; c < 4; ++c)
          if (((c & 1) || non_negative(p)) && ((c & 2) || non_negative(x)))
            empty[c] = false;
    });
  });
  return empty;
}

Row random_row(std::mt19937& rng, int n, int np, long unknown_coef, long param_coef, long cst)
{
  auto in = [&](long lo, long hi) { return std::uniform_int_distribution<long>(lo, hi)(rng); };
  Row r{in(0, 5) == 0 ? 0 : 1};
  for (int i = 0; i < n; ++i)
    r.push_back(in(-unknown_coef, unknown_coef));
  for (int i = 0; i < np; ++i)
    r.push_back(in(-param_coef, param_coef));
  r.push_back(in(-cst, cst));
  return r;
}

// Adds lo <= variable column <= hi as two rows.
void add_box(std::vector<Row>& rows, int width, int column, long lo, long hi)
{
  Row up(width, 0), down(width, 0);
  up[0] = down[0] = 1;
  up[column] = 1, up.back() = -lo;
  down[column] = -1, down.back() = hi;
  rows.insert(rows.end(), {up, down});
}

// The eight combinations of the options, numbered by their bits.
PipOptions options_of(int c) { return options(c & 1, (c >> 1) & 1, (c >> 2) & 1); }

std::vector<std::unique_ptr<PipQuast>> solve_all(const Problem& pb)
{
  std::vector<std::unique_ptr<PipQuast>> answers;
  for (int c = 0; c < 8; ++c)
    answers.push_back(solve(pb, options_of(c)));
  return answers;
}

// pip_integer_empty against brute force, the parameters boxed in [-param_box, param_box].
void check_emptiness(const Problem& pb, long param_box, long unknown_box, int trial)
{
  Problem boxed = pb;
  int width = pb.n + pb.np + 2;
  for (int i = 0; i < pb.np; ++i)
    add_box(boxed.domain, width, 1 + pb.n + i, -param_box, param_box);
  std::vector<bool> empty = brute_empty(boxed, param_box, unknown_box);
  for (int c = 0; c < 4; ++c)
    EXPECT_EQ(pip_integer_empty(matrix(boxed.domain, width), pb.n, options(0, c & 1, c >> 1)),
              empty[c])
      << "trial " << trial << " signs " << c;
}

}  // namespace

// ---- Against brute force ----------------------------------------------------

TEST(PipSolverRandom, BoundedProblemsMatchBruteForce)
{
  std::mt19937 rng(20240611);
  int solution_points = 0, bottom_points = 0;
  for (int trial = 0; trial < 250; ++trial) {
    Problem pb;
    pb.n = 1 + trial % 3;
    pb.np = (trial / 3) % 3;
    int width = pb.n + pb.np + 2;
    for (int k = 1 + trial % 4; k > 0; --k)
      pb.domain.push_back(random_row(rng, pb.n, pb.np, 2, 2, 4));
    for (int i = 0; i < pb.n; ++i)
      add_box(pb.domain, width, 1 + i, -3, 3);
    if (pb.np > 0 && trial % 2)
      pb.context.push_back(random_row(rng, 0, pb.np, 0, 1, 2));
    std::vector<std::unique_ptr<PipQuast>> answers = solve_all(pb);
    for_box(pb.np, -3, 3, [&](const Point& p) {
      Extremes signed_x = brute_extremes(pb, p, 3, false), free_x = brute_extremes(pb, p, 3, true);
      for (int c = 0; c < 8; ++c) {
        PipOptions o = options_of(c);
        // A null answer is allowed only when the context has no point at all.
        if (!answers[c]) {
          ASSERT_FALSE(in_context(pb, p, o)) << "null answer, trial " << trial;
          continue;
        }
        std::optional<Point> expected;
        if (in_context(pb, p, o))
          expected = (o.Urs_unknowns ? free_x : signed_x).optimum(o);
        ASSERT_EQ(walk(*answers[c], p, pb.n), expected) << "trial " << trial << " options " << c;
        ++(expected ? solution_points : bottom_points);
      }
    });
    check_emptiness(pb, 3, 3, trial);
  }
  EXPECT_GT(solution_points, 5000);
  EXPECT_GT(bottom_points, 5000);
}

// Without a box the optimum may be unbounded. Coefficients are small, so a
// bounded optimum lies well inside [-16, 16]; an unbounded one moves when the
// search box doubles. Either way the tree must answer exactly that.
TEST(PipSolverRandom, UnboundedProblemsGiveNoSolution)
{
  std::mt19937 rng(777);
  int unbounded = 0, bounded = 0, empty_points = 0;
  for (int trial = 0; trial < 120; ++trial) {
    Problem pb;
    pb.n = 1 + trial % 2;
    pb.np = (trial / 2) % 2;
    for (int k = 1 + trial % 3; k > 0; --k)
      pb.domain.push_back(random_row(rng, pb.n, pb.np, 1, 1, 3));
    std::vector<std::unique_ptr<PipQuast>> answers = solve_all(pb);
    for_box(pb.np, -2, 2, [&](const Point& p) {
      Extremes near[2] = {brute_extremes(pb, p, 16, false), brute_extremes(pb, p, 16, true)};
      Extremes far[2] = {brute_extremes(pb, p, 32, false), brute_extremes(pb, p, 32, true)};
      for (int c = 0; c < 8; ++c) {
        PipOptions o = options_of(c);
        std::optional<Point> a = near[o.Urs_unknowns].optimum(o), b = far[o.Urs_unknowns].optimum(o);
        std::optional<Point> expected = in_context(pb, p, o) && a == b ? a : std::nullopt;
        ++(a != b ? unbounded : a ? bounded : empty_points);
        ASSERT_TRUE(answers[c]);
        ASSERT_EQ(walk(*answers[c], p, pb.n), expected) << "trial " << trial << " options " << c;
      }
    });
    // Unknowns unbounded, parameters boxed: a point, if any, lies near the origin.
    check_emptiness(pb, 2, 16, trial);
  }
  EXPECT_GT(unbounded, 100);
  EXPECT_GT(bounded, 100);
  EXPECT_GT(empty_points, 100);
}

// ---- Hand-written cases -----------------------------------------------------

// min i with 2i >= N: ceil(N / 2), which needs a division.
TEST(PipSolverCases, MinimumThroughDivision)
{
  Problem pb{1, 1, {{1, 2, -1, 0}}, {}};
  std::unique_ptr<PipQuast> q = solve(pb, options(0, 0, 0));
  ASSERT_TRUE(q);
  EXPECT_EQ(count(*q, 2).second, 1);
  for (long n = 0; n <= 20; ++n)
    EXPECT_EQ(walk(*q, {n}, 1), Point{(n + 1) / 2}) << n;
  EXPECT_EQ(walk(*q, {-1}, 1), std::nullopt);  // outside the non-negative parameters
  EXPECT_LE(count(*q, 2).first, 3);  // one test of N >= 0 and two leaves
  q = solve(pb, options(0, 1, 1));
  for (long n = -20; n <= 20; ++n)
    EXPECT_EQ(walk(*q, {n}, 1), Point{-floor_div(-n, 2)}) << n;
}

// max(N, M, 0) has three pieces; no single test isolates the last one, so the
// tree has two tests above four leaves at best.
TEST(PipSolverCases, TreeStaysCloseToThePieces)
{
  Problem pb{1, 2, {{1, 1, -1, 0, 0}, {1, 1, 0, -1, 0}, {1, 1, 0, 0, 0}}, {}};
  std::unique_ptr<PipQuast> q = solve(pb, options(0, 1, 1));
  EXPECT_LE(count(*q, 1).first, 7);
  for_box(2, -4, 4, [&](const Point& p) {
    EXPECT_EQ(walk(*q, p, 1), Point{std::max({p[0], p[1], 0L})});
  });
}

TEST(PipSolverCases, Equality)
{
  Problem pb{2, 1, {{0, 1, 1, -1, 0}}, {}};  // i + j == N, i, j >= 0
  std::unique_ptr<PipQuast> min = solve(pb, options(0, 1, 0));
  std::unique_ptr<PipQuast> max = solve(pb, options(1, 1, 0));
  for (long n = -5; n <= 5; ++n) {
    EXPECT_EQ(walk(*min, {n}, 2), n < 0 ? std::nullopt : std::optional<Point>(Point{0, n}));
    EXPECT_EQ(walk(*max, {n}, 2), n < 0 ? std::nullopt : std::optional<Point>(Point{n, 0}));
  }
}

TEST(PipSolverCases, UnboundedOptimumIsNoSolutionButNotEmpty)
{
  Problem pb{2, 1, {{1, -1, 0, 1, 0}}, {}};  // i <= N; j in no constraint
  std::unique_ptr<PipQuast> q = solve(pb, options(0, 0, 0));
  for (long n = 0; n <= 4; ++n)
    EXPECT_EQ(walk(*q, {n}, 2), (Point{0, 0}));
  // j grows without bound; with free signs i decreases without bound.
  for (PipOptions o : {options(1, 0, 0), options(0, 0, 1), options(1, 1, 1)}) {
    q = solve(pb, o);
    ASSERT_TRUE(q);
    EXPECT_FALSE(q->has_condition || q->has_list);
    EXPECT_FALSE(pip_integer_empty(matrix(pb.domain, 5), 2, o));
  }
  // Integer emptiness, not rational: 2i == 1.
  EXPECT_TRUE(pip_integer_empty(matrix({{0, 2, -1}}, 3), 1, options(0, 1, 1)));
}

TEST(PipSolverCases, EmptyContextGivesNull)
{
  Problem pb{1, 1, {{1, 1, 0, 0}}, {{1, -1, -1}}};  // context N <= -1
  EXPECT_EQ(solve(pb, options(0, 0, 0)), nullptr);
  std::unique_ptr<PipQuast> q = solve(pb, options(0, 1, 0));
  ASSERT_TRUE(q);
  EXPECT_EQ(walk(*q, {-1}, 1), Point{0});
  EXPECT_EQ(walk(*q, {0}, 1), std::nullopt);  // outside the context
  Problem contradiction{1, 0, {{1, 1, 0}}, {{1, -1}}};  // context 0 >= 1
  EXPECT_EQ(solve(contradiction, options(0, 1, 1)), nullptr);
  Problem no_parameters{1, 0, {{1, 1, -3}}, {}};  // i >= 3
  q = solve(no_parameters, options(0, 0, 0));
  EXPECT_EQ(walk(*q, {}, 1), Point{3});
}

// ---- Bad input and values out of range -------------------------------------

TEST(PipSolverFailureTest, BadInputEndsTheProcess)
{
  PipMatrix no_context = matrix({}, 3);
  EXPECT_FAILURE(pip_solve(matrix({{2, 1, 0, 0}}, 4), no_context, 1, -1, options(0, 0, 0)), 1, "pip_solve: domain row 0 has kind 2");
  EXPECT_FAILURE(pip_solve(matrix({{1, 1, 0}}, 3), no_context, 1, -1, options(0, 0, 0)), 1, "pip_solve: domain matrix has 3 columns, 4 expected");
  EXPECT_FAILURE(pip_solve(matrix({}, 4), no_context, 1, 2, options(0, 0, 0)), 1, "pip_solve: big parameter column 2");
  PipMatrix lying = matrix({{1, 1, 0, 0}}, 4);
  lying.nb_rows = 2;
  EXPECT_FAILURE(pip_integer_empty(lying, 1, options(0, 0, 0)), 1, "pip_integer_empty: domain matrix declares 2 rows and holds 1");
}

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
