// Ehrhart quasi-polynomials inside expression trees: a periodic number (a
// value chosen by the residue of a parameter, or of an integer affine
// expression over the parameters), a polynomial in one variable, or a
// multivariate polynomial over the parameters.
//
// The Expression part is a leaf that is neither a constant, a counter nor a
// parameter. Ownership: the object owns every expression it holds;
// constructors clone what they are given (kept by the caller), except those
// taking unique_ptr, which take it; operations return new objects owned by
// the caller.
#ifndef VORL_POLYHEDRA_ENUMERATION_EXPRESSION_H
#define VORL_POLYHEDRA_ENUMERATION_EXPRESSION_H

#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "algebra/expression.h"

#include "polyhedra/polyhedron.h"

class EnumerationExpression : public Expression {
 public:
  int is_periodic = 0;
  std::vector<Expression*> periodic_values;
  int periodic_parameter = 0;
  /// When set, the residue is that of this integer affine expression over the
  /// parameters (a combination such as 8N - M), not that of periodic_parameter.
  std::unique_ptr<Expression> periodic_index;
  int is_polynomial = 0;
  std::vector<Expression*> coefficients;
  Expression* variable = nullptr;
  int is_multivariate = 0;
  std::map<std::set<int>, Expression*> monomials;

  EnumerationExpression();
  EnumerationExpression(const std::vector<Expression*>& values, int parameter_rank);
  EnumerationExpression(const std::vector<Expression*>& coefficients, const Expression* variable);
  // As the two above, taking the values or coefficients (no copy).
  EnumerationExpression(std::vector<std::unique_ptr<Expression>> values, int parameter_rank);
  EnumerationExpression(std::vector<std::unique_ptr<Expression>> coefficients, const Expression* variable);
  // A periodic number over the residue of index; takes both.
  EnumerationExpression(std::vector<std::unique_ptr<Expression>> values, std::unique_ptr<Expression> index);
  explicit EnumerationExpression(const std::map<std::set<int>, Expression*>& monomials);
  EnumerationExpression(const EnumerationExpression&) = delete;
  EnumerationExpression& operator=(const EnumerationExpression&) = delete;
  ~EnumerationExpression() override;

  std::string get_class() const override;
  bool operator==(const Expression& other) const override;
  bool is_an_enumeration() const override;
  bool is_a_polynomial() const override;
  bool is_a_multivariate_polynomial() const override;
  bool is_a_periodic_number() const override;
  std::unique_ptr<Expression> clone() const override;
  std::unique_ptr<Expression> parameters_to_parameters(const std::map<int, int>& m) const override;
  std::vector<Expression*> get_divs() override;
  using Expression::evaluate;
  using Expression::evaluate_double;
  using Expression::evaluate_int;
  Value evaluate_int(const std::map<int, Value>& counters,
                     const std::map<int, Value>& parameters) const override;
  double evaluate_double(const std::map<int, double>& counters,
                         const std::map<int, double>& parameters) const override;
  std::unique_ptr<Expression> evaluate(const std::map<int, Expression*>& counters,
                                       const std::map<int, Expression*>& parameters) const override;
  void print(std::ostream& os) const override;
  /// Writes "result = <the value in exact integer arithmetic>;" (a periodic
  /// number or a polynomial; a multivariate polynomial fails).
  void compile(std::ostream& os, const std::string& result,
               const std::string& prefix) const override;
};

// C statements that assign to result the count of the piece whose domain
// holds the current parameter values, or 0 (without any piece, "result = 0;"), each count in exact integer
// arithmetic (polyhedra/count_code.h) or, for a count by enumeration
// (polyhedra/point_count.h), as its loop nest; the pieces in the order of their
// conditions' text.
void compile(const PolyhedronMap<Expression*>& pieces, std::ostream& os,
             const std::string& result, const std::string& prefix);

#endif
