// A vector of expressions over the registry's counters and parameters: the
// subscripts of an array reference, the iteration vector of an instance, a
// solver's optimum or a multidimensional date.
//
// Ownership: the function owns its components; constructors clone the
// expressions they are given (kept by the caller); every operation returns a
// new object given to the caller. add_dimension() appends a clone in place.
#ifndef VORL_POLY_INDEX_FUNCTION_H
#define VORL_POLY_INDEX_FUNCTION_H

#include <map>
#include <ostream>
#include <set>
#include <vector>

class Expression;

// When set, only the components at the positions listed in the surrounding
// counters are printed.
extern int print_surrounding_index;

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

  IndexFunction* clone() const;
  int dimension() const;
  IndexFunction* keep_first(int n) const;
  IndexFunction* keep_last(int n) const;
  void add_dimension(const Expression* e);

  void print_code(std::ostream& os) const;
  void print_code(std::ostream& os, const std::vector<int>& positions) const;

  std::vector<std::vector<int>> to_matrix() const;
  std::vector<std::vector<int>> to_matrix(const std::set<int>& counters,
                                          const std::set<int>& parameters) const;

  IndexFunction* counters_to_counters(const std::map<int, int>& m) const;
  IndexFunction* counters_to_parameters(const std::map<int, int>& m) const;
  IndexFunction* substitute_counters(const std::map<int, Expression*>& m) const;
};

std::ostream& operator<<(std::ostream& os, const IndexFunction& f);

#endif
