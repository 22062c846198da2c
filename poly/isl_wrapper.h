// isl's gist and coalescing of unions of polyhedra, on constraint matrices
// restricted to the counters and parameters involved: rows
// [kind | counters | parameters | constant].
//
// Ownership: arguments are kept; results are new values. Each call creates
// and frees its own isl context.
#ifndef VORL_POLY_ISL_WRAPPER_H
#define VORL_POLY_ISL_WRAPPER_H

#include <cstddef>
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
  // The integer points of the set of rows [kind | variables | constant], in
  // lexicographic order, when the set is bounded and holds at most limit
  // points; false otherwise.
  static bool bounded_points(const Rows& m, int nb_variables, std::size_t limit,
                             std::vector<std::vector<int>>& points);
  // The exact number of integer points of a bounded set of rows
  // [kind | variables | constant]; -1 when it is unbounded or too large.
  static long count(const Rows& m, int nb_variables);
};

#endif
