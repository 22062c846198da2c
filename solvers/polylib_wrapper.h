// The conversion layer between the program's integer matrices (rows
// [kind | variables | parameters | constant]) and PolyLib, and the PolyLib
// operations the polyhedra use: minimal form, rational projection, convex
// hull and Ehrhart counting. No PolyLib object leaves this layer; every
// value read back is range-checked.
//
// Ownership: arguments are kept; results are new values given to the caller
// (a VolumePiece owns its polynomial).
#ifndef VORL_SOLVERS_POLYLIB_WRAPPER_H
#define VORL_SOLVERS_POLYLIB_WRAPPER_H

#include <list>
#include <memory>
#include <set>
#include <vector>

struct ORO__enode;

// Machine-integer copy of PolyLib's evalue: a rational n / d when d != 0, the
// node p when d == 0.
struct ORO__evalue {
  int d = 0;
  int n = 0;
  ORO__enode* p = nullptr;
  ORO__evalue() = default;
  ORO__evalue(const ORO__evalue&) = delete;
  ORO__evalue& operator=(const ORO__evalue&) = delete;
  ~ORO__evalue();
};

// Machine-integer copy of PolyLib's enode: type 0 polynomial, 1 periodic,
// 2 evector, in the parameter of position pos (1-based); owns its values.
struct ORO__enode {
  int type = 0;
  int size = 0;
  int pos = 0;
  std::vector<ORO__evalue*> arr;
  ORO__enode() = default;
  ORO__enode(const ORO__enode&) = delete;
  ORO__enode& operator=(const ORO__enode&) = delete;
  ~ORO__enode();
};

// One piece of a count: the validity domain over the parameters (rows
// [kind | parameters | constant]) and the Ehrhart quasi-polynomial there.
struct VolumePiece {
  std::vector<std::vector<int>> rows;
  int nb_columns = 0;
  int nb_rows = 0;
  std::unique_ptr<ORO__evalue> polynomial;
};

// Budget of rays and constraints given to every PolyLib call.
constexpr unsigned kPolylibMaxRays = 200;

// The checked conversion of a library value to int: values at or above
// 2147483644, or below the int range, fail.
int get_int(long value);

class PolylibWrapper {
 public:
  // Minimal constraint form (redundant rows removed, equalities as kind 0).
  static std::vector<std::vector<int>> simplify(const std::vector<std::vector<int>>& m);
  // Rational projection onto the kept counters and all parameters, at full
  // width with zero columns for the other counters.
  static std::vector<std::vector<int>> project(const std::vector<std::vector<int>>& m,
                                               const std::set<int>& keep);
  // Rational projection of rows [kind | columns | constant] of any width onto
  // the columns whose flag is set: rows [kind | kept columns | constant].
  static std::vector<std::vector<int>> project_columns(const std::vector<std::vector<int>>& m,
                                                       const std::vector<bool>& keep);
  // Constraint rows of the convex hull of the members.
  static std::vector<std::vector<int>> convex_hull(
      const std::list<std::vector<std::vector<int>>>& members);
  // Ehrhart pieces of the integer points of m in its nb_vars first variables,
  // as functions of the parameters of its remaining columns (rows [kind |
  // variables | parameters | constant]; the pieces' rows and the counts
  // number those parameters by position); null when PolyLib finds no
  // enumeration (an empty polyhedron). When PolyLib fails (its 64-bit
  // arithmetic overflows, it runs out of rays, or a value does not fit an
  // int), *failed is set and the result is null.
  static std::unique_ptr<std::vector<VolumePiece>> volume(const std::vector<std::vector<int>>& m,
                                                          int nb_vars, bool* failed);
};

#endif
