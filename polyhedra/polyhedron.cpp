#include "polyhedra/polyhedron.h"

#include <iostream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/inequation.h"
#include "algebra/rank.h"

unsigned long long Polyhedron::next_serial() { return analysis_context().polyhedra_made++; }

Polyhedron::Polyhedron() = default;

Polyhedron::Polyhedron(const Inequation* c) : has_divs(c->has_div())
{
  constraints.push_back(c->clone().release());
}

Polyhedron::Polyhedron(const std::list<Inequation*>& l)
{
  for (const Inequation* c : l) {
    constraints.push_back(c->clone().release());
    if (c->has_div())
      has_divs = 1;
  }
}

Polyhedron::Polyhedron(Polyhedron* p) : has_divs(p->has_divs)
{
  for (const Inequation* c : p->constraints)
    constraints.push_back(c->clone().release());
  // The registry-wide matrix is copied when p has it, not made for the copy.
  if (!p->has_divs && p->has_matrix) {
    matrix = p->matrix;
    has_matrix = 1;
    nb_counters = p->nb_counters;
    nb_parameters = p->nb_parameters;
  }
}

Polyhedron::Polyhedron(const std::vector<std::vector<Value>>& m)
{
  for (const auto& row : m)
    constraints.push_back(new Inequation(row));
  matrix = m;
  has_matrix = 1;
  nb_counters = get_nb_counters();
  nb_parameters = get_nb_parameters();
}

// The constraints of rows over the active counters and parameters [kind |
// counters | parameters | constant]; the cache is left to be made when asked
// (the registry may be a thousand columns wide, the rows a few).
static void from_active(Polyhedron& p, const std::vector<std::vector<Value>>& m,
                        const std::set<int>& counters, const std::set<int>& parameters,
                        const std::string& who)
{
  int nc = get_nb_counters();
  int np = get_nb_parameters();
  size_t expected = counters.size() + parameters.size() + 2;
  for (int c : counters)
    if (c < 0 || c >= nc)
      fail(Stream::Err, cat(who, "counter rank out of range: ", c));
  for (int q : parameters)
    if (q < 0 || q >= np)
      fail(Stream::Err, cat(who, "parameter rank out of range: ", q));
  std::vector<int> columns(counters.begin(), counters.end());
  for (int q : parameters)
    columns.push_back(nc + q);
  columns.push_back(nc + np);
  for (const auto& row : m) {
    if (row.size() != expected)
      fail(Stream::Err, cat(who, "expect ", expected, " columns. Found: ", row.size()));
    std::vector<std::pair<int, Value>> terms;
    for (size_t k = 0; k < columns.size(); k++)
      if (row[k + 1] != 0)
        terms.push_back({columns[k], row[k + 1]});
    auto lhs = std::make_unique<Expression>();
    lhs->set_terms(std::move(terms));
    p.constraints.push_back(new Inequation(row[0] == 0 ? PRED_EQ : PRED_GE, std::move(lhs),
                                           std::make_unique<Expression>(0)));
  }
}

Polyhedron::Polyhedron(const std::vector<std::vector<Value>>& m, const std::set<int>& counters,
                       const std::set<int>& parameters)
{
  from_active(*this, m, counters, parameters,
              "Polyhedron::Polyhedron(active_counters,active_parameters): ");
}

static std::set<int> all_parameters()
{
  std::set<int> r;
  for (int q = 0; q < get_nb_parameters(); q++)
    r.insert(q);
  return r;
}

Polyhedron::Polyhedron(const std::vector<std::vector<Value>>& m, const std::set<int>& counters)
{
  from_active(*this, m, counters, all_parameters(), "Polyhedron::Polyhedron(active_counters): ");
}

Polyhedron::~Polyhedron()
{
  for (Inequation* c : constraints)
    delete c;
}

std::unique_ptr<Polyhedron> Polyhedron::adopt(std::list<Inequation*> l)
{
  auto p = std::make_unique<Polyhedron>();
  p->constraints = std::move(l);
  p->has_divs = p->has_div();
  return p;
}

std::unique_ptr<Polyhedron> Polyhedron::clone() const { return std::make_unique<Polyhedron>(constraints); }

std::set<int> Polyhedron::get_counters() const
{
  std::set<int> r;
  for (const Inequation* c : constraints) {
    std::set<int> s = c->get_counters();
    r.insert(s.begin(), s.end());
  }
  return r;
}

std::set<int> Polyhedron::get_parameters() const
{
  std::set<int> r;
  for (const Inequation* c : constraints) {
    std::set<int> s = c->get_parameters();
    r.insert(s.begin(), s.end());
  }
  return r;
}

int Polyhedron::is_single_polyhedron() const { return 1; }
int Polyhedron::is_domain() const { return 0; }

void Polyhedron::print(std::ostream& os) const
{
  os << "/\n";
  for (const Inequation* c : constraints)
    os << "| " << *c << "\n";
  os << "\\\n";
}

void Polyhedron::print_iscc(const std::string& name, std::ostream& os) const
{
  os << "[";
  print_variable_list(os, get_parameters(), ",", 0);
  os << "] -> { " << name << "[";
  print_variable_list(os, get_counters(), ",", 1);
  os << "] : ";
  bool first = true;
  for (const Inequation* c : constraints) {
    os << (first ? "" : " and ") << *c;
    first = false;
  }
  os << "}";
}

void Polyhedron::add_constraint(const Inequation* c)
{
  constraints.push_back(c->clone().release());
  has_matrix = 0;
  if (c->has_div())
    has_divs = 1;
}

Polyhedron* Polyhedron::add(const Inequation& c)
{
  add_constraint(&c);
  return this;
}

void Polyhedron::add_constraints(const Polyhedron* p)
{
  for (const Inequation* c : p->constraints)
    constraints.push_back(c->clone().release());
  has_matrix = 0;
  if (p->has_divs)
    has_divs = 1;
}

std::unique_ptr<Polyhedron> Polyhedron::intersect(Polyhedron* a, const Polyhedron* b)
{
  auto r = std::make_unique<Polyhedron>(a);
  r->add_constraints(b);
  return r;
}

void Polyhedron::update_matrix()
{
  int nc = get_nb_counters();
  int np = get_nb_parameters();
  if (has_matrix && nb_counters == nc && nb_parameters == np)
    return;
  std::vector<std::vector<Value>> m;
  for (const Inequation* c : constraints)
    for (auto& row : c->to_matrix()) {
      row.insert(row.begin(), 1);
      m.push_back(std::move(row));
    }
  matrix = std::move(m);
  has_matrix = 1;
  nb_counters = nc;
  nb_parameters = np;
}

std::vector<std::vector<Value>> Polyhedron::to_matrix()
{
  update_matrix();
  return matrix;
}

std::vector<std::vector<Value>> Polyhedron::to_matrix(const std::set<int>& counters)
{
  return to_matrix(counters, all_parameters());
}

std::vector<std::vector<Value>> Polyhedron::to_matrix(const std::set<int>& counters,
                                                      const std::set<int>& parameters)
{
  // Built from each constraint's non-zero entries: the registry has
  // hundreds of columns and the rows only use a few.
  int nc = get_nb_counters();
  int constant = nc + get_nb_parameters();
  std::map<int, size_t> position;  // registry column -> column of the rows
  for (int c : counters)
    position.emplace(c, 1 + position.size());
  for (int q : parameters)
    position.emplace(nc + q, 1 + position.size());
  size_t width = position.size() + 2;
  std::vector<std::vector<Value>> r;
  for (const Inequation* c : constraints) {
    std::vector<std::pair<int, Value>> terms = c->to_terms();
    // An equality is the two inequalities lhs - rhs >= 0 and rhs - lhs >= 0.
    for (int side = 0; side < (c->pred == PRED_EQ ? 2 : 1); side++) {
      std::vector<Value> row(width, 0);
      row[0] = 1;
      for (const auto& [column, value] : terms) {
        Value x = side ? checked_neg(value, "Inequation::to_matrix") : value;
        if (column == constant)
          row.back() = x;
        else if (auto at = position.find(column); at != position.end())
          row[at->second] = x;
      }
      r.push_back(std::move(row));
    }
  }
  return r;
}

std::vector<std::vector<Value>> Polyhedron::to_matrix_without_1() const
{
  std::vector<std::vector<Value>> m;
  for (const Inequation* c : constraints)
    for (auto& row : c->to_matrix())
      m.push_back(std::move(row));
  return m;
}

bool is_null(const std::vector<Value>& row)
{
  for (size_t i = 1; i < row.size(); i++)
    if (row[i] != 0)
      return false;
  return true;
}

bool Polyhedron::is_universe(const std::vector<Polyhedron*>& u)
{
  for (const Polyhedron* p : u)
    if (p->is_universe())
      return true;
  return false;
}

bool Polyhedron::is_universe() const
{
  if (constraints.empty())
    return true;
  if (has_divs)
    return false;
  for (const Inequation* c : constraints)
    if (!c->is_true())
      return false;
  return true;
}

bool Polyhedron::has_div() const
{
  for (const Inequation* c : constraints)
    if (c->has_div())
      return true;
  return false;
}

std::vector<Expression*> Polyhedron::get_divs()
{
  std::vector<Expression*> r;
  for (Inequation* c : constraints) {
    std::vector<Expression*> d = c->get_divs();
    r.insert(r.end(), d.begin(), d.end());
  }
  return r;
}

std::set<int> Polyhedron::get_counters(const std::vector<Polyhedron*>& u)
{
  std::set<int> r;
  for (const Polyhedron* p : u) {
    std::set<int> s = p->get_counters();
    r.insert(s.begin(), s.end());
  }
  return r;
}

std::set<int> Polyhedron::get_parameters(const std::vector<Polyhedron*>& u)
{
  std::set<int> r;
  for (const Polyhedron* p : u) {
    std::set<int> s = p->get_parameters();
    r.insert(s.begin(), s.end());
  }
  return r;
}

// Applies one constraint transformation to every constraint, in order.
template <typename Transform>
static std::list<Inequation*> transformed(const std::list<Inequation*>& l, Transform t)
{
  std::list<Inequation*> r;
  for (const Inequation* c : l)
    r.push_back(t(c).release());
  return r;
}

std::unique_ptr<Polyhedron> Polyhedron::parameters_to_counters(const std::map<int, int>& m) const
{
  return adopt(transformed(constraints, [&](const Inequation* c) { return c->parameters_to_counters(m); }));
}
std::unique_ptr<Polyhedron> Polyhedron::counters_to_parameters(const std::map<int, int>& m) const
{
  return adopt(transformed(constraints, [&](const Inequation* c) { return c->counters_to_parameters(m); }));
}
std::unique_ptr<Polyhedron> Polyhedron::counters_to_counters(const std::map<int, int>& m) const
{
  return adopt(transformed(constraints, [&](const Inequation* c) { return c->counters_to_counters(m); }));
}
std::unique_ptr<Polyhedron> Polyhedron::parameters_to_parameters(const std::map<int, int>& m) const
{
  return adopt(transformed(constraints, [&](const Inequation* c) { return c->parameters_to_parameters(m); }));
}
std::unique_ptr<Polyhedron> Polyhedron::substitute_counters(
    const std::map<int, Expression*>& m) const
{
  return adopt(transformed(constraints, [&](const Inequation* c) { return c->substitute_counters(m); }));
}
std::unique_ptr<Polyhedron> Polyhedron::substitute_parameters(
    const std::map<int, Expression*>& m) const
{
  return adopt(transformed(constraints, [&](const Inequation* c) { return c->substitute_parameters(m); }));
}

template <typename Map, typename Member>
static std::vector<std::unique_ptr<Polyhedron>> each(
    const std::vector<Polyhedron*>& u, const Map& m, Member f)
{
  std::vector<std::unique_ptr<Polyhedron>> r;
  for (const Polyhedron* p : u)
    r.push_back((p->*f)(m));
  return r;
}

std::vector<std::unique_ptr<Polyhedron>> Polyhedron::parameters_to_counters(const std::vector<Polyhedron*>& u,
                                                            const std::map<int, int>& m)
{
  return each(u, m, static_cast<std::unique_ptr<Polyhedron> (Polyhedron::*)(const std::map<int, int>&) const>(
                        &Polyhedron::parameters_to_counters));
}
std::vector<std::unique_ptr<Polyhedron>> Polyhedron::counters_to_parameters(const std::vector<Polyhedron*>& u,
                                                            const std::map<int, int>& m)
{
  return each(u, m, static_cast<std::unique_ptr<Polyhedron> (Polyhedron::*)(const std::map<int, int>&) const>(
                        &Polyhedron::counters_to_parameters));
}
std::vector<std::unique_ptr<Polyhedron>> Polyhedron::counters_to_counters(const std::vector<Polyhedron*>& u,
                                                          const std::map<int, int>& m)
{
  return each(u, m, static_cast<std::unique_ptr<Polyhedron> (Polyhedron::*)(const std::map<int, int>&) const>(
                        &Polyhedron::counters_to_counters));
}
std::vector<std::unique_ptr<Polyhedron>> Polyhedron::parameters_to_parameters(const std::vector<Polyhedron*>& u,
                                                              const std::map<int, int>& m)
{
  return each(u, m, static_cast<std::unique_ptr<Polyhedron> (Polyhedron::*)(const std::map<int, int>&) const>(
                        &Polyhedron::parameters_to_parameters));
}
std::vector<std::unique_ptr<Polyhedron>> Polyhedron::substitute_counters(const std::vector<Polyhedron*>& u,
                                                         const std::map<int, Expression*>& m)
{
  return each(u, m,
              static_cast<std::unique_ptr<Polyhedron> (Polyhedron::*)(const std::map<int, Expression*>&) const>(
                  &Polyhedron::substitute_counters));
}
std::vector<std::unique_ptr<Polyhedron>> Polyhedron::substitute_parameters(const std::vector<Polyhedron*>& u,
                                                           const std::map<int, Expression*>& m)
{
  return each(u, m,
              static_cast<std::unique_ptr<Polyhedron> (Polyhedron::*)(const std::map<int, Expression*>&) const>(
                  &Polyhedron::substitute_parameters));
}

bool Polyhedron::implies(const Inequation* c) const
{
  for (const Inequation* d : constraints)
    if (d->implies(c))
      return true;
  return false;
}

int Polyhedron::size() const { return static_cast<int>(constraints.size()); }

void Polyhedron::print_code(std::ostream& os) const
{
  if (constraints.empty()) {
    os << "true";
    return;
  }
  os << "(";
  bool first = true;
  for (const Inequation* c : constraints) {
    if (!first)
      os << ") && (";
    c->print_code(os);
    first = false;
  }
  os << ")";
}

void Polyhedron::print_code(std::ostream& os, const std::vector<Polyhedron*>& u)
{
  if (u.empty()) {
    os << "false";
    return;
  }
  for (size_t i = 0; i < u.size(); i++) {
    os << "(";
    u[i]->print_code(os);
    os << (i + 1 < u.size() ? ") || " : ")");
  }
}

std::set<const Expression*> Polyhedron::check() const
{
  std::set<const Expression*> all;
  for (const Inequation* c : constraints) {
    try {
      all = union_and_check(all, c->check());
    } catch (const Failure&) {
      fail(Stream::Err, "Polyhedron::check: interference found");
    }
  }
  return all;
}

std::ostream& operator<<(std::ostream& os, const Polyhedron& p)
{
  p.print(os);
  return os;
}

std::ostream& operator<<(std::ostream& os, const std::vector<Polyhedron*>& u)
{
  if (u.empty())
    return os << "(empty domain)";
  for (size_t i = 0; i < u.size(); i++) {
    os << *u[i];
    if (i + 1 < u.size())
      os << "U\n";
  }
  return os;
}

std::unique_ptr<Polyhedron> universe()
{
  Expression zero(0);
  Inequation c(PRED_GE, &zero, &zero);
  return std::make_unique<Polyhedron>(&c);
}

std::unique_ptr<Polyhedron> empty()
{
  Expression zero(0);
  Inequation c(PRED_GT, &zero, &zero);
  return std::make_unique<Polyhedron>(&c);
}

std::unique_ptr<Inequation> equal_zero(const Expression* e)
{
  Expression zero(0);
  return std::make_unique<Inequation>(PRED_EQ, e, &zero);
}

std::unique_ptr<Polyhedron> equal_zero(const std::vector<Expression*>& v)
{
  auto p = std::make_unique<Polyhedron>();
  for (const Expression* e : v)
    p->add_constraint(equal_zero(e).get());
  return p;
}

std::unique_ptr<Inequation> positive(const Expression* e)
{
  Expression zero(0);
  return std::make_unique<Inequation>(PRED_GE, e, &zero);
}

std::unique_ptr<Polyhedron> positive(const std::vector<Expression*>& v)
{
  auto p = std::make_unique<Polyhedron>();
  for (const Expression* e : v)
    p->add_constraint(positive(e).get());
  return p;
}
