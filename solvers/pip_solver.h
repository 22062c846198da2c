// Parametric integer programming: the parametric lexicographic minimum or
// maximum of the integer points of a polyhedron, as a selection tree over the
// parameters, and exact integer emptiness.
//
// The problem is given in the constraint-row layout of the rest of the tool:
// domain rows [kind (0 ==, 1 >=) | unknowns | parameters | constant], context
// rows [kind | parameters | constant], 64-bit values. The answer is a tree
// whose inner nodes test an affine condition >= 0 over the parameters and the
// new parameters in scope, whose new parameters stand for integer divisions,
// and whose leaves hold one solution vector per unknown or no solution.
//
// The optimum itself is computed by isl; this layer only builds the problem
// and turns isl's piecewise quasi-affine answer into the tree. No isl type
// appears here.
#ifndef VORL_SOLVERS_PIP_SOLVER_H
#define VORL_SOLVERS_PIP_SOLVER_H

#include <memory>
#include <utility>
#include <vector>

// A constraint matrix. nb_rows == rows.size() and every row has nb_columns
// entries; pip_solve checks both.
struct PipMatrix {
  int nb_rows = 0;
  int nb_columns = 0;
  std::vector<std::vector<long>> rows;
};

// A domain matrix by the non-zero entries of its rows, for large problems
// with few entries per row. A row is a PipMatrix row without its kind
// column: its entries (column, value) number the columns from 0 ([unknowns |
// parameters | constant]), by increasing column; pip_solve checks them.
// nb_columns counts the kind column, as in PipMatrix.
struct PipSparseRow {
  long kind = 1;  // 0 ==, 1 >=
  std::vector<std::pair<int, long>> entries;
};
struct PipSparseMatrix {
  int nb_columns = 0;
  std::vector<PipSparseRow> rows;
};

// Maximize: lexicographic maximum instead of minimum. Urs_parms, Urs_unknowns:
// the parameters, respectively the unknowns, have unrestricted sign; otherwise
// each of them is constrained to be >= 0. Max_operations: cap on the isl
// operations spent on the optimum (not on emptiness tests); 0 means no cap.
// Reaching the cap fails with a message.
struct PipOptions {
  int Maximize = 0;
  int Urs_parms = 0;
  int Urs_unknowns = 0;
  unsigned long Max_operations = 0;
};

// Defaults: lexicographic minimum, unknowns and parameters >= 0, no cap.
PipOptions pip_options_init();

// An affine form over the parameters and the new parameters in scope:
// the_vector holds the coefficients of the parameters, then those of the new
// parameters in scope in order of creation, then the constant. Every value is
// integral: the_deno has one entry per entry of the_vector, all 1.
struct PipVector {
  std::vector<long> the_vector;
  std::vector<long> the_deno;
};

// A new parameter: value = floor(vector . (parameters, earlier new
// parameters, 1) / deno), deno >= 1. Its rank (its column among the
// parameters) is nb_parameters + the number of new parameters created before
// it on the path from the root; the vector has rank + 1 entries.
struct PipNewparm {
  int rank = 0;
  PipVector vector;
  long deno = 1;
};

// A node of the answer; owns its subtrees. The new parameters of a node are
// in scope in the node itself (its condition or solution) and its subtree.
// Exactly one of: inner node (has_condition: condition >= 0 leads to
// next_then, otherwise next_else), solution leaf (has_list: one vector per
// unknown), leaf without solution (neither).
struct PipQuast {
  std::vector<PipNewparm> newparm;
  bool has_condition = false;
  PipVector condition;
  std::unique_ptr<PipQuast> next_then;
  std::unique_ptr<PipQuast> next_else;
  bool has_list = false;
  std::vector<PipVector> list;
};

// Solves the problem; nb_parameters is context.nb_columns - 2 and must equal
// domain.nb_columns - 2 - nb_unknowns; bignum must be -1 (no big parameter).
// Ownership: the arguments are kept; the tree is new and given to the caller.
// Returns nullptr when the context, with the sign convention of the
// parameters, has no integer point. Otherwise every parameter point gets:
//   - the optimum, when it lies in the context, the domain has integer points
//     there and the optimum is bounded;
//   - a leaf without solution otherwise, in particular wherever the optimum
//     is unbounded (there is no big parameter to express it) and outside the
//     context (including negative parameters when Urs_parms is 0).
// Bad input (shapes, kinds, bignum) and values that do not fit in a long
// throw a Failure with a message.
std::unique_ptr<PipQuast> pip_solve(const PipMatrix& domain, const PipMatrix& context,
                                    int nb_unknowns, int bignum, const PipOptions& options);
// The same, the domain given by its non-zero entries.
std::unique_ptr<PipQuast> pip_solve(const PipSparseMatrix& domain, const PipMatrix& context,
                                    int nb_unknowns, int bignum, const PipOptions& options);

// A part of a shadow: the parameter points where every condition is >= 0.
// The new parameters come in order of creation (ranks nb_parameters, +1,
// ...); every condition is over the parameters, then all the new
// parameters of the piece, then the constant.
struct PipPiece {
  std::vector<PipNewparm> newparm;
  std::vector<PipVector> conditions;
};

// The shadow of the domain: the parameter points of the context (with the
// sign conventions of options) where some integer values of the unknowns
// satisfy the domain rows, that is the domain's integer projection, as the
// union of pieces (which may overlap). No optimum is computed; Maximize and
// Max_operations are ignored. Ownership: the arguments are kept; the pieces
// are new. Bad input and values beyond a long throw a Failure, as pip_solve.
std::vector<PipPiece> pip_shadow(const PipSparseMatrix& domain, const PipMatrix& context,
                                 int nb_unknowns, const PipOptions& options);

// Exact integer emptiness: true when no integer point (unknowns and
// parameters, free except for the sign conventions of options) satisfies the
// domain rows. Unbounded sets are handled exactly. Maximize and
// Max_operations are ignored. The answers are kept by question for the rest
// of the process. Ownership: the arguments are kept.
bool pip_integer_empty(const PipMatrix& domain, int nb_unknowns, const PipOptions& options);

#endif
