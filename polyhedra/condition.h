// Boolean trees over inequations, used to complement unions of polyhedra:
// a union becomes a condition, is negated, put in disjunctive normal form and
// turned back into polyhedra.
//
// Ownership: a condition owns its inequation and operands; constructors clone
// what they are given (kept by the caller); every operation returns a new
// object owned by the caller and leaves the condition it is called on as it
// was.
#ifndef VORL_POLYHEDRA_CONDITION_H
#define VORL_POLYHEDRA_CONDITION_H

#include <list>
#include <memory>
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

  std::unique_ptr<Condition> clone() const;
  bool operator==(const Condition& other) const;
  bool is_true() const;
  bool is_false() const;
  std::unique_ptr<Condition> negate() const;
  std::unique_ptr<Condition> dnf() const;
  std::vector<std::unique_ptr<Polyhedron>> to_polyhedra() const;
  std::unique_ptr<Condition> simplify() const;
  // The text form on standard output.
  void print() const;

 private:
  Condition() = default;
  // Becomes the tree c, whose emptied shell is then freed.
  void take(std::unique_ptr<Condition> c);
  std::unique_ptr<Condition> one_pass_dnf() const;
  std::unique_ptr<Condition> one_pass_simplify() const;
  void collect(std::vector<std::unique_ptr<Polyhedron>>& out) const;
};

std::ostream& operator<<(std::ostream& os, const Condition& c);

#endif
