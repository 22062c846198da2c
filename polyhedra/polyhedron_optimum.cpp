// Parametric lexicographic optimum and integer emptiness of polyhedra,
// through the parametric integer programming layer.
#include <numeric>
#include <set>

#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "solvers/pip_solver.h"
#include "polyhedra/polyhedron.h"
#include "polyhedra/quast.h"
#include "algebra/rank.h"

using Rows = std::vector<std::vector<Value>>;

namespace {

PipMatrix to_pip(const Rows& m, int width)
{
  PipMatrix p;
  p.nb_rows = static_cast<int>(m.size());
  p.nb_columns = width;
  for (const auto& row : m)
    p.rows.emplace_back(row.begin(), row.end());
  return p;
}

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

// Dense rows [kind | `leading` date columns | used counters | used
// parameters | constant] of rows, and of context (rows on the parameters
// alone) [kind | used parameters | constant]; the rank maps actual_counter
// and actual_parameter give the registry rank of each kept column.
std::pair<Rows, Rows> compacted(const std::vector<SparseRow>& rows, int leading,
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
  std::map<int, size_t> position;  // registry column -> column of the rows
  for (int column : used) {
    position[column] = 1 + static_cast<size_t>(leading) + position.size();
    if (column < nc)
      actual_counter[static_cast<int>(actual_counter.size())] = column;
    else
      actual_parameter[static_cast<int>(actual_parameter.size())] = column - nc;
  }
  auto densified = [&](const std::vector<SparseRow>& part, size_t shift) {
    size_t width = 1 + static_cast<size_t>(leading) + used.size() + 1 - shift;
    Rows m;
    for (const SparseRow& row : part) {
      std::vector<Value> dense(width, 0);
      dense[0] = row.kind;
      if (row.date >= 0)
        dense[1 + static_cast<size_t>(row.date)] = -1;
      for (const auto& [column, value] : row.terms)
        dense[column < nc + np ? position.at(column) - shift : width - 1] = value;
      m.push_back(std::move(dense));
    }
    return m;
  };
  // Context rows have no date and no counter column.
  return {densified(rows, 0), densified(context, static_cast<size_t>(leading) + actual_counter.size())};
}

int nb_unknowns(int leading) { return leading + static_cast<int>(registry().actual_counter.size()); }
int nb_params() { return static_cast<int>(registry().actual_parameter.size()); }

// Solves the compacted problem and converts the answer.
template <typename Build>
std::unique_ptr<Quast> solve(const Rows& domain, const Rows& context, int leading,
                             const PipOptions& options, Build build)
{
  int unknowns = nb_unknowns(leading);
  PipMatrix d = to_pip(domain, unknowns + nb_params() + 2);
  PipMatrix c = to_pip(context, nb_params() + 2);
  std::unique_ptr<PipQuast> answer = pip_solve(d, c, unknowns, -1, options);
  return build(answer.get());
}

}  // namespace

static std::unique_ptr<Quast> maximum(Polyhedron* p, bool general)
{
  Rows domain = compacted(sparse_rows(p), 0).first;
  PipOptions options = pip_options_init();
  options.Maximize = 1;
  options.Urs_parms = general;
  options.Urs_unknowns = general;
  return solve(domain, Rows(), 0, options, [](const PipQuast* a) { return std::make_unique<Quast>(a); });
}

std::unique_ptr<Quast> Polyhedron::max_lex() { return maximum(this, false); }
std::unique_ptr<Quast> Polyhedron::max_lex_general() { return maximum(this, true); }

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
  Rows domain = compacted(sparse_rows(p), 0).first;
  if (domain.empty())
    return false;
  PipOptions options = pip_options_init();
  options.Urs_parms = general;
  options.Urs_unknowns = general;
  PipMatrix d = to_pip(domain, nb_unknowns(0) + nb_params() + 2);
  return pip_integer_empty(d, nb_unknowns(0), options);
}

bool Polyhedron::is_empty() { return integer_empty(this, false); }
bool Polyhedron::is_empty_general() { return integer_empty(this, true); }

bool Polyhedron::is_empty(const std::vector<Polyhedron*>& u)
{
  for (Polyhedron* p : u)
    if (!p->is_empty())
      return false;
  return true;
}

template <typename Build>
static std::unique_ptr<Quast> minimum(Polyhedron* p, Build build)
{
  std::vector<SparseRow> context, rest;
  for (SparseRow& row : sparse_rows(p, true))
    (on_parameters_only(row) ? context : rest).push_back(std::move(row));
  auto [domain, context_rows] = compacted(rest, 0, context);
  PipOptions options = pip_options_init();
  options.Urs_unknowns = 1;
  return solve(domain, context_rows, 0, options, build);
}

std::unique_ptr<Quast> Polyhedron::min_lex()
{
  return minimum(this, [](const PipQuast* a) { return std::make_unique<Quast>(a); });
}

std::unique_ptr<Quast> Polyhedron::min_lex(const std::vector<int>& tag_vector, int statement)
{
  return minimum(this, [&](const PipQuast* a) { return std::make_unique<Quast>(tag_vector, statement, a); });
}

std::unique_ptr<Quast> Polyhedron::min_lex2(const IndexFunction* dates)
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
  std::vector<SparseRow> constraints = sparse_rows(this);
  rows.insert(rows.end(), std::make_move_iterator(constraints.begin()),
              std::make_move_iterator(constraints.end()));
  Rows domain = compacted(rows, k).first;
  PipOptions options = pip_options_init();
  options.Urs_parms = 1;
  options.Urs_unknowns = 1;
  return solve(domain, Rows(), k, options, [k](const PipQuast* a) { return std::make_unique<Quast>(a, k); });
}
