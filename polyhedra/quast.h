// Quasi-affine selection trees: the answer of a parametric lexicographic
// optimum. Inner nodes test an affine condition (>= 0) on the parameters, or
// a union of polyhedra when extended; leaves hold the optimal point as an
// index function of the parameters, or no solution (bottom).
//
// Ownership: a Quast owns its solution, condition(s) and branches; the
// constructors from a solver answer keep the answer; flatten() gives the
// caller its pieces and their operations.
#ifndef VORL_POLYHEDRA_QUAST_H
#define VORL_POLYHEDRA_QUAST_H

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class Expression;
class IndexFunction;
class Inequation;
class Operation;
#include "polyhedra/polyhedron.h"
struct PipQuast;

class Quast {
 public:
  int is_bottom = 1;
  std::string bottom_value;
  int is_leaf = 0;
  int is_tagged = 0;
  std::vector<int> tag_vector;
  int statement = 0;
  int read_rank = 0;
  IndexFunction* solution = nullptr;
  int is_if = 0;
  Inequation* condition = nullptr;
  Quast* then_branch = nullptr;
  Quast* else_branch = nullptr;
  int shared_then = 0;
  int shared_else = 0;
  int extended = 0;
  std::vector<std::unique_ptr<Polyhedron>> extended_condition;

  // A bottom leaf.
  Quast();
  // From a solver answer (null: an empty context, reported and made bottom).
  explicit Quast(const PipQuast* answer);
  // The same, skipping the first k components of every solution.
  Quast(const PipQuast* answer, int k);
  // The same with every solution leaf tagged (statement, tag_vector, read rank 0).
  Quast(const std::vector<int>& tag_vector, int statement, const PipQuast* answer);
  Quast(const Quast&) = delete;
  Quast& operator=(const Quast&) = delete;
  ~Quast();

  bool empty() const;
  bool is_extended() const;
  void tag(int k);
  void set_read_rank(int k);
  void remove_read_rank(int k);
  void set_bottom_value(const std::string& label);
  // The second text form, on standard output.
  void print() const;

  // Map from disjoint domains (over the parameters) to the tagged instance
  // that is optimal there; only the pieces where a solution exists.
  OwnedPieces<Operation> flatten() const;

 private:
  // The steps of flatten(), on maps whose pieces and operations the caller
  // of each step owns (freed with del).
  PolyhedronMap<Operation*> _flatten() const;
  // Takes the operations and constraints of m's entries (m keeps empty
  // pieces): each piece restricted by c, a new piece, in m's order.
  static PolyhedronMap<Operation*> restrict(PolyhedronMap<Operation*>& m, const Inequation* c);
  static PolyhedronMap<Operation*> restrict(const PolyhedronMap<Operation*>& m,
                                            const Polyhedron* p);
  static PolyhedronMap<Operation*> restrict(const PolyhedronMap<Operation*>& m,
                                            const std::vector<Polyhedron*>& u);
  // Adopts the entries of both maps.
  static PolyhedronMap<Operation*> union_flatten(PolyhedronMap<Operation*>& a,
                                                 PolyhedronMap<Operation*>& b);
  static PolyhedronMap<Operation*> simplify_flattened(const PolyhedronMap<Operation*>& m);
  static void del(PolyhedronMap<Operation*>& m);

  void build(const PipQuast* answer, int skip, const std::map<int, Expression*>& newparms,
             bool tagged);
  void print(std::ostream& os, const std::string& indent) const;
  friend std::ostream& operator<<(std::ostream& os, const Quast& q);
};

std::ostream& operator<<(std::ostream& os, const Quast& q);

#endif
