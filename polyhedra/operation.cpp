#include "polyhedra/operation.h"

#include <iostream>

#include "algebra/expression.h"
#include "algebra/index_function.h"
#include "polyhedra/polyhedron.h"

Operation::Operation() = default;

Operation::Operation(int rank, const std::vector<int>& c, const IndexFunction* it)
    : is_bottom(0), statement_rank(rank), counters(c), iteration(it->clone().release())
{
}

Operation::Operation(int rank, const std::vector<int>& c, const IndexFunction* it, int t)
    : is_bottom(0), statement_rank(rank), counters(c), iteration(it->clone().release()), has_tag(1), tag(t)
{
}

Operation::~Operation()
{
  del(substitution);
  delete iteration;
  delete domain;
  delete lhs_index;
  for (auto& ref : rhs_index)
    delete ref.second;
}

std::unique_ptr<Operation> Operation::clone() const
{
  auto c = std::make_unique<Operation>();
  c->is_bottom = is_bottom;
  for (const auto& [r, e] : substitution)
    c->substitution[r] = e->clone().release();
  c->statement_rank = statement_rank;
  c->counters = counters;
  c->iteration = iteration ? iteration->clone().release() : nullptr;
  c->has_statement = has_statement;
  c->domain = domain ? domain->clone().release() : nullptr;
  c->lhs_id = lhs_id;
  c->lhs_index = lhs_index ? lhs_index->clone().release() : nullptr;
  for (const auto& [name, f] : rhs_index)
    c->rhs_index.emplace_back(name, f->clone().release());
  c->has_tag = has_tag;
  c->tag = tag;
  return c;
}

void Operation::print() const
{
  std::cout << "< S" << statement_rank << ",";
  if (iteration)
    std::cout << *iteration;
  std::cout << ">";
}

std::ostream& operator<<(std::ostream& os, const Operation& op)
{
  if (op.is_bottom)
    return os << "_|_";
  os << "S" << op.statement_rank << ",";
  if (op.iteration)
    os << *op.iteration;
  if (op.has_statement) {
    os << ": \n" << op.lhs_id << *op.lhs_index << " = ";
    for (const auto& [name, f] : op.rhs_index)
      os << name << *f << " ";
    os << "\n" << *op.domain << "\n";
  }
  if (op.has_tag)
    os << "tag: " << op.tag << "\n";
  return os;
}
