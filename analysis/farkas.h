// The coefficients of the affine functions that are non-negative on a
// polyhedron. f(z) = g(z) + g_0 is non-negative on a non-empty P exactly when
// it is non-negative on P's vertices and rays and zero on its lines: one row
// per generator, computed in P's own space. When P has no generator (it is
// empty) or a row would leave the 64-bit integers, the affine Farkas lemma
// with the multipliers eliminated at once: f = m_0 + sum_k m_k (A_k z + b_k)
// for some m >= 0, the multipliers columns of a system of its own, projected
// away (rationally), so that they never become variables of the registry.
//
// The coefficients of f are affine in unknowns that are registry variables
// (the kept counters and parameters): each is a row over them.
//
// The result is PolyLib's minimal form of the projection: no redundant row.
//
// PendingFarkas asks the same question and takes the answer later: p's rows
// are read at once, the generators and the projection (PolyLib) computed on
// the side thread (support/side_task.h) while the caller goes on.
//
// Ownership: arguments are kept; the result is new and given to the caller.
#ifndef VORL_ANALYSIS_FARKAS_H
#define VORL_ANALYSIS_FARKAS_H

#include <memory>
#include <set>
#include <vector>

#include "algebra/value.h"
#include "support/side_task.h"

class Polyhedron;

// An affine function of the unknowns: a coefficient per kept counter, per
// kept parameter, then the constant.
using UnknownRow = std::vector<Value>;

// The unknowns' values for which the function whose coefficient of the j-th
// variable of `variables` (increasing rank) is coefficients[j], and whose
// constant is coefficients.back(), is non-negative on p; a polyhedron over
// the kept counters and parameters (each list in increasing rank). p is read
// over the listed variables (counters), its other variables and parameters
// being absent from its constraints.
std::unique_ptr<Polyhedron> non_negative_on(Polyhedron* p, const std::set<int>& variables,
                                            const std::vector<UnknownRow>& coefficients,
                                            const std::vector<int>& kept_counters,
                                            const std::vector<int>& kept_parameters);

/// non_negative_on(p, ...) asked now.
class PendingFarkas {
 public:
  /// Reads p's rows; the arguments are kept only during the call.
  PendingFarkas(Polyhedron* p, const std::set<int>& variables,
                const std::vector<UnknownRow>& coefficients, const std::vector<int>& kept_counters,
                const std::vector<int>& kept_parameters);
  /// The polyhedron non_negative_on() gives (given). Call it once.
  std::unique_ptr<Polyhedron> take();

 private:
  std::set<int> counters_, parameters_;
  Later<std::vector<std::vector<Value>>> rows_;
};

#endif
