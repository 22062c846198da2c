#include "solvers/isl_wrapper.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include <isl/ast.h>
#include <isl/ast_build.h>
#include <isl/ctx.h>
#include <isl/id.h>
#include <isl/map.h>
#include <isl/printer.h>
#include <isl/union_map.h>
#include <isl/mat.h>
#include <isl/point.h>
#include <isl/options.h>
#include <isl/set.h>
#include <isl/space.h>
#include <isl/union_set.h>
#include <isl/val.h>

#include "solvers/answer_table.h"
#include "solvers/rational_emptiness.h"
#include "support/failure.h"

namespace {

const char* const kLocalVariables = "ISLWrapper: result with local variables";

// One isl context for the duration of a call; isl errors are turned into a
// clear message rather than an abort.
class Context {
 public:
  Context() : ctx_(isl_ctx_alloc())
  {
    if (!ctx_)
      fail(Stream::Err, "ISLWrapper: cannot allocate an isl context");
    isl_options_set_on_error(ctx_, ISL_ON_ERROR_CONTINUE);
  }
  ~Context() { isl_ctx_free(ctx_); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
  isl_ctx* get() const { return ctx_; }

  template <typename T>
  T* check(T* result, const char* operation) const
  {
    if (!result) {
      const char* msg = isl_ctx_last_error_msg(ctx_);
      fail(Stream::Err, cat("ISLWrapper::", operation, ": isl error: ", msg ? msg : "unknown"));
    }
    return result;
  }

 private:
  isl_ctx* ctx_;
};

isl_space* make_space(const Context& ctx, int nb_counters, int nb_parameters)
{
  isl_space* space = isl_space_set_alloc(ctx.get(), static_cast<unsigned>(nb_parameters),
                                         static_cast<unsigned>(nb_counters));
  for (int i = 0; i < nb_parameters; i++)
    space = isl_space_set_dim_name(space, isl_dim_param, static_cast<unsigned>(i),
                                   ("p" + std::to_string(i)).c_str());
  return ctx.check(space, "space");
}

isl_basic_set* basic_from_vec_vec(const Context& ctx, isl_space* space, const ISLWrapper::Rows& m)
{
  int nb_eq = 0, nb_ineq = 0;
  int width = static_cast<int>(isl_space_dim(space, isl_dim_set) + isl_space_dim(space, isl_dim_param)) + 2;
  for (const auto& row : m) {
    if (static_cast<int>(row.size()) != width)
      fail(Stream::Err, "ISLWrapper::from_vec_vec: inconsistent row width");
    (row[0] == 0 ? nb_eq : nb_ineq)++;
  }
  isl_mat* eq = isl_mat_alloc(ctx.get(), static_cast<unsigned>(nb_eq), static_cast<unsigned>(width - 1));
  isl_mat* ineq = isl_mat_alloc(ctx.get(), static_cast<unsigned>(nb_ineq), static_cast<unsigned>(width - 1));
  int e = 0, i = 0;
  for (const auto& row : m) {
    isl_mat*& target = row[0] == 0 ? eq : ineq;
    int& r = row[0] == 0 ? e : i;
    for (int j = 1; j < width; j++) {
      Value x = row[j];
      if (x >= INT_MIN && x <= INT_MAX)  // the cheap path, without an isl_val
        target = isl_mat_set_element_si(target, r, j - 1, static_cast<int>(x));
      else
        target = isl_mat_set_element_val(target, r, j - 1, isl_val_int_from_si(ctx.get(), x));
    }
    r++;
  }
  isl_basic_set* bset = isl_basic_set_from_constraint_matrices(
      space, eq, ineq, isl_dim_set, isl_dim_param, isl_dim_div, isl_dim_cst);
  return ctx.check(bset, "from_vec_vec");
}

isl_set* from_vec_vec(const Context& ctx, isl_space* space, const ISLWrapper::Rows& m)
{
  return ctx.check(isl_set_from_basic_set(basic_from_vec_vec(ctx, space, m)), "from_vec_vec");
}

// Whether the integer v fits a Value.
bool fits_a_value(isl_val* v)
{
  return isl_val_cmp_si(v, LONG_MAX) <= 0 && isl_val_cmp_si(v, LONG_MIN) >= 0;
}

Value to_value(isl_val* v)
{
  if (!v || !isl_val_is_int(v)) {
    isl_val_free(v);
    fail(Stream::Err, "ISLWrapper::to_value: not an integer");
  }
  if (!fits_a_value(v)) {
    char* text = isl_val_to_str(v);
    std::string digits = text ? text : "";
    free(text);
    isl_val_free(v);
    throw BeyondTheIntegers(
        cat("ISLWrapper::to_value: value out of the 64-bit range: ", digits, kBeyondTheIntegers), digits);
  }
  Value n = isl_val_get_num_si(v);
  isl_val_free(v);
  return n;
}

// Appends the rows of m (taken) with the kind in front, each entry read by
// convert (which takes the isl_val and may throw; m is freed all the same).
void append_rows(ISLWrapper::Rows& rows, isl_mat* m, int kind, Value (*convert)(isl_val*) = to_value)
{
  std::unique_ptr<isl_mat, isl_mat* (*)(isl_mat*)> owned(m, isl_mat_free);
  int nr = isl_mat_rows(m), nc = isl_mat_cols(m);
  for (int i = 0; i < nr; i++) {
    std::vector<Value> row{kind};
    for (int j = 0; j < nc; j++)
      row.push_back(convert(isl_mat_get_element_val(m, i, j)));
    rows.push_back(row);
  }
}

struct Collected {
  std::vector<ISLWrapper::Rows> matrices;
  bool has_locals = false;
  bool too_large = false;  // a coefficient beyond the 64-bit range
};

const char* const kTooLarge = "ISLWrapper: a coefficient beyond the 64-bit range";

// The value as a Value; throws Unrepresentable when it does not fit.
Value checked_value(isl_val* v)
{
  bool fits = v && isl_val_is_int(v) && fits_a_value(v);
  Value n = fits ? isl_val_get_num_si(v) : 0;
  isl_val_free(v);
  if (!fits)
    throw Unrepresentable(kTooLarge);
  return n;
}

// Appends the rows of m (taken) with the kind in front; throws like
// checked_value.
void append_checked_rows(ISLWrapper::Rows& rows, isl_mat* m, int kind)
{
  append_rows(rows, m, kind, checked_value);
}

isl_stat collect_basic_set(isl_basic_set* bset, void* user)
{
  Collected* out = static_cast<Collected*>(user);
  if (isl_basic_set_dim(bset, isl_dim_div) != 0) {
    out->has_locals = true;
    isl_basic_set_free(bset);
    return isl_stat_ok;
  }
  ISLWrapper::Rows rows;
  try {
    append_checked_rows(rows, isl_basic_set_inequalities_matrix(bset, isl_dim_set, isl_dim_param,
                                                                isl_dim_div, isl_dim_cst), 1);
    append_checked_rows(rows, isl_basic_set_equalities_matrix(bset, isl_dim_set, isl_dim_param,
                                                              isl_dim_div, isl_dim_cst), 0);
  } catch (const Unrepresentable&) {
    out->too_large = true;  // nothing is thrown through isl
  }
  out->matrices.push_back(rows);
  isl_basic_set_free(bset);
  return isl_stat_ok;
}

std::vector<ISLWrapper::Rows> to_vec_vec_vec(const Context& ctx, isl_set* set)
{
  Collected out;
  if (isl_set_foreach_basic_set(set, collect_basic_set, &out) < 0)
    ctx.check(static_cast<isl_set*>(nullptr), "to_vec_vec_vec");
  isl_set_free(set);
  if (out.has_locals)
    throw Unrepresentable(kLocalVariables);
  if (out.too_large)
    throw Unrepresentable(kTooLarge);
  return out.matrices;
}

isl_union_set* union_of(const Context& ctx, const std::vector<ISLWrapper::Rows>& members,
                        int nb_counters, int nb_parameters)
{
  isl_space* params = isl_space_params(make_space(ctx, nb_counters, nb_parameters));
  isl_union_set* u = isl_union_set_empty(params);
  for (const auto& m : members)
    u = isl_union_set_union(
        u, isl_union_set_from_set(from_vec_vec(ctx, make_space(ctx, nb_counters, nb_parameters), m)));
  return ctx.check(u, "union");
}

// Whether the set of the rows has an integer point: a quick test first.
bool has_a_point(const Context& ctx, const ISLWrapper::Rows& rows, isl_set* set)
{
  switch (quick_emptiness(rows)) {
    case QuickEmptiness::Empty:
      return false;
    case QuickEmptiness::NotEmpty:
      return true;
    case QuickEmptiness::Unknown:
      break;
  }
  isl_bool empty = isl_set_is_empty(set);
  if (empty == isl_bool_error)
    ctx.check(static_cast<isl_set*>(nullptr), "gist");
  return empty == isl_bool_false;
}

// The gist of one set within the universe; known_nonempty skips the test of
// its emptiness. isl gives the set back as it has it (its own simplified
// form of the constraints), or no disjunct when it is empty: the dependence
// polyhedra, by the hundred, skip the union sets and the gist. The same
// polyhedra come again (the pairs of references of both limits, the levels
// of one pair): the answers are kept, for both kinds of question.
std::vector<ISLWrapper::Rows> gist_within_universe(const ISLWrapper::Rows& rows, int nb_counters,
                                                   int nb_parameters, bool known_nonempty = false)
{
  static AnswerTable<std::vector<ISLWrapper::Rows>> table(4096);
  std::vector<long> question{nb_counters, nb_parameters};
  for (const auto& row : rows) {
    question.push_back(static_cast<long>(row.size()));
    question.insert(question.end(), row.begin(), row.end());
  }
  if (auto known = table.find(question))
    return std::move(*known);
  Context ctx;
  std::vector<ISLWrapper::Rows> answer;
  isl_set* set = from_vec_vec(ctx, make_space(ctx, nb_counters, nb_parameters), rows);
  if (known_nonempty || has_a_point(ctx, rows, set))
    answer = to_vec_vec_vec(ctx, set);
  else
    isl_set_free(set);
  table.record(question, answer);
  return answer;
}

}  // namespace

std::vector<ISLWrapper::Rows> ISLWrapper::gist_of_nonempty(const Rows& m, int nb_counters,
                                                           int nb_parameters)
{
  return gist_within_universe(m, nb_counters, nb_parameters, true);
}

std::vector<ISLWrapper::Rows> ISLWrapper::gist(const std::vector<Rows>& u,
                                               const std::vector<Rows>& context, int nb_counters,
                                               int nb_parameters)
{
  bool universe = std::all_of(context.begin(), context.end(), [](const Rows& m) { return m.empty(); });
  if (u.size() == 1 && !context.empty() && universe)
    return gist_within_universe(u[0], nb_counters, nb_parameters);
  Context ctx;
  isl_union_set* U = union_of(ctx, u, nb_counters, nb_parameters);
  isl_union_set* V = union_of(ctx, context, nb_counters, nb_parameters);
  isl_union_set* G = ctx.check(isl_union_set_gist(U, V), "gist");
  isl_space* space = make_space(ctx, nb_counters, nb_parameters);
  isl_set* set = isl_union_set_extract_set(G, space);
  isl_union_set_free(G);
  return to_vec_vec_vec(ctx, ctx.check(set, "gist"));
}

std::vector<ISLWrapper::Rows> ISLWrapper::coalesce(const std::vector<Rows>& u, int nb_counters,
                                                   int nb_parameters)
{
  Context ctx;
  isl_set* set = isl_set_empty(make_space(ctx, nb_counters, nb_parameters));
  for (const auto& m : u)
    set = isl_set_union(set, from_vec_vec(ctx, make_space(ctx, nb_counters, nb_parameters), m));
  set = ctx.check(isl_set_coalesce(ctx.check(set, "coalesce")), "coalesce");
  return to_vec_vec_vec(ctx, set);
}

namespace {

struct PointCollector {
  std::vector<std::vector<Value>>* points;
  int nb_variables;
  size_t limit;
  bool too_many = false;
  std::exception_ptr failed;  // thrown again once isl's walk has ended
};

isl_stat collect_point(isl_point* point, void* user)
{
  PointCollector* c = static_cast<PointCollector*>(user);
  if (c->points->size() >= c->limit) {
    c->too_many = true;
    isl_point_free(point);
    return isl_stat_error;
  }
  // Nothing is thrown through isl: a failure stops the walk and waits.
  try {
    std::vector<Value> values;
    for (int j = 0; j < c->nb_variables; j++)
      values.push_back(to_value(isl_point_get_coordinate_val(point, isl_dim_set, j)));
    c->points->push_back(values);
  } catch (...) {
    c->failed = std::current_exception();
  }
  isl_point_free(point);
  return c->failed ? isl_stat_error : isl_stat_ok;
}

}  // namespace

bool ISLWrapper::bounded_points(const Rows& m, int nb_variables, size_t limit,
                                std::vector<std::vector<Value>>& points)
{
  Context ctx;
  isl_set* set = from_vec_vec(ctx, make_space(ctx, nb_variables, 0), m);
  if (isl_set_is_bounded(set) != isl_bool_true) {
    isl_set_free(set);
    return false;
  }
  PointCollector c{&points, nb_variables, limit, false, nullptr};
  isl_stat status = isl_set_foreach_point(set, collect_point, &c);
  isl_set_free(set);
  if (c.failed)
    std::rethrow_exception(c.failed);
  if (c.too_many)
    return false;
  if (status < 0)
    ctx.check(static_cast<isl_set*>(nullptr), "bounded_points");
  return true;
}

long ISLWrapper::count(const Rows& m, int nb_variables)
{
  Context ctx;
  isl_set* set = from_vec_vec(ctx, make_space(ctx, nb_variables, 0), m);
  if (isl_set_is_bounded(set) != isl_bool_true) {
    isl_set_free(set);
    return -1;
  }
  isl_val* n = ctx.check(isl_set_count_val(set), "count");
  isl_set_free(set);
  long value = -1;
  if (isl_val_is_int(n) && isl_val_cmp_si(n, LONG_MAX) < 0)
    value = isl_val_get_num_si(n);
  isl_val_free(n);
  return value;
}

bool ISLWrapper::minimal_form(Rows& m, int nb_variables, int nb_parameters)
{
  Context ctx;
  isl_basic_set* b = basic_from_vec_vec(ctx, make_space(ctx, nb_variables, nb_parameters), m);
  b = ctx.check(isl_basic_set_detect_equalities(b), "minimal_form");
  b = ctx.check(isl_basic_set_remove_redundancies(b), "minimal_form");
  if (isl_basic_set_plain_is_empty(b) == isl_bool_true) {
    isl_basic_set_free(b);
    return false;
  }
  Rows rows;
  try {
    append_checked_rows(rows, isl_basic_set_equalities_matrix(b, isl_dim_set, isl_dim_param,
                                                              isl_dim_div, isl_dim_cst), 0);
    append_checked_rows(rows, isl_basic_set_inequalities_matrix(b, isl_dim_set, isl_dim_param,
                                                                isl_dim_div, isl_dim_cst), 1);
  } catch (...) {
    isl_basic_set_free(b);
    throw;
  }
  isl_basic_set_free(b);
  m = rows;
  return true;
}

namespace {

// The rows of a basic set without local variables (taken), or the single row
// -1 >= 0 when it is empty.
ISLWrapper::Rows rows_of(const Context& ctx, isl_basic_set* b, int nb_variables,
                         const char* operation)
{
  b = ctx.check(isl_basic_set_remove_redundancies(ctx.check(b, operation)), operation);
  std::unique_ptr<isl_basic_set, isl_basic_set* (*)(isl_basic_set*)> owned(b, isl_basic_set_free);
  if (isl_basic_set_plain_is_empty(b) == isl_bool_true) {
    ISLWrapper::Rows empty(1, std::vector<Value>(nb_variables + 2, 0));
    empty[0][0] = 1;
    empty[0].back() = -1;
    return empty;
  }
  if (isl_basic_set_dim(b, isl_dim_div) != 0)
    fail(Stream::Err, cat("ISLWrapper::", operation, ": result with local variables"));
  ISLWrapper::Rows rows;
  append_rows(rows, isl_basic_set_equalities_matrix(b, isl_dim_set, isl_dim_param, isl_dim_div,
                                                    isl_dim_cst), 0);
  append_rows(rows, isl_basic_set_inequalities_matrix(b, isl_dim_set, isl_dim_param, isl_dim_div,
                                                      isl_dim_cst), 1);
  return rows;
}

// The rows [kind | variables | constant] as a rational basic set of isl:
// its operations then work over the rationals (no constraint is tightened
// over the integers), as PolyLib's do. isl's text form is the only way to
// mark a set rational ("rat:").
isl_basic_set* rational_set(const Context& ctx, const ISLWrapper::Rows& m, int nb_variables)
{
  std::string text = "{ rat: [";
  for (int j = 0; j < nb_variables; j++)
    text += (j ? ", x" : "x") + std::to_string(j);
  text += "]";
  const char* glue = " : ";
  for (const auto& row : m) {
    if (static_cast<int>(row.size()) != nb_variables + 2)
      fail(Stream::Err, "ISLWrapper::rational_set: inconsistent row width");
    text += glue + std::to_string(row.back());
    for (int j = 0; j < nb_variables; j++)
      if (row[1 + j] != 0)
        text += " + " + std::to_string(row[1 + j]) + "*x" + std::to_string(j);
    text += row[0] == 0 ? " = 0" : " >= 0";
    glue = " and ";
  }
  text += " }";
  return ctx.check(isl_basic_set_read_from_str(ctx.get(), text.c_str()), "rational_set");
}

}  // namespace

ISLWrapper::Rows ISLWrapper::rational_minimal_form(const Rows& m, int nb_variables)
{
  Context ctx;
  isl_basic_set* b = rational_set(ctx, m, nb_variables);
  b = ctx.check(isl_basic_set_detect_equalities(b), "rational_minimal_form");
  return rows_of(ctx, b, nb_variables, "rational_minimal_form");
}

ISLWrapper::Rows ISLWrapper::rational_projection(const Rows& m, int nb_eliminated, int nb_kept)
{
  Context ctx;
  isl_basic_set* b = rational_set(ctx, m, nb_eliminated + nb_kept);
  // Over the rationals: Fourier-Motzkin elimination (and Gaussian
  // elimination with equalities), no local variable appears.
  b = isl_basic_set_remove_dims(b, isl_dim_set, 0, static_cast<unsigned>(nb_eliminated));
  return rows_of(ctx, b, nb_kept, "rational_projection");
}

ISLWrapper::Rows ISLWrapper::rational_convex_hull(const std::vector<Rows>& members,
                                                  int nb_variables)
{
  Context ctx;
  isl_set* set = nullptr;
  for (const auto& m : members) {
    isl_set* member = isl_set_from_basic_set(rational_set(ctx, m, nb_variables));
    set = set ? isl_set_union(set, member) : member;
  }
  if (!set)
    set = isl_set_empty(make_space(ctx, nb_variables, 0));
  isl_basic_set* hull = isl_set_convex_hull(ctx.check(set, "rational_convex_hull"));
  return rows_of(ctx, hull, nb_variables, "rational_convex_hull");
}

std::vector<std::vector<Value>> ISLWrapper::points_in_box(const Rows& m, int nb_parameters, int box,
                                                          std::size_t limit)
{
  Context ctx;
  isl_set* set = from_vec_vec(ctx, make_space(ctx, nb_parameters, 0), m);
  for (int j = 0; j < nb_parameters; j++) {
    set = isl_set_lower_bound_si(set, isl_dim_set, static_cast<unsigned>(j), -box);
    set = isl_set_upper_bound_si(set, isl_dim_set, static_cast<unsigned>(j), box);
  }
  std::vector<std::vector<Value>> points;
  PointCollector c{&points, nb_parameters, limit, false, nullptr};
  isl_stat status = isl_set_foreach_point(ctx.check(set, "points_in_box"), collect_point, &c);
  isl_set_free(set);
  if (c.failed)
    std::rethrow_exception(c.failed);
  if (status < 0 && !c.too_many)
    ctx.check(static_cast<isl_set*>(nullptr), "points_in_box");
  return points;
}

std::vector<long> ISLWrapper::counts(const Rows& m, int nb_variables,
                                     const std::vector<std::vector<Value>>& parameter_points)
{
  Context ctx;
  int nb_parameters = m.empty() ? 0 : static_cast<int>(m[0].size()) - nb_variables - 2;
  isl_set* set = from_vec_vec(ctx, make_space(ctx, nb_variables, nb_parameters), m);
  std::vector<long> result;
  for (const std::vector<Value>& point : parameter_points) {
    isl_set* fixed = isl_set_copy(set);
    for (int j = 0; j < nb_parameters; j++)
      fixed = isl_set_fix_val(fixed, isl_dim_param, static_cast<unsigned>(j),
                              isl_val_int_from_si(ctx.get(), point.at(j)));
    fixed = ctx.check(fixed, "counts");
    long value = -1;
    if (isl_set_is_bounded(fixed) == isl_bool_true) {
      isl_val* n = ctx.check(isl_set_count_val(fixed), "counts");
      if (isl_val_is_int(n) && isl_val_cmp_si(n, LONG_MAX) < 0)
        value = isl_val_get_num_si(n);
      isl_val_free(n);
    }
    isl_set_free(fixed);
    result.push_back(value);
  }
  isl_set_free(set);
  return result;
}

namespace {

isl_printer* print_body(isl_printer* p, isl_ast_print_options* options, isl_ast_node*, void* user)
{
  isl_ast_print_options_free(options);
  p = isl_printer_start_line(p);
  p = isl_printer_print_str(p, static_cast<const std::string*>(user)->c_str());
  return isl_printer_end_line(p);
}

}  // namespace

std::string ISLWrapper::scan_code(const Rows& m, const std::vector<std::string>& variable_names,
                                  const std::vector<std::string>& parameter_names,
                                  const std::string& body, const std::string& prefix)
{
  Context ctx;
  int nv = static_cast<int>(variable_names.size()), np = static_cast<int>(parameter_names.size());
  isl_space* space = make_space(ctx, nv, np);
  for (int j = 0; j < np; j++)
    space = isl_space_set_dim_name(space, isl_dim_param, static_cast<unsigned>(j),
                                   parameter_names[j].c_str());
  space = isl_space_set_tuple_name(space, isl_dim_set, "S");
  isl_set* set = from_vec_vec(ctx, ctx.check(space, "scan_code"), m);
  isl_map* identity = isl_set_identity(isl_set_copy(set));
  // The loops must be right for every parameter value, also those for which
  // the set is empty: the context is the universe.
  isl_set* context = isl_set_universe(isl_space_params(isl_set_get_space(set)));
  isl_set_free(set);
  isl_ast_build* build = isl_ast_build_from_context(context);
  isl_id_list* iterators = isl_id_list_alloc(ctx.get(), nv);
  for (const std::string& name : variable_names)
    iterators = isl_id_list_add(iterators, isl_id_alloc(ctx.get(), name.c_str(), nullptr));
  build = isl_ast_build_set_iterators(build, iterators);
  isl_ast_node* tree = isl_ast_build_node_from_schedule_map(build, isl_union_map_from_map(identity));
  isl_ast_build_free(build);
  tree = ctx.check(tree, "scan_code");
  isl_printer* p = isl_printer_to_str(ctx.get());
  p = isl_printer_set_output_format(p, ISL_FORMAT_C);
  p = isl_printer_set_indent_prefix(p, prefix.c_str());
  isl_ast_print_options* options = isl_ast_print_options_alloc(ctx.get());
  std::string statement = body;
  options = isl_ast_print_options_set_print_user(options, print_body, &statement);
  p = isl_ast_node_print(tree, p, options);
  char* text = isl_printer_get_str(p);
  isl_printer_free(p);
  isl_ast_node_free(tree);
  std::string code = ctx.check(text, "scan_code");
  free(text);
  return code;
}
