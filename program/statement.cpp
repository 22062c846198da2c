#include "program/statement.h"

#include <iostream>

#include "frontend/sg_node.h"
#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/index_function.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"
#include "polyhedra/operation.h"

// ---------------------------------------------------------------------------
// Rhs

Rhs::Rhs(const std::string& v) : is_value(1), value(v) {}

Rhs::Rhs(const std::string& name, int rank) : is_an_array(1), array_id(name), array_rank(rank) {}

Rhs::Rhs(int id, const std::string& name, const std::vector<Rhs*>& operands)
    : is_op(1), op_id(id), op_name(name)
{
  for (const Rhs* r : operands)
    successor.push_back(r->clone().release());
}

Rhs::~Rhs()
{
  for (Rhs* r : successor)
    delete r;
}

std::unique_ptr<Rhs> Rhs::clone() const
{
  if (is_value)
    return std::make_unique<Rhs>(value);
  if (is_an_array)
    return std::make_unique<Rhs>(array_id, array_rank);
  if (is_op)
    return std::make_unique<Rhs>(op_id, op_name, successor);
  fail(Stream::Out, "Statement::Rhs::clone(): invalid rhs");
}

void Rhs::fix_ranks()
{
  int next = 0;
  fix_ranks(next);
}

void Rhs::fix_ranks(int& next)
{
  if (is_value)
    return;
  if (is_an_array) {
    array_rank = next++;
    return;
  }
  if (!is_op)
    fail(Stream::Out, "Statement::Rhs::fix_ranks(): invalid rhs");
  for (Rhs* r : successor)
    r->fix_ranks(next);
}

int Rhs::nb_operators() const
{
  if (is_value || is_an_array)
    return 0;
  if (!is_op)
    fail(Stream::Out, "Statement::Rhs::nb_operators(): Bad rhs");
  int n = 1;
  for (const Rhs* r : successor)
    n += r->nb_operators();
  return n;
}

static const char* binary_sign(int op_id)
{
  switch (op_id) {
    case V_SgAddOp: return "+";
    case V_SgSubtractOp: return "-";
    case V_SgMultiplyOp: return "*";
    case V_SgDivideOp: return "/";
    case V_SgModOp: return "%";
    default: return nullptr;
  }
}

void Rhs::backend(std::ostream* os, const Statement* s) const
{
  auto operand = [&](const Rhs* r) {
    if (r->is_op) *os << "(";
    r->backend(os, s);
    if (r->is_op) *os << ")";
  };
  if (is_value) {
    *os << value;
    return;
  }
  if (is_an_array) {
    const Reference& ref = s->nth(array_rank);
    *os << ref.first << *ref.second;
    return;
  }
  if (!is_op)
    fail(Stream::Out, "Statement::Rhs::backend(): Bad rhs");
  const char* sign = binary_sign(op_id);
  if (sign && successor.size() == 2) {
    operand(successor[0]);
    *os << sign;
    operand(successor[1]);
    return;
  }
  if (op_id == V_SgMinusOp && successor.size() == 1) {
    *os << "-";
    operand(successor[0]);
    return;
  }
  if (op_id == V_SgUnaryAddOp && successor.size() == 1) {
    operand(successor[0]);
    return;
  }
  *os << op_name << "(";
  for (size_t i = 0; i < successor.size(); i++) {
    if (i)
      *os << ",";
    successor[i]->backend(os, s);
  }
  *os << ")";
}

// ---------------------------------------------------------------------------
// Statement

Statement::~Statement()
{
  delete iteration_domain;
  delete lhs_index;
  for (auto& ref : rhs_index)
    delete ref.second;
  delete rhs;
}

int Statement::nb_rhs_references() const { return static_cast<int>(rhs_index.size()); }

bool Statement::is_sa_statement() const { return false; }

std::unique_ptr<Statement> Statement::clone() const
{
  std::unique_ptr<Statement> c(new Statement());
  c->stmt_rank = stmt_rank;
  c->surrounding_counters = surrounding_counters;
  c->iteration_domain = iteration_domain ? iteration_domain->clone().release() : nullptr;
  c->lhs_id = lhs_id;
  c->lhs_index = lhs_index ? lhs_index->clone().release() : nullptr;
  for (const auto& [name, f] : rhs_index)
    c->rhs_index.emplace_back(name, f->clone().release());
  c->rhs = rhs ? rhs->clone().release() : nullptr;
  c->downward_counters = downward_counters;
  c->position = position;
  c->latency_pragma = latency_pragma;
  return c;
}

void Statement::print(std::ostream& os) const
{
  os << lhs_id << *lhs_index << "=";
  if (rhs) {
    rhs->backend(&os, this);
    return;
  }
  if (rhs_index.size() != 1)
    fail(Stream::Out, "Statement::<<: incorrect rhs");
  os << rhs_index.front().first << *rhs_index.front().second;
}

int Statement::nb_operators() const { return rhs ? rhs->nb_operators() : 0; }

const Reference& Statement::nth(int k) const
{
  if (k < 0 || k >= static_cast<int>(rhs_index.size()))
    fail(Stream::Out, "Statement::nth: bad rank");
  return rhs_index[static_cast<size_t>(k)];
}

// The iteration vector of an instance: one component per true counter, the
// counter leaf of rank_map[r] at each surrounding counter r, 0 elsewhere.
static std::unique_ptr<IndexFunction> iteration_vector(const std::vector<int>& counters,
                                                       const std::map<int, int>& rank_map)
{
  std::vector<std::unique_ptr<Expression>> components;
  for (int r = 0; r < get_nb_true_counters(); r++)
    components.push_back(v(0));
  for (int r : counters) {
    if (r < 0 || r >= static_cast<int>(components.size()))
      fail(Stream::Err, cat("Statement::instance: not a loop counter: ", r));
    components[r] = Expression::from_counter_rank(rank_map.at(r));
  }
  auto f = std::make_unique<IndexFunction>();
  f->surrounding_counters = counters;
  for (std::unique_ptr<Expression>& e : components)
    f->index_mapping.push_back(e.release());
  return f;
}

std::pair<std::unique_ptr<Operation>, std::map<int, int>> Statement::instance(int k) const
{
  std::map<int, int> rank_map;
  for (int r : surrounding_counters) {
    if (k != 0) {
      std::string name = get_new_counter(r, k);
      create_extra_counter_rank(name);
      rank_map[r] = get_counter_rank(name);
    } else {
      rank_map[r] = r;
    }
  }
  auto op = std::make_unique<Operation>(stmt_rank, surrounding_counters,
                                        iteration_vector(surrounding_counters, rank_map).get());
  for (int r : surrounding_counters)
    op->substitution[r] = Expression::from_counter_rank(rank_map[r]).release();
  op->has_statement = 1;
  op->domain = iteration_domain->counters_to_counters(rank_map).release();
  op->lhs_id = lhs_id;
  op->lhs_index = lhs_index->counters_to_counters(rank_map).release();
  for (const auto& [name, f] : rhs_index)
    op->rhs_index.emplace_back(name, f->counters_to_counters(rank_map).release());
  return {std::move(op), rank_map};
}

std::unique_ptr<Operation> Statement::instance() const
{
  std::map<int, int> identity;
  for (int r : surrounding_counters)
    identity[r] = r;
  auto op = std::make_unique<Operation>(stmt_rank, surrounding_counters,
                                        iteration_vector(surrounding_counters, identity).get());
  for (int r : surrounding_counters)
    op->substitution[r] = Expression::from_counter_rank(r).release();
  return op;
}

void Statement::print() const
{
  std::ostream& os = std::cerr;
  os << "[STATEMENT]------------------------------------------------------------------\n\n";
  os << "#" << stmt_rank << "\n\n";
  os << "* SURROUNDING COUNTERS\n";
  for (int r : surrounding_counters)
    os << "i" << r << " ";
  os << "\n\n";
  os << "* ITERATION DOMAIN\n" << *iteration_domain;
  os << "* LHS\n<" << lhs_id << ">" << *lhs_index << "\n";
  os << "* RHS\n";
  for (const auto& [name, f] : rhs_index)
    os << "<" << name << ">" << *f << "\n";
  os << "* BACK-END: " << *this << "\n";
}

std::ostream& operator<<(std::ostream& os, const Statement& s)
{
  s.print(os);
  return os;
}
