#include "analysis/affine_form.h"

#include <iostream>
#include <tuple>

#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "algebra/matrix.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"
#include "support/ownership.h"

namespace {

int nb_columns(const Matrix& A) { return A.empty() ? 0 : static_cast<int>(A[0].size()); }

// a + b, a new tree over copies of both.
std::unique_ptr<Expression> plus(
    const std::unique_ptr<Expression>& a, const std::unique_ptr<Expression>& b)
{
  return std::make_unique<Expression>(OP_PLUS, a.get(), b.get());
}

// The n column sums sum_k lambda[k] * A[k][j], then b . lambda + constant.
std::pair<std::vector<std::unique_ptr<Expression>>, std::unique_ptr<Expression>> combination(
    const AffineForm* f)
{
  std::vector<std::unique_ptr<Expression>> columns;
  if (!f->A.empty())
    columns = f->lambda * f->A;
  std::unique_ptr<Expression> constant = f->constant_term->clone();
  if (!f->b.empty())
    constant = plus(f->b * f->lambda, constant);
  return {std::move(columns), std::move(constant)};
}

void reset_fresh_names(const std::string& name) { registry().current_counter_rank[name] = -1; }

}  // namespace

// ---------------------------------------------------------------------------
// Construction

void AffineForm::build_farkas(Polyhedron* p, const std::set<int>& variables,
                              const std::string& name)
{
  is_farkas = 1;
  for (const auto& row : p->to_matrix(variables, std::set<int>())) {
    A.emplace_back(row.begin() + 1, row.end() - 1);
    b.push_back(row.back());
    lambda.push_back(create_counter(name).second.release());
  }
  auto [rank, leaf] = create_counter(name);
  constant_multiplier = leaf->clone().release();
  constant_term = leaf.release();
}

AffineForm::AffineForm(Polyhedron* p, const std::set<int>& variables, const std::string& name)
{
  reset_fresh_names(name);
  build_farkas(p, variables, name);
}

AffineForm::AffineForm(Polyhedron* p, const std::set<int>& variables, const std::string& name,
                       int i)
    : AffineForm(p, variables, name + "_" + std::to_string(i))
{
}

AffineForm::AffineForm(Polyhedron* p, const std::set<int>& variables)
{
  build_farkas(p, variables, "lambda");
}

AffineForm::AffineForm(const std::vector<Value>& coefficients, const Expression* constant)
    : is_basic(1), u(coefficients), v(constant->clone().release())
{
}

AffineForm::AffineForm(const std::vector<Expression*>& multipliers, const Expression* c,
                       const std::vector<std::vector<Value>>& a, const std::vector<Value>& constants)
    : is_farkas(1),
      constant_term(c->clone().release()),
      constant_multiplier(c->clone().release()),
      A(a),
      b(constants)
{
  append_clones(lambda, multipliers);
}

AffineForm::AffineForm(const AffineForm* a, const AffineForm* b2)
    : is_sum2(1), term1(a->clone().release()), term2(b2->clone().release())
{
}

AffineForm::AffineForm(const AffineForm* a, const AffineForm* b2, const AffineForm* c)
{
  is_sum3 = 1;
  term1 = a->clone().release();
  term2 = b2->clone().release();
  term3 = c->clone().release();
}

AffineForm::AffineForm(const AffineForm* a, const AffineForm* b2, const AffineForm* c,
                       const AffineForm* d)
{
  is_sum4 = 1;
  term1 = a->clone().release();
  term2 = b2->clone().release();
  term3 = c->clone().release();
  term4 = d->clone().release();
}

AffineForm::AffineForm(const std::vector<AffineForm*>& t) : is_sum(1)
{
  for (const AffineForm* f : t)
    terms.push_back(f->clone().release());
}

void AffineForm::copy_from(const AffineForm& o)
{
  is_basic = o.is_basic;
  u = o.u;
  v = o.v ? o.v->clone().release() : nullptr;
  is_farkas = o.is_farkas;
  append_clones(lambda, o.lambda);
  constant_term = o.constant_term ? o.constant_term->clone().release() : nullptr;
  constant_multiplier = o.constant_multiplier ? o.constant_multiplier->clone().release() : nullptr;
  A = o.A;
  b = o.b;
  is_sum2 = o.is_sum2;
  is_sum3 = o.is_sum3;
  is_sum4 = o.is_sum4;
  term1 = o.term1 ? o.term1->clone().release() : nullptr;
  term2 = o.term2 ? o.term2->clone().release() : nullptr;
  term3 = o.term3 ? o.term3->clone().release() : nullptr;
  term4 = o.term4 ? o.term4->clone().release() : nullptr;
  is_sum = o.is_sum;
  for (const AffineForm* f : o.terms)
    terms.push_back(f->clone().release());
}

static void del(std::vector<AffineForm*>& v)
{
  for (AffineForm* f : v)
    delete f;
}

void AffineForm::release()
{
  delete v;
  del(lambda);
  delete constant_term;
  delete constant_multiplier;
  delete term1;
  delete term2;
  delete term3;
  delete term4;
  del(terms);
  is_basic = is_farkas = is_sum2 = is_sum3 = is_sum4 = is_sum = 0;
  u.clear();
  v = constant_term = constant_multiplier = nullptr;
  lambda.clear();
  A.clear();
  b.clear();
  term1 = term2 = term3 = term4 = nullptr;
  terms.clear();
}

AffineForm::AffineForm(const AffineForm& o) { copy_from(o); }

AffineForm& AffineForm::operator=(const AffineForm& o)
{
  if (this != &o) {
    AffineForm copy(o);
    release();
    copy_from(copy);
  }
  return *this;
}

AffineForm::~AffineForm() { release(); }

std::unique_ptr<AffineForm> AffineForm::clone() const { return std::make_unique<AffineForm>(*this); }

// ---------------------------------------------------------------------------
// Operations

void AffineForm::scale(Value c)
{
  if (!is_farkas)
    fail(Stream::Err, "AffineForm::scale: should be in farkas form");
  A = c * A;
  b = c * b;
  Expression factor(c);
  Expression* scaled = new Expression(OP_TIMES, &factor, constant_term);
  delete constant_term;
  constant_term = scaled;
}

std::unique_ptr<AffineForm> AffineForm::compose(const std::vector<std::vector<Value>>& C,
                                            const std::vector<Value>& d) const
{
  if (!is_farkas)
    fail(Stream::Err, "AffineForm::compose: should be in farkas form");
  std::unique_ptr<AffineForm> g = clone();
  if (A.empty())
    return g;
  g->A = A * C;
  g->b = (A * d) + b;
  return g;
}

std::unique_ptr<AffineForm> AffineForm::compose(const IndexFunction* h,
                                            const std::set<int>& variables) const
{
  Matrix M = h->to_matrix(variables, std::set<int>());
  Matrix C;
  std::vector<Value> d;
  for (const auto& row : M) {
    C.emplace_back(row.begin(), row.end() - 1);
    d.push_back(row.back());
  }
  return compose(C, d);
}

std::unique_ptr<AffineForm> AffineForm::adapt_to(
    const std::set<int>& all, const std::set<int>& own) const
{
  if (A.empty())
    return clone();
  IndexFunction h(std::vector<int>(own.begin(), own.end()));
  return compose(&h, all);
}

std::unique_ptr<Polyhedron> AffineForm::get_positivity_constraints() const
{
  if (!is_farkas)
    fail(Stream::Err, "AffineForm::get_positivity_constraints(): should be is_farkas");
  std::vector<Expression*> multipliers{constant_multiplier};
  multipliers.insert(multipliers.end(), lambda.begin(), lambda.end());
  return positive(multipliers);
}

std::unique_ptr<Polyhedron> AffineForm::get_definition_constraints(
    const std::vector<Expression*>& defs) const
{
  if (!is_farkas)
    fail(Stream::Err, "AffineForm::get_definition_constraints(): expect Farkas form");
  int n = nb_columns(A);
  if (static_cast<int>(defs.size()) != n + 1)
    fail(Stream::Err, cat("AffineForm::get_definition_constraints(): wrong coef size", n + 1, " ",
                          defs.size()));
  auto [columns, constant] = combination(this);
  columns.push_back(std::move(constant));
  Polyhedron equalities;
  for (int j = 0; j <= n; j++) {
    Inequation eq(PRED_EQ, defs[j], columns[j].get());
    equalities.add_constraint(&eq);
  }
  return equalities.simplify_matrix();
}

std::unique_ptr<Polyhedron> AffineForm::get_definition_constraints(
    const std::vector<int>& ranks) const
{
  std::vector<std::unique_ptr<Expression>> defs;
  for (int r : ranks)
    defs.push_back(Expression::from_counter_rank(r));
  return get_definition_constraints(view(defs));
}

std::pair<std::unique_ptr<Polyhedron>, std::vector<int>> AffineForm::definitions_over(const std::string& name,
                                                                      const char* who) const
{
  if (!is_farkas)
    fail(Stream::Err, cat("AffineForm::", who, ": Farkas form expected"));
  std::vector<int> ranks;
  for (int j = 0; j <= nb_columns(A); j++)
    ranks.push_back(create_counter(name).first);
  return {get_definition_constraints(ranks), ranks};
}

std::pair<std::unique_ptr<Polyhedron>, std::vector<int>> AffineForm::get_definition_constraints(
    const std::string& name) const
{
  reset_fresh_names(name);
  return definitions_over(name, "get_definition_constraints");
}

std::pair<std::unique_ptr<Polyhedron>, std::vector<int>> AffineForm::get_definition_constraints(
    const std::string& name, int i) const
{
  return get_definition_constraints(name + "_" + std::to_string(i));
}

std::pair<std::unique_ptr<Polyhedron>, std::vector<int>> AffineForm::get_definition_constraints_fresh(
    const std::string& name) const
{
  return definitions_over(name, "get_definition_constraints_fresh");
}

// ---------------------------------------------------------------------------
// Roots

namespace {

// Accumulates the coefficients and the constant of a sum of basic and Farkas
// forms, with the positivity constraints of the Farkas terms.
std::unique_ptr<Polyhedron> sum_roots(const std::vector<const AffineForm*>& terms)
{
  // The width is that of any term with coefficients: a Farkas form without
  // rows (the form of a domain without constraints, such as a statement
  // outside every loop) is a non-negative constant over any variables.
  std::vector<std::unique_ptr<Expression>> coefficients;
  int width = 0;
  for (const AffineForm* t : terms)
    if (t->is_basic || !t->A.empty()) {
      width = t->is_basic ? static_cast<int>(t->u.size()) : nb_columns(t->A);
      break;
    }
  for (int j = 0; j < width; j++)
    coefficients.push_back(v(0));
  std::unique_ptr<Expression> constant = v(0);
  Polyhedron positivity;
  for (const AffineForm* t : terms) {
    std::vector<std::unique_ptr<Expression>> add;
    std::unique_ptr<Expression> add_constant;
    if (t->is_basic) {
      for (Value x : t->u)
        add.push_back(v(x));
      add_constant = t->v->clone();
    } else {
      std::tie(add, add_constant) = combination(t);
      positivity.add_constraints(t->get_positivity_constraints().get());
    }
    if (!t->is_farkas || !t->A.empty()) {
      if (add.size() != coefficients.size())
        fail(Stream::Err, cat("AffineForm::roots: sum: terms over ", coefficients.size(), " and ",
                              add.size(), " variables"));
      for (size_t j = 0; j < add.size(); j++)
        coefficients[j] = plus(coefficients[j], add[j]);
    }
    constant = plus(constant, add_constant);
  }
  std::unique_ptr<Polyhedron> zero = equal_zero(view(coefficients));
  zero->add_constraint(equal_zero(constant.get()).get());
  zero->add_constraints(&positivity);
  return zero->simplify_matrix();
}

}  // namespace

std::unique_ptr<Polyhedron> AffineForm::roots() const
{
  if (is_basic)
    return nullptr;
  if (is_farkas)
    return sum_roots({this});
  if (is_sum) {
    if (terms.empty())
      fail(Stream::Err, "AffineForm::roots: sum should have at least one term");
    for (const AffineForm* t : terms)
      if (!t->is_basic && !t->is_farkas)
        fail(Stream::Err, "AffineForm::roots: sum: affine forms assumed to beBasic or Farkas");
    return sum_roots(std::vector<const AffineForm*>(terms.begin(), terms.end()));
  }
  if (is_sum2) {
    if (!term1->is_farkas || !term2->is_farkas)
      fail(Stream::Err, "AffineForm::roots: sum2: expecting farkas+farkas");
    return sum_roots({term1, term2});
  }
  if (is_sum3) {
    if (!term1->is_farkas || !term2->is_farkas || !term3->is_basic)
      fail(Stream::Err, "AffineForm::roots: sum3: expecting farkas+farkas+basic");
    return sum_roots({term1, term2, term3});
  }
  if (is_sum4) {
    if (!term1->is_farkas || !term2->is_farkas || !term3->is_farkas || !term4->is_basic)
      fail(Stream::Err, "AffineForm::roots: sum4: expecting farkas+farkas+farkas+basic");
    return sum_roots({term1, term2, term3, term4});
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Printing

std::ostream& operator<<(std::ostream& os, const AffineForm& f)
{
  if (f.is_basic)
    os << "u:\n" << f.u << "\nv:\n" << *f.v << "\n";
  if (f.is_farkas) {
    os << "lambda:\n" << f.lambda << "\nlambda_0:\n" << *f.constant_term << "\n\n";
    os << "A:\n" << f.A << "\nb: \n" << f.b << "\n";
  }
  const AffineForm* fixed[] = {f.term1, f.term2, f.term3, f.term4};
  int count = f.is_sum2 ? 2 : f.is_sum3 ? 3 : f.is_sum4 ? 4 : 0;
  if (count) {
    os << "sum" << count << "\n";
    for (int k = 0; k < count; k++)
      os << "term" << k + 1 << " = \n" << *fixed[k] << "\n";
  }
  if (f.is_sum) {
    os << "sum: \n";
    for (size_t k = 0; k < f.terms.size(); k++) {
      if (k)
        os << "+\n";
      os << *f.terms[k] << "\n";
    }
  }
  return os;
}
