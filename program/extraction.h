// The walk that turns the syntax tree of the input into the program model.
//
// One top-down walk keeps, for every node, the counters of the enclosing
// loops and the domain of their bounds and if-conditions; every assignment
// met (x = e, x op= e, x++, --x, ...) becomes a Statement over them. An else
// branch gets the negated condition when that is one affine constraint. Loops
// count up or down by one; a loop that counts down keeps its counter, and its
// statements record it (Statement::downward_counters). Constructs whose
// instances the model cannot describe (while, do, switch and jumps around or
// before an assignment, an assignment inside an expression) are refused.
// Expressions, constraints and references are read by Expression::from_Sage,
// Inequation::from_Sage, IndexFunction::from_Sage and Polyhedron::from_Sage.
// Every refusal is one line on standard output that starts with the place
// and the construct ("prog.c:7:12: if (i != 2): ...").
#ifndef VORL_PROGRAM_EXTRACTION_H
#define VORL_PROGRAM_EXTRACTION_H

#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "frontend/traversal.h"

class Polyhedron;
class Program;
class Rhs;
class Statement;

// The largest number a bound, condition or subscript may reach (the sum of
// the magnitudes of its terms): the analysis computes with machine integers.
const long long kLargestModelValue = 1000000000;

// The attribute handed from a node to its children. Ownership: each
// attribute owns its domain; copying clones it. The node pointers are kept by
// the tree.
class ASTInfo {
 public:
  std::list<std::string> counters;
  std::unique_ptr<Polyhedron> domain;
  int skip_next_assignment = 0;
  // Ranks of the enclosing counters whose loops count down.
  std::set<int> downward;
  // The innermost enclosing construct the model cannot read around an
  // assignment: a while, do or switch, or the if whose else branch this is
  // when its negated condition is not one affine constraint.
  const SgNode* unreadable = nullptr;
  // The enclosing for loops, outermost first.
  std::vector<const SgNode*> loops;
  // The innermost loop or switch a break leaves, and loop a continue restarts.
  const SgNode* breakable = nullptr;
  const SgNode* continuable = nullptr;

  ASTInfo();
  ASTInfo(const ASTInfo& other);
  ASTInfo& operator=(const ASTInfo& other);
  ~ASTInfo();

  void add_counter(const std::string& name);
  // The domain becomes its intersection with the polyhedron of e.
  void add_constraint(SgExpression* e);
};

class MainTraversal : public AstTopDownProcessing<ASTInfo> {
 public:
  MainTraversal();
  ~MainTraversal() override;
  // Variable name -> constant value of its first declaration that gives one.
  const std::map<std::string, long long>& initial_values() const { return initial_values_; }
  // The statements made by the walk, in walk order, given to the caller.
  std::vector<std::unique_ptr<Statement>> take_statements();
  // The source text of every variable declaration met, in walk order.
  const std::vector<std::string>& declarations() const { return declarations_; }

 protected:
  ASTInfo evaluateInheritedAttribute(SgNode* node, ASTInfo info) override;
  ASTInfo attributeForChild(SgNode* node, SgNode* child, const ASTInfo& for_children) override;

 private:
  void read_loop(SgForStatement* loop, ASTInfo& info);
  void read_if(SgIfStmt* branch, ASTInfo& info);
  void add_statement(SgExpression* node, const ASTInfo& info);
  void check_counters(const Statement* s, const SgExpression* node, const ASTInfo& info) const;
  void read_jump(SgStatement* jump, const ASTInfo& info);
  void read_declaration(SgVariableDeclaration* declaration);

  // The domain of each else branch met (null when the negated condition is
  // not one affine constraint), by its if. Keys are only looked up.
  std::map<const SgNode*, std::unique_ptr<Polyhedron>> else_domains_;
  // The first goto and assignment of the function being walked, and the
  // first jump and assignment inside each for loop.
  const SgNode* first_goto_ = nullptr;
  const SgNode* first_assignment_ = nullptr;
  std::map<const SgNode*, const SgNode*> first_jump_in_loop_;
  std::map<const SgNode*, const SgNode*> first_assignment_in_loop_;
  std::map<std::string, long long> initial_values_;
  std::vector<std::unique_ptr<Statement>> statements_;
  std::vector<std::string> declarations_;
  // The first loop of each counter met.
  std::map<std::string, const SgNode*> counter_loops_;
};

// Refuses, with one line at its statement, a reference that takes part in a
// dependence (read by the inputs or written by the outputs of the pragma
// maps, of an array that some statement writes) when its subscript is not
// affine. The program and maps are only read.
void check_dependence_subscripts(const Program* program,
                                 const std::map<int, std::vector<int>>& inputs,
                                 const std::map<int, std::vector<int>>& outputs);

// The right-hand side as an Rhs tree, with the reference nodes it reads in
// left-to-right order. Ownership: the tree is new, given to the caller.
std::pair<std::unique_ptr<Rhs>, std::vector<SgExpression*>> collect_references(SgExpression* e);

#endif
