// Boolean trees over inequations, used to complement unions of polyhedra:
// a union becomes a condition, is negated, put in disjunctive normal form and
// turned back into polyhedra.
//
// Ownership: a condition owns its inequation and operands; constructors clone
// what they are given; every operation returns a new object, except dnf(),
// simplify() and to_polyhedra(), which consume the condition they are called
// on (it must not be used or deleted afterwards).
#ifndef VORL_POLYHEDRA_CONDITION_H
#define VORL_POLYHEDRA_CONDITION_H

#include <list>
#include <ostream>
#include <vector>

class Inequation;
class Polyhedron;

enum boolean_operator_t : int { BOOL_AND = 0, BOOL_OR = 1 };

class Condition {
 public:
  int is_leaf = 1;
  int is_boolean = 0;
  int boolean_value = 0;
  Inequation* inequation = nullptr;
  boolean_operator_t op = BOOL_AND;
  Condition* left = nullptr;
  Condition* right = nullptr;

  explicit Condition(int b);
  explicit Condition(const Inequation* c);
  Condition(boolean_operator_t op, const Condition* a, const Condition* b);
  Condition(boolean_operator_t op, const Condition* a, const Inequation* b);
  // The conjunction of p's constraints.
  explicit Condition(const Polyhedron* p);
  // The disjunction of the members' conjunctions.
  explicit Condition(const std::vector<Polyhedron*>& u);
  explicit Condition(const std::list<Polyhedron*>& u);
  Condition(const Condition&) = delete;
  Condition& operator=(const Condition&) = delete;
  ~Condition();

  Condition* clone() const;
  bool operator==(const Condition& other) const;
  bool is_true() const;
  bool is_false() const;
  Condition* negate() const;
  Condition* dnf();
  std::vector<Polyhedron*> to_polyhedra();
  Condition* simplify();
  // The text form on standard output.
  void print() const;

 private:
  Condition() = default;
  // Becomes the tree c, whose shell is deleted.
  void take(Condition* c);
  Condition* one_pass_dnf() const;
  Condition* one_pass_simplify() const;
  void collect(std::vector<Polyhedron*>& out) const;
};

std::ostream& operator<<(std::ostream& os, const Condition& c);

#endif
