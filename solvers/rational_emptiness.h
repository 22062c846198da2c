// A quick answer to whether a small system of constraints has an integer
// point, before the exact test. The emptiness questions of the dependence
// analysis (two references at one level) are small: those without a point
// have no rational point either once their equalities are substituted, and
// most of the others have one that the eliminations lead to. Either takes a
// small part of the cost of building the solver's problem.
//
// Every row the test derives is a combination of the given rows that holds at
// every integer point (inequalities combined with positive factors, then
// divided by the gcd of their coefficients with the constant rounded down):
// a row 0 >= c with c < 0, or an equality whose coefficients' gcd does not
// divide its constant, shows that there is none. Otherwise the eliminated
// variables are given values back, from the last one eliminated: the least
// integer of each one's range, an equality's variable its value; a point so
// built that satisfies every row shows that there is one. Neither may come:
// the answer is then unknown.
//
// Ownership: the rows are read, nothing is kept.
#ifndef VORL_SOLVERS_RATIONAL_EMPTINESS_H
#define VORL_SOLVERS_RATIONAL_EMPTINESS_H

#include <vector>

enum class QuickEmptiness { Empty, NotEmpty, Unknown };

// Rows [kind | variables | constant], kind 0 for "= 0" and 1 for ">= 0", all
// of one width, the variables integers of any sign. Empty or NotEmpty when
// the test shows it; Unknown otherwise, and also when the system is too
// large for a quick test or an entry would pass 64 bits.
QuickEmptiness quick_emptiness(const std::vector<std::vector<long>>& rows);

#endif
