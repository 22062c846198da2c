#include "polyhedra/condition.h"

#include <iostream>

#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/inequation.h"
#include "polyhedra/polyhedron.h"

namespace {

// An operator node adopting its operands.
Condition* adopt(boolean_operator_t op, Condition* a, Condition* b)
{
  Condition* c = new Condition(op, a, b);
  delete a;
  delete b;
  return c;
}

}  // namespace

Condition::Condition(int b) : is_boolean(1), boolean_value(b ? 1 : 0) {}

Condition::Condition(const Inequation* c) : inequation(c->clone()) {}

Condition::Condition(boolean_operator_t o, const Condition* a, const Condition* b)
    : is_leaf(0), op(o), left(a->clone()), right(b->clone())
{
}

Condition::Condition(boolean_operator_t o, const Condition* a, const Inequation* b)
    : is_leaf(0), op(o), left(a->clone()), right(new Condition(b))
{
}

void Condition::take(Condition* c)
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
  delete c;
}

Condition::Condition(const Polyhedron* p)
{
  Condition* acc = new Condition(1);
  for (const Inequation* c : p->constraints)
    acc = adopt(BOOL_AND, new Condition(c), acc);
  take(acc);
}

template <typename Union>
static Condition* disjunction(const Union& u)
{
  Condition* acc = new Condition(0);
  for (const Polyhedron* p : u)
    acc = adopt(BOOL_OR, new Condition(p), acc);
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

Condition* Condition::clone() const
{
  Condition* c = new Condition();
  c->is_leaf = is_leaf;
  c->is_boolean = is_boolean;
  c->boolean_value = boolean_value;
  c->inequation = inequation ? inequation->clone() : nullptr;
  c->op = op;
  c->left = left ? left->clone() : nullptr;
  c->right = right ? right->clone() : nullptr;
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

Condition* Condition::negate() const
{
  if (is_leaf) {
    if (is_boolean)
      return new Condition(!boolean_value);
    Inequation* n = inequation->negate();
    Condition* c = new Condition(n);
    delete n;
    return c;
  }
  return adopt(op == BOOL_AND ? BOOL_OR : BOOL_AND, left->negate(), right->negate());
}

Condition* Condition::one_pass_dnf() const
{
  if (is_leaf)
    return clone();
  if (op == BOOL_OR)
    return adopt(BOOL_OR, left->one_pass_dnf(), right->one_pass_dnf());
  if (!right->is_leaf && right->op == BOOL_OR)  // a and (b or c)
    return adopt(BOOL_OR, new Condition(BOOL_AND, left, right->left),
                 new Condition(BOOL_AND, left, right->right));
  if (!left->is_leaf && left->op == BOOL_OR)  // (b or c) and a
    return adopt(BOOL_OR, new Condition(BOOL_AND, left->left, right),
                 new Condition(BOOL_AND, left->right, right));
  return adopt(BOOL_AND, left->one_pass_dnf(), right->one_pass_dnf());
}

Condition* Condition::dnf()
{
  Condition* current = this;
  for (;;) {
    Condition* next = current->one_pass_dnf();
    if (*next == *current) {
      delete next;
      return current;
    }
    delete current;
    current = next;
  }
}

void Condition::collect(std::vector<Polyhedron*>& out) const
{
  if (is_leaf) {
    if (is_boolean) {
      out.push_back(boolean_value ? new Polyhedron() : empty());
      return;
    }
    // 0 >= 0 stands for no constraint at all.
    bool universal = inequation->pred == PRED_GE && inequation->lhs->is_value(0) &&
                     inequation->rhs->is_value(0);
    out.push_back(universal ? new Polyhedron() : new Polyhedron(inequation));
    return;
  }
  if (op == BOOL_OR) {
    left->collect(out);
    right->collect(out);
    return;
  }
  std::vector<Polyhedron*> parts;
  left->collect(parts);
  right->collect(parts);
  Polyhedron* conjunction = new Polyhedron();
  for (Polyhedron* p : parts)
    conjunction->add_constraints(p);
  del(parts);
  out.push_back(conjunction);
}

// A polyhedron that holds a constraint false by itself is dropped.
static bool trivially_empty(const Polyhedron* p)
{
  for (const Inequation* c : p->constraints)
    if (c->is_empty())
      return true;
  return false;
}

std::vector<Polyhedron*> Condition::to_polyhedra()
{
  Condition* d = dnf();
  std::vector<Polyhedron*> collected;
  d->collect(collected);
  delete d;
  std::vector<Polyhedron*> result;
  for (Polyhedron* p : collected)
    if (!trivially_empty(p))
      result.push_back(p->clone());
  del(collected);
  return result;
}

Condition* Condition::one_pass_simplify() const
{
  if (is_leaf) {
    if (!is_boolean && inequation->is_true())
      return new Condition(1);
    if (!is_boolean && inequation->is_false())
      return new Condition(0);
    return clone();
  }
  if (op == BOOL_AND) {
    if (left->is_false() || right->is_false())
      return new Condition(0);
    if (left->is_true())
      return right->clone()->simplify();
    if (right->is_true())
      return left->clone()->simplify();
  } else if (op == BOOL_OR) {
    if (left->is_true() || right->is_true())
      return new Condition(1);
    if (left->is_false())
      return right->clone()->simplify();
    if (right->is_false())
      return left->clone()->simplify();
  } else {
    std::cout << "WARNING: Condition::simplify: unhandled operator" << std::endl;
    return clone();
  }
  return adopt(op, left->one_pass_simplify(), right->one_pass_simplify());
}

Condition* Condition::simplify()
{
  Condition* current = this;
  for (;;) {
    Condition* next = current->one_pass_simplify();
    if (*next == *current) {
      delete next;
      return current;
    }
    delete current;
    current = next;
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

std::vector<Polyhedron*> Polyhedron::negate(const std::vector<Polyhedron*>& u)
{
  Condition c(u);
  return c.negate()->to_polyhedra();
}

std::vector<Polyhedron*> Polyhedron::negate() const
{
  Condition c(this);
  return c.negate()->to_polyhedra();
}
