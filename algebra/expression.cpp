#include "algebra/expression.h"

#include <cmath>
#include <iostream>
#include <sstream>

#include "algebra/analysis_context.h"
#include "support/failure.h"
#include "algebra/rank.h"


namespace {

const char* const kNonAffine = "Expression::to_vector: Non affine expression";
const char* const kNonAffineNewparm = "Expression::to_vector: Non affine expression (newparm?)";

// An inner node that adopts its two operands.
std::unique_ptr<Expression> node(operator_t op, std::unique_ptr<Expression> left, std::unique_ptr<Expression> right)
{
  auto e = std::make_unique<Expression>();
  e->is_leaf = 0;
  e->is_val = 0;
  e->op = op;
  e->fg = left.release();
  e->fd = right.release();
  return e;
}

std::unique_ptr<Expression> constant(Value k) { return std::make_unique<Expression>(k); }

std::unique_ptr<Expression> counter_leaf(int rank)
{
  auto e = std::make_unique<Expression>();
  e->is_val = 0;
  e->is_counter = 1;
  e->counter_rank = rank;
  return e;
}

std::unique_ptr<Expression> parameter_leaf(int rank)
{
  auto e = std::make_unique<Expression>();
  e->is_val = 0;
  e->is_parameter = 1;
  e->parameter_rank = rank;
  return e;
}

// Floor and ceiling of an exact integer quotient (d != 0; the quotient of
// the smallest value by -1 is the one that does not fit).
Value floor_div(Value n, Value d, const char* where)
{
  if (d == -1)
    return checked_neg(n, where);
  Value q = n / d;
  if ((n % d != 0) && ((n < 0) != (d < 0)))
    q--;
  return q;
}

Value ceil_div(Value n, Value d, const char* where)
{
  if (d == -1)
    return checked_neg(n, where);
  Value q = n / d;
  if ((n % d != 0) && ((n < 0) == (d < 0)))
    q++;
  return q;
}

bool needs_parentheses(const Expression* operand)
{
  return !(operand->is_leaf && !operand->is_a_polynomial() &&
           !operand->is_a_multivariate_polynomial());
}

const char* infix_sign(operator_t op)
{
  switch (op) {
    case OP_PLUS: return "+";
    case OP_MINUS: return "-";
    case OP_TIMES: return "*";
    case OP_DIV: return "/";
    case OP_POWER: return "^";
    case OP_MOD: return "%";
    default: return "?";
  }
}

void print_leaf(std::ostream& os, const Expression* e)
{
  if (e->is_val)
    os << e->val;
  else if (e->is_counter) {
    if (analysis_context().parenthesise_counters)
      os << "(" << get_counter_string(e->counter_rank) << ")";
    else
      os << get_counter_string(e->counter_rank);
  } else if (e->is_parameter)
    os << get_parameter_string(e->parameter_rank);
  else
    e->print(os);  // an enumeration leaf prints itself
}

// C text of a tree; in floating-point mode constants get ".0" and OP_DIV is
// the real division.
void print_c(std::ostream& os, const Expression* e, bool as_double)
{
  if (e->is_leaf) {
    print_leaf(os, e);
    if (as_double && e->is_val)
      os << ".0";
    return;
  }
  switch (e->op) {
    case OP_MAX:
    case OP_FLOOR:
    case OP_CEIL:
      os << (e->op == OP_MAX ? "max(" : e->op == OP_FLOOR ? "floord(" : "ceild(");
      print_c(os, e->fg, as_double);
      os << ",";
      print_c(os, e->fd, as_double);
      os << ")";
      return;
    case OP_DIV:
      if (!as_double) {
        os << "div(";
        print_c(os, e->fg, as_double);
        os << ",";
        print_c(os, e->fd, as_double);
        os << ")";
        return;
      }
      break;
    default:
      break;
  }
  bool wrap_left = needs_parentheses(e->fg);
  // "a--1" would read as a decrement in C: a negative constant after a minus
  // sign is parenthesised.
  bool wrap_right = needs_parentheses(e->fd) ||
                    (e->op == OP_MINUS && e->fd->is_val && e->fd->is_leaf && e->fd->val < 0);
  if (wrap_left) os << "(";
  print_c(os, e->fg, as_double);
  if (wrap_left) os << ")";
  os << infix_sign(e->op);
  if (wrap_right) os << "(";
  print_c(os, e->fd, as_double);
  if (wrap_right) os << ")";
}

template <typename LeafMap>
std::unique_ptr<Expression> map_leaves(const Expression* e, const LeafMap& leaf_map)
{
  if (e->is_leaf) {
    std::unique_ptr<Expression> r = leaf_map(e);
    return r ? std::move(r) : e->clone();
  }
  return node(e->op, map_leaves(e->fg, leaf_map), map_leaves(e->fd, leaf_map));
}

void collect_ranks(const Expression* e, bool counters, std::set<int>& out)
{
  if (e->is_leaf) {
    if (counters && e->is_counter)
      out.insert(e->counter_rank);
    if (!counters && e->is_parameter)
      out.insert(e->parameter_rank);
    return;
  }
  collect_ranks(e->fg, counters, out);
  collect_ranks(e->fd, counters, out);
}

bool any_node(const Expression* e, bool (*pred)(const Expression*))
{
  if (pred(e))
    return true;
  if (e->is_leaf)
    return false;
  return any_node(e->fg, pred) || any_node(e->fd, pred);
}

// Reads a constant or a constant fraction as a rational number.
bool as_rational(const Expression* e, Value& n, Value& d)
{
  if (e->is_constant()) {
    n = e->val;
    d = 1;
    return true;
  }
  if (e->is_constant_fraction()) {
    n = e->fg->val;
    d = e->fd->val;
    return true;
  }
  return false;
}

bool is_one(const Expression* e)
{
  return e->is_value(1) || (e->is_constant_fraction() && e->fg->val == e->fd->val);
}

bool is_zero(const Expression* e) { return e->is_value(0); }

}  // namespace

// ---------------------------------------------------------------------------
// Construction

// A node in one block of 64 bytes on 64-bit systems (see the fields).
static_assert(sizeof(void*) != 8 || sizeof(Expression) <= 64, "an expression node outgrew 64 bytes");

Expression::Expression() = default;

Expression::Expression(Value value) : val(value) {}

Expression::Expression(Value n, Value d) : op(OP_DIV), is_leaf(false), is_val(false)
{
  fg = constant(n).release();
  fd = constant(d).release();
}

Expression::Expression(const std::string& name) : is_val(0)
{
  if (is_a_counter(name)) {
    is_counter = 1;
    counter_rank = get_counter_rank(name);
  } else {
    create_parameter_rank(name);
    is_parameter = 1;
    parameter_rank = get_parameter_rank(name);
  }
}

Expression::Expression(operator_t o, const Expression* a, const Expression* b)
    : fg(a->clone().release()), fd(b->clone().release()), op(o), is_leaf(false), is_val(false)
{
}

Expression::Expression(const std::vector<Value>& v)
{
  int nc = get_nb_counters();
  int np = get_nb_parameters();
  int n = nc + np;
  int size = static_cast<int>(v.size());
  if (size != n + 2 && size != n + 1)
    fail(Stream::Out, cat("Expression(polylib_vector): bad vector size", n + 1, "\n", size));
  int skip = size - (n + 1);
  std::vector<std::pair<int, Value>> terms;
  for (int j = skip; j < size; j++)
    if (v[j] != 0)
      terms.push_back({j - skip, v[j]});
  set_terms(std::move(terms));
}

// The sum of the terms (registry column, coefficient), the constant in the
// column after the parameters, by increasing column, without zero: built
// directly in the form simplify() gives such a sum, the constant (when not
// zero) first, then the counters, then the parameters, each term c*x or x.
void Expression::set_terms(std::vector<std::pair<int, Value>> terms)
{
  int nc = get_nb_counters();
  int np = get_nb_parameters();
  std::unique_ptr<Expression> tree;
  auto add = [&](std::unique_ptr<Expression> term) {
    tree = tree ? node(OP_PLUS, std::move(tree), std::move(term)) : std::move(term);
  };
  if (!terms.empty() && terms.back().first == nc + np)
    add(constant(terms.back().second));
  for (const auto& [column, value] : terms) {
    if (column >= nc + np)
      continue;
    std::unique_ptr<Expression> leaf = column < nc ? counter_leaf(column) : parameter_leaf(column - nc);
    add(value == 1 ? std::move(leaf) : node(OP_TIMES, constant(value), std::move(leaf)));
  }
  shallow_copy(tree ? tree.get() : constant(0).get());
  cached_terms = std::make_unique<Terms>(Terms{std::move(terms), nc, np});
}

// The terms of a compact vector (listed counters, listed parameters,
// constant); a rank listed twice takes its last coefficient.
static std::vector<std::pair<int, Value>> spread(const std::vector<Value>& coefs,
                                                 const std::vector<int>& counters,
                                                 const std::vector<int>& parameters)
{
  int nc = get_nb_counters();
  int np = get_nb_parameters();
  if (coefs.size() != counters.size() + parameters.size() + 1)
    fail(Stream::Out, cat("Expression(compact vector): bad vector size ", coefs.size(),
                          " for ", counters.size(), " counter(s) and ", parameters.size(),
                          " parameter(s)"));
  std::map<int, Value> full;
  for (size_t i = 0; i < counters.size(); i++) {
    if (counters[i] < 0 || counters[i] >= nc)
      fail(Stream::Out, cat("Expression(compact vector): counter rank out of range: ", counters[i]));
    full[counters[i]] = coefs[i];
  }
  for (size_t j = 0; j < parameters.size(); j++) {
    if (parameters[j] < 0 || parameters[j] >= np)
      fail(Stream::Out,
           cat("Expression(compact vector): parameter rank out of range: ", parameters[j]));
    full[nc + parameters[j]] = coefs[counters.size() + j];
  }
  full[nc + np] = coefs.back();
  std::vector<std::pair<int, Value>> terms;
  for (const auto& [column, value] : full)
    if (value != 0)
      terms.push_back({column, value});
  return terms;
}

Expression::Expression(const std::vector<Value>& coefs, const std::vector<int>& counter_ranks,
                       const std::vector<int>& parameter_ranks)
{
  set_terms(spread(coefs, counter_ranks, parameter_ranks));
}

Expression::Expression(const std::vector<Value>& coefs, const std::set<int>& counters,
                       const std::set<int>& parameters)
{
  set_terms(spread(coefs, std::vector<int>(counters.begin(), counters.end()),
                   std::vector<int>(parameters.begin(), parameters.end())));
}

// A copy of cached coefficients; null for none.
static std::unique_ptr<Expression::Terms> copy_of(const std::unique_ptr<Expression::Terms>& terms)
{
  return terms ? std::make_unique<Expression::Terms>(*terms) : nullptr;
}

Expression::Expression(const Expression& o)
    : val(o.val),
      fg(o.fg ? o.fg->clone().release() : nullptr),
      fd(o.fd ? o.fd->clone().release() : nullptr),
      cached_terms(copy_of(o.cached_terms)),
      counter_rank(o.counter_rank),
      parameter_rank(o.parameter_rank),
      op(o.op),
      is_leaf(o.is_leaf),
      is_val(o.is_val),
      is_counter(o.is_counter),
      is_parameter(o.is_parameter)
{
}

Expression& Expression::operator=(const Expression& o)
{
  if (this == &o)
    return *this;
  Expression copy(o);
  delete fg;
  delete fd;
  fg = nullptr;
  fd = nullptr;
  shallow_copy(&copy);
  return *this;
}

Expression::~Expression()
{
  delete fg;
  delete fd;
}

void Expression::shallow_copy(Expression* e)
{
  is_leaf = e->is_leaf;
  is_val = e->is_val;
  val = e->val;
  is_counter = e->is_counter;
  counter_rank = e->counter_rank;
  is_parameter = e->is_parameter;
  parameter_rank = e->parameter_rank;
  op = e->op;
  fg = e->fg;
  fd = e->fd;
  cached_terms = copy_of(e->cached_terms);
  e->fg = nullptr;
  e->fd = nullptr;
}

std::unique_ptr<Expression> Expression::from_counter_rank(int rank) { return counter_leaf(rank); }
std::unique_ptr<Expression> Expression::from_parameter_rank(int rank) { return parameter_leaf(rank); }

std::unique_ptr<Expression> Expression::rebuild(
    std::unique_ptr<Expression> left, std::unique_ptr<Expression> right) const
{
  return node(op, std::move(left), std::move(right));
}

// ---------------------------------------------------------------------------
// Virtual slots

std::string Expression::get_class() const { return "Expression"; }

bool Expression::operator==(const Expression& o) const
{
  if (is_leaf != o.is_leaf)
    return false;
  if (is_leaf) {
    if (is_val && o.is_val)
      return val == o.val;
    if (is_counter && o.is_counter)
      return counter_rank == o.counter_rank;
    if (is_parameter && o.is_parameter)
      return parameter_rank == o.parameter_rank;
    return false;
  }
  return op == o.op && *fg == *o.fg && *fd == *o.fd;
}

bool Expression::is_an_enumeration() const { return false; }
bool Expression::is_a_polynomial() const { return false; }
bool Expression::is_a_multivariate_polynomial() const { return false; }
bool Expression::is_a_periodic_number() const { return false; }

std::unique_ptr<Expression> Expression::clone() const { return std::make_unique<Expression>(*this); }

std::unique_ptr<Expression> Expression::parameters_to_parameters(const std::map<int, int>& m) const
{
  if (is_leaf) {
    if (is_parameter) {
      auto it = m.find(parameter_rank);
      if (it != m.end())
        return parameter_leaf(it->second);
    }
    return clone();
  }
  return node(op, fg->parameters_to_parameters(m), fd->parameters_to_parameters(m));
}

std::vector<Expression*> Expression::get_divs()
{
  std::vector<Expression*> result;
  if (is_leaf)
    return result;
  result = fg->get_divs();
  std::vector<Expression*> right = fd->get_divs();
  result.insert(result.end(), right.begin(), right.end());
  if (op == OP_DIV)
    result.push_back(this);
  return result;
}

std::unique_ptr<Expression> Expression::develop() const
{
  if (is_leaf)
    return clone();
  Value n, d;
  if (as_rational(fg, n, d) && as_rational(fd, n, d))
    return evaluate();
  if (op == OP_TIMES) {
    if (fg->is_constant() && fd->is_an_enumeration()) {
      return fd->scale(fg->val)->develop();
    }
    if (fd->is_constant() && fg->is_an_enumeration()) {
      return fg->scale(fd->val)->develop();
    }
    if (fg->is_leaf && fd->is_op(OP_PLUS)) {
      Expression ab(OP_TIMES, fg, fd->fg);
      Expression ac(OP_TIMES, fg, fd->fd);
      return node(OP_PLUS, ab.develop(), ac.develop());
    }
    if (fg->is_op(OP_PLUS)) {
      Expression ac(OP_TIMES, fg->fg, fd);
      Expression bc(OP_TIMES, fg->fd, fd);
      return node(OP_PLUS, ac.develop(), bc.develop());
    }
  }
  return clone();
}

std::unique_ptr<Expression> Expression::scale(Value k) const { return node(OP_TIMES, constant(k), clone()); }

std::unique_ptr<Expression> Expression::scale(const std::set<int>&) const
{
  fail(Stream::Err, "Expression::scale: expect an EnumerationExpression");
}

std::pair<std::map<int, std::vector<int>>, std::unique_ptr<Expression>> Expression::expand(
    const std::map<int, int>& m) const
{
  if (is_leaf)
    return {std::map<int, std::vector<int>>(), clone()};
  auto left = fg->expand(m);
  auto right = fd->expand(m);
  std::map<int, std::vector<int>> merged = left.first;
  for (const auto& [k, v] : right.first)
    merged[k] = v;
  return {merged, node(op, std::move(left.second), std::move(right.second))};
}

Value Expression::evaluate_int(const std::map<int, Value>& counters,
                               const std::map<int, Value>& parameters) const
{
  if (is_leaf) {
    if (is_val)
      return val;
    if (is_counter) {
      auto it = counters.find(counter_rank);
      return it == counters.end() ? 0 : it->second;
    }
    if (is_parameter) {
      auto it = parameters.find(parameter_rank);
      return it == parameters.end() ? 0 : it->second;
    }
  }
  if (is_leaf)
    fail(Stream::Err, cat("Expression::evaluate_int: unknown operator: ", *this));
  Value a = fg->evaluate_int(counters, parameters);
  Value b = fd->evaluate_int(counters, parameters);
  const char* where = "Expression::evaluate_int";
  switch (op) {
    case OP_PLUS: return checked_add(a, b, where);
    case OP_MINUS: return checked_sub(a, b, where);
    case OP_TIMES: return checked_mul(a, b, where);
    case OP_DIV:
    case OP_MOD:
    case OP_FLOOR:
    case OP_CEIL:
      if (b == 0)
        fail(Stream::Err, cat("Expression::evaluate_int: division by zero: ", *this));
      if (op == OP_DIV) return b == -1 ? checked_neg(a, where) : a / b;
      if (op == OP_MOD) return b == -1 ? 0 : a % b;
      if (op == OP_FLOOR) return floor_div(a, b, where);
      return ceil_div(a, b, where);
    case OP_POWER: {
      if (b < 0) {  // 1 / a^-b, truncated toward zero
        if (a == 0)
          value_overflow(where);
        if (a == 1 || a == -1)
          return b % 2 == 0 ? 1 : a;
        return 0;
      }
      if (a == 0 || a == 1)
        return b == 0 ? 1 : a;
      if (a == -1)
        return b % 2 == 0 ? 1 : -1;
      Value p = 1;  // |a| >= 2: at most 63 products before an overflow
      for (Value i = 0; i < b; i++)
        p = checked_mul(p, a, where);
      return p;
    }
    case OP_MAX: return a > b ? a : b;
  }
  fail(Stream::Err, cat("Expression::evaluate_int: unknown operator: ", *this));
}

Value Expression::evaluate_int(const std::map<int, Value>& parameters) const
{
  return evaluate_int(std::map<int, Value>(), parameters);
}

double Expression::evaluate_double(const std::map<int, double>& counters,
                                   const std::map<int, double>& parameters) const
{
  if (is_leaf) {
    if (is_val)
      return val;
    if (is_counter) {
      auto it = counters.find(counter_rank);
      return it == counters.end() ? 0 : it->second;
    }
    if (is_parameter) {
      auto it = parameters.find(parameter_rank);
      return it == parameters.end() ? 0 : it->second;
    }
    fail(Stream::Err, cat("Expression::evaluate_double: unknown/forbidden operator: ", *this));
  }
  switch (op) {
    case OP_PLUS:
    case OP_MINUS:
    case OP_TIMES:
    case OP_DIV:
    case OP_POWER: {
      double a = fg->evaluate_double(counters, parameters);
      double b = fd->evaluate_double(counters, parameters);
      if (op == OP_PLUS) return a + b;
      if (op == OP_MINUS) return a - b;
      if (op == OP_TIMES) return a * b;
      if (op == OP_DIV) return a / b;
      return std::pow(a, b);
    }
    default:
      fail(Stream::Err, cat("Expression::evaluate_double: unknown/forbidden operator: ", *this));
  }
}

double Expression::evaluate_double(const std::map<int, double>& parameters) const
{
  return evaluate_double(std::map<int, double>(), parameters);
}

std::unique_ptr<Expression> Expression::evaluate(const std::map<int, Expression*>& counters,
                                                 const std::map<int, Expression*>& parameters) const
{
  if (is_leaf) {
    if (is_counter) {
      auto it = counters.find(counter_rank);
      if (it != counters.end())
        return it->second->clone();
    }
    if (is_parameter) {
      auto it = parameters.find(parameter_rank);
      if (it != parameters.end())
        return it->second->clone();
    }
    return clone();
  }
  std::unique_ptr<Expression> left = fg->evaluate(counters, parameters);
  std::unique_ptr<Expression> right = fd->evaluate(counters, parameters);
  Value a, b, c, d;
  if (as_rational(left.get(), a, b) && as_rational(right.get(), c, d)) {
    const char* where = "Expression::evaluate";
    Value n = 0, m = 1;
    bool ok = b != 0 && d != 0;
    switch (op) {
      case OP_PLUS:
        n = checked_add(checked_mul(c, b, where), checked_mul(a, d, where), where);
        m = checked_mul(b, d, where);
        break;
      case OP_MINUS:
        n = checked_sub(checked_mul(a, d, where), checked_mul(c, b, where), where);
        m = checked_mul(b, d, where);
        break;
      case OP_TIMES: n = checked_mul(a, c, where); m = checked_mul(b, d, where); break;
      case OP_DIV: n = checked_mul(a, d, where); m = checked_mul(c, b, where); break;
      default: ok = false; break;
    }
    if (!ok || m == 0) {
      std::ostringstream text;
      text << "Expression::evaluate: unhandled operator: " << *this;
      fail(Stream::Err, text.str());
    }
    Value num = n;
    Value den = m;
    if (num == 0)
      return constant(0);
    simplify_fraction(num, den);
    if (den < 0) {  // keep the sign on the numerator
      num = checked_neg(num, where);
      den = checked_neg(den, where);
    }
    if (den == 1)
      return constant(num);
    return std::make_unique<Expression>(num, den);
  }
  if ((op == OP_PLUS && is_zero(left.get())) || (op == OP_TIMES && is_one(left.get())))
    return right;
  if ((op == OP_PLUS && is_zero(right.get())) || (op == OP_TIMES && is_one(right.get())))
    return left;
  return node(op, std::move(left), std::move(right));
}

std::unique_ptr<Expression> Expression::evaluate(const std::map<int, Expression*>& parameters) const
{
  return evaluate(std::map<int, Expression*>(), parameters);
}

std::unique_ptr<Expression> Expression::evaluate() const
{
  return evaluate(std::map<int, Expression*>(), std::map<int, Expression*>());
}

void Expression::print(std::ostream& os) const
{
  if (is_leaf) {
    print_leaf(os, this);
    return;
  }
  switch (op) {
    case OP_MAX: os << "max(" << *fg << "," << *fd << ")"; return;
    case OP_FLOOR: os << "floord(" << *fg << "," << *fd << ")"; return;
    case OP_CEIL: os << "ceild(" << *fg << "," << *fd << ")"; return;
    default: break;
  }
  if (needs_parentheses(fg))
    os << "(" << *fg << ")";
  else
    os << *fg;
  os << infix_sign(op);
  if (needs_parentheses(fd))
    os << "(" << *fd << ")";
  else
    os << *fd;
}

void Expression::print_vhdl(std::ostream&, std::ostream&) const
{
  fail(Stream::Err, "Expression::print_vhdl: not an EnumerationExpression");
}

void Expression::compile(std::ostream& os, const std::string& var, const std::string& prefix) const
{
  variable_type_t type = get_variable_type(var);
  if (type != TYPE_INT && type != TYPE_LONG_LONG && type != TYPE_DOUBLE)
    fail(Stream::Err, "Expression::compile: expect 'int', 'long long' or 'double' output type");
  os << prefix << var << " = ";
  print_c(os, this, type == TYPE_DOUBLE);
  os << ";\n";
}

// ---------------------------------------------------------------------------
// Arithmetic builders

std::unique_ptr<Expression> Expression::operator+(const Expression& e) const { return std::make_unique<Expression>(OP_PLUS, this, &e); }
std::unique_ptr<Expression> Expression::operator-(const Expression& e) const { return std::make_unique<Expression>(OP_MINUS, this, &e); }
std::unique_ptr<Expression> Expression::operator*(const Expression& e) const { return std::make_unique<Expression>(OP_TIMES, this, &e); }
std::unique_ptr<Expression> Expression::operator/(const Expression& e) const { return std::make_unique<Expression>(OP_DIV, this, &e); }
std::unique_ptr<Expression> Expression::operator%(const Expression& e) const { return std::make_unique<Expression>(OP_MOD, this, &e); }
std::unique_ptr<Expression> Expression::operator+(Value k) const { return node(OP_PLUS, clone(), constant(k)); }
std::unique_ptr<Expression> Expression::operator-(Value k) const { return node(OP_MINUS, clone(), constant(k)); }
std::unique_ptr<Expression> Expression::operator*(Value k) const { return node(OP_TIMES, clone(), constant(k)); }
std::unique_ptr<Expression> Expression::operator/(Value k) const { return node(OP_DIV, clone(), constant(k)); }
std::unique_ptr<Expression> Expression::operator%(Value k) const { return node(OP_MOD, clone(), constant(k)); }
std::unique_ptr<Expression> operator+(Value k, const Expression& e) { return node(OP_PLUS, constant(k), e.clone()); }
std::unique_ptr<Expression> operator-(Value k, const Expression& e) { return node(OP_MINUS, constant(k), e.clone()); }
std::unique_ptr<Expression> operator*(Value k, const Expression& e) { return node(OP_TIMES, constant(k), e.clone()); }
std::unique_ptr<Expression> operator/(Value k, const Expression& e) { return node(OP_DIV, constant(k), e.clone()); }
std::unique_ptr<Expression> operator%(Value k, const Expression& e) { return node(OP_MOD, constant(k), e.clone()); }

// ---------------------------------------------------------------------------
// Predicates

bool Expression::is_constant() const { return is_leaf && is_val; }
bool Expression::is_value(Value k) const { return is_constant() && val == k; }
bool Expression::is_positive_constant() const { return is_constant() && val >= 0; }
bool Expression::is_constant_fraction() const
{
  return is_op(OP_DIV) && fg->is_constant() && fd->is_constant();
}
bool Expression::is_a_parameter() const { return is_leaf && is_parameter; }
bool Expression::is__counter(int rank) const { return is_leaf && is_counter && counter_rank == rank; }
bool Expression::is__parameter(int rank) const
{
  return is_leaf && is_parameter && parameter_rank == rank;
}
bool Expression::is_op(operator_t o) const { return !is_leaf && op == o; }
bool Expression::is_neg() const { return is_op(OP_TIMES) && fg->is_value(-1); }
bool Expression::is_floor() const { return is_op(OP_FLOOR); }
bool Expression::is_ceil() const { return is_op(OP_CEIL); }
bool Expression::has_parameters() const { return !get_parameters().empty(); }
bool Expression::has_variables() const { return !get_counters().empty(); }
bool Expression::has_div() const
{
  return any_node(this, [](const Expression* e) { return e->is_op(OP_DIV); });
}
bool Expression::has_ceil_or_floor() const
{
  return any_node(this, [](const Expression* e) { return e->is_floor() || e->is_ceil(); });
}
bool Expression::has_internal_ceil_or_floor() const
{
  return !is_leaf && (fg->has_ceil_or_floor() || fd->has_ceil_or_floor());
}
int Expression::depth() const
{
  if (is_leaf)
    return 0;
  int l = fg->depth(), r = fd->depth();
  return 1 + (l > r ? l : r);
}
bool Expression::is_positive()
{
  for (Value x : to_vector())
    if (x < 0)
      return false;
  return true;
}
int Expression::nb_power_2() const
{
  if (is_leaf) {
    if (!is_val)
      return 0;
    for (Value p = 1; p <= 512; p *= 2)
      if (val == p)
        return 1;
    return 0;
  }
  return fg->nb_power_2() + fd->nb_power_2();
}

// ---------------------------------------------------------------------------
// Transformations

std::unique_ptr<Expression> Expression::one_pass_simplify() const
{
  if (is_leaf)
    return clone();
  if (op == OP_PLUS && fg->is_value(0)) return fd->one_pass_simplify();
  if (op == OP_PLUS && fd->is_value(0)) return fg->one_pass_simplify();
  if (op == OP_TIMES && fg->is_value(1)) return fd->one_pass_simplify();
  if (op == OP_TIMES && fd->is_value(1)) return fg->one_pass_simplify();
  if (op == OP_TIMES && (fg->is_value(0) || fd->is_value(0))) return constant(0);
  if (op == OP_DIV && fg->is_value(0)) return constant(0);
  if (op == OP_DIV && fd->is_value(1)) return fg->one_pass_simplify();
  return node(op, fg->one_pass_simplify(), fd->one_pass_simplify());
}

std::unique_ptr<Expression> Expression::simplify() const
{
  std::unique_ptr<Expression> current = clone();
  for (;;) {
    std::unique_ptr<Expression> next = current->one_pass_simplify();
    bool fixed = *next == *current;
    current = std::move(next);
    if (fixed)
      break;
  }
  current->cached_terms = copy_of(cached_terms);
  return current;
}

namespace {

// Calls add(column, factor, coefficient) for the terms of e (columns of
// to_vector(): counters by rank, parameters, the constant last), in one walk
// over the tree: no vector per node. A column may come more than once.
template <typename Add>
void walk_terms(const Expression* e, Value factor, int nc, int np, Add& add)
{
  const char* where = "Expression::to_vector";
  const Expression::Terms* cached = e->cached_terms.get();
  if (cached && cached->nb_counters == nc && cached->nb_parameters == np) {
    for (const auto& [column, value] : cached->entries)
      add(static_cast<size_t>(column), factor, value);
    return;
  }
  if (e->is_leaf) {
    if (e->is_val) {
      add(static_cast<size_t>(nc + np), factor, e->val);
    } else if (e->is_counter) {
      if (e->counter_rank < 0 || e->counter_rank >= nc)
        fail(Stream::Err, cat("Expression::to_vector: counter rank out of range: ", e->counter_rank));
      add(static_cast<size_t>(e->counter_rank), factor, 1);
    } else if (e->is_parameter) {
      if (e->parameter_rank < 0 || e->parameter_rank >= np)
        fail(Stream::Err,
             cat("Expression::to_vector: parameter rank out of range: ", e->parameter_rank));
      add(static_cast<size_t>(nc + e->parameter_rank), factor, 1);
    } else {
      throw Unrepresentable(kNonAffineNewparm);
    }
    return;
  }
  switch (e->op) {
    case OP_PLUS:
    case OP_MINUS:
      walk_terms(e->fg, factor, nc, np, add);
      walk_terms(e->fd, e->op == OP_PLUS ? factor : checked_neg(factor, where), nc, np, add);
      return;
    case OP_TIMES: {
      const Expression* constant =
          e->fg->is_constant() ? e->fg : e->fd->is_constant() ? e->fd : nullptr;
      if (!constant)
        throw Unrepresentable(kNonAffine);
      Value scaled = checked_mul(factor, constant->val, where);
      walk_terms(constant == e->fg ? e->fd : e->fg, scaled, nc, np, add);
      return;
    }
    default:
      throw Unrepresentable(kNonAffineNewparm);
  }
}

}  // namespace

std::vector<Value> Expression::to_vector()
{
  std::vector<Value> r(get_nb_counters() + get_nb_parameters() + 1, 0);
  for (const auto& [column, value] : terms())
    r[column] = value;
  return r;
}

const std::vector<std::pair<int, Value>>& Expression::terms()
{
  int nc = get_nb_counters();
  int np = get_nb_parameters();
  if (cached_terms && cached_terms->nb_counters == nc && cached_terms->nb_parameters == np)
    return cached_terms->entries;
  std::map<int, Value> sum;
  auto add = [&sum](size_t column, Value factor, Value coefficient) {
    Value& v = sum[static_cast<int>(column)];
    v = checked_mul_add(v, factor, coefficient, "Expression::to_vector");
  };
  walk_terms(this, 1, nc, np, add);
  auto terms = std::make_unique<Terms>(Terms{{}, nc, np});
  for (const auto& [column, value] : sum)
    if (value != 0)
      terms->entries.push_back({column, value});
  cached_terms = std::move(terms);
  return cached_terms->entries;
}

std::vector<Value> Expression::to_vector(const std::set<int>& counters,
                                         const std::set<int>& parameters)
{
  std::vector<Value> full = to_vector();
  int nc = get_nb_counters();
  std::vector<Value> r;
  for (int c : counters)
    r.push_back(full.at(c));
  for (int p : parameters)
    r.push_back(full.at(nc + p));
  r.push_back(full.back());
  return r;
}

std::unique_ptr<Expression> Expression::parameters_to_counters(const std::map<int, int>& m) const
{
  return map_leaves(this, [&](const Expression* e) -> std::unique_ptr<Expression> {
    if (!e->is_parameter) return nullptr;
    auto it = m.find(e->parameter_rank);
    return it == m.end() ? nullptr : counter_leaf(it->second);
  });
}

std::unique_ptr<Expression> Expression::counters_to_parameters(const std::map<int, int>& m) const
{
  return map_leaves(this, [&](const Expression* e) -> std::unique_ptr<Expression> {
    if (!e->is_counter) return nullptr;
    auto it = m.find(e->counter_rank);
    return it == m.end() ? nullptr : parameter_leaf(it->second);
  });
}

std::unique_ptr<Expression> Expression::counters_to_counters(const std::map<int, int>& m) const
{
  return map_leaves(this, [&](const Expression* e) -> std::unique_ptr<Expression> {
    if (!e->is_counter) return nullptr;
    auto it = m.find(e->counter_rank);
    return it == m.end() ? nullptr : counter_leaf(it->second);
  });
}

std::unique_ptr<Expression> Expression::substitute_counters(
    const std::map<int, Expression*>& m) const
{
  return map_leaves(this, [&](const Expression* e) -> std::unique_ptr<Expression> {
    if (!e->is_counter) return nullptr;
    auto it = m.find(e->counter_rank);
    return it == m.end() ? nullptr : it->second->clone();
  });
}

std::unique_ptr<Expression> Expression::substitute_parameters(
    const std::map<int, Expression*>& m) const
{
  return map_leaves(this, [&](const Expression* e) -> std::unique_ptr<Expression> {
    if (!e->is_parameter) return nullptr;
    auto it = m.find(e->parameter_rank);
    return it == m.end() ? nullptr : it->second->clone();
  });
}

std::set<int> Expression::get_counters() const
{
  std::set<int> r;
  collect_ranks(this, true, r);
  return r;
}

std::set<int> Expression::get_parameters() const
{
  std::set<int> r;
  collect_ranks(this, false, r);
  return r;
}

std::set<int> Expression::get_counters(const std::vector<Expression*>& v)
{
  std::set<int> r;
  for (const Expression* e : v)
    collect_ranks(e, true, r);
  return r;
}

// ---------------------------------------------------------------------------
// Printing

void Expression::print() const
{
  if (is_leaf) {
    print_leaf(std::cerr, this);
    return;
  }
  auto operand = [](const Expression* e) {
    if (e->is_leaf) {
      e->print();
    } else {
      std::cerr << "(";
      e->print();
      std::cerr << ")";
    }
  };
  switch (op) {
    case OP_MAX:
    case OP_FLOOR:
    case OP_CEIL:
      std::cerr << (op == OP_MAX ? "max(" : op == OP_FLOOR ? "floor(" : "ceil(");
      operand(fg);
      std::cerr << ",";
      operand(fd);
      std::cerr << ")";
      return;
    default:
      operand(fg);
      std::cerr << infix_sign(op);
      operand(fd);
  }
}

void Expression::print_code(std::ostream& os) const { print_c(os, this, false); }

void Expression::print_code_double(std::ostream& os) const { print_c(os, this, true); }

std::ostream& operator<<(std::ostream& os, const Expression& e)
{
  e.print(os);
  return os;
}

std::ostream& operator<<(std::ostream& os, const std::vector<Expression*>& v)
{
  for (const Expression* e : v)
    os << *e << "\n";
  return os;
}

std::set<const Expression*> union_and_check(const std::set<const Expression*>& a,
                                            const std::set<const Expression*>& b)
{
  std::set<const Expression*> r = a;
  for (const Expression* e : b)
    if (!r.insert(e).second)
      fail(Stream::Err, "union_and_check: interference found");
  return r;
}

std::set<const Expression*> Expression::check() const
{
  if (is_leaf)
    return {this};
  std::set<const Expression*> r;
  try {
    r = union_and_check(fg->check(), fd->check());
  } catch (const Failure&) {
    fail(Stream::Err, "Expression::check: interference found");
  }
  r.insert(this);
  return r;
}

// ---------------------------------------------------------------------------
// Free builders and helpers

std::unique_ptr<Expression> v(Value k) { return constant(k); }
std::unique_ptr<Expression> s(const std::string& name) { return std::make_unique<Expression>(name); }
std::unique_ptr<Expression> var(const std::string& name)
{
  declare_variable(name);
  return counter_leaf(get_counter_rank(name));
}
std::unique_ptr<Expression> var(int rank) { return counter_leaf(rank); }
std::unique_ptr<Expression> par(const std::string& name)
{
  declare_parameter(name);
  return parameter_leaf(get_parameter_rank(name));
}

void append_clones(std::vector<Expression*>& owner, const std::vector<Expression*>& v)
{
  owner.reserve(owner.size() + v.size());
  for (const Expression* e : v)
    owner.push_back(e->clone().release());
}

void del(std::vector<Expression*>& v)
{
  for (Expression* e : v)
    delete e;
}

void del(std::map<int, Expression*>& m)
{
  for (auto& [k, e] : m)
    delete e;
  m.clear();
}

void del(std::map<std::set<int>, Expression*>& m)
{
  for (auto& [k, e] : m)
    delete e;
}

Value gcd(Value a, Value b)
{
  if (a < 1 || b < 1)
    fail(Stream::Err, "Expression: gcd: negative operand");
  while (b != 0) {
    Value t = a % b;
    a = b;
    b = t;
  }
  return a;
}

Value lcm(Value a, Value b)
{
  if (a < 1 || b < 1)
    fail(Stream::Err, "lcm: negative numbers");
  return checked_mul(a / gcd(a, b), b, "lcm");
}

void simplify_fraction(Value& n, Value& d)
{
  if (d == 0)
    fail(Stream::Err, "Expression::simplify_fraction: */0");
  if (n == 0)
    return;
  if (n == INT64_MIN || d == INT64_MIN)
    value_overflow("Expression::simplify_fraction");
  if (n < 0 && d < 0) {
    n = -n;
    d = -d;
  }
  Value g = gcd(n < 0 ? -n : n, d < 0 ? -d : d);
  n /= g;
  d /= g;
}
