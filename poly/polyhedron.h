// A conjunction of affine constraints over the registry's counters and
// parameters, with its constraint matrix cached.
//
// Matrix rows are [kind (0 equality, 1 inequality >= 0) | counters by rank |
// parameters by rank | constant], the layout the polyhedral libraries read.
// The cache is reused only while the registry has not grown and the
// constraint list has not changed.
//
// Ownership: a polyhedron owns its constraints; constructors clone the
// constraints they are given (kept by the caller); every operation returns a
// new object given to the caller, except add_constraint(s)/add, which grow
// this polyhedron with clones, and get_divs(), which returns pointers into the
// constraints.
#ifndef VORL_POLY_POLYHEDRON_H
#define VORL_POLY_POLYHEDRON_H

#include <list>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

class Expression;
class Inequation;

class Polyhedron {
 public:
  std::list<Inequation*> constraints;
  int has_matrix = 0;
  std::vector<std::vector<int>> matrix;
  int nb_counters = 0;
  int nb_parameters = 0;
  int has_divs = 0;

  Polyhedron();
  explicit Polyhedron(const Inequation* c);
  explicit Polyhedron(const std::list<Inequation*>& l);
  explicit Polyhedron(Polyhedron* p);
  explicit Polyhedron(const std::vector<std::vector<int>>& m);
  Polyhedron(const std::vector<std::vector<int>>& m, const std::set<int>& active_counters,
             const std::set<int>& active_parameters);
  Polyhedron(const std::vector<std::vector<int>>& m, const std::set<int>& active_counters);
  Polyhedron(const Polyhedron&) = delete;
  Polyhedron& operator=(const Polyhedron&) = delete;
  virtual ~Polyhedron();

  // Virtual slots, in this order.
  virtual Polyhedron* clone() const;
  virtual std::set<int> get_counters() const;
  virtual std::set<int> get_parameters() const;
  virtual int is_single_polyhedron() const;
  virtual int is_domain() const;
  virtual void print(std::ostream& os) const;
  virtual void print_iscc(const std::string& name, std::ostream& os) const;

  void add_constraint(const Inequation* c);
  Polyhedron* add(const Inequation& c);
  void add_constraints(const Polyhedron* p);
  static Polyhedron* intersect(Polyhedron* a, const Polyhedron* b);

  void update_matrix();
  std::vector<std::vector<int>> to_matrix();
  // (context rows [1 | parameters | constant], remaining full rows)
  std::pair<std::vector<std::vector<int>>, std::vector<std::vector<int>>> to_matrix_context();
  std::vector<std::vector<int>> to_matrix(const std::set<int>& counters);
  std::vector<std::vector<int>> to_matrix(const std::set<int>& counters,
                                          const std::set<int>& parameters);
  std::vector<std::vector<int>> to_matrix_without_1() const;

  static bool is_universe(const std::vector<Polyhedron*>& u);
  bool is_universe() const;
  bool has_div() const;
  std::vector<Expression*> get_divs();
  static std::set<int> get_counters(const std::vector<Polyhedron*>& u);
  static std::set<int> get_parameters(const std::vector<Polyhedron*>& u);

  Polyhedron* parameters_to_counters(const std::map<int, int>& m) const;
  Polyhedron* counters_to_parameters(const std::map<int, int>& m) const;
  Polyhedron* counters_to_counters(const std::map<int, int>& m) const;
  Polyhedron* parameters_to_parameters(const std::map<int, int>& m) const;
  Polyhedron* substitute_counters(const std::map<int, Expression*>& m) const;
  Polyhedron* substitute_parameters(const std::map<int, Expression*>& m) const;
  static std::vector<Polyhedron*> parameters_to_counters(const std::vector<Polyhedron*>& u,
                                                         const std::map<int, int>& m);
  static std::vector<Polyhedron*> counters_to_parameters(const std::vector<Polyhedron*>& u,
                                                         const std::map<int, int>& m);
  static std::vector<Polyhedron*> counters_to_counters(const std::vector<Polyhedron*>& u,
                                                       const std::map<int, int>& m);
  static std::vector<Polyhedron*> parameters_to_parameters(const std::vector<Polyhedron*>& u,
                                                           const std::map<int, int>& m);
  static std::vector<Polyhedron*> substitute_counters(const std::vector<Polyhedron*>& u,
                                                      const std::map<int, Expression*>& m);
  static std::vector<Polyhedron*> substitute_parameters(const std::vector<Polyhedron*>& u,
                                                        const std::map<int, Expression*>& m);

  bool implies(const Inequation* c) const;
  int size() const;

  // The constraints as a C condition ("true" when there is none).
  void print_code(std::ostream& os) const;
  // The union as a C condition ("false" when empty).
  static void print_code(std::ostream& os, const std::vector<Polyhedron*>& u);

  // Sharing check: throws when two constraints share an expression node.
  std::set<const Expression*> check() const;

 private:
  // A new polyhedron adopting already built constraints.
  static Polyhedron* adopt(std::list<Inequation*> l);
};

std::ostream& operator<<(std::ostream& os, const Polyhedron& p);
std::ostream& operator<<(std::ostream& os, const std::vector<Polyhedron*>& u);

bool is_context(const std::vector<int>& row);
bool is_null(const std::vector<int>& row);

// The single constraint 0 >= 0, respectively 0 > 0.
Polyhedron* universe();
Polyhedron* empty();

Inequation* equal_zero(const Expression* e);
Polyhedron* equal_zero(const std::vector<Expression*>& v);
Inequation* positive(const Expression* e);
Polyhedron* positive(const std::vector<Expression*>& v);

void del(std::list<Polyhedron*>& l);
void del(std::vector<Polyhedron*>& v);

#endif
