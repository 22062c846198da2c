// Integer-valued terms: loop bounds, subscripts, schedule components, the
// sides of constraints.
//
// An Expression is a binary tree whose leaves are constants, counters and
// parameters (by rank) and whose inner nodes carry one of nine operators.
// Affine trees have a coefficient vector: [counters by rank | parameters by
// rank | constant], as wide as the registry when it is computed, and cached in
// the root of the tree it was computed for.
//
// Ownership: a node owns its two operands and its cached coefficients;
// constructors clone the trees they are given (kept by the caller); every
// operation returns a new tree owned by the caller (unique_ptr) that shares
// nothing with its inputs, except get_divs(), which returns pointers into the
// tree. Maps and vectors of plain expression pointers taken as arguments are
// kept. shallow_copy() adopts another node's operands and copies its cached
// coefficients.
#ifndef VORL_ALGEBRA_EXPRESSION_H
#define VORL_ALGEBRA_EXPRESSION_H

#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "algebra/value.h"

class SgExpression;
struct PipVector;
struct PipNewparm;
struct ORO__evalue;
struct ORO__enode;

enum operator_t {
  OP_PLUS = 0,
  OP_MINUS = 1,
  OP_TIMES = 2,
  OP_DIV = 3,
  OP_POWER = 4,
  OP_MOD = 5,
  OP_MAX = 6,
  OP_FLOOR = 7,
  OP_CEIL = 8
};

class Expression {
 public:
  // The coefficients of an affine tree while the registry keeps the size it
  // had (nb_counters, nb_parameters): the non-zero entries of to_vector().
  struct Terms {
    std::vector<std::pair<int, Value>> entries;
    int nb_counters = 0;
    int nb_parameters = 0;
  };

  // The fields by size, so that a node fits a block of 64 bytes: the
  // analysis holds hundreds of thousands of them.
  Value val = 0;
  Expression* fg = nullptr;
  Expression* fd = nullptr;
  // The cached coefficients (see terms()); null until computed. A copy of a
  // tree copies its root's.
  std::unique_ptr<Terms> cached_terms;
  int counter_rank = 0;
  int parameter_rank = 0;
  operator_t op = OP_PLUS;
  bool is_leaf = true;
  bool is_val = true;
  bool is_counter = false;
  bool is_parameter = false;

  Expression();
  explicit Expression(Value v);
  Expression(Value n, Value d);
  explicit Expression(const std::string& name);
  Expression(operator_t op, const Expression* a, const Expression* b);
  explicit Expression(const std::vector<Value>& v);
  Expression(const std::vector<Value>& coefs, const std::vector<int>& counter_ranks,
             const std::vector<int>& parameter_ranks);
  Expression(const std::vector<Value>& coefs, const std::set<int>& counters,
             const std::set<int>& parameters);
  Expression(const Expression& other);
  Expression& operator=(const Expression& other);
  virtual ~Expression();

  // Takes over every field of e, its operand pointers included; e's shell is
  // left without operands so that deleting it frees nothing else.
  void shallow_copy(Expression* e);
  // Becomes the sum of terms (registry column, coefficient; the constant in
  // the column after the parameters), given by increasing column without
  // zero coefficients. Takes terms.
  void set_terms(std::vector<std::pair<int, Value>> terms);

  static std::unique_ptr<Expression> from_counter_rank(int rank);
  static std::unique_ptr<Expression> from_parameter_rank(int rank);
  // An expression of the syntax tree (defined with the program extraction).
  static std::unique_ptr<Expression> from_Sage(SgExpression* e);
  // One solution vector of the solver: its parameter columns name the
  // parameters of actual_parameter, the next ones the new parameters of
  // newparms in key order (their expressions are cloned).
  static std::unique_ptr<Expression> from_PipVector(const PipVector* vector,
                                                     const std::map<int, Expression*>& newparms);
  // The integer division a new parameter of the solver stands for, over the
  // new parameters before it (newparms, as for from_PipVector).
  static std::unique_ptr<Expression> from_PipNewparm(const PipNewparm* p,
                                                     const std::map<int, Expression*>& newparms);
  // The quasi-polynomial of an Ehrhart count (an EnumerationExpression, or a
  // constant or fraction).
  static std::unique_ptr<Expression> from_evalue(const ORO__evalue* e);
  static std::unique_ptr<Expression> from_enode(const ORO__enode* e);

  // Virtual slots, in this order.
  virtual std::string get_class() const;
  virtual bool operator==(const Expression& other) const;
  virtual bool is_an_enumeration() const;
  virtual bool is_a_polynomial() const;
  virtual bool is_a_multivariate_polynomial() const;
  virtual bool is_a_periodic_number() const;
  virtual std::unique_ptr<Expression> clone() const;
  virtual std::unique_ptr<Expression> parameters_to_parameters(const std::map<int, int>& m) const;
  virtual std::vector<Expression*> get_divs();
  virtual std::unique_ptr<Expression> develop() const;
  virtual std::unique_ptr<Expression> scale(Value k) const;
  virtual std::unique_ptr<Expression> scale(const std::set<int>& s) const;
  virtual std::pair<std::map<int, std::vector<int>>, std::unique_ptr<Expression>> expand(
      const std::map<int, int>& m) const;
  virtual Value evaluate_int(const std::map<int, Value>& counters,
                             const std::map<int, Value>& parameters) const;
  virtual Value evaluate_int(const std::map<int, Value>& parameters) const;
  virtual double evaluate_double(const std::map<int, double>& counters,
                                 const std::map<int, double>& parameters) const;
  virtual double evaluate_double(const std::map<int, double>& parameters) const;
  virtual std::unique_ptr<Expression> evaluate(const std::map<int, Expression*>& counters,
                                               const std::map<int, Expression*>& parameters) const;
  virtual std::unique_ptr<Expression> evaluate(const std::map<int, Expression*>& parameters) const;
  virtual std::unique_ptr<Expression> evaluate() const;
  virtual void print(std::ostream& os) const;
  virtual void print_vhdl(std::ostream& os, std::ostream& declarations) const;
  virtual void compile(std::ostream& os, const std::string& var, const std::string& prefix) const;

  bool operator!=(const Expression& other) const { return !(*this == other); }

  // Arithmetic builders: new nodes over clones of both operands, given to the
  // caller.
  std::unique_ptr<Expression> operator+(const Expression& e) const;
  std::unique_ptr<Expression> operator-(const Expression& e) const;
  std::unique_ptr<Expression> operator*(const Expression& e) const;
  std::unique_ptr<Expression> operator/(const Expression& e) const;
  std::unique_ptr<Expression> operator%(const Expression& e) const;
  std::unique_ptr<Expression> operator+(Value k) const;
  std::unique_ptr<Expression> operator-(Value k) const;
  std::unique_ptr<Expression> operator*(Value k) const;
  std::unique_ptr<Expression> operator/(Value k) const;
  std::unique_ptr<Expression> operator%(Value k) const;

  // Predicates.
  bool is_constant() const;
  bool is_value(Value k) const;
  bool is_positive_constant() const;
  bool is_constant_fraction() const;
  bool is_a_parameter() const;
  bool is__counter(int rank) const;
  bool is__parameter(int rank) const;
  bool is_op(operator_t o) const;
  bool is_neg() const;
  bool is_floor() const;
  bool is_ceil() const;
  bool has_parameters() const;
  bool has_variables() const;
  bool has_div() const;
  bool has_ceil_or_floor() const;
  bool has_internal_ceil_or_floor() const;
  int depth() const;
  bool is_positive();
  int nb_power_2() const;

  // Transformations.
  std::unique_ptr<Expression> simplify() const;
  std::unique_ptr<Expression> one_pass_simplify() const;
  std::vector<Value> to_vector();
  std::vector<Value> to_vector(const std::set<int>& counters, const std::set<int>& parameters);
  // The coefficients by their non-zero entries (column, value), increasing
  // columns as in to_vector(), without a vector of the registry's width;
  // cached while the registry keeps its size, kept by the expression.
  const std::vector<std::pair<int, Value>>& terms();
  std::unique_ptr<Expression> parameters_to_counters(const std::map<int, int>& m) const;
  std::unique_ptr<Expression> counters_to_parameters(const std::map<int, int>& m) const;
  std::unique_ptr<Expression> counters_to_counters(const std::map<int, int>& m) const;
  std::unique_ptr<Expression> substitute_counters(const std::map<int, Expression*>& m) const;
  std::unique_ptr<Expression> substitute_parameters(const std::map<int, Expression*>& m) const;
  std::set<int> get_counters() const;
  std::set<int> get_parameters() const;
  static std::set<int> get_counters(const std::vector<Expression*>& v);

  // Printing.
  void print() const;
  void print_code(std::ostream& os) const;
  void print_code_double(std::ostream& os) const;

  // Sharing check: throws when two operands of a node share a node.
  std::set<const Expression*> check() const;

 protected:
  // Rebuilds this inner node over new operands (which it adopts).
  std::unique_ptr<Expression> rebuild(std::unique_ptr<Expression> left,
                                      std::unique_ptr<Expression> right) const;
};

std::ostream& operator<<(std::ostream& os, const Expression& e);
std::ostream& operator<<(std::ostream& os, const std::vector<Expression*>& v);

// Builders.
std::unique_ptr<Expression> v(Value k);
std::unique_ptr<Expression> s(const std::string& name);
std::unique_ptr<Expression> var(const std::string& name);
std::unique_ptr<Expression> var(int rank);
std::unique_ptr<Expression> par(const std::string& name);
std::unique_ptr<Expression> operator+(Value k, const Expression& e);
std::unique_ptr<Expression> operator-(Value k, const Expression& e);
std::unique_ptr<Expression> operator*(Value k, const Expression& e);
std::unique_ptr<Expression> operator/(Value k, const Expression& e);
std::unique_ptr<Expression> operator%(Value k, const Expression& e);

// Collections.
// Appends clones of v's expressions to owner, a container whose holder frees
// them (with del).
void append_clones(std::vector<Expression*>& owner, const std::vector<Expression*>& v);
void del(std::vector<Expression*>& v);
void del(std::map<int, Expression*>& m);
void del(std::map<std::set<int>, Expression*>& m);

// Integer helpers.
Value gcd(Value a, Value b);
Value lcm(Value a, Value b);
void simplify_fraction(Value& n, Value& d);

// Sharing check of two sets of node addresses: throws on a common element.
std::set<const Expression*> union_and_check(const std::set<const Expression*>& a,
                                            const std::set<const Expression*>& b);

#endif
