// Unknowns that equalities fix, taken out of a lexicographic optimum before
// the solver sees it.
//
// An unknown x_j of an equality whose other unknowns all come before it in
// the lexicographic order, and whose coefficient is 1 or -1, is an integer
// affine function of the earlier unknowns and the parameters: two points of
// the domain that agree on the earlier unknowns agree on x_j. Substituting
// that function for x_j in every row gives a problem whose integer points are
// those of the domain without x_j, one to one and in the same lexicographic
// order (minimum or maximum alike), so its optimum is the domain's without
// x_j, and x_j is computed back from it. The equalities are the equality
// rows and the pairs of opposite inequalities (a.x + c >= 0 and
// -a.x - c >= 0), which the scheduler's systems hold by the hundred; the
// rows left are normalized (divided by the gcd of their coefficients, an
// inequality's constant rounded down, which keeps every integer point) and
// each set of parallel inequalities is reduced to the tightest.
//
// Rows are given by their non-zero entries over the columns [unknowns |
// parameters | constant], the constant in the last column; equalities are
// = 0, inequalities >= 0. The scheduler's problems have hundreds of columns
// and a few non-zero entries per row.
#ifndef VORL_SOLVERS_EQUALITY_ELIMINATION_H
#define VORL_SOLVERS_EQUALITY_ELIMINATION_H

#include <utility>
#include <vector>

struct EqualityElimination {
  // The non-zero entries (column, value) of a row, by increasing column.
  using Row = std::vector<std::pair<int, long>>;
  // The unknowns left, by their position among the original unknowns,
  // increasing.
  std::vector<int> kept;
  // Each eliminated unknown (its original position) and its value, a row
  // [kept unknowns | parameters | constant].
  std::vector<std::pair<int, Row>> eliminated;
  // The rows left, over [kept unknowns | parameters | constant].
  std::vector<Row> eq, ineq;
};

// The problem of the rows eq and ineq over n unknowns and `width` columns,
// with the unknowns that its equalities fix eliminated. Takes the rows. When
// an entry would not fit in 64 bits, no unknown is eliminated (the rows are
// given back as they are).
EqualityElimination eliminate_equalities(std::vector<EqualityElimination::Row> eq,
                                         std::vector<EqualityElimination::Row> ineq, int n,
                                         int width);

#endif
