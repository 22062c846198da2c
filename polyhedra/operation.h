// One instance (or a generic parametrised instance) of a statement, or the
// bottom element that stands for no instance.
//
// Ownership: an operation owns its iteration vector, domain, index functions
// and substitution expressions; constructors clone what they are given;
// clone() gives the caller a new operation.
#ifndef VORL_POLYHEDRA_OPERATION_H
#define VORL_POLYHEDRA_OPERATION_H

#include <list>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

class Expression;
class IndexFunction;
class Polyhedron;

class Operation {
 public:
  int is_bottom = 1;
  std::map<int, Expression*> substitution;
  int statement_rank = 0;
  std::vector<int> counters;
  IndexFunction* iteration = nullptr;
  int has_statement = 0;
  Polyhedron* domain = nullptr;
  std::string lhs_id;
  IndexFunction* lhs_index = nullptr;
  std::list<std::pair<std::string, IndexFunction*>> rhs_index;
  int has_tag = 0;
  int tag = 0;

  Operation();
  Operation(int statement_rank, const std::vector<int>& counters, const IndexFunction* iteration);
  Operation(int statement_rank, const std::vector<int>& counters, const IndexFunction* iteration,
            int tag);
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;
  ~Operation();

  std::unique_ptr<Operation> clone() const;
  // "< S<rank>,<iteration>>" on standard output.
  void print() const;
};

std::ostream& operator<<(std::ostream& os, const Operation& op);

#endif
