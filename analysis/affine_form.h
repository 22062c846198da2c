// Affine functions with unknown coefficients, in the form the affine Farkas
// lemma gives to every affine function non-negative on a polyhedron:
// f(x) = c + sum_k m_k (A_k . x + b_k) with multipliers c, m_k >= 0 that are
// fresh counters. A form is basic (known coefficients u, an expression v as
// constant), Farkas, or a sum of forms; linear conditions on forms become
// linear constraints on the multipliers through roots().
//
// Variables are known by position: column j of A (entry j of u) is the j-th
// variable, in increasing rank, of the variable list the form was built or
// moved onto.
//
// Ownership: a form owns everything it points to; constructors clone the
// forms, expressions and polyhedra they are given (kept by the caller);
// operations return new objects owned by the caller, except scale(), which
// changes the form in place.
#ifndef VORL_ANALYSIS_AFFINE_FORM_H
#define VORL_ANALYSIS_AFFINE_FORM_H

#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "algebra/value.h"

class Expression;
class IndexFunction;
class Polyhedron;

class AffineForm {
 public:
  int is_basic = 0;
  std::vector<Value> u;
  Expression* v = nullptr;
  int is_farkas = 0;
  std::vector<Expression*> lambda;
  Expression* constant_term = nullptr;
  Expression* constant_multiplier = nullptr;
  std::vector<std::vector<Value>> A;
  std::vector<Value> b;
  int is_sum2 = 0;
  AffineForm* term1 = nullptr;
  AffineForm* term2 = nullptr;
  int is_sum3 = 0;
  AffineForm* term3 = nullptr;
  int is_sum4 = 0;
  AffineForm* term4 = nullptr;
  int is_sum = 0;
  std::vector<AffineForm*> terms;

  // Farkas form of p over the listed counters, multipliers name_0, name_1, ...
  AffineForm(Polyhedron* p, const std::set<int>& variables, const std::string& name);
  AffineForm(Polyhedron* p, const std::set<int>& variables, const std::string& name, int i);
  // The same with multipliers lambda_k, whose numbering goes on from earlier forms.
  AffineForm(Polyhedron* p, const std::set<int>& variables);
  AffineForm(const std::vector<Value>& u, const Expression* v);
  AffineForm(const std::vector<Expression*>& lambda, const Expression* c,
             const std::vector<std::vector<Value>>& A, const std::vector<Value>& b);
  AffineForm(const AffineForm* a, const AffineForm* b);
  AffineForm(const AffineForm* a, const AffineForm* b, const AffineForm* c);
  AffineForm(const AffineForm* a, const AffineForm* b, const AffineForm* c, const AffineForm* d);
  explicit AffineForm(const std::vector<AffineForm*>& terms);
  AffineForm(const AffineForm& other);
  AffineForm& operator=(const AffineForm& other);
  ~AffineForm();

  std::unique_ptr<AffineForm> clone() const;
  void scale(Value c);
  std::unique_ptr<AffineForm> compose(const std::vector<std::vector<Value>>& C,
                                      const std::vector<Value>& d) const;
  std::unique_ptr<AffineForm> compose(const IndexFunction* h, const std::set<int>& variables) const;
  std::unique_ptr<AffineForm> adapt_to(const std::set<int>& all, const std::set<int>& own) const;
  std::unique_ptr<Polyhedron> get_positivity_constraints() const;
  std::unique_ptr<Polyhedron> get_definition_constraints(
      const std::vector<Expression*>& defs) const;
  std::unique_ptr<Polyhedron> get_definition_constraints(const std::vector<int>& ranks) const;
  std::pair<std::unique_ptr<Polyhedron>, std::vector<int>> get_definition_constraints(
      const std::string& name) const;
  std::pair<std::unique_ptr<Polyhedron>, std::vector<int>> get_definition_constraints(
      const std::string& name, int i) const;
  std::pair<std::unique_ptr<Polyhedron>, std::vector<int>> get_definition_constraints_fresh(
      const std::string& name) const;
  // Multiplier values for which the form is identically zero; null for a
  // basic form.
  std::unique_ptr<Polyhedron> roots() const;

 private:
  AffineForm() = default;
  void build_farkas(Polyhedron* p, const std::set<int>& variables, const std::string& name);
  void copy_from(const AffineForm& other);
  void release();
  std::pair<std::unique_ptr<Polyhedron>, std::vector<int>> definitions_over(
      const std::string& name, const char* who) const;
};

std::ostream& operator<<(std::ostream& os, const AffineForm& f);

#endif
