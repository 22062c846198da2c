#include "analysis/farkas.h"

#include <optional>

#include "algebra/value.h"
#include "support/failure.h"
#include "polyhedra/polyhedron.h"
#include "solvers/polylib_wrapper.h"

namespace {

// The unknowns' values for which the function is non-negative on every
// vertex and ray of the polyhedron and zero on its lines (of a non-empty
// polyhedron, the same as non-negative on it): one row per generator, in
// PolyLib's minimal form. nullopt when a row leaves the 64-bit integers.
std::optional<std::vector<std::vector<Value>>> on_generators(
    const std::vector<std::vector<Value>>& generators, const std::vector<UnknownRow>& coefficients)
{
  size_t nz = coefficients.size() - 1, width = coefficients.back().size();
  std::vector<std::vector<Value>> rows;
  for (const std::vector<Value>& g : generators) {
    std::vector<Value> r(width + 1, 0);
    r[0] = g[0] == 0 ? 0 : 1;
    for (size_t j = 0; j <= nz; j++) {
      Value factor = g[1 + j];  // the coordinate, then the denominator
      for (size_t k = 0; factor != 0 && k < width; k++) {
        Value term;
        if (__builtin_mul_overflow(factor, coefficients[j][k], &term) ||
            __builtin_add_overflow(r[1 + k], term, &r[1 + k]))
          return std::nullopt;
      }
    }
    rows.push_back(std::move(r));
  }
  return PolylibWrapper::project_columns(rows, std::vector<bool>(width - 1, true));
}

// The rows of non_negative_on() over [kind | kept counters | kept
// parameters | constant], from p's rows over the variables alone.
std::vector<std::vector<Value>> farkas_rows(const std::vector<std::vector<Value>>& rows,
                                            const std::vector<UnknownRow>& coefficients, int nk, int nq)
{
  size_t nz = coefficients.size() - 1;
  // Through the generators of p when it has some: a minimal form in the
  // unknowns' space, without the multipliers' (up to 59 columns and
  // hundreds of rays on the scheduler's edges).
  std::optional<std::vector<std::vector<Value>>> generators = PolylibWrapper::generators(rows);
  if (generators && !generators->empty())
    if (auto direct = on_generators(*generators, coefficients))
      return std::move(*direct);
  int nm = static_cast<int>(rows.size());
  // Columns: kind | kept counters | multipliers | kept parameters | constant.
  int width = 1 + nk + nm + nq + 1;
  const char* where = "Farkas";
  auto unknowns = [&](std::vector<Value>& r, const UnknownRow& g) {
    for (int k = 0; k < nk; k++)
      r[1 + k] = g.at(k);
    for (int q = 0; q < nq; q++)
      r[1 + nk + nm + q] = g.at(nk + q);
    r.back() = g.at(nk + nq);
  };
  std::vector<std::vector<Value>> system;
  // g_j = sum_k m_k A_kj for every variable j.
  for (size_t j = 0; j < nz; j++) {
    std::vector<Value> r(width, 0);
    unknowns(r, coefficients[j]);
    for (int k = 0; k < nm; k++)
      r[1 + nk + k] = checked_neg(rows[k][1 + j], where);
    system.push_back(r);
  }
  // g_0 - sum_k m_k b_k >= 0 (the constant multiplier m_0 eliminated).
  std::vector<Value> constant(width, 0);
  unknowns(constant, coefficients.back());
  constant[0] = 1;
  for (int k = 0; k < nm; k++)
    constant[1 + nk + k] = checked_neg(rows[k].back(), where);
  system.push_back(constant);
  // m_k >= 0.
  for (int k = 0; k < nm; k++) {
    std::vector<Value> r(width, 0);
    r[0] = 1;
    r[1 + nk + k] = 1;
    system.push_back(r);
  }
  std::vector<bool> keep(nk + nm + nq, true);
  for (int k = 0; k < nm; k++)
    keep[nk + k] = false;
  return PolylibWrapper::project_columns(system, keep);
}

// A x + b >= 0, one row per constraint of p (an equality as two rows).
std::vector<std::vector<Value>> rows_over(Polyhedron* p, const std::set<int>& variables,
                                          const std::vector<UnknownRow>& coefficients)
{
  if (coefficients.size() != variables.size() + 1)
    fail(Stream::Err, "Farkas: one coefficient per variable and a constant expected");
  return p->to_matrix(variables, std::set<int>());
}

}  // namespace

std::unique_ptr<Polyhedron> non_negative_on(Polyhedron* p, const std::set<int>& variables,
                                            const std::vector<UnknownRow>& coefficients,
                                            const std::vector<int>& kept_counters,
                                            const std::vector<int>& kept_parameters)
{
  std::vector<std::vector<Value>> rows = rows_over(p, variables, coefficients);
  return std::make_unique<Polyhedron>(
      farkas_rows(rows, coefficients, static_cast<int>(kept_counters.size()),
                  static_cast<int>(kept_parameters.size())),
      std::set<int>(kept_counters.begin(), kept_counters.end()),
      std::set<int>(kept_parameters.begin(), kept_parameters.end()));
}

PendingFarkas::PendingFarkas(Polyhedron* p, const std::set<int>& variables,
                             const std::vector<UnknownRow>& coefficients,
                             const std::vector<int>& kept_counters,
                             const std::vector<int>& kept_parameters)
    : counters_(kept_counters.begin(), kept_counters.end()),
      parameters_(kept_parameters.begin(), kept_parameters.end()),
      rows_([rows = rows_over(p, variables, coefficients), coefficients,
             nk = static_cast<int>(kept_counters.size()),
             nq = static_cast<int>(kept_parameters.size())] { return farkas_rows(rows, coefficients, nk, nq); })
{
}

std::unique_ptr<Polyhedron> PendingFarkas::take()
{
  return std::make_unique<Polyhedron>(rows_.take(), counters_, parameters_);
}
