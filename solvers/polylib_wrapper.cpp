#include "solvers/polylib_wrapper.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <gmp.h>
#include <mutex>
#include <optional>
#include <sstream>
#include <fcntl.h>
#include <unistd.h>
#include <string>

#include "support/child_process.h"
#include "support/failure.h"
#include "solvers/answer_table.h"
#include "solvers/isl_wrapper.h"
#include "algebra/rank.h"

// PolyLib's headers have no C++ guards of their own and define macros that
// clash with the standard library: they come last, and only here.
extern "C" {
#include <polylib/polylib64.h>
}
#undef value_or
#undef value_compare

// Out of line, where ORO__enode is complete.
ORO__evalue::ORO__evalue() = default;
ORO__evalue::~ORO__evalue() = default;

namespace {

// A failure of PolyLib, or a value it gives back that the analysis cannot
// take (the smallest 64-bit value, which has no opposite).
struct PolylibFailure {
  std::string message;
};

[[noreturn]] void polylib_failed(const char* operation)
{
  throw PolylibFailure{cat("PolylibWrapper::", operation,
                           ": PolyLib failed (integer overflow or too many rays)")};
}

Value to_value(long long value)
{
  if (value == LLONG_MIN)
    throw PolylibFailure{cat("PolylibWrapper::get_value: too big integer", kBeyondTheIntegers)};
  return value;
}

// PolyLib matrices owned here.
struct MatrixFree {
  void operator()(Matrix* m) const { Matrix_Free(m); }
};
using OwnedMatrix = std::unique_ptr<Matrix, MatrixFree>;

// Runs f; when PolyLib fails (its own 64-bit arithmetic overflows or it
// runs out of rays), runs the exact fallback instead.
template <typename F, typename Fallback>
auto or_else(F f, Fallback fallback) -> decltype(f())
{
  try {
    return f();
  } catch (const PolylibFailure&) {
    return fallback();
  }
}

Matrix* to_polylib(const std::vector<std::vector<Value>>& m, int width)
{
  for (const auto& row : m)
    if (static_cast<int>(row.size()) != width)
      fail(Stream::Err, "PolylibWrapper::matrix lines are not consistent");
  Matrix* r = Matrix_Alloc(static_cast<unsigned>(m.size()), static_cast<unsigned>(width));
  if (!r)
    fail(Stream::Err, "PolylibWrapper: out of memory");
  for (size_t i = 0; i < m.size(); i++)
    for (int j = 0; j < width; j++)
      value_set_si(r->p[i][j], m[i][j]);
  return r;
}

std::vector<std::vector<Value>> from_polylib(const Matrix* m)
{
  std::vector<std::vector<Value>> r(m->NbRows, std::vector<Value>(m->NbColumns));
  for (unsigned i = 0; i < m->NbRows; i++)
    for (unsigned j = 0; j < m->NbColumns; j++)
      r[i][j] = to_value(VALUE_TO_LONG(m->p[i][j]));
  return r;
}

int full_width() { return get_nb_counters() + get_nb_parameters() + 2; }

// The PolyLib calls proper. They run inside PolyLib's own exception handler,
// so they hold only C objects: a longjmp out of them skips no destructor.
Matrix* polylib_minimal_form(Matrix* m)
{
  Polyhedron* p = Constraints2Polyhedron(m, kPolylibMaxRays);
  Matrix* r = Polyhedron2Constraints(p);
  Polyhedron_Free(p);
  return r;
}

Matrix* polylib_rays(Matrix* m)
{
  Polyhedron* p = Constraints2Polyhedron(m, kPolylibMaxRays);
  Matrix* r = Polyhedron2Rays(p);
  Polyhedron_Free(p);
  return r;
}

Matrix* polylib_constraints_of_rays(Matrix* rays)
{
  Polyhedron* p = Rays2Polyhedron(rays, kPolylibMaxRays);
  Matrix* r = Polyhedron2Constraints(p);
  Polyhedron_Free(p);
  return r;
}

Matrix* polylib_hull(Matrix** members, size_t count, unsigned dimension)
{
  Polyhedron* domain = Empty_Polyhedron(dimension);
  for (size_t i = 0; i < count; i++) {
    Polyhedron* p = Constraints2Polyhedron(members[i], kPolylibMaxRays);
    domain = AddPolyToDomain(p, domain);
  }
  Polyhedron* hull = DomainConvex(domain, kPolylibMaxRays);
  Matrix* r = Polyhedron2Constraints(hull);
  Domain_Free(domain);
  Domain_Free(hull);
  return r;
}


// PolyLib keeps global state (its exception stack, its cache of value
// arrays): its calls are made one at a time, whatever the thread
// (support/side_task.h). Every public function below holds the lock while
// it uses PolyLib.
std::unique_lock<std::recursive_mutex> polylib_lock()
{
  static std::recursive_mutex polylib;
  return std::unique_lock<std::recursive_mutex>(polylib);
}

// The error stream sent to /dev/null while it lives: PolyLib writes a line
// on it for every exception it throws ("exception 1/-1: Vector_Combine ..."),
// which the failure's own message replaces. The stream is the process's:
// PolyLib's side tasks (the Farkas projections of a schedule dimension) are
// all taken before the analysis thread writes to it again.
class QuietErrors {
 public:
  QuietErrors()
  {
    // /dev/null is opened once for the process: the guard runs around
    // thousands of PolyLib calls.
    static const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::fflush(stderr);
    saved_ = ::dup(2);
    if (saved_ >= 0 && null >= 0)
      ::dup2(null, 2);
  }
  ~QuietErrors()
  {
    std::fflush(stderr);
    if (saved_ >= 0) {
      ::dup2(saved_, 2);
      ::close(saved_);
    }
  }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  int saved_;
};

// Runs f(args...) under PolyLib's exception handler: an overflow or an
// internal error becomes a clear message and status 1 instead of abort().
template <typename Result, typename... Args>
Result guarded(const char* operation, Result (*f)(Args...), Args... args)
{
  QuietErrors quiet;
  Result r{};
  CATCH(any_exception_error) { polylib_failed(operation); }
  TRY
  {
    r = f(args...);
    UNCATCH(any_exception_error);
  }
  if (!r)
    polylib_failed(operation);
  return r;
}

}  // namespace

namespace {

// The variable columns (between the kind and the constant) that some row of
// some matrix uses: a column no row uses is a free dimension, which would only
// make PolyLib's generators larger.
std::vector<int> used_columns(const std::vector<const std::vector<std::vector<Value>>*>& matrices,
                              int width)
{
  std::vector<int> columns;
  for (int c = 1; c + 1 < width; c++) {
    bool used = false;
    for (const auto* m : matrices)
      for (const auto& row : *m)
        used = used || row[c] != 0;
    if (used)
      columns.push_back(c);
  }
  return columns;
}

std::vector<std::vector<Value>> compacted(const std::vector<std::vector<Value>>& m,
                                          const std::vector<int>& columns)
{
  std::vector<std::vector<Value>> r;
  for (const auto& row : m) {
    std::vector<Value> x{row[0]};
    for (int c : columns)
      x.push_back(row[c]);
    x.push_back(row.back());
    r.push_back(x);
  }
  return r;
}

std::vector<std::vector<Value>> expanded(const std::vector<std::vector<Value>>& m,
                                         const std::vector<int>& columns, int width)
{
  std::vector<std::vector<Value>> r;
  for (const auto& row : m) {
    std::vector<Value> x(width, 0);
    x[0] = row[0];
    for (size_t k = 0; k < columns.size(); k++)
      x[columns[k]] = row[1 + k];
    x.back() = row.back();
    r.push_back(x);
  }
  return r;
}

}  // namespace

std::vector<std::vector<Value>> PolylibWrapper::simplify(const std::vector<std::vector<Value>>& m)
{
  auto lock = polylib_lock();
  if (m.empty())
    return {};
  int width = full_width();
  for (const auto& row : m)
    if (static_cast<int>(row.size()) != width)
      fail(Stream::Err, "PolylibWrapper::matrix lines are not consistent");
  std::vector<int> columns = used_columns({&m}, width);
  std::vector<std::vector<Value>> small = compacted(m, columns);
  return expanded(or_else(
                      [&small, &columns] {
                        OwnedMatrix pm(to_polylib(small, static_cast<int>(columns.size()) + 2));
                        OwnedMatrix r(guarded("simplify", polylib_minimal_form, pm.get()));
                        return from_polylib(r.get());
                      },
                      [&small, &columns] {
                        return ISLWrapper::rational_minimal_form(
                            small, static_cast<int>(columns.size()));
                      }),
                  columns, width);
}

std::vector<std::vector<Value>> PolylibWrapper::project_columns(
    const std::vector<std::vector<Value>>& m, const std::vector<bool>& keep)
{
  auto lock = polylib_lock();
  if (m.empty())
    return {};
  int width = static_cast<int>(keep.size()) + 2;
  for (const auto& row : m)
    if (static_cast<int>(row.size()) != width)
      fail(Stream::Err, "PolylibWrapper::matrix lines are not consistent");
  // Only the columns some row uses are given to PolyLib: a column no row uses
  // is free and would only make the generators larger. The eliminated
  // columns come first, then the kept ones.
  std::vector<int> columns = used_columns({&m}, width);
  std::vector<int> order;
  for (int c : columns)
    if (!keep[c - 1])
      order.push_back(c);
  int eliminated = static_cast<int>(order.size());
  for (int c : columns)
    if (keep[c - 1])
      order.push_back(c);
  int small = static_cast<int>(order.size()) + 2;
  std::vector<std::vector<Value>> question_rows = compacted(m, order);
  // The projection of the compacted rows depends on them alone: the edges of
  // the scheduler ask it again and again.
  static AnswerTable<std::vector<std::vector<Value>>> table;
  std::vector<long> question{eliminated, small};
  for (const auto& row : question_rows)
    question.insert(question.end(), row.begin(), row.end());
  std::optional<std::vector<std::vector<Value>>> known = table.find(question);
  std::vector<std::vector<Value>> rows = known ? std::move(*known) : or_else([&] {
    OwnedMatrix pm(to_polylib(question_rows, small));
    OwnedMatrix rays(guarded("project", polylib_rays, pm.get()));
    // Generators without the coordinates of the eliminated columns.
    OwnedMatrix generators(
        Matrix_Alloc(rays->NbRows, static_cast<unsigned>(small - eliminated)));
    for (unsigned i = 0; i < rays->NbRows; i++) {
      value_assign(generators->p[i][0], rays->p[i][0]);
      for (int col = 1 + eliminated; col < small; col++)
        value_assign(generators->p[i][col - eliminated], rays->p[i][col]);
    }
    OwnedMatrix constraints(guarded("project", polylib_constraints_of_rays, generators.get()));
    return from_polylib(constraints.get());
  }, [&] {
    return ISLWrapper::rational_projection(question_rows, eliminated, small - 2 - eliminated);
  });
  if (!known)
    table.record(question, rows);
  // Back over every kept column, zero for those no row used.
  std::vector<int> kept_columns;
  for (int c = 1; c + 1 < width; c++)
    if (keep[c - 1])
      kept_columns.push_back(c);
  std::vector<int> position(width, -1);
  for (size_t k = 0; k < kept_columns.size(); k++)
    position[kept_columns[k]] = static_cast<int>(k);
  std::vector<std::vector<Value>> result;
  for (const auto& row : rows) {
    std::vector<Value> r(kept_columns.size() + 2, 0);
    r[0] = row[0];
    for (int j = eliminated; j < static_cast<int>(order.size()); j++)
      r[1 + position[order[j]]] = row[1 + j - eliminated];
    r.back() = row.back();
    result.push_back(r);
  }
  return result;
}

std::optional<std::vector<std::vector<Value>>> PolylibWrapper::generators(
    const std::vector<std::vector<Value>>& m)
{
  auto lock = polylib_lock();
  if (m.empty())
    return std::nullopt;
  int width = static_cast<int>(m[0].size());
  // The edges of one statement pair on one polyhedron (other references to
  // the same cells) ask the same question.
  static AnswerTable<std::vector<std::vector<Value>>> table(4096);
  std::vector<long> question{width};
  for (const auto& row : m)
    question.insert(question.end(), row.begin(), row.end());
  if (auto known = table.find(question))
    return std::move(*known);
  try {
    OwnedMatrix pm(to_polylib(m, width));
    OwnedMatrix rays(guarded("generators", polylib_rays, pm.get()));
    std::vector<std::vector<Value>> answer = from_polylib(rays.get());
    table.record(question, answer);
    return answer;
  } catch (const PolylibFailure&) {
    return std::nullopt;
  }
}

std::vector<std::vector<Value>> PolylibWrapper::convex_hull(
    const std::list<std::vector<std::vector<Value>>>& members, int width)
{
  auto lock = polylib_lock();
  std::vector<const std::vector<std::vector<Value>>*> all;
  for (const auto& m : members) {
    for (const auto& row : m)
      if (static_cast<int>(row.size()) != width)
        fail(Stream::Err, "PolylibWrapper::matrix lines are not consistent");
    all.push_back(&m);
  }
  std::vector<int> columns = used_columns(all, width);
  int small = static_cast<int>(columns.size()) + 2;
  std::vector<std::vector<std::vector<Value>>> small_members;
  for (const auto& m : members)
    small_members.push_back(compacted(m, columns));
  return expanded(or_else(
                      [&] {
                        std::vector<OwnedMatrix> owned;
                        std::vector<Matrix*> pms;
                        for (const auto& m : small_members) {
                          owned.emplace_back(to_polylib(m, small));
                          pms.push_back(owned.back().get());
                        }
                        OwnedMatrix r(guarded("convex_hull", polylib_hull, pms.data(),
                                              pms.size(), static_cast<unsigned>(small - 2)));
                        return from_polylib(r.get());
                      },
                      [&] { return ISLWrapper::rational_convex_hull(small_members, small - 2); }),
                  columns, width);
}

namespace {

struct EnumerationFree {
  void operator()(Enumeration* e) const { Enumeration_Free(e); }
};

// The processor time an enumeration may take before the count is made
// otherwise (a build for instruction counts under a simulator raises it).
// Processor time, not elapsed time, so that a loaded machine gives the same
// out.c; the elapsed time is bounded too, far above, for a child that does
// not get the processor at all.
#ifndef VORL_ENUMERATION_BUDGET_MS
#define VORL_ENUMERATION_BUDGET_MS 1500
#endif
const int kEnumerationMilliseconds = VORL_ENUMERATION_BUDGET_MS;
const int kEnumerationWallFactor = 40;

// The pieces of an enumeration written as numbers separated by blanks: the
// number of pieces, then for each its rows (count, width, values) and its
// polynomial in prefix order (d, then n, or 0, type, size, pos and the
// values).
void write_evalue(std::string& out, const evalue* e)
{
  out += std::to_string(VALUE_TO_LONG(e->d)) + " ";
  if (value_notzero_p(e->d)) {
    out += std::to_string(VALUE_TO_LONG(e->x.n)) + " ";
    return;
  }
  const enode* n = e->x.p;
  out += std::to_string(static_cast<int>(n->type)) + " " + std::to_string(n->size) + " " +
         std::to_string(n->pos) + " ";
  for (int i = 0; i < n->size; i++)
    write_evalue(out, &n->arr[i]);
}

std::string write_enumeration(const Enumeration* e)
{
  std::string out;
  int count = 0;
  for (const Enumeration* piece = e; piece; piece = piece->next)
    count++;
  out += std::to_string(count) + " ";
  for (const Enumeration* piece = e; piece; piece = piece->next) {
    OwnedMatrix domain(Polyhedron2Constraints(piece->ValidityDomain));
    out += std::to_string(domain->NbRows) + " " + std::to_string(domain->NbColumns) + " ";
    for (unsigned i = 0; i < domain->NbRows; i++)
      for (unsigned j = 0; j < domain->NbColumns; j++)
        out += std::to_string(VALUE_TO_LONG(domain->p[i][j])) + " ";
    write_evalue(out, &piece->EP);
  }
  return out;
}

// Reads back what write_enumeration wrote; throws PolylibFailure on a value
// the analysis cannot take or a malformed text.
class Reader {
 public:
  explicit Reader(const std::string& text) : in_(text) {}
  Value next()
  {
    long long v = 0;
    if (!(in_ >> v))
      throw PolylibFailure{"PolylibWrapper::volume: incomplete answer"};
    return to_value(v);
  }
  // A count, size or position.
  int next_int()
  {
    Value v = next();
    if (v < INT_MIN || v > INT_MAX)
      throw PolylibFailure{"PolylibWrapper::volume: malformed answer"};
    return static_cast<int>(v);
  }
  std::unique_ptr<ORO__evalue> evalue()
  {
    auto r = std::make_unique<ORO__evalue>();
    r->d = next();
    if (r->d != 0) {
      r->n = next();
      return r;
    }
    auto n = std::make_unique<ORO__enode>();
    n->type = next_int();
    n->size = next_int();
    n->pos = next_int();
    if (n->size < 0 || n->size > 100000)
      throw PolylibFailure{"PolylibWrapper::volume: malformed answer"};
    for (int i = 0; i < n->size; i++)
      n->arr.push_back(evalue());
    r->p = std::move(n);
    return r;
  }

 private:
  std::istringstream in_;
};

// The question of an enumeration: the number of parameters, the number of
// rows and columns, then the rows.
std::string enumeration_question(const std::vector<std::vector<Value>>& m, int width, int np)
{
  std::string q = std::to_string(np) + " " + std::to_string(m.size()) + " " + std::to_string(width);
  for (const auto& row : m)
    for (Value v : row)
      q += " " + std::to_string(v);
  return q;
}

// The enumeration of the question's rows, run in a child process (see
// run_in_child): PolyLib ends the process on some overflows (a failed
// assertion) and may take very long. The answer is written as
// write_enumeration does.
bool enumeration_job(const std::string& question, std::string& answer)
{
  std::istringstream in(question);
  int np = 0, width = 0;
  size_t rows = 0;
  if (!(in >> np >> rows >> width) || np < 0 || width < np + 2)
    return false;
  std::vector<std::vector<Value>> m(rows, std::vector<Value>(static_cast<size_t>(width)));
  for (auto& row : m)
    for (Value& v : row)
      if (!(in >> v))
        return false;
  bool answered = false;
  CATCH(any_exception_error) { return false; }
  TRY
  {
    // The process ends right after: nothing is freed.
    OwnedMatrix pm(to_polylib(m, width));
    Polyhedron* p = Constraints2Polyhedron(pm.get(), kPolylibMaxRays);
    Polyhedron* context = Universe_Polyhedron(static_cast<unsigned>(np));
    Enumeration* e = Polyhedron_Enumerate(p, context, kPolylibMaxRays, nullptr);
    answer = e ? write_enumeration(e) : "0 ";
    answered = true;
    UNCATCH(any_exception_error);
  }
  return answered;
}

// The answer of enumeration_job to the enumeration of m, run in a child
// process with a budget of processor time, or taken from the table when the
// same question was asked before; a failure of the child, or its time
// running out, is reported as a PolylibFailure.
std::string enumeration_answer(const std::vector<std::vector<Value>>& m, int nb_vars, int np)
{
  // The answers so far (none for a failure), by question. A program's
  // statements often ask for the same count (the same shape of domain at the
  // same level), and an enumeration costs a process. The answers are texts:
  // fewer are kept.
  static AnswerTable<std::optional<std::string>, std::string> table(4096);
  std::string question = enumeration_question(m, nb_vars + np + 2, np);
  std::optional<std::optional<std::string>> known = table.find(question);
  std::optional<std::string> answer =
      known ? std::move(*known)
            : run_in_child(enumeration_job, question, kEnumerationMilliseconds,
                           kEnumerationWallFactor * kEnumerationMilliseconds);
  if (!known)
    table.record(question, answer);
  if (!answer)
    throw PolylibFailure{"PolylibWrapper::volume: PolyLib failed (integer overflow or too many rays)"};
  return *answer;
}

}  // namespace

std::unique_ptr<std::vector<VolumePiece>> PolylibWrapper::volume(
    const std::vector<std::vector<Value>>& m, int nb_vars, bool* failed)
{
  *failed = false;
  // The parameters are the columns between the variables and the constant.
  int np = m.empty() ? get_nb_parameters() : static_cast<int>(m[0].size()) - nb_vars - 2;
  if (np < 0)
    fail(Stream::Err, "PolylibWrapper::matrix lines are not consistent");
  try {
    Reader answer(enumeration_answer(m, nb_vars, np));
    int count = answer.next_int();
    if (count == 0)
      return nullptr;
    auto pieces = std::make_unique<std::vector<VolumePiece>>();
    for (int k = 0; k < count; k++) {
      VolumePiece v;
      v.nb_rows = answer.next_int();
      v.nb_columns = answer.next_int();
      for (int i = 0; i < v.nb_rows; i++) {
        std::vector<Value> row;
        for (int j = 0; j < v.nb_columns; j++)
          row.push_back(answer.next());
        v.rows.push_back(row);
      }
      v.polynomial = answer.evalue();
      // PolyLib answers a bare -1 for a polyhedron with infinitely many points.
      if (v.polynomial->d != 0 && v.polynomial->n == -1 && v.polynomial->d == 1)
        fail(Stream::Err, "PolylibWrapper::volume: infinite number of integer points");
      pieces->push_back(std::move(v));
    }
    return pieces;
  } catch (const PolylibFailure&) {
    *failed = true;
    return nullptr;
  }
}

