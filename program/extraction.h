// The walk that turns the syntax tree of the input into the program model.
//
// One top-down walk keeps, for every node, the counters of the enclosing
// loops and the domain of their bounds and if-conditions; every assignment
// met becomes a Statement over them. Expressions, constraints and references
// are read by Expression::from_Sage, Inequation::from_Sage,
// IndexFunction::from_Sage and Polyhedron::from_Sage.
#ifndef VORL_PROGRAM_EXTRACTION_H
#define VORL_PROGRAM_EXTRACTION_H

#include <list>
#include <string>
#include <utility>
#include <vector>

#include "frontend/traversal.h"

class Polyhedron;
class Rhs;
class Statement;

// The attribute handed from a node to its children. Ownership: each
// attribute owns its domain; copying clones it.
class ASTInfo {
 public:
  std::list<std::string> counters;
  Polyhedron* domain;
  int skip_next_assignment = 0;

  ASTInfo();
  ASTInfo(const ASTInfo& other);
  ASTInfo& operator=(const ASTInfo& other);
  ~ASTInfo();

  void add_counter(const std::string& name);
  // The domain becomes its intersection with the polyhedron of e.
  void add_constraint(SgExpression* e);
};

// Statements created so far by the walk, in walk order, and the source text
// of every variable declaration met (process-wide).
extern std::vector<Statement*> statement_vec;
extern std::vector<std::string> var_declaration;

// Lines put in front of the user's text before the parse the walk reads (the
// reserved declarations of the pragma preprocessing); messages subtract it so
// that they name lines of the user's file. 0 unless set.
extern int source_line_offset;

class MainTraversal : public AstTopDownProcessing<ASTInfo> {
 protected:
  ASTInfo evaluateInheritedAttribute(SgNode* node, ASTInfo info) override;
};

// The right-hand side as an Rhs tree, with the reference nodes it reads in
// left-to-right order. Ownership: the tree is new, given to the caller.
std::pair<Rhs*, std::vector<SgExpression*>> collect_references(SgExpression* e);

#endif
