#include "polyhedra/enumeration_expression.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iostream>
#include <numeric>
#include <sstream>

#include "polyhedra/count_code.h"
#include "support/failure.h"
#include "polyhedra/point_count.h"
#include "polyhedra/polyhedron.h"
#include "solvers/polylib_wrapper.h"
#include "algebra/rank.h"
#include "support/ownership.h"

namespace {

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

// An inner node over copies of its operands.
std::unique_ptr<Expression> node(operator_t op, const std::unique_ptr<Expression>& a, const std::unique_ptr<Expression>& b)
{
  return std::make_unique<Expression>(op, a.get(), b.get());
}

// The coefficients of m, still owned by m.
std::map<std::set<int>, Expression*> borrowed(
    const std::map<std::set<int>, std::unique_ptr<Expression>>& m)
{
  std::map<std::set<int>, Expression*> r;
  for (const auto& [monomial, c] : m)
    r[monomial] = c.get();
  return r;
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
    : is_periodic(1), periodic_parameter(rank)
{
  is_val = 0;
  append_clones(periodic_values, values);
}

EnumerationExpression::EnumerationExpression(const std::vector<Expression*>& c,
                                             const Expression* x)
    : is_polynomial(1), variable(x->clone().release())
{
  is_val = 0;
  append_clones(coefficients, c);
}

EnumerationExpression::EnumerationExpression(std::vector<std::unique_ptr<Expression>> values,
                                             int rank)
    : is_periodic(1), periodic_parameter(rank)
{
  is_val = 0;
  for (auto& v : values)
    periodic_values.push_back(v.release());
}

EnumerationExpression::EnumerationExpression(std::vector<std::unique_ptr<Expression>> values,
                                             std::unique_ptr<Expression> index)
    : is_periodic(1), periodic_index(std::move(index))
{
  is_val = 0;
  for (auto& v : values)
    periodic_values.push_back(v.release());
}

EnumerationExpression::EnumerationExpression(std::vector<std::unique_ptr<Expression>> c,
                                             const Expression* x)
    : is_polynomial(1), variable(x->clone().release())
{
  is_val = 0;
  for (auto& v : c)
    coefficients.push_back(v.release());
}

EnumerationExpression::EnumerationExpression(const std::map<std::set<int>, Expression*>& m)
    : is_multivariate(1)
{
  is_val = 0;
  for (const auto& [monomial, c] : m)
    monomials[monomial] = c->clone().release();
}

EnumerationExpression::~EnumerationExpression()
{
  del(periodic_values);
  del(coefficients);
  delete variable;
  del(monomials);
}

std::unique_ptr<Expression> Expression::from_evalue(const ORO__evalue* e)
{
  if (e->d != 0)
    return std::make_unique<Expression>(e->n, e->d);
  if (!e->p)
    fail(Stream::Err, "Expression::from_evalue: missing node");
  return from_enode(e->p.get());
}

std::unique_ptr<Expression> Expression::from_enode(const ORO__enode* e)
{
  std::vector<std::unique_ptr<Expression>> parts;
  switch (e->type) {
    case 0:
      if (e->arr.size() == 1)
        return from_evalue(e->arr[0].get())->evaluate();
      for (const auto& v : e->arr)
        parts.push_back(from_evalue(v.get()));
      return std::make_unique<EnumerationExpression>(
          std::move(parts), Expression::from_parameter_rank(checked_parameter_rank(e->pos)).get());
    case 1: {
      for (const auto& v : e->arr)
        parts.push_back(from_evalue(v.get()));
      return std::make_unique<EnumerationExpression>(std::move(parts), checked_parameter_rank(e->pos));
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

std::unique_ptr<Expression> EnumerationExpression::clone() const
{
  if (is_polynomial)
    return std::make_unique<EnumerationExpression>(coefficients, variable);
  if (is_multivariate)
    return std::make_unique<EnumerationExpression>(monomials);
  if (is_periodic && periodic_index) {
    std::vector<std::unique_ptr<Expression>> values;
    for (const Expression* v : periodic_values)
      values.push_back(v->clone());
    return std::make_unique<EnumerationExpression>(std::move(values), periodic_index->clone());
  }
  if (is_periodic)
    return std::make_unique<EnumerationExpression>(periodic_values, periodic_parameter);
  fail(Stream::Err, "EnumerationExpression::clone(): not an enumeration!");
}

static std::vector<std::unique_ptr<Expression>> renamed(const std::vector<Expression*>& v,
                                                       const std::map<int, int>& m)
{
  std::vector<std::unique_ptr<Expression>> r;
  for (const Expression* e : v)
    r.push_back(e->parameters_to_parameters(m));
  return r;
}

std::unique_ptr<Expression> EnumerationExpression::parameters_to_parameters(
    const std::map<int, int>& m) const
{
  auto image = [&m](int rank) {
    auto it = m.find(rank);
    return it == m.end() ? rank : it->second;
  };
  std::unique_ptr<Expression> r;
  if (is_periodic && periodic_index) {
    r = std::make_unique<EnumerationExpression>(renamed(periodic_values, m),
                                                periodic_index->parameters_to_parameters(m));
  } else if (is_periodic) {
    r = std::make_unique<EnumerationExpression>(renamed(periodic_values, m),
                                                image(periodic_parameter));
  } else if (is_polynomial) {
    r = std::make_unique<EnumerationExpression>(renamed(coefficients, m),
                                                variable->parameters_to_parameters(m).get());
  } else if (is_multivariate) {
    std::map<std::set<int>, std::unique_ptr<Expression>> renamed_monomials;
    for (const auto& [monomial, c] : monomials) {
      std::set<int> image_set;
      for (int q : monomial)
        image_set.insert(image(q));
      // A monomial names each parameter once: a square cannot be written.
      if (image_set.size() != monomial.size())
        fail(Stream::Err, cat("EnumerationExpression::parameters_to_parameters: a monomial "
                              "would square a parameter: ", *this));
      // Monomials that meet under the renaming add their coefficients.
      std::unique_ptr<Expression> term = c->parameters_to_parameters(m);
      auto met = renamed_monomials.find(image_set);
      if (met == renamed_monomials.end())
        renamed_monomials[image_set] = std::move(term);
      else
        met->second = node(OP_PLUS, met->second, term);
    }
    r = std::make_unique<EnumerationExpression>(borrowed(renamed_monomials));
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

Fraction exact(const Expression* e, const std::map<int, Value>& counters,
               const std::map<int, Value>& parameters)
{
  auto read = [](const std::map<int, Value>& m, int rank) -> Value {
    auto it = m.find(rank);
    return it == m.end() ? 0 : it->second;
  };
  if (e->is_an_enumeration()) {
    const auto* x = static_cast<const EnumerationExpression*>(e);
    if (x->is_periodic) {
      Value index = read(parameters, x->periodic_parameter);
      if (x->periodic_index) {
        Fraction f = exact(x->periodic_index.get(), counters, parameters);
        if (f.d != 1)
          fail(Stream::Err, cat("EnumerationExpression: periodic index not an integer: ", *x));
        index = f.n;
      }
      int position = residue(index, x->periodic_values.size());
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

Value EnumerationExpression::evaluate_int(const std::map<int, Value>& counters,
                                          const std::map<int, Value>& parameters) const
{
  Fraction value = exact(this, counters, parameters);
  return value.n / value.d;
}

double EnumerationExpression::evaluate_double(const std::map<int, double>& counters,
                                              const std::map<int, double>& parameters) const
{
  if (is_periodic) {
    auto it = parameters.find(periodic_parameter);
    long long value = periodic_index
                          ? std::llround(periodic_index->evaluate_double(counters, parameters))
                          : it == parameters.end() ? 0 : static_cast<long long>(it->second);
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

std::unique_ptr<Expression> EnumerationExpression::evaluate(const std::map<int, Expression*>& counters,
                                                            const std::map<int, Expression*>& parameters) const
{
  if (is_periodic && periodic_index) {
    std::unique_ptr<Expression> index = periodic_index->evaluate(counters, parameters);
    if (index->is_constant())
      return periodic_values[residue(index->val, periodic_values.size())]->evaluate(counters,
                                                                                     parameters);
    std::vector<std::unique_ptr<Expression>> values;
    for (const Expression* e : periodic_values)
      values.push_back(e->evaluate(counters, parameters));
    return std::make_unique<EnumerationExpression>(std::move(values), std::move(index));
  }
  if (is_periodic) {
    auto it = parameters.find(periodic_parameter);
    if (it != parameters.end()) {
      std::unique_ptr<Expression> value = it->second->evaluate();
      if (!value->is_constant())
        fail(Stream::Err, cat("EnumerationExpression: evaluate: periodic value not resolved: ",
                              *this));
      int position = residue(value->val, periodic_values.size());
      return periodic_values[position]->evaluate(counters, parameters);
    }
    std::vector<std::unique_ptr<Expression>> values;
    for (const Expression* e : periodic_values)
      values.push_back(e->evaluate(counters, parameters));
    return std::make_unique<EnumerationExpression>(std::move(values), periodic_parameter);
  }
  if (is_polynomial) {
    std::unique_ptr<Expression> x = variable->evaluate(counters, parameters);
    std::vector<std::unique_ptr<Expression>> c;
    for (const Expression* e : coefficients)
      c.push_back(e->evaluate(counters, parameters));
    if (!is_number(x.get()))
      return std::make_unique<EnumerationExpression>(std::move(c), x.get());
    std::unique_ptr<Expression> sum;
    std::unique_ptr<Expression> power = std::make_unique<Expression>(1);
    for (size_t i = 0; i < c.size(); i++) {
      std::unique_ptr<Expression> term = std::make_unique<Expression>(OP_TIMES, c[i].get(), power.get());
      sum = sum ? node(OP_PLUS, sum, term) : std::move(term);
      power = node(OP_TIMES, power, x->clone());
    }
    return sum ? sum->evaluate() : std::make_unique<Expression>(0);
  }
  if (is_multivariate) {
    std::map<std::set<int>, std::unique_ptr<Expression>> gathered;
    for (const auto& [monomial, coefficient] : monomials) {
      std::unique_ptr<Expression> product = coefficient->clone();
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
        gathered[residual] = std::move(product);
      else
        g->second = node(OP_PLUS, g->second, product);
    }
    std::map<std::set<int>, std::unique_ptr<Expression>> kept;
    for (auto& [monomial, term] : gathered) {
      std::unique_ptr<Expression> value = term->evaluate(counters, parameters);
      if (!value->is_value(0))
        kept[monomial] = std::move(value);
    }
    return std::make_unique<EnumerationExpression>(borrowed(kept));
  }
  std::cerr << "EnumerationExpression::evaluate: not an enumeration" << std::endl;
  return std::make_unique<Expression>(0);
}

void EnumerationExpression::print(std::ostream& os) const
{
  if (is_periodic) {
    os << "[ ";
    for (const Expression* e : periodic_values)
      os << *e << " ";
    if (periodic_index)
      os << "]_(" << *periodic_index << ")";
    else
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
