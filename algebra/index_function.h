// A vector of expressions over the registry's counters and parameters: the
// subscripts of an array reference, the iteration vector of an instance, a
// solver's optimum or a multidimensional date.
//
// Ownership: the function owns its components; constructors clone the
// expressions they are given (kept by the caller); every operation returns a
// new object owned by the caller (unique_ptr). add_dimension() appends a clone
// in place.
#ifndef VORL_ALGEBRA_INDEX_FUNCTION_H
#define VORL_ALGEBRA_INDEX_FUNCTION_H

#include <list>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "algebra/value.h"

class Expression;
class Polyhedron;
class SgExpression;
struct PipVector;

class IndexFunction {
 public:
  std::vector<int> surrounding_counters;
  std::vector<Expression*> index_mapping;

  IndexFunction();
  IndexFunction(const std::vector<int>& counters, const std::vector<Expression*>& components);
  explicit IndexFunction(const std::vector<Expression*>& components);
  // The identity on the counters: one counter leaf per rank, in order.
  explicit IndexFunction(const std::vector<int>& counters);
  IndexFunction(const IndexFunction&) = delete;
  IndexFunction& operator=(const IndexFunction&) = delete;
  ~IndexFunction();

  // One solver solution, after skipping its first skip entries: entry i
  // gives the component of the counter actual_counter holds for i, the other
  // components are 0 (dimension get_nb_counters()).
  static std::unique_ptr<IndexFunction> from_PipList(const std::vector<PipVector>& list,
                                                     const std::map<int, Expression*>& newparms,
                                                     int skip = 0);

  // An array reference of the syntax tree: (array name, subscripts over the
  // given counters); a scalar gives dimension 0 (defined with the program
  // extraction).
  static std::pair<std::string, std::unique_ptr<IndexFunction>> from_Sage(
      SgExpression* ref, const std::vector<int>& counters);

  std::unique_ptr<IndexFunction> clone() const;
  int dimension() const;
  std::unique_ptr<IndexFunction> keep_first(int n) const;
  std::unique_ptr<IndexFunction> keep_last(int n) const;
  void add_dimension(const Expression* e);

  void print_code(std::ostream& os) const;
  void print_code(std::ostream& os, const std::vector<int>& positions) const;

  std::vector<std::vector<Value>> to_matrix() const;
  std::vector<std::vector<Value>> to_matrix(const std::set<int>& counters,
                                            const std::set<int>& parameters) const;

  std::unique_ptr<IndexFunction> counters_to_counters(const std::map<int, int>& m) const;
  std::unique_ptr<IndexFunction> counters_to_parameters(const std::map<int, int>& m) const;
  std::unique_ptr<IndexFunction> substitute_counters(const std::map<int, Expression*>& m) const;

  // Lexicographic order, as unions of polyhedra (new objects). Piece d holds
  // the points where both functions agree on the first d components and this
  // one is smaller at component d; components beyond the shorter dimension
  // are ignored.
  std::list<std::unique_ptr<Polyhedron>> before_no_simplification(const IndexFunction* other) const;
  // The non-empty pieces (integer emptiness over all integers).
  std::vector<std::unique_ptr<Polyhedron>> before(const IndexFunction* other) const;
  // The pieces without the empty ones; a universal piece ends the list as its
  // only member.
  std::list<std::unique_ptr<Polyhedron>> operator<(const IndexFunction& other) const;
  // The polyhedron where a and b are equal component by component.
  static std::unique_ptr<Polyhedron> equal(const IndexFunction* a, const IndexFunction* b);
  // The pieces of operator< followed by the equality: this <= other.
  std::vector<std::unique_ptr<Polyhedron>> before_eq(const IndexFunction* other) const;
};

std::ostream& operator<<(std::ostream& os, const IndexFunction& f);

#endif
