// One affine constraint: a comparison between two expressions.
//
// Ownership: an inequation owns its two sides; constructors clone the
// expressions they are given (kept by the caller) and every operation returns
// a new object owned by the caller (unique_ptr). get_divs() returns pointers
// into the sides.
#ifndef VORL_ALGEBRA_INEQUATION_H
#define VORL_ALGEBRA_INEQUATION_H

#include <list>
#include <memory>
#include <map>
#include <ostream>
#include <set>
#include <utility>
#include <vector>

#include "algebra/value.h"

class Expression;
class SgExpression;

enum predicate_t { PRED_LT = 0, PRED_LE = 1, PRED_GT = 2, PRED_GE = 3, PRED_EQ = 4 };

class Inequation {
 public:
  predicate_t pred;
  Expression* lhs;
  Expression* rhs;

  Inequation(predicate_t p, const Expression* a, const Expression* b);
  // Takes a and b.
  Inequation(predicate_t p, std::unique_ptr<Expression> a, std::unique_ptr<Expression> b);
  // Always true (1 == 1) when b is non-zero, always false (1 < 1) otherwise.
  explicit Inequation(int b);
  // From a constraint row [kind | counters | parameters | constant]: the row
  // expression == 0 for kind 0, >= 0 for kind 1.
  explicit Inequation(const std::vector<Value>& row);
  Inequation(const Inequation&) = delete;
  Inequation& operator=(const Inequation&) = delete;
  ~Inequation();

  bool operator==(const Inequation& other) const;
  std::unique_ptr<Inequation> clone() const;
  bool has_parameters() const;
  bool has_variables() const;
  bool has_div() const;
  std::set<int> get_counters() const;
  std::set<int> get_parameters() const;
  std::vector<Expression*> get_divs();

  std::unique_ptr<Inequation> parameters_to_counters(const std::map<int, int>& m) const;
  std::unique_ptr<Inequation> counters_to_parameters(const std::map<int, int>& m) const;
  std::unique_ptr<Inequation> counters_to_counters(const std::map<int, int>& m) const;
  std::unique_ptr<Inequation> parameters_to_parameters(const std::map<int, int>& m) const;
  std::unique_ptr<Inequation> substitute_counters(const std::map<int, Expression*>& m) const;
  std::unique_ptr<Inequation> substitute_parameters(const std::map<int, Expression*>& m) const;

  // Rows, without the kind column, each meaning row . (variables, 1) >= 0.
  std::vector<std::vector<Value>> to_matrix() const;
  // The one row of the constraint by its non-zero entries (column, value),
  // increasing columns as in to_matrix(): row . (variables, 1) >= 0, or = 0
  // for an equality (lhs - rhs).
  std::vector<std::pair<int, Value>> to_terms() const;
  bool is_trivial() const;
  bool is_true() const;
  bool is_false() const;
  bool is_empty() const;
  bool implies(const Inequation* other) const;
  bool equals(const Inequation* other) const;
  std::unique_ptr<Inequation> negate() const;
  // Bounds on the counter of rank k read off this constraint (new objects).
  std::vector<std::unique_ptr<Inequation>> separate(int k) const;

  void print_code(std::ostream& os) const;

  // A comparison of the syntax tree (defined with the program extraction).
  static std::unique_ptr<Inequation> from_Sage(SgExpression* e);

  // Sharing check: throws when the two sides share a node.
  std::set<const Expression*> check() const;
};

std::ostream& operator<<(std::ostream& os, const Inequation& c);

// Comparison builders: new constraints over clones of both sides, given to
// the caller.

std::unique_ptr<Inequation> operator<(const Expression& a, const Expression& b);
std::unique_ptr<Inequation> operator<=(const Expression& a, const Expression& b);
std::unique_ptr<Inequation> operator>(const Expression& a, const Expression& b);
std::unique_ptr<Inequation> operator>=(const Expression& a, const Expression& b);
std::unique_ptr<Inequation> operator<(const Expression& a, Value b);
std::unique_ptr<Inequation> operator<=(const Expression& a, Value b);
std::unique_ptr<Inequation> operator>(const Expression& a, Value b);
std::unique_ptr<Inequation> operator>=(const Expression& a, Value b);
std::unique_ptr<Inequation> operator<(Value a, const Expression& b);
std::unique_ptr<Inequation> operator<=(Value a, const Expression& b);
std::unique_ptr<Inequation> operator>(Value a, const Expression& b);
std::unique_ptr<Inequation> operator>=(Value a, const Expression& b);
std::unique_ptr<Inequation> operator==(const Expression& a, Value b);
std::unique_ptr<Inequation> operator==(Value a, const Expression& b);

#endif
