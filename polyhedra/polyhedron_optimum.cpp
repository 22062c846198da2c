// Parametric lexicographic optimum and integer emptiness of polyhedra,
// through the parametric integer programming layer.
#include <algorithm>
#include <cstdint>
#include <map>
#include <numeric>
#include <optional>
#include <set>

#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "solvers/equality_elimination.h"
#include "solvers/pip_solver.h"
#include "polyhedra/pending.h"
#include "polyhedra/polyhedron.h"
#include "polyhedra/quast.h"
#include "algebra/rank.h"
#include "support/ownership.h"

using Rows = std::vector<std::vector<Value>>;

namespace {

// A constraint row over the registry's columns (counters by rank,
// parameters, the constant last), by its non-zero entries: the problems of
// the scheduler hold thousands of rows over a registry of a thousand
// columns, a few of them each. `date` is the date column of a row
// t_date = S_date(x), or -1.
struct SparseRow {
  Value kind;  // 0 equality, 1 inequality >= 0
  int date;
  std::vector<std::pair<int, Value>> terms;
};

// The constraint rows of p for a solver: an equality is one row of kind 0,
// or the two inequalities of the cached matrix when split is asked.
std::vector<SparseRow> sparse_rows(const Polyhedron* p, bool split = false)
{
  std::vector<SparseRow> rows;
  for (const Inequation* c : p->constraints) {
    bool equality = c->pred == PRED_EQ;
    rows.push_back(SparseRow{equality && !split ? 0 : 1, -1, c->to_terms()});
    if (equality && split) {
      SparseRow opposite = rows.back();
      for (auto& term : opposite.terms)
        term.second = checked_neg(term.second, "Inequation::to_matrix");
      rows.push_back(std::move(opposite));
    }
  }
  return rows;
}

// The rows of the parts, one after the other.
std::vector<SparseRow> sparse_rows(const std::vector<const Polyhedron*>& parts)
{
  std::vector<SparseRow> rows;
  for (const Polyhedron* p : parts) {
    std::vector<SparseRow> part = sparse_rows(p);
    rows.insert(rows.end(), std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()));
  }
  return rows;
}

// A row on the parameters alone (and the constant), which goes to the
// context of a parametric minimum.
bool on_parameters_only(const SparseRow& row)
{
  int nc = get_nb_counters();
  int np = get_nb_parameters();
  bool parameter = false;
  for (const auto& [column, value] : row.terms) {
    if (column < nc)
      return false;
    parameter = parameter || column < nc + np;
  }
  return parameter;
}

// The solver's problem: the domain rows over [`leading` date columns | used
// counters | used parameters | constant] by their non-zero entries, and the
// context (rows on the parameters alone) [kind | used parameters |
// constant]; the rank maps actual_counter and actual_parameter give the
// registry rank of each kept column.
struct Compacted {
  PipSparseMatrix domain;
  PipMatrix context;
};

Compacted compacted(const std::vector<SparseRow>& rows, int leading,
                    const std::vector<SparseRow>& context = {})
{
  int nc = get_nb_counters();
  int np = get_nb_parameters();
  std::map<int, int>& actual_counter = registry().actual_counter;
  std::map<int, int>& actual_parameter = registry().actual_parameter;
  actual_counter.clear();
  actual_parameter.clear();
  std::set<int> used;
  for (const auto* part : {&rows, &context})
    for (const SparseRow& row : *part)
      for (const auto& [column, value] : row.terms)
        if (column < nc + np)
          used.insert(column);
  std::map<int, int> position;  // registry column -> column of the rows, from 0
  for (int column : used) {
    position[column] = leading + static_cast<int>(position.size());
    if (column < nc)
      actual_counter[static_cast<int>(actual_counter.size())] = column;
    else
      actual_parameter[static_cast<int>(actual_parameter.size())] = column - nc;
  }
  int constant = leading + static_cast<int>(used.size());
  Compacted c;
  c.domain.nb_columns = constant + 2;
  for (const SparseRow& row : rows) {
    PipSparseRow r{row.kind, {}};
    if (row.date >= 0)
      r.entries.push_back({row.date, -1});
    // The terms come by increasing registry column: so do their positions.
    for (const auto& [column, value] : row.terms)
      r.entries.push_back({column < nc + np ? position.at(column) : constant, value});
    c.domain.rows.push_back(std::move(r));
  }
  // Context rows have no date and no counter column.
  size_t shift = static_cast<size_t>(leading) + actual_counter.size();
  int width = static_cast<int>(actual_parameter.size()) + 2;
  c.context.nb_columns = width;
  for (const SparseRow& row : context) {
    std::vector<Value> dense(width, 0);
    dense[0] = row.kind;
    for (const auto& [column, value] : row.terms)
      dense[column < nc + np ? position.at(column) + 1 - shift : width - 1] = value;
    c.context.rows.push_back(std::move(dense));
  }
  c.context.nb_rows = static_cast<int>(c.context.rows.size());
  return c;
}

int nb_unknowns(int leading) { return leading + static_cast<int>(registry().actual_counter.size()); }

// Solves the compacted problem and converts the answer.
template <typename Build>
std::unique_ptr<Quast> solve(const Compacted& problem, int leading, const PipOptions& options,
                             Build build)
{
  std::unique_ptr<PipQuast> answer =
    pip_solve(problem.domain, problem.context, nb_unknowns(leading), -1, options);
  return build(answer.get());
}

}  // namespace

static std::unique_ptr<Quast> maximum(Polyhedron* p, bool general)
{
  Compacted problem = compacted(sparse_rows(p), 0);
  PipOptions options = pip_options_init();
  options.Maximize = 1;
  options.Urs_parms = general;
  options.Urs_unknowns = general;
  return solve(problem, 0, options, [](const PipQuast* a) { return std::make_unique<Quast>(a); });
}

std::unique_ptr<Quast> Polyhedron::max_lex() { return maximum(this, false); }
std::unique_ptr<Quast> Polyhedron::max_lex_general() { return maximum(this, true); }

// The integer emptiness test of constraint rows (without divisions) under
// the sign conventions of is_empty() (general: none), ready for the solver:
// its problem, or its answer when it needs none. Reads the registry.
struct EmptinessProblem {
  std::optional<bool> answer;
  PipMatrix domain;
  int nb_unknowns = 0;
  PipOptions options;

  bool solve() const { return answer ? *answer : pip_integer_empty(domain, nb_unknowns, options); }
};

static EmptinessProblem emptiness_problem(const std::vector<SparseRow>& rows, bool general)
{
  EmptinessProblem e;
  // A row without a variable that fails (two different constants compared,
  // as the levels of two textual orders do) needs no solver.
  int constant = get_nb_counters() + get_nb_parameters();
  for (const SparseRow& row : rows) {
    bool variable = row.date >= 0;
    Value c = 0;
    for (const auto& [column, value] : row.terms) {
      if (column == constant)
        c = value;
      else
        variable = true;
    }
    if (!variable && (row.kind == 0 ? c != 0 : c < 0)) {
      e.answer = true;
      return e;
    }
  }
  Compacted problem = compacted(rows, 0);
  if (problem.domain.rows.empty()) {
    e.answer = false;
    return e;
  }
  e.options = pip_options_init();
  e.options.Urs_parms = general;
  e.options.Urs_unknowns = general;
  e.nb_unknowns = nb_unknowns(0);
  PipMatrix& d = e.domain;
  d = PipMatrix{static_cast<int>(problem.domain.rows.size()), problem.domain.nb_columns, {}};
  for (const PipSparseRow& row : problem.domain.rows) {
    std::vector<Value> dense(d.nb_columns, 0);
    dense[0] = row.kind;
    for (const auto& [column, value] : row.entries)
      dense[1 + column] = value;
    d.rows.push_back(std::move(dense));
  }
  return e;
}

static bool rows_empty(const std::vector<SparseRow>& rows, bool general)
{
  return emptiness_problem(rows, general).solve();
}

static bool integer_empty(Polyhedron* p, bool general)
{
  if (p->has_divs) {
    // A quotient counter takes the sign of its numerator, so the rewritten
    // polyhedron is tested over all integers; the sign convention of
    // is_empty() is put back as constraints on p's own counters and
    // parameters only.
    std::set<int> counters = p->get_counters(), parameters = p->get_parameters();
    auto [fresh, rewritten] = p->eliminate_divs();
    Expression zero(0);
    auto non_negative = [&](const std::vector<int>& counter, const std::vector<int>& parameter) {
      Expression x(std::vector<Value>{1, 0}, counter, parameter);
      Inequation c(PRED_GE, &x, &zero);
      rewritten->add_constraint(&c);
    };
    for (int c : general ? std::set<int>() : counters)
      non_negative({c}, {});
    for (int q : general ? std::set<int>() : parameters)
      non_negative({}, {q});
    return rewritten->is_empty_general();
  }
  return rows_empty(sparse_rows(p), general);
}

// The test of intersection_is_empty(parts), ready for the solver.
static EmptinessProblem intersection_problem(const std::vector<const Polyhedron*>& parts)
{
  bool divs = false;
  for (const Polyhedron* p : parts)
    divs = divs || p->has_divs;
  if (divs) {
    Polyhedron all;
    for (const Polyhedron* p : parts)
      all.add_constraints(p);
    EmptinessProblem e;
    e.answer = all.is_empty();
    return e;
  }
  return emptiness_problem(sparse_rows(parts), false);
}

bool Polyhedron::intersection_is_empty(const std::vector<const Polyhedron*>& parts)
{
  return intersection_problem(parts).solve();
}

PendingEmptiness::PendingEmptiness(const std::vector<const Polyhedron*>& parts)
{
  EmptinessProblem e = intersection_problem(parts);
  if (e.answer)
    known_ = e.answer;
  else
    later_.emplace([e = std::move(e)] { return e.solve(); });
}

bool PendingEmptiness::take() { return known_ ? *known_ : later_->take(); }

bool Polyhedron::is_empty() { return integer_empty(this, false); }
bool Polyhedron::is_empty_general() { return integer_empty(this, true); }

bool Polyhedron::is_empty(const std::vector<Polyhedron*>& u)
{
  for (Polyhedron* p : u)
    if (!p->is_empty())
      return false;
  return true;
}

// The problem of a parametric minimum over p: its rows on the parameters
// alone are the context, the others the domain.
static Compacted parametric_problem(Polyhedron* p)
{
  std::vector<SparseRow> context, rest;
  for (SparseRow& row : sparse_rows(p, true))
    (on_parameters_only(row) ? context : rest).push_back(std::move(row));
  return compacted(rest, 0, context);
}

// Counters of any sign, parameters >= 0.
static PipOptions free_counters()
{
  PipOptions options = pip_options_init();
  options.Urs_unknowns = 1;
  return options;
}

template <typename Build>
static std::unique_ptr<Quast> minimum(Polyhedron* p, Build build)
{
  return solve(parametric_problem(p), 0, free_counters(), build);
}

std::unique_ptr<Quast> Polyhedron::min_lex()
{
  return minimum(this, [](const PipQuast* a) { return std::make_unique<Quast>(a); });
}

std::unique_ptr<Quast> Polyhedron::min_lex(const std::vector<int>& tag_vector, int statement)
{
  return minimum(this, [&](const PipQuast* a) { return std::make_unique<Quast>(tag_vector, statement, a); });
}

std::vector<std::unique_ptr<Polyhedron>> Polyhedron::shadow()
{
  Compacted problem = parametric_problem(this);
  std::vector<std::unique_ptr<Polyhedron>> pieces;
  for (const PipPiece& piece : pip_shadow(problem.domain, problem.context, nb_unknowns(0), free_counters())) {
    // The new parameters are integer divisions, as in a quast.
    std::map<int, std::unique_ptr<Expression>> divisions;
    for (const PipNewparm& p : piece.newparm)
      divisions[p.rank] = Expression::from_PipNewparm(&p, view(divisions));
    auto domain = std::make_unique<Polyhedron>();
    Expression zero(0);
    for (const PipVector& c : piece.conditions) {
      std::unique_ptr<Expression> lhs = Expression::from_PipVector(&c, view(divisions));
      Inequation at_least(PRED_GE, lhs.get(), &zero);
      domain->add_constraint(&at_least);
    }
    pieces.push_back(std::move(domain));
  }
  return pieces;
}

std::unique_ptr<Quast> Polyhedron::min_lex2(const IndexFunction* dates)
{
  return min_lex2({this}, dates);
}

std::unique_ptr<Quast> Polyhedron::min_lex2(const std::vector<const Polyhedron*>& parts,
                                            const IndexFunction* dates)
{
  int k = dates->dimension();
  std::vector<SparseRow> rows;
  Rows S = dates->to_matrix();
  for (int i = 0; i < k; i++) {
    SparseRow date{0, i, {}};
    for (size_t j = 0; j < S[i].size(); j++)
      if (S[i][j] != 0)
        date.terms.push_back({static_cast<int>(j), S[i][j]});
    rows.push_back(std::move(date));
  }
  std::vector<SparseRow> constraints = sparse_rows(parts);
  rows.insert(rows.end(), std::make_move_iterator(constraints.begin()),
              std::make_move_iterator(constraints.end()));
  Compacted problem = compacted(rows, k);
  PipOptions options = pip_options_init();
  options.Urs_parms = 1;
  options.Urs_unknowns = 1;
  return solve(problem, k, options, [k](const PipQuast* a) { return std::make_unique<Quast>(a, k); });
}

namespace {

// The rows of parts over the columns they hold, with their equalities
// eliminated. The given counters (by rank) are the last columns, so that the
// equalities fix other columns in terms of them rather than the reverse.
struct GivenLast {
  std::vector<int> given;         // the given counters, by rank, once each
  EqualityElimination e;
  int first = 0;                  // the column of the first given counter
  std::map<int, int> counter_at;  // kept column -> given counter's rank
};

GivenLast eliminated_given_last(const std::vector<const Polyhedron*>& parts, const std::vector<int>& counters)
{
  std::set<int> is_given(counters.begin(), counters.end());
  std::vector<int> given(is_given.begin(), is_given.end());
  std::vector<SparseRow> rows = sparse_rows(parts);
  int constant = get_nb_counters() + get_nb_parameters();
  std::set<int> used;
  for (const SparseRow& row : rows)
    for (const auto& term : row.terms)
      if (term.first != constant && !is_given.count(term.first))
        used.insert(term.first);
  std::map<int, int> position;
  for (int column : used)
    position.emplace(column, static_cast<int>(position.size()));
  for (int c : given)
    position.emplace(c, static_cast<int>(position.size()));
  int n = static_cast<int>(position.size());
  std::vector<EqualityElimination::Row> eq, ineq;
  for (const SparseRow& row : rows) {
    EqualityElimination::Row r;
    for (const auto& [column, value] : row.terms)
      r.push_back({column == constant ? n : position.at(column), value});
    std::sort(r.begin(), r.end());
    (row.kind == 0 ? eq : ineq).push_back(std::move(r));
  }
  GivenLast g;
  g.given = std::move(given);
  g.e = eliminate_equalities(std::move(eq), std::move(ineq), n, n + 1);
  g.first = n - static_cast<int>(g.given.size());
  for (size_t k = 0; k < g.e.kept.size(); k++)
    if (g.e.kept[k] >= g.first)
      g.counter_at[static_cast<int>(k)] = g.given.at(static_cast<size_t>(g.e.kept[k] - g.first));
  return g;
}

}  // namespace

std::map<int, int> Polyhedron::interchangeable_counters(const std::vector<const Polyhedron*>& parts,
                                                        const std::vector<int>& counters)
{
  std::map<int, int> representative;
  for (int c : counters)
    representative[c] = c;
  GivenLast g = eliminated_given_last(parts, counters);
  const EqualityElimination& e = g.e;
  const std::map<int, int>& counter_at = g.counter_at;
  // The rows left that hold each given counter (by its column among the
  // kept ones), as (kind, row); a counter that shares a row with another
  // one is left alone.
  using Form = std::vector<std::pair<int, EqualityElimination::Row>>;
  std::map<int, Form> forms;
  std::set<int> alone;
  for (int kind = 0; kind < 2; kind++)
    for (const EqualityElimination::Row& r : kind == 0 ? e.eq : e.ineq) {
      std::vector<int> held;
      for (const auto& term : r)
        if (counter_at.count(term.first))
          held.push_back(counter_at.at(term.first));
      if (held.size() > 1)
        alone.insert(held.begin(), held.end());
      if (held.size() != 1)
        continue;
      // The counter's own entry becomes column -1, which sorts first.
      EqualityElimination::Row renamed;
      for (const auto& term : r)
        renamed.push_back(counter_at.count(term.first) ? std::make_pair(-1, term.second) : term);
      std::sort(renamed.begin(), renamed.end());
      forms[held[0]].push_back({kind, std::move(renamed)});
    }
  std::map<Form, int> first_with;
  for (auto& [c, form] : forms) {
    if (alone.count(c))
      continue;
    std::sort(form.begin(), form.end());
    representative[c] = first_with.emplace(std::move(form), c).first->second;
  }
  return representative;
}

std::set<int> Polyhedron::counters_never_one(const std::vector<const Polyhedron*>& parts,
                                             const std::vector<int>& counters)
{
  GivenLast g = eliminated_given_last(parts, counters);
  const EqualityElimination& e = g.e;
  int kept = static_cast<int>(e.kept.size());  // also the constant's column
  std::vector<bool> is_given(static_cast<size_t>(kept), false);
  for (const auto& entry : g.counter_at)
    is_given[static_cast<size_t>(entry.first)] = true;
  // The rows as (kind, row), and by column the rows that hold it.
  std::vector<std::pair<int, const EqualityElimination::Row*>> rows;
  for (const auto& r : e.eq)
    rows.push_back({0, &r});
  for (const auto& r : e.ineq)
    rows.push_back({1, &r});
  std::vector<std::vector<size_t>> rows_of(static_cast<size_t>(kept));
  for (size_t i = 0; i < rows.size(); i++)
    for (const auto& term : *rows[i].second)
      if (term.first < kept)
        rows_of[static_cast<size_t>(term.first)].push_back(i);
  PipOptions options = pip_options_init();
  options.Urs_parms = 1;
  options.Urs_unknowns = 1;
  std::set<int> never;
  std::vector<int> local(static_cast<size_t>(kept), 0);  // column -> its position + 1, or 0
  std::vector<size_t> seen(rows.size(), SIZE_MAX);        // row -> last counter that took it
  for (const auto& [column, counter] : g.counter_at) {
    size_t at = static_cast<size_t>(column);
    // The other columns of the counter's rows; the rows that hold one of
    // them or the counter are tested, those over these columns alone kept.
    std::vector<int> columns;
    for (size_t i : rows_of[at])
      for (const auto& term : *rows[i].second)
        if (term.first < kept && !is_given[static_cast<size_t>(term.first)] &&
            local[static_cast<size_t>(term.first)] == 0) {
          columns.push_back(term.first);
          local[static_cast<size_t>(term.first)] = static_cast<int>(columns.size());
        }
    int width = static_cast<int>(columns.size());
    std::vector<size_t> candidates = rows_of[at];
    for (int j : columns)
      candidates.insert(candidates.end(), rows_of[static_cast<size_t>(j)].begin(),
                        rows_of[static_cast<size_t>(j)].end());
    PipMatrix m{0, width + 2, {}};
    bool contradiction = false;
    for (size_t i : candidates) {
      if (seen[i] == at)
        continue;
      seen[i] = at;
      const auto& [kind, row] = rows[i];
      std::vector<long> dense(static_cast<size_t>(width) + 2, 0);
      dense[0] = kind;
      bool inside = true, any = false;
      for (const auto& [j, value] : *row) {
        long add = 0;
        if (j == column || j >= kept) {
          add = value;  // the counter at 1, or the constant
        } else if (is_given[static_cast<size_t>(j)]) {
          if (kind == 0) {
            inside = false;
            break;
          }
          add = value > 0 ? value : 0;  // another counter where the row is weakest
        } else if (local[static_cast<size_t>(j)] != 0) {
          dense[static_cast<size_t>(local[static_cast<size_t>(j)])] = value;
          any = true;
          continue;
        } else {
          inside = false;
          break;
        }
        if (__builtin_add_overflow(dense.back(), add, &dense.back())) {
          inside = false;
          break;
        }
      }
      if (!inside)
        continue;
      if (!any) {
        contradiction = contradiction || (kind == 0 ? dense.back() != 0 : dense.back() < 0);
        continue;
      }
      m.rows.push_back(std::move(dense));
    }
    for (int j : columns)
      local[static_cast<size_t>(j)] = 0;
    m.nb_rows = static_cast<int>(m.rows.size());
    if (contradiction || (!m.rows.empty() && pip_integer_empty(m, width, options)))
      never.insert(counter);
  }
  // A given counter that the equalities fix to 0, or make equal to another
  // one, shares its answer.
  for (const auto& [position, value] : e.eliminated) {
    if (position < g.first)
      continue;
    bool zero = value.empty();
    bool copy = value.size() == 1 && value[0].second == 1 && g.counter_at.count(value[0].first) &&
                never.count(g.counter_at.at(value[0].first));
    if (zero || copy)
      never.insert(g.given.at(static_cast<size_t>(position - g.first)));
  }
  return never;
}
