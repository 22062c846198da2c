#include "polyhedra/enumeration_expression.h"

#include <algorithm>
#include <climits>
#include <iostream>
#include <numeric>
#include <sstream>

#include "polyhedra/count_code.h"
#include "support/failure.h"
#include "polyhedra/point_count.h"
#include "polyhedra/polyhedron.h"
#include "solvers/polylib_wrapper.h"
#include "algebra/rank.h"

namespace {

Expression* parameter_leaf(int rank)
{
  Expression* e = new Expression(0);
  e->is_val = 0;
  e->is_parameter = 1;
  e->parameter_rank = rank;
  return e;
}

int checked_parameter_rank(int pos)
{
  int rank = pos - 1;
  if (rank < 0 || rank >= get_nb_parameters())
    fail(Stream::Err, cat("Expression::from_enode: parameter position out of range: ", pos));
  return rank;
}

bool is_number(const Expression* e) { return e->is_constant() || e->is_constant_fraction(); }

int residue(long long value, size_t period)
{
  long long p = static_cast<long long>(period);
  long long r = value % p;
  return static_cast<int>(r < 0 ? r + p : r);
}

// An inner node adopting its operands.
Expression* node(operator_t op, Expression* a, Expression* b)
{
  Expression* e = new Expression(op, a, b);
  delete a;
  delete b;
  return e;
}

void print_coefficient(std::ostream& os, const Expression* c)
{
  if (is_number(c))
    os << *c;
  else
    os << "(" << *c << ")";
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

EnumerationExpression::EnumerationExpression() { is_val = 0; }

EnumerationExpression::EnumerationExpression(const std::vector<Expression*>& values, int rank)
    : is_periodic(1), periodic_values(clone_ve(values)), periodic_parameter(rank)
{
  is_val = 0;
}

EnumerationExpression::EnumerationExpression(const std::vector<Expression*>& c,
                                             const Expression* x)
    : is_polynomial(1), coefficients(clone_ve(c)), variable(x->clone())
{
  is_val = 0;
}

EnumerationExpression::EnumerationExpression(const std::map<std::set<int>, Expression*>& m)
    : is_multivariate(1)
{
  is_val = 0;
  for (const auto& [monomial, c] : m)
    monomials[monomial] = c->clone();
}

EnumerationExpression::~EnumerationExpression()
{
  del(periodic_values);
  del(coefficients);
  delete variable;
  del(monomials);
}

Expression* Expression::from_evalue(const ORO__evalue* e)
{
  if (e->d != 0)
    return new Expression(e->n, e->d);
  if (!e->p)
    fail(Stream::Err, "Expression::from_evalue: missing node");
  return from_enode(e->p);
}

Expression* Expression::from_enode(const ORO__enode* e)
{
  std::vector<Expression*> parts;
  switch (e->type) {
    case 0:
      if (e->arr.size() == 1) {
        Expression* only = from_evalue(e->arr[0]);
        Expression* r = only->evaluate();
        delete only;
        return r;
      }
      for (const ORO__evalue* v : e->arr)
        parts.push_back(from_evalue(v));
      {
        Expression* x = parameter_leaf(checked_parameter_rank(e->pos));
        Expression* r = new EnumerationExpression(parts, x);
        delete x;
        del(parts);
        return r;
      }
    case 1: {
      for (const ORO__evalue* v : e->arr)
        parts.push_back(from_evalue(v));
      Expression* r = new EnumerationExpression(parts, checked_parameter_rank(e->pos));
      del(parts);
      return r;
    }
    case 2:
      fail(Stream::Out, "Expression::from_enode: evector (!) not handled");
    default:
      fail(Stream::Err, cat("Expression::from_enode: unknown node type ", e->type));
  }
}

// ---------------------------------------------------------------------------
// Virtual slots

std::string EnumerationExpression::get_class() const
{
  if (is_polynomial)
    return "polynomial";
  if (is_multivariate)
    return "multivariate_polynomial";
  if (is_periodic)
    return "periodic number";
  return "undefined enumeration";
}

bool EnumerationExpression::operator==(const Expression&) const { return true; }
bool EnumerationExpression::is_an_enumeration() const { return true; }
bool EnumerationExpression::is_a_polynomial() const { return is_polynomial; }
bool EnumerationExpression::is_a_multivariate_polynomial() const { return is_multivariate; }
bool EnumerationExpression::is_a_periodic_number() const { return is_periodic; }

Expression* EnumerationExpression::clone() const
{
  if (is_polynomial)
    return new EnumerationExpression(coefficients, variable);
  if (is_multivariate)
    return new EnumerationExpression(monomials);
  if (is_periodic)
    return new EnumerationExpression(periodic_values, periodic_parameter);
  fail(Stream::Err, "EnumerationExpression::clone(): not an enumeration!");
}

static std::vector<Expression*> renamed(const std::vector<Expression*>& v,
                                        const std::map<int, int>& m)
{
  std::vector<Expression*> r;
  for (const Expression* e : v)
    r.push_back(e->parameters_to_parameters(m));
  return r;
}

Expression* EnumerationExpression::parameters_to_parameters(const std::map<int, int>& m) const
{
  auto image = [&m](int rank) {
    auto it = m.find(rank);
    return it == m.end() ? rank : it->second;
  };
  Expression* r = nullptr;
  if (is_periodic) {
    std::vector<Expression*> values = renamed(periodic_values, m);
    r = new EnumerationExpression(values, image(periodic_parameter));
    del(values);
  } else if (is_polynomial) {
    std::vector<Expression*> c = renamed(coefficients, m);
    Expression* x = variable->parameters_to_parameters(m);
    r = new EnumerationExpression(c, x);
    del(c);
    delete x;
  } else if (is_multivariate) {
    std::map<std::set<int>, Expression*> renamed_monomials;
    for (const auto& [monomial, c] : monomials) {
      std::set<int> image_set;
      for (int q : monomial)
        image_set.insert(image(q));
      // A monomial names each parameter once: a square cannot be written.
      if (image_set.size() != monomial.size())
        fail(Stream::Err, cat("EnumerationExpression::parameters_to_parameters: a monomial "
                              "would square a parameter: ", *this));
      // Monomials that meet under the renaming add their coefficients.
      Expression* term = c->parameters_to_parameters(m);
      auto met = renamed_monomials.find(image_set);
      if (met == renamed_monomials.end())
        renamed_monomials[image_set] = term;
      else
        met->second = node(OP_PLUS, met->second, term);
    }
    r = new EnumerationExpression(renamed_monomials);
    del(renamed_monomials);
  } else {
    fail(Stream::Err, "EnumerationExpression::parameters_to_parameters: not an enumeration");
  }
  return r;
}

std::vector<Expression*> EnumerationExpression::get_divs()
{
  std::vector<Expression*> r;
  auto add = [&r](Expression* e) {
    std::vector<Expression*> d = e->get_divs();
    r.insert(r.end(), d.begin(), d.end());
  };
  for (Expression* e : periodic_values)
    add(e);
  for (Expression* e : coefficients)
    add(e);
  for (auto& [monomial, c] : monomials)
    add(c);
  return r;
}

// Numeric evaluation is exact: the value is folded as a reduced fraction and
// must be an integer (Ehrhart counts are at integer points). The fraction is
// kept in checked 64-bit integers: Ehrhart coefficients carry denominators
// whose products overflow an int long before the count does.
namespace {

struct Fraction {
  long long n = 0, d = 1;
};

[[noreturn]] void evaluation_overflow()
{
  fail(Stream::Err, "EnumerationExpression::evaluate_int(): integer overflow");
}

long long checked_mul(long long a, long long b)
{
  long long r = 0;
  if (__builtin_mul_overflow(a, b, &r))
    evaluation_overflow();
  return r;
}

long long checked_add(long long a, long long b)
{
  long long r = 0;
  if (__builtin_add_overflow(a, b, &r))
    evaluation_overflow();
  return r;
}

Fraction reduced(long long n, long long d)
{
  if (d == 0)
    fail(Stream::Err, "EnumerationExpression::evaluate_int(): division by zero");
  if (d < 0) {
    n = checked_mul(n, -1);
    d = checked_mul(d, -1);
  }
  long long g = std::gcd(n, d);
  return {n / g, d / g};
}

Fraction operator+(Fraction a, Fraction b)
{
  long long g = std::gcd(a.d, b.d);
  return reduced(checked_add(checked_mul(a.n, b.d / g), checked_mul(b.n, a.d / g)),
                 checked_mul(a.d / g, b.d));
}

Fraction operator*(Fraction a, Fraction b)
{
  long long g1 = std::gcd(a.n, b.d), g2 = std::gcd(b.n, a.d);
  if (g1 == 0 || g2 == 0)
    return {0, 1};
  return reduced(checked_mul(a.n / g1, b.n / g2), checked_mul(a.d / g2, b.d / g1));
}

Fraction exact(const Expression* e, const std::map<int, int>& counters,
               const std::map<int, int>& parameters)
{
  auto read = [](const std::map<int, int>& m, int rank) {
    auto it = m.find(rank);
    return it == m.end() ? 0 : it->second;
  };
  if (e->is_an_enumeration()) {
    const auto* x = static_cast<const EnumerationExpression*>(e);
    if (x->is_periodic) {
      int position = residue(read(parameters, x->periodic_parameter), x->periodic_values.size());
      return exact(x->periodic_values[position], counters, parameters);
    }
    if (!x->is_polynomial)
      fail(Stream::Err, "EnumerationExpression::evaluate_int(): not an enumeration!");
    Fraction value = exact(x->variable, counters, parameters), power{1, 1}, sum{0, 1};
    for (const Expression* c : x->coefficients) {
      sum = sum + exact(c, counters, parameters) * power;
      power = power * value;
    }
    return sum;
  }
  if (e->is_leaf) {
    if (e->is_counter)
      return {read(counters, e->counter_rank), 1};
    if (e->is_parameter)
      return {read(parameters, e->parameter_rank), 1};
    if (e->is_val)
      return {e->val, 1};
  } else if (e->op == OP_PLUS || e->op == OP_MINUS || e->op == OP_TIMES || e->op == OP_DIV) {
    Fraction a = exact(e->fg, counters, parameters), b = exact(e->fd, counters, parameters);
    if (e->op == OP_PLUS)
      return a + b;
    if (e->op == OP_MINUS)
      return a + Fraction{checked_mul(b.n, -1), b.d};
    if (e->op == OP_TIMES)
      return a * b;
    return a * reduced(b.d, b.n);
  }
  return {e->evaluate_int(counters, parameters), 1};
}

}  // namespace

int EnumerationExpression::evaluate_int(const std::map<int, int>& counters,
                                        const std::map<int, int>& parameters) const
{
  Fraction value = exact(this, counters, parameters);
  long long result = value.n / value.d;
  if (result < INT_MIN || result > INT_MAX)
    evaluation_overflow();
  return static_cast<int>(result);
}

double EnumerationExpression::evaluate_double(const std::map<int, double>& counters,
                                              const std::map<int, double>& parameters) const
{
  if (is_periodic) {
    auto it = parameters.find(periodic_parameter);
    long long value = it == parameters.end() ? 0 : static_cast<long long>(it->second);
    return periodic_values[residue(value, periodic_values.size())]->evaluate_double(counters,
                                                                                   parameters);
  }
  if (is_polynomial) {
    double x = variable->evaluate_double(counters, parameters);
    double power = 1, sum = 0;
    for (const Expression* c : coefficients) {
      sum += c->evaluate_double(counters, parameters) * power;
      power *= x;
    }
    return sum;
  }
  fail(Stream::Err, "EnumerationExpression::evaluate_double(): not an enumeration!");
}

Expression* EnumerationExpression::evaluate(const std::map<int, Expression*>& counters,
                                            const std::map<int, Expression*>& parameters) const
{
  if (is_periodic) {
    auto it = parameters.find(periodic_parameter);
    if (it != parameters.end()) {
      Expression* value = it->second->evaluate();
      if (!value->is_constant()) {
        delete value;
        fail(Stream::Err, cat("EnumerationExpression: evaluate: periodic value not resolved: ",
                              *this));
      }
      int position = residue(value->val, periodic_values.size());
      delete value;
      return periodic_values[position]->evaluate(counters, parameters);
    }
    std::vector<Expression*> values;
    for (const Expression* e : periodic_values)
      values.push_back(e->evaluate(counters, parameters));
    Expression* r = new EnumerationExpression(values, periodic_parameter);
    del(values);
    return r;
  }
  if (is_polynomial) {
    Expression* x = variable->evaluate(counters, parameters);
    std::vector<Expression*> c;
    for (const Expression* e : coefficients)
      c.push_back(e->evaluate(counters, parameters));
    Expression* r = nullptr;
    if (is_number(x)) {
      Expression* sum = nullptr;
      Expression* power = new Expression(1);
      for (size_t i = 0; i < c.size(); i++) {
        Expression* term = new Expression(OP_TIMES, c[i], power);
        sum = sum ? node(OP_PLUS, sum, term) : term;
        power = node(OP_TIMES, power, x->clone());
      }
      delete power;
      r = sum ? sum->evaluate() : new Expression(0);
      delete sum;
    } else {
      r = new EnumerationExpression(c, x);
    }
    del(c);
    delete x;
    return r;
  }
  if (is_multivariate) {
    std::map<std::set<int>, Expression*> gathered;
    for (const auto& [monomial, coefficient] : monomials) {
      Expression* product = coefficient->clone();
      std::set<int> residual;
      for (int q : monomial) {
        auto it = parameters.find(q);
        if (it != parameters.end())
          product = node(OP_TIMES, product, it->second->clone());
        else
          residual.insert(q);
      }
      auto g = gathered.find(residual);
      if (g == gathered.end())
        gathered[residual] = product;
      else
        g->second = node(OP_PLUS, g->second, product);
    }
    std::map<std::set<int>, Expression*> kept;
    for (auto& [monomial, term] : gathered) {
      Expression* value = term->evaluate(counters, parameters);
      if (value->is_value(0))
        delete value;
      else
        kept[monomial] = value;
    }
    del(gathered);
    Expression* r = new EnumerationExpression(kept);
    del(kept);
    return r;
  }
  std::cerr << "EnumerationExpression::evaluate: not an enumeration" << std::endl;
  return new Expression(0);
}

void EnumerationExpression::print(std::ostream& os) const
{
  if (is_periodic) {
    os << "[ ";
    for (const Expression* e : periodic_values)
      os << *e << " ";
    os << "]_" << get_parameter_string(periodic_parameter);
  } else if (is_polynomial) {
    for (size_t i = 0; i < coefficients.size(); i++) {
      if (i == 0) {
        os << *coefficients[0];
        continue;
      }
      os << " + ";
      print_coefficient(os, coefficients[i]);
      os << "*" << *variable;
      if (i == 2)
        os << "\xC2\xB2";
      else if (i > 2)
        os << "^" << i;
    }
  } else if (is_multivariate) {
    bool first = true;
    for (const auto& [monomial, c] : monomials) {
      if (!first)
        os << " + ";
      first = false;
      print_coefficient(os, c);
      if (!monomial.empty()) {
        os << "*";
        bool first_name = true;
        for (int q : monomial) {
          os << (first_name ? "" : ".") << get_parameter_string(q);
          first_name = false;
        }
      }
    }
  }
}

void EnumerationExpression::compile(std::ostream& os, const std::string& result,
                                    const std::string& prefix) const
{
  if (!is_periodic && !is_polynomial)
    fail(Stream::Err, "EnumerationExpression::compile(): not an enumeration!");
  os << prefix << result << " = " << exact_count_code(this) << ";\n";
}

void compile(const PolyhedronMap<Expression*>& pieces, std::ostream& os,
             const std::string& result, const std::string& prefix)
{
  // The pieces are disjoint: written in the order of their conditions'
  // text, not in the map's order, which is that of their addresses. A count
  // by enumeration is a loop nest, any other count one exact expression.
  std::string inner = prefix + "    ";
  std::vector<std::pair<std::string, std::string>> branches;
  for (const auto& [domain, count] : pieces) {
    std::ostringstream condition, statements;
    domain->print_code(condition);
    if (is_point_count(count))
      count->compile(statements, result, inner);
    else
      statements << inner << result << " = " << exact_count_code(count) << ";\n";
    branches.emplace_back(condition.str(), statements.str());
  }
  std::sort(branches.begin(), branches.end());
  if (branches.empty()) {  // nothing counted anywhere
    os << prefix << result << " = 0;\n";
    return;
  }
  std::string defined = new_variable("is_defined", TYPE_INT);
  os << prefix << defined << " = false;\n";
  for (const auto& [condition, statements] : branches) {
    os << prefix << "if(" << condition << ")\n";
    os << prefix << "  {\n";
    os << statements;
    os << inner << defined << " = true;\n";
    os << prefix << "  }\n";
  }
  os << prefix << "if(!" << defined << ")\n";
  os << prefix << "  {\n";
  os << prefix << "    " << result << " = 0;\n";
  os << prefix << "  }\n";
}
