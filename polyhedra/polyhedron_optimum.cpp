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

bool null_column(const Rows& m, size_t column)
{
  for (const auto& row : m)
    if (row.at(column) != 0)
      return false;
  return true;
}

// Which columns survive, in order, and the rank maps they define. The first
// `leading` unknown columns (after the kind) are always kept.
std::vector<size_t> kept_columns(const Rows& domain, const Rows* context, int leading)
{
  std::map<int, int>& actual_counter = registry().actual_counter;
  std::map<int, int>& actual_parameter = registry().actual_parameter;
  actual_counter.clear();
  actual_parameter.clear();
  std::vector<size_t> kept;
  if (domain.empty() && (!context || context->empty()))
    return kept;
  int nc = get_nb_counters();
  int np = get_nb_parameters();
  kept.push_back(0);
  for (int i = 0; i < leading; i++)
    kept.push_back(1 + i);
  for (int r = 0; r < nc; r++) {
    size_t column = 1 + leading + r;
    if (!null_column(domain, column)) {
      actual_counter[static_cast<int>(actual_counter.size())] = r;
      kept.push_back(column);
    }
  }
  for (int q = 0; q < np; q++) {
    size_t column = 1 + leading + nc + q;
    bool used = !null_column(domain, column) || (context && !null_column(*context, 1 + q));
    if (used) {
      actual_parameter[static_cast<int>(actual_parameter.size())] = q;
      kept.push_back(column);
    }
  }
  kept.push_back(1 + leading + nc + np);
  return kept;
}

Rows select(const Rows& m, const std::vector<size_t>& columns)
{
  Rows r;
  for (const auto& row : m) {
    std::vector<Value> out;
    for (size_t c : columns)
      out.push_back(row.at(c));
    r.push_back(out);
  }
  return r;
}

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

// The constraint rows of p for a solver: an equality is one row of kind 0
// rather than the two inequalities of the cached matrix.
std::vector<SparseRow> sparse_rows(const Polyhedron* p)
{
  int constant = get_nb_counters() + get_nb_parameters();
  const char* where = "Inequation::to_matrix";
  std::vector<SparseRow> rows;
  for (const Inequation* c : p->constraints) {
    bool reversed = c->pred == PRED_LT || c->pred == PRED_LE;
    std::map<int, Value> sum;
    for (const auto& [column, value] : c->lhs->terms())
      sum[column] = reversed ? checked_neg(value, where) : value;
    for (const auto& [column, value] : c->rhs->terms())
      sum[column] = reversed ? checked_add(sum[column], value, where)
                             : checked_sub(sum[column], value, where);
    if (c->pred == PRED_LT || c->pred == PRED_GT)
      sum[constant] = checked_sub(sum[constant], 1, where);
    SparseRow row{c->pred == PRED_EQ ? 0 : 1, -1, {}};
    for (const auto& [column, value] : sum)
      if (value != 0)
        row.terms.push_back({column, value});
    rows.push_back(std::move(row));
  }
  return rows;
}

// Dense rows [kind | `leading` date columns | used counters | used
// parameters | constant] and the rank maps of the columns kept, as
// kept_columns() keeps them from full rows.
Rows compacted(const std::vector<SparseRow>& rows, int leading)
{
  int nc = get_nb_counters();
  int np = get_nb_parameters();
  std::map<int, int>& actual_counter = registry().actual_counter;
  std::map<int, int>& actual_parameter = registry().actual_parameter;
  actual_counter.clear();
  actual_parameter.clear();
  std::set<int> used;
  for (const SparseRow& row : rows)
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
  size_t width = 1 + static_cast<size_t>(leading) + used.size() + 1;
  Rows m;
  for (const SparseRow& row : rows) {
    std::vector<Value> dense(width, 0);
    dense[0] = row.kind;
    if (row.date >= 0)
      dense[1 + static_cast<size_t>(row.date)] = -1;
    for (const auto& [column, value] : row.terms)
      dense[column < nc + np ? position.at(column) : width - 1] = value;
    m.push_back(std::move(dense));
  }
  return m;
}

// The rows without repetition: each divided by the common factor of its
// coefficients (the constant of an inequality rounded down, which keeps its
// integer points; an equality whose constant the factor does not divide
// kept as it is), in their first order. Constraint systems gathered from
// many sources repeat the same rows.
Rows without_repeated_rows(const Rows& m)
{
  std::set<std::vector<Value>> seen;
  Rows r;
  for (std::vector<Value> row : m) {
    Value g = 0;
    for (size_t j = 1; j + 1 < row.size(); j++)
      g = std::gcd(g, row[j] < 0 ? -row[j] : row[j]);
    if (g > 1 && (row[0] != 0 || row.back() % g == 0)) {
      for (size_t j = 1; j + 1 < row.size(); j++)
        row[j] /= g;
      Value c = row.back();
      row.back() = c / g - (c % g != 0 && c < 0);
    }
    if (seen.insert(row).second)
      r.push_back(row);
  }
  return r;
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

std::pair<Rows, Rows> Polyhedron::remove_null_columns(const std::pair<Rows, Rows>& context_domain)
{
  const Rows& context = context_domain.first;
  const Rows& domain = context_domain.second;
  std::vector<size_t> kept = kept_columns(domain, &context, 0);
  // Context rows: kind, the kept parameter columns, the constant.
  std::vector<size_t> context_columns{0};
  for (const auto& [position, rank] : registry().actual_parameter)
    context_columns.push_back(1 + static_cast<size_t>(rank));
  context_columns.push_back(1 + static_cast<size_t>(get_nb_parameters()));
  return {select(context, context_columns), select(domain, kept)};
}

static std::unique_ptr<Quast> maximum(Polyhedron* p, bool general)
{
  Rows domain = compacted(sparse_rows(p), 0);
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
  Rows domain = compacted(sparse_rows(p), 0);
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
  auto [context, domain] = Polyhedron::remove_null_columns(p->to_matrix_context());
  PipOptions options = pip_options_init();
  options.Urs_unknowns = 1;
  return solve(domain, context, 0, options, build);
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
  Rows domain = without_repeated_rows(compacted(rows, k));
  PipOptions options = pip_options_init();
  options.Urs_parms = 1;
  options.Urs_unknowns = 1;
  return solve(domain, Rows(), k, options, [k](const PipQuast* a) { return std::make_unique<Quast>(a, k); });
}
