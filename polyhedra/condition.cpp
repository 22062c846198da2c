#include "polyhedra/condition.h"

#include <iostream>

#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/inequation.h"
#include "polyhedra/polyhedron.h"

namespace {

// An operator node over copies of its operands.
std::unique_ptr<Condition> node(boolean_operator_t op, const std::unique_ptr<Condition>& a, const std::unique_ptr<Condition>& b)
{
  return std::make_unique<Condition>(op, a.get(), b.get());
}

}  // namespace

Condition::Condition(int b) : is_boolean(1), boolean_value(b ? 1 : 0) {}

Condition::Condition(const Inequation* c) : inequation(c->clone().release()) {}

Condition::Condition(boolean_operator_t o, const Condition* a, const Condition* b)
    : is_leaf(0), op(o), left(a->clone().release()), right(b->clone().release())
{
}

Condition::Condition(boolean_operator_t o, const Condition* a, const Inequation* b)
    : is_leaf(0), op(o), left(a->clone().release()), right(new Condition(b))
{
}

void Condition::take(std::unique_ptr<Condition> c)
{
  is_leaf = c->is_leaf;
  is_boolean = c->is_boolean;
  boolean_value = c->boolean_value;
  inequation = c->inequation;
  op = c->op;
  left = c->left;
  right = c->right;
  c->inequation = nullptr;
  c->left = c->right = nullptr;
}

Condition::Condition(const Polyhedron* p)
{
  std::unique_ptr<Condition> acc = std::make_unique<Condition>(1);
  for (const Inequation* c : p->constraints)
    acc = node(BOOL_AND, std::make_unique<Condition>(c), acc);
  take(std::move(acc));
}

template <typename Union>
static std::unique_ptr<Condition> disjunction(const Union& u)
{
  std::unique_ptr<Condition> acc = std::make_unique<Condition>(0);
  for (const Polyhedron* p : u)
    acc = node(BOOL_OR, std::make_unique<Condition>(p), acc);
  return acc;
}

Condition::Condition(const std::vector<Polyhedron*>& u)
{
  take(disjunction(u));
}

Condition::Condition(const std::list<Polyhedron*>& u)
    : Condition(std::vector<Polyhedron*>(u.begin(), u.end()))
{
}

Condition::~Condition()
{
  delete inequation;
  delete left;
  delete right;
}

std::unique_ptr<Condition> Condition::clone() const
{
  std::unique_ptr<Condition> c(new Condition());
  c->is_leaf = is_leaf;
  c->is_boolean = is_boolean;
  c->boolean_value = boolean_value;
  c->inequation = inequation ? inequation->clone().release() : nullptr;
  c->op = op;
  c->left = left ? left->clone().release() : nullptr;
  c->right = right ? right->clone().release() : nullptr;
  return c;
}

bool Condition::operator==(const Condition& o) const
{
  if (is_leaf != o.is_leaf)
    return false;
  if (is_leaf) {
    if (is_boolean || o.is_boolean)
      return is_boolean == o.is_boolean && boolean_value == o.boolean_value;
    return *inequation == *o.inequation;
  }
  return op == o.op && *left == *o.left && *right == *o.right;
}

bool Condition::is_true() const { return is_leaf && is_boolean && boolean_value; }
bool Condition::is_false() const { return is_leaf && is_boolean && !boolean_value; }

std::unique_ptr<Condition> Condition::negate() const
{
  if (is_leaf) {
    if (is_boolean)
      return std::make_unique<Condition>(!boolean_value);
    return std::make_unique<Condition>(inequation->negate().get());
  }
  return node(op == BOOL_AND ? BOOL_OR : BOOL_AND, left->negate(), right->negate());
}

std::unique_ptr<Condition> Condition::one_pass_dnf() const
{
  if (is_leaf)
    return clone();
  if (op == BOOL_OR)
    return node(BOOL_OR, left->one_pass_dnf(), right->one_pass_dnf());
  if (!right->is_leaf && right->op == BOOL_OR)  // a and (b or c)
    return node(BOOL_OR, std::make_unique<Condition>(BOOL_AND, left, right->left),
                std::make_unique<Condition>(BOOL_AND, left, right->right));
  if (!left->is_leaf && left->op == BOOL_OR)  // (b or c) and a
    return node(BOOL_OR, std::make_unique<Condition>(BOOL_AND, left->left, right),
                std::make_unique<Condition>(BOOL_AND, left->right, right));
  return node(BOOL_AND, left->one_pass_dnf(), right->one_pass_dnf());
}

std::unique_ptr<Condition> Condition::dnf() const
{
  std::unique_ptr<Condition> current = clone();
  for (;;) {
    std::unique_ptr<Condition> next = current->one_pass_dnf();
    if (*next == *current)
      return current;
    current = std::move(next);
  }
}

void Condition::collect(std::vector<std::unique_ptr<Polyhedron>>& out) const
{
  if (is_leaf) {
    if (is_boolean) {
      out.push_back(boolean_value ? std::make_unique<Polyhedron>() : empty());
      return;
    }
    // 0 >= 0 stands for no constraint at all.
    bool universal = inequation->pred == PRED_GE && inequation->lhs->is_value(0) &&
                     inequation->rhs->is_value(0);
    out.push_back(universal ? std::make_unique<Polyhedron>()
                            : std::make_unique<Polyhedron>(inequation));
    return;
  }
  if (op == BOOL_OR) {
    left->collect(out);
    right->collect(out);
    return;
  }
  std::vector<std::unique_ptr<Polyhedron>> parts;
  left->collect(parts);
  right->collect(parts);
  std::unique_ptr<Polyhedron> conjunction = std::make_unique<Polyhedron>();
  for (const std::unique_ptr<Polyhedron>& p : parts)
    conjunction->add_constraints(p.get());
  out.push_back(std::move(conjunction));
}

// A polyhedron that holds a constraint false by itself is dropped.
static bool trivially_empty(const Polyhedron* p)
{
  for (const Inequation* c : p->constraints)
    if (c->is_empty())
      return true;
  return false;
}

std::vector<std::unique_ptr<Polyhedron>> Condition::to_polyhedra() const
{
  std::vector<std::unique_ptr<Polyhedron>> collected;
  dnf()->collect(collected);
  std::vector<std::unique_ptr<Polyhedron>> result;
  for (const std::unique_ptr<Polyhedron>& p : collected)
    if (!trivially_empty(p.get()))
      result.push_back(p->clone());
  return result;
}

std::unique_ptr<Condition> Condition::one_pass_simplify() const
{
  if (is_leaf) {
    if (!is_boolean && inequation->is_true())
      return std::make_unique<Condition>(1);
    if (!is_boolean && inequation->is_false())
      return std::make_unique<Condition>(0);
    return clone();
  }
  if (op == BOOL_AND) {
    if (left->is_false() || right->is_false())
      return std::make_unique<Condition>(0);
    if (left->is_true())
      return right->simplify();
    if (right->is_true())
      return left->simplify();
  } else if (op == BOOL_OR) {
    if (left->is_true() || right->is_true())
      return std::make_unique<Condition>(1);
    if (left->is_false())
      return right->simplify();
    if (right->is_false())
      return left->simplify();
  } else {
    std::cout << "WARNING: Condition::simplify: unhandled operator" << std::endl;
    return clone();
  }
  return node(op, left->one_pass_simplify(), right->one_pass_simplify());
}

std::unique_ptr<Condition> Condition::simplify() const
{
  std::unique_ptr<Condition> current = clone();
  for (;;) {
    std::unique_ptr<Condition> next = current->one_pass_simplify();
    if (*next == *current)
      return current;
    current = std::move(next);
  }
}

void Condition::print() const { std::cout << *this; }

std::ostream& operator<<(std::ostream& os, const Condition& c)
{
  if (c.is_leaf) {
    if (c.is_boolean)
      return os << (c.boolean_value ? "true" : "false");
    return os << *c.inequation;
  }
  if (c.op != BOOL_AND && c.op != BOOL_OR)
    fail(Stream::Out, "Condition::print: unhandled operator");
  return os << "(" << *c.left << (c.op == BOOL_AND ? ") and (" : ") or (") << *c.right << ")";
}

std::vector<std::unique_ptr<Polyhedron>> Polyhedron::negate(const std::vector<Polyhedron*>& u)
{
  Condition c(u);
  return c.negate()->to_polyhedra();
}

std::vector<std::unique_ptr<Polyhedron>> Polyhedron::negate() const
{
  Condition c(this);
  return c.negate()->to_polyhedra();
}
