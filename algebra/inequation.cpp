#include "algebra/inequation.h"

#include <cstdlib>
#include <map>
#include <iostream>
#include <sstream>

#include "algebra/expression.h"
#include "algebra/rank.h"
#include "support/failure.h"

namespace {

const char* text_of(predicate_t p, bool code)
{
  switch (p) {
    case PRED_LT: return "<";
    case PRED_LE: return "<=";
    case PRED_GT: return ">";
    case PRED_GE: return ">=";
    case PRED_EQ: return code ? "==" : "=";
  }
  return "?";
}

// The non-zero entries of a - b - shift over the registry's columns, by
// increasing column.
std::vector<std::pair<int, Value>> difference(Expression* a, Expression* b, Value shift)
{
  const char* where = "Inequation::to_matrix";
  const std::vector<std::pair<int, Value>>& x = a->terms();
  const std::vector<std::pair<int, Value>>& y = b->terms();
  int constant = get_nb_counters() + get_nb_parameters();
  std::vector<std::pair<int, Value>> terms;
  terms.reserve(x.size() + y.size() + 1);
  auto push = [&](int column, Value value) {
    if (column == constant)
      value = checked_sub(value, shift, where);
    if (value != 0)
      terms.push_back({column, value});
  };
  // Both lists come by increasing column, the constant last: one merge.
  size_t i = 0, j = 0;
  while (i < x.size() || j < y.size()) {
    if (j == y.size() || (i < x.size() && x[i].first < y[j].first)) {
      push(x[i].first, x[i].second);
      i++;
    } else if (i == x.size() || y[j].first < x[i].first) {
      push(y[j].first, checked_sub(0, y[j].second, where));
      j++;
    } else {
      push(x[i].first, checked_sub(x[i].second, y[j].second, where));
      i++, j++;
    }
  }
  bool has_constant = (!x.empty() && x.back().first == constant) || (!y.empty() && y.back().first == constant);
  if (!has_constant)
    push(constant, 0);
  return terms;
}

std::vector<Value> dense(const std::vector<std::pair<int, Value>>& terms)
{
  std::vector<Value> r(get_nb_counters() + get_nb_parameters() + 1, 0);
  for (const auto& [column, value] : terms)
    r[column] = value;
  return r;
}

std::unique_ptr<Inequation> with_sides(predicate_t p, std::unique_ptr<Expression> a,
                                       std::unique_ptr<Expression> b)
{
  return std::make_unique<Inequation>(p, std::move(a), std::move(b));
}

}  // namespace

Inequation::Inequation(predicate_t p, const Expression* a, const Expression* b)
    : pred(p), lhs(a->clone().release()), rhs(b->clone().release())
{
}

Inequation::Inequation(predicate_t p, std::unique_ptr<Expression> a, std::unique_ptr<Expression> b)
    : pred(p), lhs(a.release()), rhs(b.release())
{
}

Inequation::Inequation(int b)
    : pred(b ? PRED_EQ : PRED_LT), lhs(new Expression(1)), rhs(new Expression(1))
{
}

Inequation::Inequation(const std::vector<Value>& row)
    : pred(!row.empty() && row[0] == 0 ? PRED_EQ : PRED_GE),
      lhs(new Expression(row)),
      rhs(new Expression(0))
{
}

Inequation::~Inequation()
{
  delete lhs;
  delete rhs;
}

bool Inequation::operator==(const Inequation& o) const
{
  return pred == o.pred && *lhs == *o.lhs && *rhs == *o.rhs;
}

std::unique_ptr<Inequation> Inequation::clone() const { return std::make_unique<Inequation>(pred, lhs, rhs); }
bool Inequation::has_parameters() const { return lhs->has_parameters() || rhs->has_parameters(); }
bool Inequation::has_variables() const { return lhs->has_variables() || rhs->has_variables(); }
bool Inequation::has_div() const { return lhs->has_div() || rhs->has_div(); }

std::set<int> Inequation::get_counters() const
{
  std::set<int> r = lhs->get_counters();
  std::set<int> b = rhs->get_counters();
  r.insert(b.begin(), b.end());
  return r;
}

std::set<int> Inequation::get_parameters() const
{
  std::set<int> r = lhs->get_parameters();
  std::set<int> b = rhs->get_parameters();
  r.insert(b.begin(), b.end());
  return r;
}

std::vector<Expression*> Inequation::get_divs()
{
  std::vector<Expression*> r = lhs->get_divs();
  std::vector<Expression*> b = rhs->get_divs();
  r.insert(r.end(), b.begin(), b.end());
  return r;
}

std::unique_ptr<Inequation> Inequation::parameters_to_counters(const std::map<int, int>& m) const
{
  return with_sides(pred, lhs->parameters_to_counters(m), rhs->parameters_to_counters(m));
}
std::unique_ptr<Inequation> Inequation::counters_to_parameters(const std::map<int, int>& m) const
{
  return with_sides(pred, lhs->counters_to_parameters(m), rhs->counters_to_parameters(m));
}
std::unique_ptr<Inequation> Inequation::counters_to_counters(const std::map<int, int>& m) const
{
  return with_sides(pred, lhs->counters_to_counters(m), rhs->counters_to_counters(m));
}
std::unique_ptr<Inequation> Inequation::parameters_to_parameters(const std::map<int, int>& m) const
{
  return with_sides(pred, lhs->parameters_to_parameters(m), rhs->parameters_to_parameters(m));
}
std::unique_ptr<Inequation> Inequation::substitute_counters(
    const std::map<int, Expression*>& m) const
{
  return with_sides(pred, lhs->substitute_counters(m), rhs->substitute_counters(m));
}
std::unique_ptr<Inequation> Inequation::substitute_parameters(
    const std::map<int, Expression*>& m) const
{
  return with_sides(pred, lhs->substitute_parameters(m), rhs->substitute_parameters(m));
}

std::vector<std::pair<int, Value>> Inequation::to_terms() const
{
  switch (pred) {
    case PRED_LT: return difference(rhs, lhs, 1);
    case PRED_LE: return difference(rhs, lhs, 0);
    case PRED_GT: return difference(lhs, rhs, 1);
    case PRED_GE:
    case PRED_EQ: return difference(lhs, rhs, 0);
  }
  return {};
}

std::vector<std::vector<Value>> Inequation::to_matrix() const
{
  if (pred == PRED_EQ)
    return {dense(difference(lhs, rhs, 0)), dense(difference(rhs, lhs, 0))};
  return {dense(to_terms())};
}

namespace {

// The rows of c's to_matrix() by their non-zero entries: the tests below
// read a few entries instead of rows of the registry's width.
std::vector<std::vector<std::pair<int, Value>>> sparse_rows(const Inequation& c)
{
  if (c.pred == PRED_EQ)
    return {difference(c.lhs, c.rhs, 0), difference(c.rhs, c.lhs, 0)};
  return {c.to_terms()};
}

// Whether the row holds no variable (to_matrix()'s row is trivial), and
// then its constant.
bool constant_row(const std::vector<std::pair<int, Value>>& row, Value& constant)
{
  int column = get_nb_counters() + get_nb_parameters();
  constant = 0;
  for (const auto& [c, value] : row) {
    if (c != column)
      return false;
    constant = value;
  }
  return true;
}

}  // namespace

bool Inequation::is_trivial() const
{
  Value constant;
  for (const auto& row : sparse_rows(*this))
    if (!constant_row(row, constant))
      return false;
  return true;
}

bool Inequation::is_true() const
{
  if (has_div())
    return false;
  Value constant;
  for (const auto& row : sparse_rows(*this))
    if (!constant_row(row, constant) || constant < 0)
      return false;
  return true;
}

bool Inequation::is_false() const
{
  Value constant;
  for (const auto& row : sparse_rows(*this))
    if (constant_row(row, constant) && constant < 0)
      return true;
  return false;
}

bool Inequation::is_empty() const { return !has_div() && is_false(); }

bool Inequation::implies(const Inequation* o) const
{
  if (has_div() || o->has_div())
    return false;
  if ((pred == PRED_EQ) != (o->pred == PRED_EQ))
    return false;
  std::vector<Value> a = to_matrix()[0];
  std::vector<Value> b = o->to_matrix()[0];
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i + 1 < a.size(); i++)
    if (a[i] != b[i])
      return false;
  // An equality pins its form to one value: it implies only the same equality.
  if (pred == PRED_EQ)
    return a.back() == b.back();
  return a.back() <= b.back();
}

bool Inequation::equals(const Inequation* o) const
{
  if (has_div() || o->has_div())
    return false;
  if ((pred == PRED_EQ) != (o->pred == PRED_EQ))
    return false;
  return to_matrix()[0] == o->to_matrix()[0];
}

std::unique_ptr<Inequation> Inequation::negate() const
{
  predicate_t p;
  switch (pred) {
    case PRED_LT: p = PRED_GE; break;
    case PRED_LE: p = PRED_GT; break;
    case PRED_GT: p = PRED_LE; break;
    case PRED_GE: p = PRED_LT; break;
    default: fail(Stream::Out, cat("Inequation::negate: unhandled predicate\n", *this));
  }
  return std::make_unique<Inequation>(p, lhs, rhs);
}

std::vector<std::unique_ptr<Inequation>> Inequation::separate(int k) const
{
  std::vector<Value> w = to_matrix()[0];
  if (k < 0 || k >= static_cast<int>(w.size()) - 1)
    return {};
  Value a = w[k];
  if (a == 0)
    return {};
  w[k] = 0;
  Expression x(0);
  x.is_val = 0;
  x.is_counter = 1;
  x.counter_rank = k;
  if (a > 0)
    for (Value& e : w)
      e = checked_neg(e, "Inequation::separate");
  Value c = a < 0 ? checked_neg(a, "Inequation::separate") : a;
  Expression e(w);
  auto bound = [&](operator_t op) -> std::unique_ptr<Expression> {
    if (c == 1)
      return e.clone();
    Expression divisor(c);
    return std::make_unique<Expression>(op, &e, &divisor);
  };
  std::vector<std::unique_ptr<Inequation>> result;
  if (pred != PRED_EQ) {
    result.push_back(
        std::make_unique<Inequation>(a < 0 ? PRED_LE : PRED_GE, &x, bound(a < 0 ? OP_FLOOR : OP_CEIL).get()));
    return result;
  }
  result.push_back(std::make_unique<Inequation>(PRED_GE, &x, bound(OP_CEIL).get()));
  result.push_back(std::make_unique<Inequation>(PRED_LE, &x, bound(OP_FLOOR).get()));
  return result;
}

void Inequation::print_code(std::ostream& os) const
{
  lhs->print_code(os);
  os << " " << text_of(pred, true) << " ";
  rhs->print_code(os);
}

std::set<const Expression*> Inequation::check() const
{
  try {
    return union_and_check(lhs->check(), rhs->check());
  } catch (const Failure&) {
    fail(Stream::Err, "Inequation::check: interference found");
  }
}

std::ostream& operator<<(std::ostream& os, const Inequation& c)
{
  return os << *c.lhs << " " << text_of(c.pred, false) << " " << *c.rhs;
}

std::unique_ptr<Inequation> operator<(const Expression& a, const Expression& b) { return std::make_unique<Inequation>(PRED_LT, &a, &b); }
std::unique_ptr<Inequation> operator<=(const Expression& a, const Expression& b) { return std::make_unique<Inequation>(PRED_LE, &a, &b); }
std::unique_ptr<Inequation> operator>(const Expression& a, const Expression& b) { return std::make_unique<Inequation>(PRED_GT, &a, &b); }
std::unique_ptr<Inequation> operator>=(const Expression& a, const Expression& b) { return std::make_unique<Inequation>(PRED_GE, &a, &b); }

static std::unique_ptr<Inequation> with_constant(predicate_t p, const Expression& a, Value b)
{
  Expression k(b);
  return std::make_unique<Inequation>(p, &a, &k);
}
static std::unique_ptr<Inequation> with_constant(predicate_t p, Value a, const Expression& b)
{
  Expression k(a);
  return std::make_unique<Inequation>(p, &k, &b);
}

std::unique_ptr<Inequation> operator<(const Expression& a, Value b) { return with_constant(PRED_LT, a, b); }
std::unique_ptr<Inequation> operator<=(const Expression& a, Value b) { return with_constant(PRED_LE, a, b); }
std::unique_ptr<Inequation> operator>(const Expression& a, Value b) { return with_constant(PRED_GT, a, b); }
std::unique_ptr<Inequation> operator>=(const Expression& a, Value b) { return with_constant(PRED_GE, a, b); }
std::unique_ptr<Inequation> operator<(Value a, const Expression& b) { return with_constant(PRED_LT, a, b); }
std::unique_ptr<Inequation> operator<=(Value a, const Expression& b) { return with_constant(PRED_LE, a, b); }
std::unique_ptr<Inequation> operator>(Value a, const Expression& b) { return with_constant(PRED_GT, a, b); }
std::unique_ptr<Inequation> operator>=(Value a, const Expression& b) { return with_constant(PRED_GE, a, b); }
std::unique_ptr<Inequation> operator==(const Expression& a, Value b) { return with_constant(PRED_EQ, a, b); }
std::unique_ptr<Inequation> operator==(Value a, const Expression& b) { return with_constant(PRED_EQ, a, b); }
