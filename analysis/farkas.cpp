#include "analysis/farkas.h"

#include <climits>

#include "support/failure.h"
#include "polyhedra/polyhedron.h"
#include "solvers/polylib_wrapper.h"

namespace {

int narrow(long long v)
{
  if (v < INT_MIN || v > INT_MAX)
    fail(Stream::Err, "Farkas: coefficient beyond the int range");
  return static_cast<int>(v);
}

}  // namespace

std::unique_ptr<Polyhedron> non_negative_on(Polyhedron* p, const std::set<int>& variables,
                                            const std::vector<UnknownRow>& coefficients,
                                            const std::vector<int>& kept_counters,
                                            const std::vector<int>& kept_parameters)
{
  size_t nz = variables.size();
  if (coefficients.size() != nz + 1)
    fail(Stream::Err, "Farkas: one coefficient per variable and a constant expected");
  // A x + b >= 0, one row per constraint (an equality as two rows).
  std::vector<std::vector<int>> rows = p->to_matrix(variables, std::set<int>());
  int nk = static_cast<int>(kept_counters.size()), nq = static_cast<int>(kept_parameters.size());
  int nm = static_cast<int>(rows.size());
  // Columns: kind | kept counters | multipliers | kept parameters | constant.
  int width = 1 + nk + nm + nq + 1;
  auto unknowns = [&](std::vector<int>& r, const UnknownRow& g) {
    for (int k = 0; k < nk; k++)
      r[1 + k] = narrow(g.at(k));
    for (int q = 0; q < nq; q++)
      r[1 + nk + nm + q] = narrow(g.at(nk + q));
    r.back() = narrow(g.at(nk + nq));
  };
  std::vector<std::vector<int>> system;
  // g_j = sum_k m_k A_kj for every variable j.
  for (size_t j = 0; j < nz; j++) {
    std::vector<int> r(width, 0);
    unknowns(r, coefficients[j]);
    for (int k = 0; k < nm; k++)
      r[1 + nk + k] = -rows[k][1 + j];
    system.push_back(r);
  }
  // g_0 - sum_k m_k b_k >= 0 (the constant multiplier m_0 eliminated).
  std::vector<int> constant(width, 0);
  unknowns(constant, coefficients.back());
  constant[0] = 1;
  for (int k = 0; k < nm; k++)
    constant[1 + nk + k] = -rows[k].back();
  system.push_back(constant);
  // m_k >= 0.
  for (int k = 0; k < nm; k++) {
    std::vector<int> r(width, 0);
    r[0] = 1;
    r[1 + nk + k] = 1;
    system.push_back(r);
  }
  std::vector<bool> keep(nk + nm + nq, true);
  for (int k = 0; k < nm; k++)
    keep[nk + k] = false;
  std::vector<std::vector<int>> projected = PolylibWrapper::project_columns(system, keep);
  return std::make_unique<Polyhedron>(projected,
                                      std::set<int>(kept_counters.begin(), kept_counters.end()),
                                      std::set<int>(kept_parameters.begin(), kept_parameters.end()));
}
