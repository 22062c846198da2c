// Property tests of the polyhedral engine: on small random polyhedra, the
// answers of the solver (emptiness, lexicographic optima, flattened minima),
// of the projections and of the counting, with its generated C, are compared
// with an enumeration of the integer points in a box.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <tuple>

#include "brute_force.h"
#include "algebra/analysis_context.h"
#include "polyhedra/enumeration_expression.h"
#include "algebra/index_function.h"
#include "polyhedra/operation.h"
#include "polyhedra/point_count.h"
#include "polyhedra/quast.h"
#include "algebra/rank.h"
#include "tests/poly/poly_test_support.h"

namespace {

using brute::each_point;
using brute::Form;
using brute::kCounters;
using brute::pick;
using brute::Point;
using brute::System;
using Optimum = std::optional<std::vector<long>>;
using Pieces = OwnedPieces<Expression>;

using ::text;
std::string text(const Point& x) { return testing::PrintToString(x) + " (i j k N M)"; }

// A random system: some of the first `pool` counters, each in [-box, box],
// and some parameters; sometimes a row on the parameters alone (a context).
struct Instance {
  System s;
  std::vector<int> counters, parameters, all;  // positions in a point
};

Instance random_instance(std::mt19937& rng, int pool, int box, int largest = 3,
                         bool equalities = true)
{
  Instance in;
  in.counters = brute::subset(rng, 0, pool, pick(rng, 1, pool));
  in.parameters = brute::subset(rng, kCounters, brute::kParameters, pick(rng, 0, 2));
  in.all = in.counters;
  in.all.insert(in.all.end(), in.parameters.begin(), in.parameters.end());
  for (int r = pick(rng, 1, 3); r > 0; r--)
    in.s.add(brute::random_form(rng, in.all, largest), equalities && pick(rng, 0, 5) == 0);
  if (!in.parameters.empty() && pick(rng, 0, 5) == 0) {
    Form f = brute::random_form(rng, in.parameters);
    f.a.back() = pick(rng, 0, 4);
    in.s.add(f);
  }
  for (int r : in.counters)
    in.s.bound(r, -box, box);
  return in;
}

// Calls f(x) at every point whose used parameters range over [lo, hi].
template <typename F>
void each_parameter_point(const Instance& in, int lo, int hi, F&& f)
{
  each_point(Point{}, in.parameters, lo, hi, [&](const Point& x) { return f(x), true; });
}

// Lexicographic minimum or maximum over the counters in [lo, hi] at the
// parameters of x; unused counters read 0.
Optimum enumerated_optimum(const Instance& in, const Point& x, int lo, int hi, bool maximum)
{
  Optimum best;
  each_point(x, in.counters, lo, hi, [&](const Point& y) {
    if (in.s.holds(y))
      best = std::vector<long>(y.begin(), y.begin() + kCounters);
    return !best || maximum;
  });
  return best;
}

// A solution at x: i, j and k; counters registered since (for divisions)
// must read 0.
Optimum values(const IndexFunction* f, const Point& x)
{
  std::vector<long> v;
  for (const Expression* e : f->index_mapping)
    v.push_back(brute::value(e, brute::Values(x)));
  for (size_t r = kCounters; r < v.size(); r++)
    EXPECT_EQ(v[r], 0) << "component " << r << " of " << *f;
  v.resize(kCounters);
  return v;
}

// The optimum a selection tree gives at the parameters of x.
Optimum walk(const Quast* q, const Point& x)
{
  while (q->is_if && !q->extended)
    q = brute::holds(q->condition, brute::Values(x)) ? q->then_branch : q->else_branch;
  EXPECT_FALSE(q->extended);
  return q->is_leaf ? values(q->solution, x) : std::nullopt;
}

// The prelude of the generated program that compiled counts need, the
// declarations of the variables the compiled code uses, the functions and a
// main made of the calls.
std::string c_program(const std::string& functions, const std::string& calls)
{
  std::ostringstream os;
  os << count_program_prelude();
  print_variable_declaration(os, "");
  os << functions << "int main(void)\n{\n" << calls << "  return 0;\n}\n";
  return os.str();
}

// int name(int N, int M) returning the compiled count. As in the generated
// program, the result is a registered int variable: a piece whose count is a
// plain expression is compiled by the type of its target.
std::string count_function(const std::string& name, const Pieces& pieces)
{
  if (!registry().full_variable_type.count("volume_0")) {
    EXPECT_EQ(new_variable("volume", TYPE_INT), "volume_0");
  }
  std::ostringstream os;
  os << "int " << name << "(int N, int M)\n{\n  (void)N, (void)M;\n  volume_0 = -1;\n";
  compile(pieces.map(), os, "volume_0", "  ");
  os << "  return volume_0;\n}\n";
  return os.str();
}

// Appends a call to the C main and the line it must print.
void c_call(std::string& calls, std::string& lines, const std::string& name, int n, int m,
            int value)
{
  std::string call = name + "(" + std::to_string(n) + ", " + std::to_string(m) + ")";
  calls += "  printf(\"" + call + " = %d\\n\", (int)" + call + ");\n";
  lines += call + " = " + std::to_string(value) + "\n";
}

// Registry: counters i, j, k and parameters N, M.
class EngineProperty : public ::testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
  void SetUp() override
  {
    for (const char* c : {"i", "j", "k"})
      create_counter_rank(c);
    create_parameter_rank("N");
    create_parameter_rank("M");
  }
  std::mt19937 rng{20240611u};
};

TEST_F(EngineProperty, IntegerEmptinessMatchesEnumerationInBothSignConventions)
{
  const int B = 3;
  int outcomes[2][2] = {};
  for (int n = 0; n < 300 && !HasFailure(); n++) {
    Instance in = random_instance(rng, 2, B);  // i and j: k is left for a way to infinity
    for (int q : in.parameters)
      in.s.bound(q, -B, B);
    if (n % 4 == 3) {
      Form f = brute::random_form(rng, in.all);
      f.num = brute::random_form(rng, in.all).a;
      f.d = pick(rng, 2, 3);
      f.q = pick(rng, 1, 2) * (pick(rng, 0, 1) ? 1 : -1);
      in.s.add(f, pick(rng, 0, 2) == 0);
    }
    auto exists = [&](int lo) {
      return !each_point(Point{}, in.all, lo, B, [&](const Point& x) { return !in.s.holds(x); });
    };
    bool non_negative = exists(0), any_sign = exists(-B);
    System engine = in.s;
    if (n % 3 == 0) {
      // k >= f(i, j, N, M): unbounded, with the same points once k is projected away.
      Form escape = brute::random_form(rng, in.all);
      for (int& c : escape.a)
        c = -c;
      escape.a[2] = 1;
      engine.add(escape);
    }
    std::unique_ptr<Polyhedron> p(engine.polyhedron());
    EXPECT_EQ(p->is_empty(), !non_negative) << *p;
    EXPECT_EQ(p->is_empty_general(), !any_sign) << *p;
    outcomes[non_negative][any_sign]++;
  }
  // Each possible answer was met (a point >= 0 is a point).
  EXPECT_TRUE(outcomes[0][0] > 5 && outcomes[0][1] > 5 && outcomes[1][1] > 50);

  // Unbounded sets: rows, is_empty, is_empty_general.
  using R = brute::Row;
  auto eq = [](R a) { return std::pair{Form{a}, true}; };
  auto ge = [](R a) { return std::pair{Form{a}, false}; };
  auto mod2 = [](int c) { return std::pair{Form{{1, 0, 0, 0, 0, -c}, -2, 2, {1}}, true}; };
  std::vector<std::tuple<std::vector<std::pair<Form, bool>>, bool, bool>> cases = {
    {{ge({1})}, false, false},                                              // i >= 0
    {{ge({-1, 0, 0, 0, 0, -1})}, true, false},                              // i <= -1
    {{eq({2, -2, 0, 0, 0, -1})}, true, true},                               // 2i = 2j + 1
    {{eq({1, -2, 0, 0, 0, -1})}, false, false},                             // i = 2j + 1
    {{eq({3, 0, 0, -1, 0, -1}), ge({-1, 0, 0, 0, 0, -1})}, true, false},    // 3i = N + 1, i < 0
    {{eq({2, 0, 0, -1}), eq({0, 0, 0, 1, -2, -1})}, true, true},            // 2i = N = 2M + 1
    {{mod2(1)}, false, false},                                              // i mod 2 == 1
    {{mod2(2)}, true, true},                                                // i mod 2 == 2
  };
  for (const auto& [rows, empty, empty_general] : cases) {
    System s{rows};
    std::unique_ptr<Polyhedron> p(s.polyhedron());
    EXPECT_EQ(p->is_empty(), empty) << *p;
    EXPECT_EQ(p->is_empty_general(), empty_general) << *p;
  }
}

TEST_F(EngineProperty, LexicographicOptimaMatchEnumerationAtEveryParameterPoint)
{
  const int B = 3, P = 5;
  for (int n = 0; n < 200 && !HasFailure(); n++) {
    Instance in = random_instance(rng, 3, B);
    std::unique_ptr<Polyhedron> p(in.s.polyhedron());
    std::unique_ptr<Quast> max(p->max_lex()), min(p->min_lex()), max_any(p->max_lex_general());
    // Counters and parameters >= 0 for max_lex, counters of any sign for
    // min_lex, both of any sign for max_lex_general.
    each_parameter_point(in, 0, P, [&](const Point& x) {
      EXPECT_EQ(walk(max.get(), x), enumerated_optimum(in, x, 0, B, true))
        << "max_lex at " << text(x) << "\n" << *p << *max;
      EXPECT_EQ(walk(min.get(), x), enumerated_optimum(in, x, -B, B, false))
        << "min_lex at " << text(x) << "\n" << *p << *min;
    });
    each_parameter_point(in, -4, 4, [&](const Point& x) {
      EXPECT_EQ(walk(max_any.get(), x), enumerated_optimum(in, x, -B, B, true))
        << "max_lex_general at " << text(x) << "\n" << *p << *max_any;
    });
  }

  // An unbounded optimum has no solution; rows on the parameters alone give
  // the empty point (every counter 0) where they hold.
  std::unique_ptr<Polyhedron> below(System{{{Form{{-1, 0, 0, 1}}, false}}}.polyhedron()),
    above(System{{{Form{{1, 0, 0, -1}}, false}}}.polyhedron()),
    context(System{{{Form{{0, 0, 0, 1, 0, -3}}, false}}}.polyhedron());
  std::unique_ptr<Quast> min(below->min_lex()), max(above->max_lex()), ctx(context->min_lex());
  for (int N = 0; N <= P; N++) {
    Point x{0, 0, 0, N, 0};
    EXPECT_EQ(walk(min.get(), x), std::nullopt) << *min;  // i <= N
    EXPECT_EQ(walk(max.get(), x), std::nullopt) << *max;  // i >= N
    EXPECT_EQ(walk(ctx.get(), x), N >= 3 ? Optimum(std::vector<long>(3)) : std::nullopt) << *ctx;
  }
}

TEST_F(EngineProperty, FlattenedMinimumPutsEachParameterPointInItsPiece)
{
  const int B = 3, P = 5;
  const std::vector<int> tag{1, 2};
  for (int n = 0; n < 150 && !HasFailure(); n++) {
    Instance in = random_instance(rng, 3, B);
    std::unique_ptr<Polyhedron> p(in.s.polyhedron());
    std::unique_ptr<Quast> q(p->min_lex(tag, 4));
    OwnedPieces<Operation> pieces = q->flatten();
    std::ostringstream all;
    for (const auto& [domain, op] : pieces) {
      all << *domain << "  -> " << *op << "\n";
      EXPECT_TRUE(domain->get_counters().empty()) << *domain;
    }
    each_parameter_point(in, 0, P, [&](const Point& x) {
      Optimum expected = enumerated_optimum(in, x, -B, B, false);
      std::vector<const Operation*> hits;
      for (const auto& [domain, op] : pieces)
        if (brute::holds(domain, x))
          hits.push_back(op);
      ASSERT_EQ(hits.size(), expected ? 1u : 0u) << text(x) << "\n" << *p << all.str();
      if (expected) {
        EXPECT_TRUE(hits[0]->statement_rank == 4 && hits[0]->counters == tag);
        EXPECT_EQ(values(hits[0]->iteration, x), expected) << text(x) << "\n" << *p << all.str();
      }
    });
  }
}

TEST_F(EngineProperty, ProjectionsMatchTheIntegerShadow)
{
  const int B = 3, P = 4;
  for (int n = 0; n < 150 && !HasFailure(); n++) {
    Instance in = random_instance(rng, 3, B);
    std::vector<int> dropped, keep = in.counters;
    for (int r : brute::subset(rng, 0, int(keep.size()), pick(rng, 0, 2)))
      dropped.push_back(keep[r]);
    for (int r : dropped)
      keep.erase(std::find(keep.begin(), keep.end(), r));
    std::set<int> kept(keep.begin(), keep.end());
    std::unique_ptr<Polyhedron> p(in.s.polyhedron()), rational(p->project(kept));
    std::vector<std::unique_ptr<Polyhedron>> owned = p->project_int(kept);
    std::vector<Polyhedron*> integer = view(owned);
    SCOPED_TRACE(text(*p) + "kept: " + testing::PrintToString(keep));
    EXPECT_TRUE(sub_set(rational->get_counters(), kept)) << *rational;
    EXPECT_TRUE(sub_set(Polyhedron::get_counters(integer), kept)) << integer;
    each_parameter_point(in, 0, P, [&](const Point& x) {
      // Every integer point lies in the rational shadow.
      each_point(x, in.counters, -B, B, [&](const Point& y) {
        EXPECT_TRUE(!in.s.holds(y) || brute::holds(rational.get(), y)) << text(y) << *rational;
        return !HasFailure();
      });
      // The integer projection is exact for kept counters >= 0.
      each_point(x, keep, 0, B, [&](const Point& y) {
        bool shadow =
          !each_point(y, dropped, -B, B, [&](const Point& z) { return !in.s.holds(z); });
        bool inside = std::any_of(integer.begin(), integer.end(),
                                  [&](const Polyhedron* u) { return brute::holds(u, y); });
        EXPECT_EQ(inside, shadow) << text(y) << "\n" << integer;
        return !HasFailure();
      });
    });
  }
}

// The count of p's points in its counters checked at every parameter point
// of [0, P]^2 against an enumeration; each piece that holds a point must give
// its count there (PolyLib's validity domains are closed, so neighbours share
// their boundary). Some counts are also compiled: the C lines they must print
// go to calls and expected.
std::string check_count(const Instance& in, const std::string& name, bool compiled, int& inside,
                        std::string& functions, std::string& calls, std::string& expected)
{
  const int B = 3, P = 5;
  std::unique_ptr<Polyhedron> p(in.s.polyhedron());
  Pieces pieces = p->volume(std::set<int>(in.counters.begin(), in.counters.end()));
  std::ostringstream all;
  for (const auto& [domain, count] : pieces)
    all << *domain << "  -> " << *count << "\n";
  each_point(Point{}, {3, 4}, 0, P, [&](const Point& x) {
    int points = 0;
    each_point(x, in.counters, -B, B, [&](const Point& y) { return points += in.s.holds(y), true; });
    std::vector<const Expression*> hits;
    for (const auto& [domain, count] : pieces)
      if (brute::holds(domain, x))
        hits.push_back(count);
    for (const Expression* count : hits) {
      Value got = count->evaluate_int(brute::Values(x).parameters);
      EXPECT_EQ(got, points) << text(x) << ": " << hits.size() << " piece(s)\n" << *p << all.str();
    }
    if (hits.empty()) {
      EXPECT_EQ(points, 0) << text(x) << ": no piece\n" << *p << all.str();
    }
    inside += !hits.empty();
    if (compiled)
      c_call(calls, expected, name, x[3], x[4], points);
    return !::testing::Test::HasFailure();
  });
  if (compiled)
    functions += count_function(name, pieces);
  return all.str();
}

// Random polyhedra without equality, of at most four dimensions.
Instance inequalities_only(std::mt19937& rng)
{
  Instance in = random_instance(rng, 3, 3, 2, false);
  while (in.all.size() > 4)
    in = random_instance(rng, 3, 3, 2, false);
  return in;
}

// Random loop-nest-like polyhedra (unit coefficients) with a date-like
// equality: the counters' coefficients share a factor g > 1
// (g * (a . x) = b . p + c), so that the count holds where g divides the
// right-hand side, with both parameters.
Instance dated(std::mt19937& rng)
{
  Instance in = random_instance(rng, 3, 3, 1, false);
  in.parameters = {3, 4};
  in.all = in.counters;
  in.all.insert(in.all.end(), in.parameters.begin(), in.parameters.end());
  Form f = brute::random_form(rng, in.all, 2);
  int g = pick(rng, 2, 4);
  for (int r : in.counters)
    f.a[r] *= g;
  if (std::all_of(in.counters.begin(), in.counters.end(), [&](int r) { return f.a[r] == 0; }))
    f.a[in.counters[0]] = g;
  f.a[3] = pick(rng, 1, 2);
  in.s.add(f, true);
  return in;
}

// Random polyhedra, some with a date-like equality, whose rows name the two
// parameters only as N + c * M for one c (as the dates and the red limit do
// in the green counts): the count is made over that sum.
Instance summed(std::mt19937& rng)
{
  Instance in = pick(rng, 0, 1) ? inequalities_only(rng) : dated(rng);
  in.parameters = {3, 4};
  int c = std::array<int, 4>{1, -1, 2, 3}[pick(rng, 0, 3)];
  for (auto& [f, equality] : in.s.rows) {
    int k = f.a[3] != 0 ? f.a[3] : f.a[4];
    f.a[3] = k;
    f.a[4] = k * c;
  }
  return in;
}

// Random polyhedra in i and j with two rows that bound i with a coefficient
// of 2 or 3 and name both parameters, in combinations such as 2N - M (at
// times twice the same one): the count is made over the combinations, its
// periodic numbers read their residues, and its chambers are checked at
// points of N and M.
Instance combined(std::mt19937& rng)
{
  Instance in;
  in.counters = {0, 1};
  in.parameters = {3, 4};
  in.all = {0, 1, 3, 4};
  for (int r = 0; r < 2; r++) {
    Form f = brute::random_form(rng, in.counters, 1);
    f.a[0] = (r == 0 ? 1 : -1) * pick(rng, 2, 3);
    for (int q : in.parameters)
      f.a[q] = pick(rng, 0, 1) ? pick(rng, 1, 2) : -pick(rng, 1, 2);
    in.s.add(f);
  }
  for (int r : in.counters)
    in.s.bound(r, -3, 3);
  return in;
}

TEST_F(EngineProperty, VolumeEvaluatesAndCompilesToTheNumberOfPoints)
{
  std::string functions, calls, expected;
  using Generator = Instance (*)(std::mt19937&);
  for (auto [kind, generate, least] : {std::tuple<std::string, Generator, int>{"count", inequalities_only, 2500},
                                       std::tuple<std::string, Generator, int>{"dated", dated, 150},
                                       std::tuple<std::string, Generator, int>{"summed", summed, 150},
                                       std::tuple<std::string, Generator, int>{"combined", combined, 150}}) {
    int inside = 0, over_combinations = 0;
    for (int n = 0; n < 120 && !HasFailure(); n++)
      over_combinations += check_count(generate(rng), kind + std::to_string(n), n % 12 == 0, inside,
                                       functions, calls, expected)
                               .find("]_(") != std::string::npos;
    EXPECT_GT(inside, least) << kind;
    if (kind == "combined") {
      EXPECT_GT(over_combinations, 10);
    }
  }
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(compile_and_run(c_program(functions, calls)), expected) << functions;
}

TEST_F(EngineProperty, QuasiPolynomialsEvaluateAndCompileToTheRightNumbers)
{
  std::unique_ptr<Expression> i(var(0)), N(par("N")), M(par("M")), two_i(2 * *i);
  std::string functions, calls, expected;
  auto check = [&](const std::string& name, Pieces& pieces, int n, int m, int value) {
    std::vector<int> got;
    for (const auto& [domain, count] : pieces)
      if (brute::holds(domain, Point{0, 0, 0, n, m}))
        got.push_back(count->evaluate_int({{0, n}, {1, m}}));
    EXPECT_EQ(got, std::vector<int>{value}) << name << " at " << n << ", " << m;
    c_call(calls, expected, name, n, m, value);
  };

  // 0 <= 2i <= N has floor(N / 2) + 1 points: a coefficient periodic in N.
  Expression zero(0);
  Pieces periodic = own(poly({*two_i >= zero, *two_i <= *N}))->volume({0});
  EXPECT_NE(text(*periodic.begin()->second).find("]_N"), std::string::npos);
  for (int n = 0; n <= 20; n++)
    check("periodic", periodic, n, 0, n / 2 + 1);
  functions += count_function("periodic", periodic);

  // Denominators whose product is beyond an int: (65535 + N) / 65536.
  std::vector<Expression*> c{new Expression(65535, 65536), new Expression(1, 65536)};
  Pieces large;
  large.insert(std::make_unique<Polyhedron>(), std::make_unique<EnumerationExpression>(c, N.get()));
  for (int n : {1, 65537, 131073})
    check("large", large, n, 0, (65535 + n) / 65536);
  functions += count_function("large", large);

  // A polynomial as a coefficient keeps its fraction: (1 + M) / 2 + N / 2.
  std::vector<Expression*> half{new Expression(1, 2), new Expression(1, 2)};
  EnumerationExpression half_m(half, M.get());
  Pieces nested;
  nested.insert(std::make_unique<Polyhedron>(),
                std::make_unique<EnumerationExpression>(std::vector<Expression*>{&half_m, half[1]}, N.get()));
  for (auto [n, m] : {std::pair{1, 0}, {0, 1}, {2, 3}, {4, 1}})
    check("nested", nested, n, m, (1 + m + n) / 2);
  functions += count_function("nested", nested);

  EXPECT_EQ(compile_and_run(c_program(functions, calls)), expected) << functions;
  del(c);
  del(half);
}

// Where PolyLib's 64-bit arithmetic overflows while counting, the count is
// made by enumeration instead, exact at every parameter point, and compiles
// to a loop nest.
TEST_F(EngineProperty, CountsThatOverflowPolyLibAreMadeByEnumeration)
{
  Instance in;
  in.s = System{{{Form{{2, 0, 3}}, false}, {Form{{2, 3, -2, 1}}, false},
                 {Form{{3, -2, -1, -1, 0, -4}}, false}}};
  for (int r = 0; r < kCounters; r++)
    in.s.bound(r, -3, 3);
  in.counters = {0, 1, 2};
  in.parameters = {4};
  std::string functions, calls, expected;
  int inside = 0;
  check_count(in, "overflow", true, inside, functions, calls, expected);
  EXPECT_GT(inside, 0);
  EXPECT_EQ(compile_and_run(c_program(functions, calls)), expected) << functions;
}

}  // namespace

namespace {

bool satisfied(const Inequation* c, const std::map<int, Value>& parameters)
{
  Value l = c->lhs->evaluate_int(parameters), r = c->rhs->evaluate_int(parameters);
  switch (c->pred) {
    case PRED_LT: return l < r;
    case PRED_LE: return l <= r;
    case PRED_GT: return l > r;
    case PRED_GE: return l >= r;
    case PRED_EQ: return l == r;
  }
  return false;
}

}  // namespace

TEST(CombinedParameters, CountHasAClosedFormRightAtEveryPoint)
{
  // A count per date of a triangular kernel: the rows name A, B and C only
  // through 8A - B - C, A - C and A. Over A, B and C PolyLib's 64-bit
  // arithmetic overflows; over those combinations it counts.
  AnalysisScope scope;
  create_counter_rank("i");
  create_counter_rank("j");
  std::unique_ptr<Expression> i(var(0)), j(var(1)), A(par("A")), B(par("B")), C(par("C"));
  std::unique_ptr<Expression> X(*(*(8 * *A) - *B) - *C), low(*A - *C), high(*A - 1), below(*i - 1),
      small(*(*(5 * *i) + *(2 * *j)) + 5), large(*(*(5 * *i) + *(3 * *j)) + 4);
  Pieces pieces =
      own(poly({*i >= *low, *i <= *high, *j <= *below, *small <= *X, *large >= *X}))->volume();
  ASSERT_FALSE(pieces.empty());
  for (const auto& [domain, count] : pieces)
    EXPECT_FALSE(is_point_count(count)) << *domain;
  for (int a = 0; a <= 8; a++)
    for (int b = -6; b <= 6; b++)
      for (int c = 0; c <= 6; c++) {
        int points = 0, x = 8 * a - b - c;
        for (int u = a - c; u <= a - 1; u++)
          for (int v = -60; v <= u - 1; v++)
            points += 5 * u + 2 * v + 5 <= x && 5 * u + 3 * v + 4 >= x;
        std::map<int, Value> values{{0, a}, {1, b}, {2, c}};
        int hits = 0;
        for (const auto& [domain, count] : pieces)
          if (std::all_of(domain->constraints.begin(), domain->constraints.end(),
                          [&](const Inequation* e) { return satisfied(e, values); })) {
            hits++;
            EXPECT_EQ(count->evaluate_int(values), points) << a << " " << b << " " << c;
          }
        if (hits == 0) {
          EXPECT_EQ(points, 0) << a << " " << b << " " << c;
        }
      }
}

TEST(NarrowChamber, CountIsRightAtEveryPointOfEveryPiece)
{
  // PolyLib gives the chamber 5/2 <= N <= 4 the constant 2; at N = 4 only
  // j = -3 is left.
  AnalysisScope scope;
  create_counter_rank("j");
  std::unique_ptr<Expression> j(var(0)), N(par("N")), upper1(*N - 4), upper2(1 - *N);
  Pieces pieces = own(poly({*j <= *upper1, *j <= *upper2, *j >= -3, *j <= 3}))->volume();
  for (int n = -3; n <= 8; n++) {
    int points = 0;
    for (int x = -3; x <= 3; x++)
      points += x <= n - 4 && x <= 1 - n;
    std::map<int, Value> values{{0, n}};
    for (const auto& [domain, count] : pieces)
      if (std::all_of(domain->constraints.begin(), domain->constraints.end(),
                      [&](const Inequation* c) { return satisfied(c, values); })) {
        EXPECT_EQ(count->evaluate_int(values), points) << "N = " << n;
      }
  }
}
