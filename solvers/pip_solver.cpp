#include "solvers/pip_solver.h"

#include <isl/aff.h>
#include <isl/constraint.h>
#include <isl/ctx.h>
#include <isl/mat.h>
#include <isl/options.h>
#include <isl/set.h>
#include <isl/space.h>
#include <isl/val.h>

#include <algorithm>
#include <climits>
#include <numeric>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "solvers/answer_table.h"
#include "solvers/equality_elimination.h"
#include "solvers/rational_emptiness.h"
#include "support/failure.h"

// How the answer is built.
//
// The problem becomes an isl basic set (unknowns as set dimensions) and a
// context basic set in a parameter space, the sign conventions added as
// constraints. isl's partial lexicographic optimum gives a function made of
// pieces: a domain over the parameters (with its own integer divisions) and
// one quasi-affine expression per unknown (each with its own divisions).
//
// The tree is grown top-down. Every node stands for a region R of the
// parameter space (the points that reach it) and the pieces that meet R. A
// constraint c of one of these pieces that R does not imply becomes the test
// c >= 0 (an equality gives two tests): the then side is R and c >= 0, the
// else side R and c < 0, and each side keeps only the pieces that meet it.
// Of the possible tests, one that cuts the fewest pieces in two is taken, so
// that the tree has about one leaf per piece. When R implies every
// constraint of a piece, R lies inside it and the node is a leaf with its
// expressions; a region that meets no piece is a leaf without solution. The
// pieces lie inside the context, so the tree is exact on every parameter
// point: outside the context, a leaf without solution. All emptiness tests
// are exact integer tests by isl.
//
// Divisions become new parameters where they are first needed on a path;
// one already in scope with the same expression is reused.
//
// isl reports an unbounded optimum as an error, and unboundedness does not
// depend on the parameters (it is a direction of the recession cone of the
// domain, the same for every parameter point where the domain has a point).
// It is therefore decided before calling isl: the whole tree is then one leaf
// without solution.
//
// A shadow asks only where the domain has an integer point: it is the
// domain's integer projection on the parameters (the unknowns kept as
// existential variables, then made explicit divisions), given as its pieces
// without a tree. They are fewer than those of an optimum, whose values split
// the parameter space further.
//
// A problem without parameters has one point for optimum: the unknowns that
// its equalities fix are left out of isl's problem (equality_elimination.h)
// and computed back from the others in the tree's leaves.
//
// Every optimum uses an isl context of its own, freed on return. The
// emptiness tests, thousands of small problems, share one context for the
// process (making and freeing a context, and the fresh memory of its
// matrices, cost as much as such a test); no isl object outlives a test. The
// other state shared between calls is the table of emptiness answers (an
// answer depends on its question alone).

namespace {

struct IslFree {
  void operator()(isl_ctx* p) const { isl_ctx_free(p); }
  void operator()(isl_space* p) const { isl_space_free(p); }
  void operator()(isl_mat* p) const { isl_mat_free(p); }
  void operator()(isl_basic_set* p) const { isl_basic_set_free(p); }
  void operator()(isl_set* p) const { isl_set_free(p); }
  void operator()(isl_aff* p) const { isl_aff_free(p); }
  void operator()(isl_multi_aff* p) const { isl_multi_aff_free(p); }
  void operator()(isl_pw_multi_aff* p) const { isl_pw_multi_aff_free(p); }
  void operator()(isl_constraint_list* p) const { isl_constraint_list_free(p); }
  void operator()(isl_constraint* p) const { isl_constraint_free(p); }
  void operator()(isl_basic_set_list* p) const { isl_basic_set_list_free(p); }
  void operator()(isl_val* p) const { isl_val_free(p); }
  void operator()(isl_local_space* p) const { isl_local_space_free(p); }
};

template <typename T>
using Isl = std::unique_ptr<T, IslFree>;

using Row = std::vector<long>;

// One isl context for one call, with the name of the operation for messages.
// Every isl result goes through check(), every value through to_long().
class Session {
 public:
  explicit Session(const char* operation) : operation_(operation), ctx_(isl_ctx_alloc())
  {
    if (!ctx_)
      fail(Stream::Err, cat(operation_, ": cannot allocate an isl context"));
    isl_options_set_on_error(ctx_.get(), ISL_ON_ERROR_CONTINUE);
  }

  isl_ctx* ctx() const { return ctx_.get(); }

  [[noreturn]] void error(const std::string& what) const
  {
    fail(Stream::Err, cat(operation_, ": ", what));
  }

  [[noreturn]] void isl_failed() const
  {
    if (isl_ctx_last_error(ctx_.get()) == isl_error_quota)
      error(cat("isl operation limit of ", isl_ctx_get_max_operations(ctx_.get()),
                " reached"));
    const char* msg = isl_ctx_last_error_msg(ctx_.get());
    error(cat("isl failed: ", msg ? msg : "unknown error"));
  }

  template <typename T>
  Isl<T> check(T* p) const
  {
    if (!p)
      isl_failed();
    return Isl<T>(p);
  }

  bool check(isl_bool b) const
  {
    if (b == isl_bool_error)
      isl_failed();
    return b == isl_bool_true;
  }

  int check(isl_size n) const
  {
    if (n == isl_size_error)
      isl_failed();
    return n;
  }

  // Takes v. An integer that fits in a long, or a Failure.
  long to_long(isl_val* v, const char* what) const
  {
    Isl<isl_val> val = check(v);
    if (!check(isl_val_is_int(val.get())))
      error(cat("non-integral ", what, " from isl"));
    if (isl_val_cmp_si(val.get(), LONG_MAX) > 0 || isl_val_cmp_si(val.get(), LONG_MIN) < 0)
      error(cat(what, " does not fit in a 64-bit integer"));
    return isl_val_get_num_si(val.get());
  }

  bool is_empty(isl_set* s) const { return check(isl_set_is_empty(s)); }
  bool is_empty(isl_basic_set* s) const { return check(isl_basic_set_is_empty(s)); }

 private:
  std::string operation_;
  Isl<isl_ctx> ctx_;
};

// ---- Input checks and problem sets -----------------------------------------

void check_matrix(const Session& s, const char* name, const PipMatrix& m, int width)
{
  if (m.nb_columns != width)
    s.error(cat(name, " matrix has ", m.nb_columns, " columns, ", width, " expected"));
  if (m.nb_rows < 0 || static_cast<size_t>(m.nb_rows) != m.rows.size())
    s.error(cat(name, " matrix declares ", m.nb_rows, " rows and holds ", m.rows.size()));
  for (size_t i = 0; i < m.rows.size(); ++i) {
    if (m.rows[i].size() != static_cast<size_t>(width))
      s.error(cat(name, " row ", i, " has ", m.rows[i].size(), " entries, ", width, " expected"));
    if (m.rows[i][0] != 0 && m.rows[i][0] != 1)
      s.error(cat(name, " row ", i, " has kind ", m.rows[i][0], " (0 or 1 expected)"));
  }
}

void check_matrix(const Session& s, const PipSparseMatrix& m, int width)
{
  if (m.nb_columns != width)
    s.error(cat("domain matrix has ", m.nb_columns, " columns, ", width, " expected"));
  for (size_t i = 0; i < m.rows.size(); ++i) {
    const PipSparseRow& row = m.rows[i];
    if (row.kind != 0 && row.kind != 1)
      s.error(cat("domain row ", i, " has kind ", row.kind, " (0 or 1 expected)"));
    for (size_t k = 0; k < row.entries.size(); ++k)
      if (row.entries[k].first < 0 || row.entries[k].first >= width - 1 ||
          (k > 0 && row.entries[k].first <= row.entries[k - 1].first))
        s.error(cat("domain row ", i, " has entry ", k, " in column ", row.entries[k].first,
                    " (increasing columns from 0 to ", width - 2, " expected)"));
  }
}

// A row by its non-zero entries (column, value), by increasing column.
using Sparse = EqualityElimination::Row;

// Rows without their kind, split into equalities and inequalities.
struct Rows {
  std::vector<Sparse> eq, ineq;
};

// The non-zero entries of a row [kind | columns], the columns numbered from 0.
Sparse entries_of(const Row& row)
{
  Sparse entries;
  for (size_t j = 1; j < row.size(); ++j)
    if (row[j] != 0)
      entries.push_back({static_cast<int>(j) - 1, row[j]});
  return entries;
}

Rows split_rows(const PipMatrix& m)
{
  Rows r;
  for (const Row& row : m.rows)
    (row[0] == 0 ? r.eq : r.ineq).push_back(entries_of(row));
  return r;
}

Rows split_rows(const PipSparseMatrix& m)
{
  Rows r;
  for (const PipSparseRow& row : m.rows) {
    Sparse entries;
    for (const auto& entry : row.entries)
      if (entry.second != 0)
        entries.push_back(entry);
    (row.kind == 0 ? r.eq : r.ineq).push_back(std::move(entries));
  }
  return r;
}

// isl's matrices start with undefined entries, so every entry is set. A zero
// is copied from one shared zero value: setting an entry from a small
// integer allocates its digits even for zero, copying a zero does not, and
// the scheduler's matrices are almost all zeros.
Isl<isl_mat> make_mat(const Session& s, const std::vector<Sparse>& rows, int width)
{
  // Zero rows, cleared by isl in one pass (a new matrix may hold the values
  // of one freed before); then the non-zero entries alone.
  Isl<isl_mat> m = s.check(isl_mat_add_zero_rows(isl_mat_alloc(s.ctx(), 0, width), rows.size()));
  for (size_t i = 0; i < rows.size(); ++i)
    for (const auto& [j, x] : rows[i]) {
      if (x >= INT_MIN && x <= INT_MAX) {  // the cheap path, without an isl_val
        m = s.check(isl_mat_set_element_si(m.release(), i, j, static_cast<int>(x)));
        continue;
      }
      isl_val* v = isl_val_int_from_si(s.ctx(), x);
      m = s.check(isl_mat_set_element_val(m.release(), i, j, v));
    }
  return m;
}

// Basic set of the rows [first variables | second variables | constant] in
// the given space; first and second name the dimension types of the columns.
Isl<isl_basic_set> make_set(const Session& s, isl_space* space, const Rows& rows, int width,
                            isl_dim_type first, isl_dim_type second)
{
  Isl<isl_mat> eq = make_mat(s, rows.eq, width);
  Isl<isl_mat> ineq = make_mat(s, rows.ineq, width);
  return s.check(isl_basic_set_from_constraint_matrices(space, eq.release(), ineq.release(),
                                                        first, second, isl_dim_div,
                                                        isl_dim_cst));
}

// The sign conventions as inequalities x >= 0 on the columns [from, to).
void add_signs(Rows& rows, int from, int to)
{
  for (int i = from; i < to; ++i)
    rows.ineq.push_back(Sparse{{i, 1}});
}

// The domain with the sign conventions in a set space with the unknowns as
// set dimensions.
Isl<isl_basic_set> domain_set(const Session& s, Rows rows, int n, int np,
                              bool signed_unknowns, bool signed_parameters)
{
  add_signs(rows, 0, signed_unknowns ? n : 0);
  add_signs(rows, n, signed_parameters ? n + np : n);
  isl_space* space = isl_space_set_alloc(s.ctx(), np, n);
  return make_set(s, space, rows, n + np + 1, isl_dim_set, isl_dim_param);
}

// The domain of a problem without parameters, as domain_set() makes it, over
// the unknowns that its equalities leave (the elimination says how to put
// the others back).
Isl<isl_basic_set> reduced_domain_set(const Session& s, Rows rows, int n, bool signed_unknowns,
                                      EqualityElimination& elimination)
{
  add_signs(rows, 0, signed_unknowns ? n : 0);
  elimination = eliminate_equalities(std::move(rows.eq), std::move(rows.ineq), n, n + 1);
  int kept = static_cast<int>(elimination.kept.size());
  // The inequalities over the last unknowns first (by their first unknown,
  // from the last to the first; then by their last unknown, from the first
  // to the last). isl takes the rows in this order, and its time on the
  // scheduler's problems depends much on it: this order took the largest
  // ones (300 to 350 unknowns, 1,000 to 1,350 rows) from 530 to 80 ms and
  // from 460 to 150 ms, and no problem of the examples took longer. The
  // optimum, a single point, does not depend on it.
  auto first = [kept](const Sparse& r) {
    return r.empty() || r.front().first >= kept ? kept : r.front().first;
  };
  auto last = [kept](const Sparse& r) {
    auto it = std::find_if(r.rbegin(), r.rend(), [kept](const auto& t) { return t.first < kept; });
    return it == r.rend() ? -1 : it->first;
  };
  std::stable_sort(elimination.ineq.begin(), elimination.ineq.end(), [&](const Sparse& a, const Sparse& b) {
    int fa = first(a), fb = first(b);
    return fa != fb ? fa > fb : last(a) < last(b);
  });
  // The rows left are not needed to compute the eliminated unknowns back.
  return make_set(s, isl_space_set_alloc(s.ctx(), 0, kept),
                  Rows{std::move(elimination.eq), std::move(elimination.ineq)}, kept + 1,
                  isl_dim_set, isl_dim_param);
}

// Takes the answer over the kept unknowns of the elimination (every leaf
// with one vector per kept unknown); gives it over all n unknowns, the
// eliminated ones computed back in each leaf.
std::unique_ptr<PipQuast> restored(const Session& s, std::unique_ptr<PipQuast> q,
                                   const EqualityElimination& elimination, int n)
{
  if (!q)
    return q;
  q->next_then = restored(s, std::move(q->next_then), elimination, n);
  q->next_else = restored(s, std::move(q->next_else), elimination, n);
  if (!q->has_list)
    return q;
  if (q->list.size() != elimination.kept.size())
    s.error(cat("solution of ", q->list.size(), " unknowns, ", elimination.kept.size(), " expected"));
  std::vector<PipVector> all(n);
  for (size_t k = 0; k < elimination.kept.size(); ++k)
    all[elimination.kept[k]] = std::move(q->list[k]);
  int kept = static_cast<int>(elimination.kept.size());
  size_t width = kept == 0 ? 1 : all[elimination.kept[0]].the_vector.size();
  for (const auto& [j, value] : elimination.eliminated) {
    Row v(width, 0);
    for (const auto& [column, a] : value) {
      // column < kept: a kept unknown; otherwise the constant (no parameter).
      const Row* term = column < kept ? &all[elimination.kept[column]].the_vector : nullptr;
      for (size_t c = 0; c < width; ++c) {
        long x = term ? (*term)[c] : (c + 1 == width);
        long p;
        if (__builtin_mul_overflow(a, x, &p) || __builtin_add_overflow(v[c], p, &v[c]))
          s.error("coefficient does not fit in a 64-bit integer");
      }
    }
    all[j] = PipVector{v, Row(width, 1)};
  }
  q->list = std::move(all);
  return q;
}

Isl<isl_basic_set> context_set(const Session& s, const PipMatrix& context, int np,
                               bool signed_parameters)
{
  Rows rows = split_rows(context);
  add_signs(rows, 0, signed_parameters ? np : 0);
  return make_set(s, isl_space_params_alloc(s.ctx(), np), rows, np + 1, isl_dim_param,
                  isl_dim_set);
}

// Whether the recession cone of the domain holds a direction that improves
// the optimum: for some k, r_0 = .. = r_{k-1} = 0 and r_k < 0 (minimum) or
// r_k > 0 (maximum). The cone is {r | A r >= 0, E r = 0} over the unknown
// columns, with r >= 0 when the unknowns are non-negative.
bool optimum_unbounded(const Session& s, const Rows& domain, int n, bool signed_unknowns,
                       bool maximize)
{
  Rows cone;
  for (const auto* part : {&domain.eq, &domain.ineq})
    for (const Sparse& row : *part) {
      Sparse r;
      for (const auto& entry : row)
        if (entry.first < n)
          r.push_back(entry);
      (part == &domain.eq ? cone.eq : cone.ineq).push_back(std::move(r));
    }
  add_signs(cone, 0, signed_unknowns ? n : 0);
  for (int k = 0; k < n; ++k) {
    Rows rows = cone;
    for (int j = 0; j < k; ++j)
      rows.eq.push_back(Sparse{{j, 1}});
    rows.ineq.push_back(Sparse{{k, maximize ? 1 : -1}, {n, -1}});
    Isl<isl_basic_set> set = make_set(s, isl_space_set_alloc(s.ctx(), 0, n), rows, n + 1,
                                      isl_dim_set, isl_dim_param);
    if (!s.check(isl_basic_set_is_empty(set.get())))
      return true;
  }
  return false;
}

// ---- From isl expressions to vectors ---------------------------------------

// A division in scope: floor(num . (parameters, earlier divisions, 1) / den).
struct Division {
  Row num;
  long den;
};

// An affine form (coefficients over parameters, the divisions in scope when
// it was built, constant) divided by den.
struct Form {
  Row coef;
  long den;
};

// Turns isl expressions into forms over the divisions in scope, creating the
// new parameters of one node (appended to scope and to the node's list).
class Translator {
 public:
  Translator(const Session& s, int np, std::vector<Division>& scope,
             std::vector<PipNewparm>& created)
    : s_(s), np_(np), scope_(scope), created_(created)
  {
  }

  // aff is kept. Its divisions become new parameters (or reuse ones in scope).
  Form form(isl_aff* aff)
  {
    int ndiv = s_.check(isl_aff_dim(aff, isl_dim_div));
    std::vector<Isl<isl_aff>> inner(ndiv);
    for (int j = 0; j < ndiv; ++j) {
      inner[j] = s_.check(isl_aff_get_div(aff, j));
      if (s_.check(isl_aff_is_nan(inner[j].get())))
        s_.error("division without expression in an isl result");
    }
    // A division is needed when the expression or a needed later division
    // uses it; a division only uses earlier ones.
    std::vector<bool> needed(ndiv, false);
    for (int j = ndiv - 1; j >= 0; --j) {
      needed[j] = !is_zero(isl_aff_get_coefficient_val(aff, isl_dim_div, j));
      for (int k = j + 1; k < ndiv && !needed[j]; ++k)
        needed[j] = needed[k] && !is_zero(isl_aff_get_coefficient_val(inner[k].get(),
                                                                      isl_dim_div, j));
    }
    std::vector<int> index(ndiv, -1);
    for (int j = 0; j < ndiv; ++j)
      if (needed[j])
        index[j] = intern(linear(inner[j].get(), index));
    return linear(aff, index);
  }

  // The index in scope of floor(f), created if no division in scope has the
  // same expression.
  int intern(Form f)
  {
    // floor(a / b) == floor((a / g) / (b / g)) for g dividing a and b. g
    // divides den > 0, so it is positive; LONG_MIN has no magnitude in a long
    // and leaves the form as it is.
    long g = f.den;
    for (long c : f.coef)
      g = c == LONG_MIN ? 1 : std::gcd(g, c);
    for (long& c : f.coef)
      c /= g;
    f.den /= g;
    for (size_t k = 0; k < scope_.size(); ++k)
      if (same(scope_[k], k, f))
        return k;
    int k = static_cast<int>(scope_.size());
    // f was built with at most k divisions in scope: keep exactly np + k + 1 entries.
    Row num = pad(f.coef, k);
    scope_.push_back(Division{num, f.den});
    created_.push_back(PipNewparm{np_ + k, PipVector{num, Row(num.size(), 1)}, f.den});
    return k;
  }

  // The integral form f as a vector over everything in scope now.
  PipVector vector(const Row& coef) const
  {
    Row v = pad(coef, scope_.size());
    return PipVector{v, Row(v.size(), 1)};
  }

 private:
  bool is_zero(isl_val* v) const
  {
    Isl<isl_val> val = s_.check(v);
    return s_.check(isl_val_is_zero(val.get()));
  }

  // The numerator over (parameters, divisions in scope, 1) of an expression
  // whose divisions at position j are scope entries index[j].
  Form linear(isl_aff* aff, const std::vector<int>& index) const
  {
    Isl<isl_val> den = s_.check(isl_aff_get_denominator_val(aff));
    Form f{Row(np_ + scope_.size() + 1, 0), s_.to_long(isl_val_copy(den.get()), "denominator")};
    if (f.den <= 0)
      s_.error("non-positive denominator from isl");
    auto scaled = [&](isl_val* v) {
      return s_.to_long(isl_val_mul(v, isl_val_copy(den.get())), "coefficient");
    };
    for (int i = 0; i < np_; ++i)
      f.coef[i] = scaled(isl_aff_get_coefficient_val(aff, isl_dim_param, i));
    for (size_t j = 0; j < index.size(); ++j) {
      long c = scaled(isl_aff_get_coefficient_val(aff, isl_dim_div, j));
      if (c != 0 && index[j] < 0)
        s_.error("division used before its definition in an isl result");
      if (c != 0)
        f.coef[np_ + index[j]] = c;
    }
    f.coef.back() = scaled(isl_aff_get_constant_val(aff));
    if (s_.check(isl_aff_dim(aff, isl_dim_in)) != 0)
      s_.error("isl result is not over the parameters");
    return f;
  }

  // coef (parameters, some divisions, constant) widened to `divisions` divisions.
  Row pad(const Row& coef, size_t divisions) const
  {
    Row v(np_ + divisions + 1, 0);
    for (size_t i = 0; i + 1 < coef.size() && i < v.size() - 1; ++i)
      v[i] = coef[i];
    v.back() = coef.back();
    return v;
  }

  // Whether division k of the scope (np + k + 1 entries) is floor(f).
  bool same(const Division& d, size_t k, const Form& f) const
  {
    if (d.den != f.den || d.num.back() != f.coef.back())
      return false;
    for (size_t i = 0; i + 1 < f.coef.size(); ++i)
      if (f.coef[i] != (i < static_cast<size_t>(np_) + k ? d.num[i] : 0))
        return false;
    return true;
  }

  const Session& s_;
  int np_;
  std::vector<Division>& scope_;
  std::vector<PipNewparm>& created_;
};

// ---- The tree ---------------------------------------------------------------

// A test aff >= 0 with the two sides it splits the parameter space into.
struct Test {
  Isl<isl_aff> aff;
  Isl<isl_basic_set> then_side, else_side;
};

// The constraints of a basic set over the parameters as affs >= 0, in isl's
// order; an equality gives two.
std::vector<Isl<isl_aff>> test_affs(const Session& s, isl_basic_set* bset)
{
  std::vector<Isl<isl_aff>> affs;
  Isl<isl_constraint_list> list = s.check(isl_basic_set_get_constraint_list(bset));
  int n = s.check(isl_constraint_list_size(list.get()));
  for (int i = 0; i < n; ++i) {
    Isl<isl_constraint> c = s.check(isl_constraint_list_get_at(list.get(), i));
    Isl<isl_aff> aff = s.check(isl_constraint_get_aff(c.get()));
    bool equality = s.check(isl_constraint_is_equality(c.get()));
    Isl<isl_aff> negated = equality ? s.check(isl_aff_neg(isl_aff_copy(aff.get()))) : Isl<isl_aff>();
    affs.push_back(std::move(aff));
    if (equality)
      affs.push_back(std::move(negated));
  }
  return affs;
}

// Where a >= 0, and where not. isl_aff_neg_basic_set gives where its
// argument is < 0: a >= 0 is -a - 1 < 0 over the integers.
Isl<isl_basic_set> then_side_of(const Session& s, isl_aff* a)
{
  return s.check(isl_aff_neg_basic_set(isl_aff_add_constant_si(isl_aff_neg(isl_aff_copy(a)), -1)));
}
Isl<isl_basic_set> else_side_of(const Session& s, isl_aff* a)
{
  return s.check(isl_aff_neg_basic_set(isl_aff_copy(a)));
}

// The tests of a basic set over the parameters, as test_affs() orders them.
std::vector<Test> tests_of(const Session& s, isl_basic_set* bset)
{
  std::vector<Test> tests;
  for (Isl<isl_aff>& a : test_affs(s, bset)) {
    Test t;
    t.then_side = then_side_of(s, a.get());
    t.else_side = else_side_of(s, a.get());
    t.aff = std::move(a);
    tests.push_back(std::move(t));
  }
  return tests;
}

// A piece of isl's answer; its tests are made when split() first needs them.
struct Piece {
  Isl<isl_basic_set> domain;
  Isl<isl_multi_aff> value;
  mutable std::optional<std::vector<Test>> tests;
};

isl_stat collect_piece(isl_set* set, isl_multi_aff* ma, void* user)
{
  auto* raw = static_cast<std::vector<std::pair<Isl<isl_set>, Isl<isl_multi_aff>>>*>(user);
  raw->emplace_back(Isl<isl_set>(set), Isl<isl_multi_aff>(ma));
  return isl_stat_ok;
}

class TreeBuilder {
 public:
  TreeBuilder(const Session& s, int np, std::vector<Piece> pieces)
    : s_(s), np_(np), pieces_(std::move(pieces))
  {
  }

  std::unique_ptr<PipQuast> build()
  {
    Isl<isl_basic_set> all = s_.check(isl_basic_set_universe(isl_space_params_alloc(s_.ctx(), np_)));
    return split(all.get(), meeting(all.get(), all_pieces()), {});
  }

 private:
  // Regions, pieces and the sides of tests are basic sets: their
  // intersection is one basic set, without the emptiness test that the
  // intersection of unions makes of each part (the callers test it once).
  Isl<isl_basic_set> meet(isl_basic_set* a, isl_basic_set* b) const
  {
    return s_.check(isl_basic_set_intersect(isl_basic_set_copy(a), isl_basic_set_copy(b)));
  }

  std::vector<int> meeting(isl_basic_set* region, const std::vector<int>& candidates) const
  {
    std::vector<int> kept;
    for (int k : candidates)
      if (!s_.is_empty(meet(region, pieces_[k].domain.get()).get()))
        kept.push_back(k);
    return kept;
  }

  // A node testing aff >= 0: fills the condition and its new parameters.
  std::unique_ptr<PipQuast> test_node(isl_aff* aff, std::vector<Division>& scope) const
  {
    auto node = std::make_unique<PipQuast>();
    Translator tr(s_, np_, scope, node->newparm);
    Form f = tr.form(aff);  // f.den > 0: f >= 0 iff its numerator >= 0
    node->has_condition = true;
    node->condition = tr.vector(f.coef);
    return node;
  }

  // The region with the pieces that meet it. The test chosen is the one,
  // among the constraints of these pieces that the region does not imply,
  // that cuts the fewest of them in two; so a piece seldom ends up in more
  // than one leaf. When the region implies every constraint of a piece, it
  // lies inside that piece.
  std::unique_ptr<PipQuast> split(isl_basic_set* region, const std::vector<int>& candidates,
                                  std::vector<Division> scope) const
  {
    if (candidates.empty())
      return std::make_unique<PipQuast>();
    if (candidates.size() == 1)
      return chain(region, pieces_[candidates[0]], std::move(scope));
    struct Choice {
      const Test* test;
      size_t cuts;
      Isl<isl_basic_set> inside, outside;
      std::vector<int> then_side, else_side;
    };
    std::optional<Choice> best;
    for (size_t c = 0; c < candidates.size() && !(best && best->cuts == 0); ++c) {
      const Piece& piece = pieces_[candidates[c]];
      if (!piece.tests)
        piece.tests = tests_of(s_, piece.domain.get());
      for (const Test& test : *piece.tests) {
        Isl<isl_basic_set> outside = meet(region, test.else_side.get());
        if (s_.is_empty(outside.get()))
          continue;
        Isl<isl_basic_set> inside = meet(region, test.then_side.get());
        std::vector<int> then_side = meeting(inside.get(), candidates);
        std::vector<int> else_side = meeting(outside.get(), candidates);
        size_t cuts = then_side.size() + else_side.size() - candidates.size();
        if (!best || cuts < best->cuts)
          best = Choice{&test, cuts, std::move(inside), std::move(outside), then_side, else_side};
        if (best->cuts == 0)
          break;
      }
    }
    if (!best)
      return leaf(pieces_[candidates[0]], scope);
    std::unique_ptr<PipQuast> node = test_node(best->test->aff.get(), scope);
    node->next_then = split(best->inside.get(), best->then_side, scope);
    node->next_else = split(best->outside.get(), best->else_side, scope);
    return node;
  }

  // split() for a region that meets one piece alone. The tree is a chain
  // down to the piece's leaf of the piece's constraints that the region
  // does not imply, each with no solution on its else side. They are taken
  // from isl's gist of the piece in the region (together with the region,
  // they are the piece). A constraint on a division that the region and the
  // constraints before it imply over the integers is left out: it would add
  // a new parameter to the leaf's domain, whose emptiness tests are dear.
  std::unique_ptr<PipQuast> chain(isl_basic_set* region, const Piece& piece,
                                  std::vector<Division> scope) const
  {
    Isl<isl_basic_set> rest = s_.check(
      isl_basic_set_gist(isl_basic_set_copy(piece.domain.get()), isl_basic_set_copy(region)));
    // The region and the constraints taken, met when a division needs them.
    Isl<isl_basic_set> inside = s_.check(isl_basic_set_copy(region));
    std::vector<Isl<isl_aff>> taken;
    std::unique_ptr<PipQuast> root;
    std::unique_ptr<PipQuast>* next = &root;
    for (Isl<isl_aff>& aff : test_affs(s_, rest.get())) {
      int divisions = s_.check(isl_aff_dim(aff.get(), isl_dim_div));
      if (divisions > 0 && s_.check(isl_aff_involves_dims(aff.get(), isl_dim_div, 0, divisions))) {
        for (Isl<isl_aff>& before : taken)
          inside = meet(inside.get(), then_side_of(s_, before.get()).get());
        taken.clear();
        if (s_.is_empty(meet(inside.get(), else_side_of(s_, aff.get()).get()).get()))
          continue;
      }
      *next = test_node(aff.get(), scope);
      taken.push_back(std::move(aff));
      (*next)->next_else = std::make_unique<PipQuast>();
      next = &(*next)->next_then;
    }
    *next = leaf(piece, scope);
    return root;
  }

  std::unique_ptr<PipQuast> leaf(const Piece& piece, std::vector<Division>& scope) const
  {
    auto node = std::make_unique<PipQuast>();
    Translator tr(s_, np_, scope, node->newparm);
    int n = s_.check(isl_multi_aff_size(piece.value.get()));
    std::vector<Row> coefs;
    for (int i = 0; i < n; ++i) {
      Isl<isl_aff> aff = s_.check(isl_multi_aff_get_at(piece.value.get(), i));
      Form f = tr.form(aff.get());
      if (f.den != 1) {
        // Integral on the piece, so equal to its floor: a new parameter.
        int k = tr.intern(f);
        f.coef.assign(np_ + scope.size() + 1, 0);
        f.coef[np_ + k] = 1;
      }
      coefs.push_back(f.coef);
    }
    node->has_list = true;
    for (const Row& c : coefs)
      node->list.push_back(tr.vector(c));
    return node;
  }

  std::vector<int> all_pieces() const
  {
    std::vector<int> v(pieces_.size());
    std::iota(v.begin(), v.end(), 0);
    return v;
  }

  const Session& s_;
  int np_;
  std::vector<Piece> pieces_;
};

// Takes set; gives its basic sets, every division with an expression (to
// become a new parameter).
std::vector<Isl<isl_basic_set>> explicit_basic_sets(const Session& s, Isl<isl_set> set)
{
  Isl<isl_set> explicit_set = s.check(isl_set_compute_divs(set.release()));
  Isl<isl_basic_set_list> list = s.check(isl_set_get_basic_set_list(explicit_set.get()));
  int n = s.check(isl_basic_set_list_size(list.get()));
  std::vector<Isl<isl_basic_set>> sets;
  for (int i = 0; i < n; ++i)
    sets.push_back(s.check(isl_basic_set_list_get_at(list.get(), i)));
  return sets;
}

std::vector<Piece> pieces_of(const Session& s, isl_pw_multi_aff* pma)
{
  std::vector<std::pair<Isl<isl_set>, Isl<isl_multi_aff>>> raw;
  if (isl_pw_multi_aff_foreach_piece(pma, collect_piece, &raw) < 0)
    s.isl_failed();
  std::vector<Piece> pieces;
  for (auto& [set, ma] : raw)
    for (Isl<isl_basic_set>& bset : explicit_basic_sets(s, std::move(set))) {
      Piece p;
      p.domain = std::move(bset);
      p.value = s.check(isl_multi_aff_copy(ma.get()));
      pieces.push_back(std::move(p));
    }
  return pieces;
}

int parameters_of(const Session& s, const PipMatrix& domain, int nb_unknowns)
{
  if (nb_unknowns < 0)
    s.error(cat("negative number of unknowns ", nb_unknowns));
  int np = domain.nb_columns - 2 - nb_unknowns;
  if (np < 0)
    s.error(cat("domain matrix has ", domain.nb_columns, " columns, fewer than ",
                nb_unknowns, " unknowns need"));
  return np;
}

// The number of parameters of a problem, once its shapes are checked.
int checked_shapes(const Session& s, const PipSparseMatrix& domain, const PipMatrix& context,
                   int nb_unknowns)
{
  if (nb_unknowns < 0)
    s.error(cat("negative number of unknowns ", nb_unknowns));
  int np = context.nb_columns - 2;
  if (np < 0)
    s.error(cat("context matrix has ", context.nb_columns, " columns, at least 2 expected"));
  check_matrix(s, "context", context, np + 2);
  check_matrix(s, domain, nb_unknowns + np + 2);
  return np;
}

std::unique_ptr<PipQuast> solve(const Session& s, const PipSparseMatrix& domain,
                                const PipMatrix& context, int nb_unknowns, int bignum,
                                const PipOptions& options)
{
  if (bignum != -1)
    s.error(cat("big parameter column ", bignum, " is not supported (-1 expected)"));
  int np = checked_shapes(s, domain, context, nb_unknowns);

  bool signed_unknowns = !options.Urs_unknowns, signed_parameters = !options.Urs_parms;
  Isl<isl_basic_set> ctx_set = context_set(s, context, np, signed_parameters);
  if (s.check(isl_basic_set_is_empty(ctx_set.get())))
    return nullptr;

  // Without parameters, the optimum is one point: the unknowns that
  // equalities fix are left out of isl's problem and computed back.
  Rows rows = split_rows(domain);
  std::optional<EqualityElimination> elimination;
  Isl<isl_basic_set> dom_set;
  if (np == 0)
    dom_set = reduced_domain_set(s, rows, nb_unknowns, signed_unknowns, elimination.emplace());
  else
    dom_set = domain_set(s, rows, nb_unknowns, np, signed_unknowns, signed_parameters);
  isl_ctx_reset_operations(s.ctx());
  isl_ctx_set_max_operations(s.ctx(), options.Max_operations);
  isl_pw_multi_aff* opt =
    options.Maximize
      ? isl_basic_set_partial_lexmax_pw_multi_aff(dom_set.release(), ctx_set.release(), nullptr)
      : isl_basic_set_partial_lexmin_pw_multi_aff(dom_set.release(), ctx_set.release(), nullptr);
  if (!opt && isl_ctx_last_error(s.ctx()) == isl_error_quota)
    s.isl_failed();
  isl_ctx_set_max_operations(s.ctx(), 0);
  // isl fails on an unbounded optimum: only then is the recession cone
  // examined (it is the same for every parameter point).
  if (!opt) {
    isl_ctx_reset_error(s.ctx());
    if (optimum_unbounded(s, rows, nb_unknowns, signed_unknowns, options.Maximize != 0))
      return std::make_unique<PipQuast>();
    s.error("isl failed on a bounded optimum");
  }
  Isl<isl_pw_multi_aff> optimum = s.check(opt);
  std::unique_ptr<PipQuast> answer = TreeBuilder(s, np, pieces_of(s, optimum.get())).build();
  if (elimination)
    answer = restored(s, std::move(answer), *elimination, nb_unknowns);
  return answer;
}

}  // namespace

PipOptions pip_options_init()
{
  return PipOptions{};
}

std::unique_ptr<PipQuast> pip_solve(const PipMatrix& domain, const PipMatrix& context,
                                    int nb_unknowns, int bignum, const PipOptions& options)
{
  Session s("pip_solve");
  check_matrix(s, "domain", domain, domain.nb_columns);
  PipSparseMatrix sparse{domain.nb_columns, {}};
  for (const Row& row : domain.rows)
    sparse.rows.push_back(PipSparseRow{row[0], entries_of(row)});
  return solve(s, sparse, context, nb_unknowns, bignum, options);
}

std::unique_ptr<PipQuast> pip_solve(const PipSparseMatrix& domain, const PipMatrix& context,
                                    int nb_unknowns, int bignum, const PipOptions& options)
{
  return solve(Session("pip_solve"), domain, context, nb_unknowns, bignum, options);
}

std::vector<PipPiece> pip_shadow(const PipSparseMatrix& domain, const PipMatrix& context,
                                 int nb_unknowns, const PipOptions& options)
{
  Session s("pip_shadow");
  int np = checked_shapes(s, domain, context, nb_unknowns);
  bool signed_unknowns = !options.Urs_unknowns, signed_parameters = !options.Urs_parms;
  Isl<isl_basic_set> dom_set =
    domain_set(s, split_rows(domain), nb_unknowns, np, signed_unknowns, signed_parameters);
  // The unknowns projected out stay as existential variables: the
  // projection is exact over the integers.
  Isl<isl_basic_set> shadow = s.check(isl_basic_set_intersect(
    isl_basic_set_params(dom_set.release()), context_set(s, context, np, signed_parameters).release()));
  std::vector<PipPiece> pieces;
  for (Isl<isl_basic_set>& bset : explicit_basic_sets(s, s.check(isl_set_from_basic_set(shadow.release())))) {
    PipPiece piece;
    std::vector<Division> scope;
    for (Isl<isl_aff>& aff : test_affs(s, bset.get())) {
      Translator tr(s, np, scope, piece.newparm);
      Form f = tr.form(aff.get());  // f.den > 0: f >= 0 iff its numerator >= 0
      piece.conditions.push_back(tr.vector(f.coef));
    }
    // Every condition over all the new parameters of the piece.
    for (PipVector& c : piece.conditions) {
      c.the_vector.insert(c.the_vector.end() - 1, np + scope.size() + 1 - c.the_vector.size(), 0);
      c.the_deno.assign(c.the_vector.size(), 1);
    }
    pieces.push_back(std::move(piece));
  }
  return pieces;
}

namespace {

// An emptiness test's question: the sign conventions, the number of unknowns,
// the rows.
std::vector<long> emptiness_question(const PipMatrix& domain, int nb_unknowns, const PipOptions& options)
{
  std::vector<long> q{options.Urs_unknowns != 0, options.Urs_parms != 0, nb_unknowns, domain.nb_columns};
  for (const Row& row : domain.rows)
    q.insert(q.end(), row.begin(), row.end());
  return q;
}

}  // namespace

bool pip_integer_empty(const PipMatrix& domain, int nb_unknowns, const PipOptions& options)
{
  static AnswerTable<bool> table;
  std::vector<long> question = emptiness_question(domain, nb_unknowns, options);
  if (std::optional<bool> known = table.find(question))
    return *known;
  // One context for all the tests of a thread, without the error of a test
  // that failed.
  thread_local Session s("pip_integer_empty");
  isl_ctx_reset_error(s.ctx());
  int np = parameters_of(s, domain, nb_unknowns);
  check_matrix(s, "domain", domain, nb_unknowns + np + 2);
  // The questions of the dependence analysis are small: a few eliminations
  // answer most of them before isl's problem is built.
  std::vector<Row> signed_rows = domain.rows;
  auto non_negative = [&](int from, int to) {
    for (int i = from; i < to; ++i) {
      signed_rows.push_back(Row(domain.nb_columns, 0));
      signed_rows.back()[0] = 1;
      signed_rows.back()[1 + i] = 1;
    }
  };
  non_negative(0, options.Urs_unknowns ? 0 : nb_unknowns);
  non_negative(nb_unknowns, options.Urs_parms ? nb_unknowns : nb_unknowns + np);
  QuickEmptiness quick = quick_emptiness(signed_rows);
  bool empty = quick == QuickEmptiness::Empty;
  if (quick == QuickEmptiness::Unknown) {
    Isl<isl_basic_set> set =
      domain_set(s, split_rows(domain), nb_unknowns, np, !options.Urs_unknowns, !options.Urs_parms);
    empty = s.check(isl_basic_set_is_empty(set.get()));
  }
  table.record(question, empty);
  return empty;
}
