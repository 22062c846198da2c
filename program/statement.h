// A statement of the polyhedral program: one assignment with the counters of
// its enclosing loops, its iteration domain, the reference it writes, the
// references it reads and the shape of its right-hand side (Rhs).
//
// Ownership: a statement owns its domain, index functions and Rhs. The
// front-end constructors take the domain they are given; clone() and every
// operation return new objects owned by the caller.
#ifndef VORL_PROGRAM_STATEMENT_H
#define VORL_PROGRAM_STATEMENT_H

#include <list>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <set>
#include <vector>

#include "program/source_position.h"

class IndexFunction;
class Operation;
class Polyhedron;
class SgAssignOp;
class SgExpression;
class SgUnaryOp;
class Statement;

// The right-hand side as a tree of literals, references and operators.
// Ownership: an Rhs owns its successors; the operator constructor clones the
// operands it is given.
class Rhs {
 public:
  int is_value = 0;
  std::string value;
  int is_an_array = 0;
  std::string array_id;
  int array_rank = 0;
  int is_op = 0;
  int op_id = 0;
  std::string op_name;
  std::vector<Rhs*> successor;

  explicit Rhs(const std::string& value);
  Rhs(const std::string& name, int rank);
  Rhs(int op_id, const std::string& op_name, const std::vector<Rhs*>& operands);
  Rhs(const Rhs&) = delete;
  Rhs& operator=(const Rhs&) = delete;
  ~Rhs();

  std::unique_ptr<Rhs> clone() const;
  // Numbers the references 0, 1, ... in depth-first, left-to-right order.
  void fix_ranks();
  int nb_operators() const;
  // Writes the right-hand side as C, references read from s's list.
  void backend(std::ostream* os, const Statement* s) const;

 private:
  Rhs() = default;
  void fix_ranks(int& next);
};

using Reference = std::pair<std::string, IndexFunction*>;

class Statement {
 public:
  int stmt_rank = 0;
  std::vector<int> surrounding_counters;
  Polyhedron* iteration_domain = nullptr;
  std::string lhs_id;
  IndexFunction* lhs_index = nullptr;
  std::vector<Reference> rhs_index;  // by rank (nth() is a lookup)
  Rhs* rhs = nullptr;
  // The surrounding counters (ranks) whose loops count down: the program
  // runs through their values from the highest to the lowest.
  std::set<int> downward_counters;
  // The assignment as written, and the latency pragma that annotates it
  // (unknown until the pragmas are read back).
  SourcePosition position;
  SourcePosition latency_pragma;

  // Builds the statement of an assignment of the syntax tree (takes domain).
  Statement(int rank, const std::list<std::string>& counters, std::unique_ptr<Polyhedron> domain,
            SgAssignOp* a);
  // The statement of an increment or decrement (a[i]++, --a[i], ...): the
  // assignment a[i] = a[i] + 1 (or - 1). Takes domain.
  Statement(int rank, const std::list<std::string>& counters, std::unique_ptr<Polyhedron> domain,
            SgUnaryOp* increment);
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  virtual ~Statement();

  // Virtual slots, in this order.
  virtual int nb_rhs_references() const;
  virtual bool is_sa_statement() const;
  virtual std::unique_ptr<Statement> clone() const;
  virtual void print(std::ostream& os) const;

  int nb_operators() const;
  // Generic instance over fresh counters new_counter_r_k (k != 0) or over the
  // statement's own counters (k == 0), with the map from own to new ranks.
  std::pair<std::unique_ptr<Operation>, std::map<int, int>> instance(int k) const;
  std::unique_ptr<Operation> instance() const;
  // The entry of rank k of rhs_index, in constant time: the callers look up
  // every reference of a right-hand side, which may hold hundreds of
  // thousands.
  const Reference& nth(int k) const;
  // Debugging block on the error stream.
  void print() const;
  // Whether the loop of counter rank k counts down around this statement.
  bool counts_down(int k) const { return downward_counters.count(k) != 0; }

 protected:
  Statement() = default;
  Statement(int rank, std::unique_ptr<Polyhedron> domain);

 private:
  void read_references(SgExpression* target, SgExpression* value);
};

std::ostream& operator<<(std::ostream& os, const Statement& s);

#endif
