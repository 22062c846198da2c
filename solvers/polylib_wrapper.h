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
#include <optional>
#include <vector>

#include "algebra/value.h"

struct ORO__enode;

// Machine-integer copy of PolyLib's evalue: a rational n / d when d != 0, the
// node p (owned) when d == 0.
struct ORO__evalue {
  Value d = 0;
  Value n = 0;
  std::unique_ptr<ORO__enode> p;
  ORO__evalue();
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
  std::vector<std::unique_ptr<ORO__evalue>> arr;
};

// One piece of a count: the validity domain over the parameters (rows
// [kind | parameters | constant]) and the Ehrhart quasi-polynomial there.
struct VolumePiece {
  std::vector<std::vector<Value>> rows;
  int nb_columns = 0;
  int nb_rows = 0;
  std::unique_ptr<ORO__evalue> polynomial;
};

// Budget of rays and constraints given to every PolyLib call.
constexpr unsigned kPolylibMaxRays = 200;

class PolylibWrapper {
 public:
  // Where PolyLib fails on simplify, project_columns or convex_hull (its own
  // 64-bit arithmetic overflows or it runs out of rays), the same rational
  // operation is done by isl instead.

  // Minimal constraint form (redundant rows removed, equalities as kind 0).
  static std::vector<std::vector<Value>> simplify(const std::vector<std::vector<Value>>& m);
  // Rational projection of rows [kind | columns | constant] of any width onto
  // the columns whose flag is set: rows [kind | kept columns | constant].
  static std::vector<std::vector<Value>> project_columns(const std::vector<std::vector<Value>>& m,
                                                         const std::vector<bool>& keep);
  // The generators of the rational polyhedron of the rows m [kind | columns
  // | constant] of any width: rows [0 for a line, 1 for a ray or a vertex |
  // coordinates | 0 for a line or a ray, the vertex's denominator]; no row
  // when the polyhedron is empty, nullopt when PolyLib fails.
  static std::optional<std::vector<std::vector<Value>>> generators(
      const std::vector<std::vector<Value>>& m);
  // Constraint rows of the convex hull of the members, all rows [kind |
  // columns | constant] of the given width, the answer's as well.
  static std::vector<std::vector<Value>> convex_hull(
      const std::list<std::vector<std::vector<Value>>>& members, int width);
  // Ehrhart pieces of the integer points of m in its nb_vars first variables,
  // as functions of the parameters of its remaining columns (rows [kind |
  // variables | parameters | constant]; the pieces' rows and the counts
  // number those parameters by position); null when PolyLib finds no
  // enumeration (an empty polyhedron). When PolyLib fails (its 64-bit
  // arithmetic overflows, it runs out of rays, or its time budget runs
  // out), *failed is set and the result is null.
  static std::unique_ptr<std::vector<VolumePiece>> volume(const std::vector<std::vector<Value>>& m,
                                                          int nb_vars, bool* failed);
};

#endif
