#include "polyhedra/quast.h"

#include <iostream>
#include <utility>

#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "polyhedra/operation.h"
#include "solvers/pip_solver.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"
#include "support/ownership.h"

// ---------------------------------------------------------------------------
// Solver vectors to expressions

std::unique_ptr<Expression> Expression::from_PipVector(const PipVector* vector,
                                                       const std::map<int, Expression*>& newparms)
{
  const std::map<int, int>& actual_parameter = registry().actual_parameter;
  size_t k = actual_parameter.size();
  const std::vector<long>& v = vector->the_vector;
  if (v.size() != k + newparms.size() + 1)
    fail(Stream::Out, "Expression::from_PipVector(): bad vector size");
  std::unique_ptr<Expression> tree = std::make_unique<Expression>(Value{v.back()});
  auto add = [&tree](Value c, const Expression* term) {
    if (c != 1) {
      Expression factor(c);
      Expression scaled(OP_TIMES, &factor, term);
      tree = std::make_unique<Expression>(OP_PLUS, tree.get(), &scaled);
    } else {
      tree = std::make_unique<Expression>(OP_PLUS, tree.get(), term);
    }
  };
  for (size_t i = 0; i < k; i++)
    if (v[i] != 0)
      add(v[i], Expression::from_parameter_rank(actual_parameter.at(static_cast<int>(i))).get());
  size_t position = k;
  for (const auto& [column, e] : newparms) {
    if (v[position] != 0)
      add(v[position], e);
    position++;
  }
  return tree->simplify();
}

std::unique_ptr<IndexFunction> IndexFunction::from_PipList(const std::vector<PipVector>& list,
                                                           const std::map<int, Expression*>& newparms,
                                                           int skip)
{
  const std::map<int, int>& actual_counter = registry().actual_counter;
  size_t k = actual_counter.size();
  if (skip < 0 || list.size() < static_cast<size_t>(skip) + k)
    fail(Stream::Out, "IndexFunction::from_Piplist: incorrect size");
  auto f = std::make_unique<IndexFunction>();
  int nc = get_nb_counters();
  for (int r = 0; r < nc; r++)
    f->index_mapping.push_back(v(0).release());
  for (size_t i = 0; i < k; i++) {
    int rank = actual_counter.at(static_cast<int>(i));
    if (rank < 0 || rank >= nc)
      fail(Stream::Err, "IndexFunction::from_PipList: counter rank out of range");
    delete f->index_mapping[rank];
    f->index_mapping[rank] = Expression::from_PipVector(&list[skip + i], newparms).release();
  }
  return f;
}

std::unique_ptr<Expression> Expression::from_PipNewparm(const PipNewparm* p,
                                                        const std::map<int, Expression*>& newparms)
{
  std::unique_ptr<Expression> numerator = from_PipVector(&p->vector, newparms);
  Expression denominator(Value{p->deno});
  return std::make_unique<Expression>(OP_DIV, numerator.get(), &denominator);
}

// ---------------------------------------------------------------------------
// Construction

Quast::Quast() = default;

Quast::Quast(const PipQuast* answer)
{
  if (!answer) {
    std::cout << "Quast::Quast(pipquast)-1: null pipquast (empty context)" << std::endl;
    return;
  }
  build(answer, 0, {}, false);
}

Quast::Quast(const PipQuast* answer, int k)
{
  if (!answer) {
    std::cout << "Quast::Quast(pipquast)-3: null pipquast (empty context)" << std::endl;
    return;
  }
  build(answer, k, {}, false);
}

Quast::Quast(const std::vector<int>& tags, int stmt, const PipQuast* answer)
    : tag_vector(tags), statement(stmt)
{
  if (!answer) {
    std::cout << "Quast::Quast(pipquast)-2: null pipquast (empty context)" << std::endl;
    return;
  }
  build(answer, 0, {}, true);
}

void Quast::build(const PipQuast* answer, int skip, const std::map<int, Expression*>& inherited,
                  bool tagged)
{
  // The new parameters of this node become integer divisions, in scope for
  // the node and its subtree.
  std::map<int, std::unique_ptr<Expression>> newparms;
  for (const auto& [rank, e] : inherited)
    newparms[rank] = e->clone();
  for (const PipNewparm& p : answer->newparm)
    newparms[p.rank] = Expression::from_PipNewparm(&p, view(newparms));
  if (answer->has_condition) {
    is_bottom = 0;
    is_if = 1;
    std::unique_ptr<Expression> lhs = Expression::from_PipVector(&answer->condition, view(newparms));
    Expression zero(0);
    condition = new Inequation(PRED_GE, lhs.get(), &zero);
    then_branch = new Quast();
    else_branch = new Quast();
    for (Quast* branch : {then_branch, else_branch}) {
      branch->tag_vector = tag_vector;
      branch->statement = statement;
    }
    if (answer->next_then)
      then_branch->build(answer->next_then.get(), skip, view(newparms), tagged);
    if (answer->next_else)
      else_branch->build(answer->next_else.get(), skip, view(newparms), tagged);
  } else if (answer->has_list) {
    is_bottom = 0;
    is_leaf = 1;
    solution = IndexFunction::from_PipList(answer->list, view(newparms), skip).release();
    if (tagged) {
      is_tagged = 1;
      read_rank = 0;
    }
  }
}

Quast::~Quast()
{
  delete solution;
  delete condition;
  delete then_branch;
  delete else_branch;
}

// ---------------------------------------------------------------------------
// Queries and labels

bool Quast::empty() const
{
  if (is_leaf)
    return false;
  if (is_if || extended)
    return then_branch->empty() && else_branch->empty();
  return true;
}

bool Quast::is_extended() const
{
  if (extended)
    return true;
  if (is_if)
    return then_branch->is_extended() || else_branch->is_extended();
  return false;
}

template <typename Visit>
static void each_node(Quast* q, const Visit& visit)
{
  visit(q);
  if (q->is_if || q->extended) {
    each_node(q->then_branch, visit);
    each_node(q->else_branch, visit);
  }
}

void Quast::tag(int k)
{
  each_node(this, [k](Quast* q) {
    if (q->is_leaf) {
      q->is_tagged = 1;
      q->read_rank = k;
    }
  });
}

void Quast::set_read_rank(int k)
{
  each_node(this, [k](Quast* q) {
    if (q->is_leaf)
      q->read_rank = k;
  });
}

void Quast::remove_read_rank(int k)
{
  each_node(this, [k](Quast* q) {
    if (q->is_leaf && q->read_rank == k) {
      delete q->solution;
      q->solution = nullptr;
      q->is_leaf = 0;
      q->is_tagged = 0;
      q->is_bottom = 1;
    }
  });
}

void Quast::set_bottom_value(const std::string& label)
{
  each_node(this, [&label](Quast* q) {
    if (q->is_bottom)
      q->bottom_value = label;
  });
}

// ---------------------------------------------------------------------------
// Printing

void Quast::print(std::ostream& os, const std::string& indent) const
{
  if (is_leaf) {
    os << indent;
    if (is_tagged)
      os << "S" << statement;
    os << "(";
    if (tag_vector.empty())
      solution->print_code(os);
    else
      solution->print_code(os, tag_vector);
    os << "):" << read_rank << "\n";
    return;
  }
  if (is_if || extended) {
    os << indent << "if ";
    if (extended)
      Polyhedron::print_code(os, view(extended_condition));
    else
      os << *condition;
    os << "\n" << indent << (shared_then ? "then (dag)" : "then") << "\n";
    then_branch->print(os, indent + "  ");
    os << indent << (shared_else ? "else (dag)" : "else") << "\n";
    else_branch->print(os, indent + "  ");
    os << indent << "endif\n";
    return;
  }
  os << indent << "_|_";
  if (!bottom_value.empty())
    os << " (" << bottom_value << ")";
  os << "\n";
}

std::ostream& operator<<(std::ostream& os, const Quast& q)
{
  q.print(os, "");
  return os;
}

void Quast::print() const
{
  if (is_leaf && is_tagged) {
    std::cout << "<S" << statement << "," << *solution << ">";
  } else if (is_leaf) {
    std::cout << *solution;
  } else if (is_if || extended) {
    std::cout << "if ";
    if (extended)
      Polyhedron::print_code(std::cout, view(extended_condition));
    else
      std::cout << *condition;
    std::cout << "\nthen\n";
    then_branch->print();
    std::cout << "\nelse\n";
    else_branch->print();
    std::cout << "\nendif\n";
  } else {
    std::cout << "_|_";
  }
}

// ---------------------------------------------------------------------------
// Flattening

OwnedPieces<Operation> Quast::flatten() const
{
  PolyhedronMap<Operation*> raw = _flatten();
  OwnedPieces<Operation> r(simplify_flattened(raw));
  del(raw);
  return r;
}

PolyhedronMap<Operation*> Quast::_flatten() const
{
  if (is_leaf) {
    if (!is_tagged)
      fail(Stream::Out, "Quast::_flatten: untagged Quast");
    return {{new Polyhedron(),
             new Operation(statement, tag_vector, solution, read_rank)}};
  }
  if (is_if || extended) {
    PolyhedronMap<Operation*> then_raw = then_branch->_flatten();
    PolyhedronMap<Operation*> else_raw = else_branch->_flatten();
    PolyhedronMap<Operation*> then_map, else_map;
    if (extended) {
      then_map = restrict(then_raw, view(extended_condition));
      else_map = restrict(else_raw, view(Polyhedron::negate(view(extended_condition))));
    } else {
      then_map = restrict(then_raw, condition);
      else_map = restrict(else_raw, condition->negate().get());
    }
    del(then_raw);
    del(else_raw);
    return union_flatten(then_map, else_map);
  }
  if (is_bottom)
    return {{new Polyhedron(), new Operation()}};
  fail(Stream::Out, "Quast::_flatten: incorrect Quast");
}

PolyhedronMap<Operation*> Quast::restrict(PolyhedronMap<Operation*>& m, const Inequation* c)
{
  // Each piece is taken over by a new polyhedron, made in m's order as a
  // copy would be: the pieces keep their order among all others.
  PolyhedronMap<Operation*> r;
  for (auto& [domain, op] : m) {
    auto* d = new Polyhedron();
    d->constraints.swap(domain->constraints);
    d->has_divs = std::exchange(domain->has_divs, 0);
    d->add_constraint(c);
    r[d] = std::exchange(op, nullptr);
  }
  return r;
}

PolyhedronMap<Operation*> Quast::restrict(const PolyhedronMap<Operation*>& m,
                                                  const Polyhedron* p)
{
  PolyhedronMap<Operation*> r;
  for (const auto& [domain, op] : m) {
    Polyhedron* d = domain->clone().release();
    d->add_constraints(p);
    r[d] = op->clone().release();
  }
  return r;
}

PolyhedronMap<Operation*> Quast::restrict(const PolyhedronMap<Operation*>& m,
                                                  const std::vector<Polyhedron*>& u)
{
  PolyhedronMap<Operation*> r;
  for (const Polyhedron* p : u) {
    PolyhedronMap<Operation*> part = restrict(m, p);
    r.insert(part.begin(), part.end());
  }
  return r;
}

PolyhedronMap<Operation*> Quast::union_flatten(PolyhedronMap<Operation*>& a,
                                                       PolyhedronMap<Operation*>& b)
{
  PolyhedronMap<Operation*> r = a;
  r.insert(b.begin(), b.end());
  a.clear();
  b.clear();
  return r;
}

PolyhedronMap<Operation*> Quast::simplify_flattened(
    const PolyhedronMap<Operation*>& m)
{
  PolyhedronMap<Operation*> r;
  for (const auto& [domain, op] : m)
    if (!op->is_bottom && !domain->is_empty())
      r[domain->simplify().release()] = op->clone().release();
  return r;
}

void Quast::del(PolyhedronMap<Operation*>& m)
{
  for (auto& [domain, op] : m) {
    delete domain;
    delete op;
  }
  m.clear();
}
