#include "program/extraction.h"

#include <cmath>
#include <iostream>

#include "frontend/sg_builder.h"
#include "frontend/sg_node.h"
#include "frontend/sg_project.h"
#include "poly/expression.h"
#include "poly/failure.h"
#include "poly/index_function.h"
#include "poly/inequation.h"
#include "poly/polyhedron.h"
#include "poly/rank.h"
#include "program/array.h"
#include "program/program.h"
#include "program/statement.h"

std::vector<Statement*> statement_vec;
std::vector<std::string> var_declaration;
int source_line_offset = 0;

namespace {

[[noreturn]] void reject(const std::string& message) { fail(Stream::Out, message); }

std::string text_of(const SgNode* node) { return node->unparseToCompleteString(); }

// The name of the function a call names; empty for a call through a pointer.
std::string call_name(const SgFunctionCallExp* call)
{
  const SgFunctionRefExp* f = isSgFunctionRefExp(call->get_function());
  return f ? f->get_symbol()->get_name().getString() : "";
}

const SgFunctionCallExp* call_named(const SgNode* e, const char* name)
{
  const SgFunctionCallExp* call = isSgFunctionCallExp(e);
  return call && call_name(call) == name ? call : nullptr;
}

// Bottom-up reader of expressions; every result is a new tree.
class MakeExpressionTraversal : public AstBottomUpProcessing<Expression*> {
 protected:
  Expression* evaluateSynthesizedAttribute(SgNode* node, SynthesizedAttributesList children) override
  {
    Expression* r = read(node, children);
    return r;
  }

 private:
  static Expression* adopt(operator_t op, Expression* a, Expression* b)
  {
    Expression* e = new Expression(op, a, b);
    delete a;
    delete b;
    return e;
  }

  Expression* read(SgNode* node, SynthesizedAttributesList& c)
  {
    if (const SgVarRefExp* ref = isSgVarRefExp(node))
      return new Expression(ref->get_symbol()->get_name().getString());
    if (const SgIntVal* i = isSgIntVal(node))
      return new Expression(i->get_value());
    if (const SgDoubleVal* d = isSgDoubleVal(node)) {
      double v = d->get_value();
      if (v != std::floor(v) || v < -2147483648.0 || v > 2147483647.0)
        reject("Expression::from_Sage: not an integer:" + text_of(node));
      return new Expression(static_cast<int>(v));
    }
    switch (node->variantT()) {
      case V_SgAddOp: return adopt(OP_PLUS, c[0], c[1]);
      case V_SgSubtractOp: return adopt(OP_MINUS, c[0], c[1]);
      case V_SgMultiplyOp: return adopt(OP_TIMES, c[0], c[1]);
      case V_SgDivideOp: return adopt(OP_DIV, c[0], c[1]);
      case V_SgModOp: return adopt(OP_MOD, c[0], c[1]);
      case V_SgMinusOp: return adopt(OP_TIMES, new Expression(-1), c[0]);
      case V_SgUnaryAddOp: return c[0];
      case V_SgFunctionRefExp: return new Expression(0);  // placeholder for the callee
      case V_SgExprListExp: return read_floor_argument(node, c);
      case V_SgFunctionCallExp: return read_call(node, c);
      default: break;
    }
    reject("Expression::from_Sage: " + node->class_name() + " unhandled");
  }

  // The argument list of floor(a / b) or ceil(a / b): one quotient, read as
  // the floor node of a by b (the call turns it into a ceiling for ceil).
  static Expression* read_floor_argument(SgNode* node, SynthesizedAttributesList& c)
  {
    const SgNode* call = node->get_parent();
    std::string call_text = call ? text_of(call) : text_of(node);
    if (c.size() != 1)
      reject("Expression::from_Sage: unary function expected (ceil/floor handling):" + call_text);
    Expression* q = c[0];
    if (!q->is_op(OP_DIV)) {
      std::ostringstream os;
      os << "Expression::from_Sage: unary_function (./.) expected (ceil/floor handling):"
         << call_text << "\n"
         << *q;
      reject(os.str());
    }
    Expression* floor = new Expression(OP_FLOOR, q->fg, q->fd);
    delete q;
    return floor;
  }

  static Expression* read_call(SgNode* node, SynthesizedAttributesList& c)
  {
    std::string name = call_name(isSgFunctionCallExp(node));
    if (name != "floor" && name != "ceil")
      reject("Expression::from_Sage: floor/ceil expected:" + text_of(node));
    Expression* r = c.back();
    for (size_t k = 0; k + 1 < c.size(); k++)
      delete c[k];  // the callee's placeholder
    if (name == "ceil")
      r->op = OP_CEIL;
    return r;
  }
};

SgExpression* argument(const SgFunctionCallExp* call, size_t k, const char* which)
{
  SgExpressionPtrList args = call->get_args()->get_expressions();
  if (args.empty())
    reject(std::string("Polyhedron::") + which + ": function with no arguments");
  if (args.size() != 2)
    reject("Polyhedron::from_Sage: " + call_name(call) + " expects two arguments: " +
           text_of(call));
  return args[k];
}

SgExpression* get_lhs(const SgExpression* e)
{
  const SgFunctionCallExp* call = isSgFunctionCallExp(e);
  if (!call)
    reject("SgExpression::get_lhs: not a function!");
  return argument(call, 0, "get_lhs");
}

SgExpression* get_rhs(const SgExpression* e)
{
  const SgFunctionCallExp* call = isSgFunctionCallExp(e);
  if (!call)
    reject("SgExpression::get_rhs: not a function!");
  return argument(call, 1, "get_rhs");
}

// The arguments of nested min (or max) calls, unfolded through their first
// argument: min(min(x, y), z) gives z, y, x.
void gather(const SgExpression* m, const char* name, std::vector<SgExpression*>& out)
{
  SgExpression* first = get_lhs(m);
  out.push_back(get_rhs(m));
  if (call_named(first, name))
    gather(first, name, out);
  else
    out.push_back(first);
}

// Whether e is floor(a / b) or ceil(a / b) with a positive constant b.
bool is_rounded_quotient(const Expression* e)
{
  return (e->is_floor() || e->is_ceil()) && e->fd->is_constant() && e->fd->val > 0;
}

predicate_t mirrored(predicate_t p)
{
  switch (p) {
    case PRED_LT: return PRED_GT;
    case PRED_LE: return PRED_GE;
    case PRED_GT: return PRED_LT;
    case PRED_GE: return PRED_LE;
    default: return p;
  }
}

// Adds lhs pred rhs to p. A side that is exactly floor(a / b) or ceil(a / b)
// is compared without rounding, which is exact for integer values:
// x <= floor(a/b) is b*x <= a, floor(a/b) <= x is a <= b*x + b - 1, and
// x >= ceil(a/b) is b*x >= a, ceil(a/b) >= x is a >= b*x - b + 1; strict and
// equal comparisons are made of these. Constraints then stay affine.
void add_comparison(Polyhedron* p, predicate_t pred, const Expression* lhs, const Expression* rhs)
{
  if (!is_rounded_quotient(rhs) && is_rounded_quotient(lhs)) {
    add_comparison(p, mirrored(pred), rhs, lhs);
    return;
  }
  if (!is_rounded_quotient(rhs)) {
    Inequation c(pred, lhs, rhs);
    p->add_constraint(&c);
    return;
  }
  if (pred == PRED_EQ) {
    add_comparison(p, PRED_LE, lhs, rhs);
    add_comparison(p, PRED_GE, lhs, rhs);
    return;
  }
  // Strict comparisons of integers: x < q is x + 1 <= q, x > q is x - 1 >= q.
  Expression one(1);
  Expression x_plus(OP_PLUS, lhs, &one), x_minus(OP_MINUS, lhs, &one);
  const Expression* x = pred == PRED_LT ? &x_plus : pred == PRED_GT ? &x_minus : lhs;
  bool upper = pred == PRED_LT || pred == PRED_LE;  // x <= q
  const Expression* a = rhs->fg;
  Expression b(rhs->fd->val), slack(rhs->fd->val - 1);
  Expression bx(OP_TIMES, &b, x);
  if (rhs->is_floor()) {
    if (upper) {
      Inequation c(PRED_LE, &bx, a);  // b*x <= a
      p->add_constraint(&c);
    } else {
      Expression bound(OP_PLUS, &bx, &slack);  // a <= b*x + b - 1
      Inequation c(PRED_LE, a, &bound);
      p->add_constraint(&c);
    }
  } else {
    if (upper) {
      Expression bound(OP_MINUS, &bx, &slack);  // a >= b*x - b + 1
      Inequation c(PRED_GE, a, &bound);
      p->add_constraint(&c);
    } else {
      Inequation c(PRED_GE, &bx, a);  // b*x >= a
      p->add_constraint(&c);
    }
  }
}

// a op x for every argument x of the min or max m, a read once.
Polyhedron* bounds(SgExpression* a, SgExpression* m, const char* name, predicate_t pred, int shift)
{
  std::vector<SgExpression*> args;
  gather(m, name, args);
  Expression* left = Expression::from_Sage(a);
  Polyhedron* p = new Polyhedron();
  for (SgExpression* x : args) {
    Expression* right = Expression::from_Sage(x);
    Expression* shifted = right;
    if (shift != 0 && is_rounded_quotient(right)) {
      add_comparison(p, PRED_LT, left, right);  // strictness handled with the rounding
      delete right;
      continue;
    }
    if (shift != 0) {
      Expression k(shift);
      shifted = new Expression(OP_MINUS, right, &k);
      delete right;
    }
    add_comparison(p, pred, left, shifted);
    delete shifted;
  }
  delete left;
  return p;
}

// Whether the step of a loop on counter c counts up by one: c++, ++c,
// c += 1 (read as c = c + (1)) or c = c + 1.
bool is_unit_step(SgExpression* step, const std::string& c)
{
  auto is_counter = [&c](const SgExpression* e) {
    const SgVarRefExp* v = isSgVarRefExp(e);
    return v && v->get_symbol()->get_name().getString() == c;
  };
  auto is_one = [](const SgExpression* e) {
    const SgIntVal* i = isSgIntVal(e);
    return i && i->get_value() == 1;
  };
  if (const SgPlusPlusOp* inc = isSgPlusPlusOp(step))
    return is_counter(inc->get_operand());
  if (const SgAssignOp* a = isSgAssignOp(step)) {
    const SgAddOp* sum = isSgAddOp(a->get_rhs_operand());
    return is_counter(a->get_lhs_operand()) && sum && is_counter(sum->get_lhs_operand()) &&
           is_one(sum->get_rhs_operand());
  }
  return false;
}

// The line of a node in the user's file.
std::string line_of(const SgNode* node) { return std::to_string(node->get_line() - source_line_offset); }

std::string loop_name(const SgForStatement* loop) { return "for loop at line " + line_of(loop); }

// Whether e reads the variable c (as in the initialisation c = c + 1).
bool mentions(const SgNode* e, const std::string& c)
{
  const SgVarRefExp* v = isSgVarRefExp(e);
  if (v && v->get_symbol()->get_name().getString() == c)
    return true;
  for (const SgNode* child : e->get_traversalSuccessorContainer())
    if (mentions(child, c))
      return true;
  return false;
}

// The counter of a loop and its lower bound, from "c = lb" or "int c = lb".
std::pair<std::string, SgExpression*> read_loop_init(SgForStatement* loop, bool& declared)
{
  SgStatementPtrList init = loop->get_init_stmt();
  declared = false;
  if (init.size() == 1) {
    if (const SgExprStatement* s = isSgExprStatement(init[0])) {
      const SgAssignOp* a = isSgAssignOp(s->get_expression());
      const SgVarRefExp* c = a ? isSgVarRefExp(a->get_lhs_operand()) : nullptr;
      // The counter's own value in its lower bound (c += k, c = c + k) is no
      // initialisation.
      if (c && !mentions(a->get_rhs_operand(), c->get_symbol()->get_name().getString()))
        return {c->get_symbol()->get_name().getString(), a->get_rhs_operand()};
    }
    if (const SgVariableDeclaration* d = isSgVariableDeclaration(init[0])) {
      SgInitializedNamePtrList v = d->get_variables();
      if (v.size() == 1 && v[0]->get_initializer() &&
          !mentions(v[0]->get_initializer(), v[0]->get_name().getString())) {
        declared = true;
        return {v[0]->get_name().getString(), v[0]->get_initializer()};
      }
    }
  }
  std::string what = init.empty() ? std::string("no initialisation") : text_of(init[0]);
  reject("Program::from_Sage: " + loop_name(loop) +
         ": expect an initialisation c = lb or int c = lb; found: " + what);
}

bool is_loop_increment(const SgNode* node)
{
  const SgForStatement* loop = isSgForStatement(node->get_parent());
  return loop && loop->get_increment() == node;
}

bool in_loop_initialisation(const SgNode* node)
{
  return isSgForInitStatement(node->get_parent()) != nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Readers

Expression* Expression::from_Sage(SgExpression* e)
{
  MakeExpressionTraversal reader;
  return reader.traverse(e);
}

Inequation* Inequation::from_Sage(SgExpression* e)
{
  predicate_t pred;
  switch (e->variantT()) {
    case V_SgEqualityOp: pred = PRED_EQ; break;
    case V_SgLessThanOp: pred = PRED_LT; break;
    case V_SgGreaterThanOp: pred = PRED_GT; break;
    case V_SgLessOrEqualOp: pred = PRED_LE; break;
    case V_SgGreaterOrEqualOp: pred = PRED_GE; break;
    default: reject("Inequation::from_Sage: " + e->class_name() + " unhandled");
  }
  SgBinaryOp* b = isSgBinaryOp(e);
  Expression* lhs = Expression::from_Sage(b->get_lhs_operand());
  Expression* rhs = Expression::from_Sage(b->get_rhs_operand());
  Inequation* c = new Inequation(pred, lhs, rhs);
  delete lhs;
  delete rhs;
  return c;
}

std::pair<std::string, IndexFunction*> IndexFunction::from_Sage(SgExpression* ref,
                                                                const std::vector<int>& counters)
{
  std::vector<Expression*> subscripts;
  SgExpression* e = ref;
  while (SgPntrArrRefExp* a = isSgPntrArrRefExp(e)) {
    subscripts.push_back(Expression::from_Sage(a->get_rhs_operand()));
    e = a->get_lhs_operand();
  }
  const SgVarRefExp* base = isSgVarRefExp(e);
  if (!base)
    reject("IndexFunction::from_Sage: array or scalar reference expected: " + text_of(ref));
  std::vector<Expression*> components(subscripts.rbegin(), subscripts.rend());
  IndexFunction* f = new IndexFunction(counters, components);
  del(subscripts);
  return {base->get_symbol()->get_name().getString(), f};
}

Polyhedron* Polyhedron::from_Sage(SgExpression* e)
{
  if (const SgBoolValExp* b = isSgBoolValExp(e)) {
    std::cout << (b->get_value() ? "true" : "false") << std::endl;
    return b->get_value() ? universe() : empty();
  }
  SgBinaryOp* op = isSgBinaryOp(e);
  if (!op)
    reject("Polyhedron::fromSage: invalid expression " + e->class_name());
  SgExpression* a = op->get_lhs_operand();
  SgExpression* m = op->get_rhs_operand();
  switch (e->variantT()) {
    case V_SgAndOp: {
      Polyhedron* left = from_Sage(a);
      Polyhedron* right = from_Sage(m);
      left->add_constraints(right);
      delete right;
      return left;
    }
    case V_SgLessThanOp:
    case V_SgLessOrEqualOp:
      if (call_named(m, "min"))
        return bounds(a, m, "min", PRED_LE, e->variantT() == V_SgLessThanOp ? 1 : 0);
      if (call_named(m, "max"))
        reject("Polyhedron::from_Sage: < max unhandled");
      break;
    case V_SgGreaterThanOp:
    case V_SgGreaterOrEqualOp:
    case V_SgEqualityOp:
      if (call_named(m, "max")) {
        if (e->variantT() == V_SgEqualityOp)
          reject("Polyhedron::from_Sage: = max unhandled");
        return bounds(a, m, "max", e->variantT() == V_SgGreaterThanOp ? PRED_GT : PRED_GE, 0);
      }
      if (call_named(m, "min"))
        reject("Polyhedron::from_Sage: > min unhandled");
      break;
    default:
      reject("Polyhedron::from_Sage: " + e->class_name() + " unhandled");
  }
  Inequation* c = Inequation::from_Sage(e);
  Polyhedron* p = new Polyhedron();
  add_comparison(p, c->pred, c->lhs, c->rhs);
  delete c;
  return p;
}

// ---------------------------------------------------------------------------
// Statements

std::pair<Rhs*, std::vector<SgExpression*>> collect_references(SgExpression* e)
{
  if (isSgVarRefExp(e) || isSgPntrArrRefExp(e)) {
    auto [name, f] = IndexFunction::from_Sage(e, {});
    delete f;
    return {new Rhs(name, 0), {e}};
  }
  if (isSgValueExp(e))
    return {new Rhs(text_of(e)), {}};
  std::vector<Rhs*> operands;
  std::vector<SgExpression*> references;
  std::vector<SgExpression*> parts;
  int id = e->variantT();
  std::string name = e->class_name();
  if (const SgFunctionCallExp* call = isSgFunctionCallExp(e)) {
    // A call prints as itself: the function's name over its arguments.
    parts = call->get_args()->get_expressions();
    if (!call_name(call).empty())
      name = call_name(call);
  } else {
    for (SgNode* child : e->get_traversalSuccessorContainer())
      if (SgExpression* x = isSgExpression(child))
        parts.push_back(x);
  }
  for (SgExpression* part : parts) {
    auto [tree, refs] = collect_references(part);
    operands.push_back(tree);
    references.insert(references.end(), refs.begin(), refs.end());
  }
  Rhs* r = new Rhs(id, name, operands);
  for (Rhs* o : operands)
    delete o;
  return {r, references};
}

Statement::Statement(int rank, const std::list<std::string>& counters, Polyhedron* domain,
                     SgAssignOp* a)
    : stmt_rank(rank), iteration_domain(domain)
{
  for (const std::string& c : counters)
    surrounding_counters.push_back(get_counter_rank(c));
  auto [name, index] = IndexFunction::from_Sage(a->get_lhs_operand(), surrounding_counters);
  lhs_id = name;
  lhs_index = index;
  add_array(lhs_id, lhs_index->dimension());
  auto [tree, references] = collect_references(a->get_rhs_operand());
  for (SgExpression* ref : references) {
    auto read = IndexFunction::from_Sage(ref, surrounding_counters);
    add_array(read.first, read.second->dimension());
    rhs_index.push_back(read);
  }
  rhs = tree->clone();
  rhs->fix_ranks();
  delete tree;
}

// ---------------------------------------------------------------------------
// The walk

ASTInfo::ASTInfo() : domain(new Polyhedron()) {}

ASTInfo::ASTInfo(const ASTInfo& o)
    : counters(o.counters), domain(o.domain->clone()), skip_next_assignment(o.skip_next_assignment)
{
}

ASTInfo& ASTInfo::operator=(const ASTInfo& o)
{
  if (this != &o) {
    Polyhedron* copy = o.domain->clone();
    delete domain;
    domain = copy;
    counters = o.counters;
    skip_next_assignment = o.skip_next_assignment;
  }
  return *this;
}

ASTInfo::~ASTInfo() { delete domain; }

void ASTInfo::add_counter(const std::string& name) { counters.push_back(name); }

void ASTInfo::add_constraint(SgExpression* e)
{
  Polyhedron* p = Polyhedron::from_Sage(e);
  domain->add_constraints(p);
  delete p;
}

ASTInfo MainTraversal::evaluateInheritedAttribute(SgNode* node, ASTInfo info)
{
  if (SgAssignOp* a = isSgAssignOp(node)) {
    if (info.skip_next_assignment) {
      info.skip_next_assignment = 0;
    } else if (!is_loop_increment(node)) {
      int rank = static_cast<int>(statement_vec.size());
      statement_vec.push_back(new Statement(rank, info.counters, info.domain->clone(), a));
    }
  } else if (SgForStatement* loop = isSgForStatement(node)) {
    bool declared = false;
    auto [c, lb] = read_loop_init(loop, declared);
    SgExpression* test = loop->get_test_expr();
    if (!test)
      reject("Program::from_Sage: " + loop_name(loop) + ": the loop has no test");
    SgExpression* step = loop->get_increment();
    if (!step || !is_unit_step(step, c))
      reject("Program::from_Sage: " + loop_name(loop) + ": expect a step of one (" + c + "++); found: " +
             (step ? text_of(step) : std::string("no step")));
    create_counter_rank(c);
    info.add_counter(c);
    if (declared) {
      // No reference node names the counter: the bounds c >= lb (one per
      // argument of a max) are made directly.
      std::vector<SgExpression*> lower;
      if (call_named(lb, "min"))
        reject("Polyhedron::from_Sage: > min unhandled");
      if (call_named(lb, "max"))
        gather(lb, "max", lower);
      else
        lower.push_back(lb);
      Expression counter(c);
      for (SgExpression* x : lower) {
        Expression* bound = Expression::from_Sage(x);
        add_comparison(info.domain, PRED_GE, &counter, bound);
        delete bound;
      }
    } else {
      SgAssignOp* init = isSgAssignOp(isSgExprStatement(loop->get_init_stmt()[0])->get_expression());
      info.add_constraint(buildGreaterOrEqualOp(init->get_lhs_operand(), lb));
    }
    info.add_constraint(test);
  } else if (isSgForInitStatement(node)) {
    info.skip_next_assignment = 1;
  } else if (SgIfStmt* branch = isSgIfStmt(node)) {
    if (branch->get_false_body() &&
        !branch->get_false_body()->get_traversalSuccessorContainer().empty())
      std::cout << "WARNING: Program::from_Sage: ELSE not handled" << std::endl;
    const SgExprStatement* cond = isSgExprStatement(branch->get_conditional());
    if (!cond)
      reject("Program::from_Sage: if statement at line " + line_of(branch) +
             ": unhandled condition");
    info.add_constraint(cond->get_expression());
  } else if (isSgVariableDeclaration(node)) {
    // A counter declared in its loop's initialisation is no program variable.
    if (!in_loop_initialisation(node))
      var_declaration.push_back(text_of(node));
  }
  return info;
}

Program* Program::from_Sage(SgProject* project)
{
  statement_vec.clear();
  MainTraversal walk;
  walk.traverseInputFiles(project, ASTInfo());
  Program* p = new Program(get_nb_counters(), get_nb_parameters(), statement_vec);
  p->set_variable_declaration(var_declaration);
  return p;
}
