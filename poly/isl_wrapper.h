// isl's gist and coalescing of unions of polyhedra, on constraint matrices
// restricted to the counters and parameters involved: rows
// [kind | counters | parameters | constant].
//
// Ownership: arguments are kept; results are new values. Each call creates
// and frees its own isl context.
#ifndef VORL_POLY_ISL_WRAPPER_H
#define VORL_POLY_ISL_WRAPPER_H

#include <vector>

class ISLWrapper {
 public:
  using Rows = std::vector<std::vector<int>>;

  // The disjuncts of the gist of the union u in the union context. Throws a C
  // string when isl's answer has local (existential) variables, which the
  // row layout cannot hold.
  static std::vector<Rows> gist(const std::vector<Rows>& u, const std::vector<Rows>& context,
                                int nb_counters, int nb_parameters);
  // The disjuncts of the coalesced union; throws like gist.
  static std::vector<Rows> coalesce(const std::vector<Rows>& u, int nb_counters,
                                    int nb_parameters);
};

#endif
