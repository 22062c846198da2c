// The operations done with isl on constraint matrices restricted to the
// counters and parameters involved (rows [kind | counters | parameters |
// constant]): gist and coalescing of unions of polyhedra, minimal forms,
// exact counts at given parameter values, and loop nests that scan a set.
//
// Ownership: arguments are kept; results are new values. Each call creates
// and frees its own isl context; the gists within the universe are kept by
// their question, for the process.
#ifndef VORL_SOLVERS_ISL_WRAPPER_H
#define VORL_SOLVERS_ISL_WRAPPER_H

#include <cstddef>
#include <string>
#include <vector>

#include "algebra/value.h"

class ISLWrapper {
 public:
  using Rows = std::vector<std::vector<Value>>;

  // The disjuncts of the gist of the union u in the union context. Throws a C
  // string when isl's answer has local (existential) variables, which the
  // row layout cannot hold, or a coefficient beyond the 64-bit range.
  static std::vector<Rows> gist(const std::vector<Rows>& u, const std::vector<Rows>& context,
                                int nb_counters, int nb_parameters);
  // The gist within the universe of a set that has an integer point (the
  // caller knows it): its one disjunct as isl simplifies it; throws like
  // gist.
  static std::vector<Rows> gist_of_nonempty(const Rows& m, int nb_counters, int nb_parameters);
  // The disjuncts of the coalesced union; throws like gist.
  static std::vector<Rows> coalesce(const std::vector<Rows>& u, int nb_counters,
                                    int nb_parameters);
  // The integer points of the set of rows [kind | variables | constant], in
  // lexicographic order, when the set is bounded and holds at most limit
  // points; false otherwise.
  static bool bounded_points(const Rows& m, int nb_variables, std::size_t limit,
                             std::vector<std::vector<Value>>& points);
  // The exact number of integer points of a bounded set of rows
  // [kind | variables | constant]; -1 when it is unbounded or too large.
  static long count(const Rows& m, int nb_variables);

  // The same set of rows [kind | variables | parameters | constant] with its
  // implicit equalities made explicit (kind 0) and its redundant
  // inequalities removed; false when it has no rational point. Throws a C
  // string when a coefficient leaves the 64-bit range.
  static bool minimal_form(Rows& m, int nb_variables, int nb_parameters);
  // The operations PolyLib does on rows [kind | variables | constant], for
  // when PolyLib fails on them: the minimal form; the projection that
  // eliminates the first nb_eliminated variables (rows [kind | the other
  // variables | constant]); the convex hull of the members. Each is exact on
  // the integer points of PolyLib's rational answer (isl may tighten a
  // constraint over the integers). An empty answer is the single row -1 >= 0.
  static Rows rational_minimal_form(const Rows& m, int nb_variables);
  static Rows rational_projection(const Rows& m, int nb_eliminated, int nb_kept);
  static Rows rational_convex_hull(const std::vector<Rows>& members, int nb_variables);
  // Integer points of the set of rows [kind | parameters | constant] whose
  // coordinates all lie in [-box, box], in lexicographic order, at most limit.
  static std::vector<std::vector<Value>> points_in_box(const Rows& m, int nb_parameters, int box,
                                                       std::size_t limit);
  // For each parameter point, the exact number of integer points of the set
  // of rows [kind | variables | parameters | constant] at those parameter
  // values; -1 where that set is unbounded or its count beyond a long.
  static std::vector<long> counts(const Rows& m, int nb_variables,
                                  const std::vector<std::vector<Value>>& parameter_points);
  // C code of a loop nest that runs body once at every integer point of the
  // set of rows [kind | variables | parameters | constant], in lexicographic
  // order, the variables and parameters named as given; the loops use the
  // floord, min and max macros. Lines start with prefix.
  static std::string scan_code(const Rows& m, const std::vector<std::string>& variable_names,
                               const std::vector<std::string>& parameter_names,
                               const std::string& body, const std::string& prefix);
};

#endif
