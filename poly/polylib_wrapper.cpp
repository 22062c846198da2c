#include "poly/polylib_wrapper.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <gmp.h>
#include <setjmp.h>
#include <signal.h>

#include "poly/failure.h"
#include "poly/rank.h"

// PolyLib's headers have no C++ guards of their own and define macros that
// clash with the standard library: they come last, and only here.
extern "C" {
#include <polylib/polylib64.h>
}
#undef value_or
#undef value_compare

ORO__evalue::~ORO__evalue() { delete p; }

ORO__enode::~ORO__enode()
{
  for (ORO__evalue* v : arr)
    delete v;
}

int get_int(long value)
{
  if (value >= 2147483644L || value < INT_MIN)
    fail(Stream::Err, "PolylibWrapper::get_int: too big integer");
  return static_cast<int>(value);
}

namespace {

[[noreturn]] void polylib_failed(const char* operation)
{
  fail(Stream::Err, cat("PolylibWrapper::", operation,
                        ": PolyLib failed (integer overflow or too many rays)"));
}

Matrix* to_polylib(const std::vector<std::vector<int>>& m, int width)
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

std::vector<std::vector<int>> from_polylib(const Matrix* m)
{
  std::vector<std::vector<int>> r(m->NbRows, std::vector<int>(m->NbColumns));
  for (unsigned i = 0; i < m->NbRows; i++)
    for (unsigned j = 0; j < m->NbColumns; j++)
      r[i][j] = get_int(VALUE_TO_LONG(m->p[i][j]));
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

Enumeration* polylib_enumerate(Matrix* m, unsigned nb_parameters)
{
  Polyhedron* p = Constraints2Polyhedron(m, kPolylibMaxRays);
  Polyhedron* context = Universe_Polyhedron(nb_parameters);
  Enumeration* e = Polyhedron_Enumerate(p, context, kPolylibMaxRays, nullptr);
  Domain_Free(p);
  Domain_Free(context);
  return e;
}

// Runs f(args...) under PolyLib's exception handler: an overflow or an
// internal error becomes a clear message and status 1 instead of abort().
template <typename Result, typename... Args>
Result guarded(const char* operation, Result (*f)(Args...), Args... args)
{
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

// Polyhedron_Enumerate handles an arithmetic overflow itself with a failed
// assertion, that is abort(), instead of passing the exception on. While it
// runs, SIGABRT jumps back to the wrapper, which then fails like for every
// other PolyLib error.
sigjmp_buf abort_jump;

void jump_on_abort(int) { siglongjmp(abort_jump, 1); }

ORO__enode* oroify_enode(const enode* e);

ORO__evalue* oroify_evalue(const evalue* e)
{
  ORO__evalue* r = new ORO__evalue();
  r->d = get_int(VALUE_TO_LONG(e->d));
  if (r->d != 0)
    r->n = get_int(VALUE_TO_LONG(e->x.n));
  else
    r->p = oroify_enode(e->x.p);
  return r;
}

ORO__enode* oroify_enode(const enode* e)
{
  ORO__enode* r = new ORO__enode();
  r->type = static_cast<int>(e->type);
  r->size = e->size;
  r->pos = e->pos;
  for (int i = 0; i < e->size; i++)
    r->arr.push_back(oroify_evalue(&e->arr[i]));
  return r;
}

}  // namespace

std::vector<std::vector<int>> PolylibWrapper::simplify(const std::vector<std::vector<int>>& m)
{
  if (m.empty())
    return {};
  Matrix* pm = to_polylib(m, full_width());
  Matrix* r = guarded("simplify", polylib_minimal_form, pm);
  std::vector<std::vector<int>> result = from_polylib(r);
  Matrix_Free(pm);
  Matrix_Free(r);
  return result;
}

std::vector<std::vector<int>> PolylibWrapper::project(const std::vector<std::vector<int>>& m,
                                                      const std::set<int>& keep)
{
  int nc = get_nb_counters();
  int np = get_nb_parameters();
  for (const auto& row : m)
    if (static_cast<int>(row.size()) != nc + np + 2)
      fail(Stream::Err, "PolylibWrapper::matrix lines are not consistent");
  if (m.empty())
    return {};
  // Only the variables that occur are given to PolyLib: a variable in no row
  // is free and its column would only make the generators larger. Columns of
  // the reduced problem: kind, used counters, used parameters, constant.
  std::vector<int> columns;
  std::vector<int> kept_positions;  // positions of the kept counters among them
  auto used = [&m](int column) {
    for (const auto& row : m)
      if (row[column] != 0)
        return true;
    return false;
  };
  for (int c = 0; c < nc; c++)
    if (used(1 + c)) {
      if (keep.count(c))
        kept_positions.push_back(static_cast<int>(columns.size()));
      columns.push_back(1 + c);
    }
  int nb_used_counters = static_cast<int>(columns.size());
  for (int q = 0; q < np; q++)
    if (used(1 + nc + q))
      columns.push_back(1 + nc + q);
  int nb_used_parameters = static_cast<int>(columns.size()) - nb_used_counters;

  std::vector<std::vector<int>> reduced_rows;
  for (const auto& row : m) {
    std::vector<int> r{row[0]};
    for (int c : columns)
      r.push_back(row[c]);
    r.push_back(row.back());
    reduced_rows.push_back(r);
  }
  int width = static_cast<int>(columns.size()) + 2;
  Matrix* pm = to_polylib(reduced_rows, width);
  Matrix* rays = guarded("project", polylib_rays, pm);
  Matrix_Free(pm);

  // Generators without the coordinates of the counters that are not kept.
  int kept = static_cast<int>(kept_positions.size());
  Matrix* generators =
      Matrix_Alloc(rays->NbRows, static_cast<unsigned>(kept + nb_used_parameters + 2));
  for (unsigned i = 0; i < rays->NbRows; i++) {
    int j = 0;
    value_assign(generators->p[i][j++], rays->p[i][0]);
    for (int k : kept_positions)
      value_assign(generators->p[i][j++], rays->p[i][1 + k]);
    for (int col = 1 + nb_used_counters; col < width; col++)
      value_assign(generators->p[i][j++], rays->p[i][col]);
  }
  Matrix_Free(rays);
  Matrix* constraints = guarded("project", polylib_constraints_of_rays, generators);
  Matrix_Free(generators);
  std::vector<std::vector<int>> rows = from_polylib(constraints);
  Matrix_Free(constraints);

  // Back at full width: zero for every counter not kept and every variable
  // that did not occur.
  std::vector<std::vector<int>> result;
  for (const auto& row : rows) {
    std::vector<int> full(nc + np + 2, 0);
    size_t j = 0;
    full[0] = row[j++];
    for (int k : kept_positions)
      full[columns[k]] = row[j++];
    for (int p = nb_used_counters; p < static_cast<int>(columns.size()); p++)
      full[columns[p]] = row[j++];
    full.back() = row[j];
    result.push_back(full);
  }
  return result;
}

std::vector<std::vector<int>> PolylibWrapper::convex_hull(
    const std::list<std::vector<std::vector<int>>>& members)
{
  int width = full_width();
  std::vector<Matrix*> pms;
  for (const auto& m : members)
    pms.push_back(to_polylib(m, width));
  Matrix* r = guarded("convex_hull", polylib_hull, pms.data(), pms.size(),
                      static_cast<unsigned>(width - 2));
  for (Matrix* pm : pms)
    Matrix_Free(pm);
  std::vector<std::vector<int>> result = from_polylib(r);
  Matrix_Free(r);
  return result;
}

std::unique_ptr<std::vector<VolumePiece>> PolylibWrapper::volume(
    const std::vector<std::vector<int>>& m, int nb_vars)
{
  // The parameters are the columns between the variables and the constant.
  int np = m.empty() ? get_nb_parameters() : static_cast<int>(m[0].size()) - nb_vars - 2;
  if (np < 0)
    fail(Stream::Err, "PolylibWrapper::matrix lines are not consistent");
  Matrix* pm = to_polylib(m, nb_vars + np + 2);
  Enumeration* e = nullptr;
  struct sigaction trap {}, previous {};
  trap.sa_handler = jump_on_abort;
  sigemptyset(&trap.sa_mask);
  if (sigsetjmp(abort_jump, 1)) {
    sigaction(SIGABRT, &previous, nullptr);
    polylib_failed("volume");
  }
  sigaction(SIGABRT, &trap, &previous);
  CATCH(any_exception_error) { polylib_failed("volume"); }
  TRY
  {
    e = polylib_enumerate(pm, static_cast<unsigned>(np));
    UNCATCH(any_exception_error);
  }
  sigaction(SIGABRT, &previous, nullptr);
  Matrix_Free(pm);
  if (!e)
    return nullptr;
  auto pieces = std::make_unique<std::vector<VolumePiece>>();
  for (Enumeration* piece = e; piece; piece = piece->next) {
    VolumePiece v;
    Matrix* domain = Polyhedron2Constraints(piece->ValidityDomain);
    v.rows = from_polylib(domain);
    Matrix_Free(domain);
    v.nb_rows = static_cast<int>(v.rows.size());
    v.nb_columns = v.rows.empty() ? 0 : static_cast<int>(v.rows[0].size());
    v.polynomial.reset(oroify_evalue(&piece->EP));
    // PolyLib answers a bare -1 for a polyhedron with infinitely many points.
    if (v.polynomial->d != 0 && v.polynomial->n == -1 && v.polynomial->d == 1) {
      Enumeration_Free(e);
      fail(Stream::Err, "PolylibWrapper::volume: infinite number of integer points");
    }
    pieces->push_back(std::move(v));
  }
  Enumeration_Free(e);
  return pieces;
}
