#include "program/extraction.h"

#include <cmath>
#include <iostream>
#include <sstream>

#include "frontend/sg_node.h"
#include "frontend/sg_project.h"
#include "frontend/source_text.h"
#include "algebra/expression.h"
#include "support/ownership.h"
#include "support/failure.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"
#include "program/array.h"
#include "program/program.h"
#include "program/statement.h"

namespace {

// Ends the process with one line: the place and construct of node, then the
// message.
[[noreturn]] void reject(const SgNode* node, const std::string& message)
{
  // A pragma's pseudo-assignment is shown as the pragma the user wrote.
  std::string where = location_of(node), what = pragma_text(construct_of(node));
  fail(Stream::Out, (where.empty() ? "" : where + ": ") + (what.empty() ? "" : what + ": ") + message);
}

std::string text_of(const SgNode* node) { return node->unparseToCompleteString(); }

std::string line_of(const SgNode* node) { return std::to_string(node->get_line()); }

// What a construct the readers do not take is, in plain words.
std::string plain_words(const SgNode* node)
{
  switch (node->variantT()) {
    case V_SgNotEqualOp: return "a != condition is not affine";
    case V_SgOrOp: return "a || condition is not one affine domain: write two if statements";
    case V_SgNotOp: return "a ! condition is not affine";
    case V_SgAndOp: return "a condition inside a bound or subscript";
    case V_SgCastExp: return "a cast in a loop bound, condition or subscript";
    case V_SgPntrArrRefExp: return "an array element in a loop bound, condition or subscript";
    case V_SgConditionalExp: return "a ?: in a loop bound, condition or subscript";
    case V_SgAssignOp:
    case V_SgPlusPlusOp:
    case V_SgMinusMinusOp: return "an assignment in a loop bound, condition or subscript";
    case V_SgBitAndOp:
    case V_SgBitOrOp:
    case V_SgBitXorOp:
    case V_SgLshiftOp:
    case V_SgRshiftOp:
    case V_SgBitComplementOp: return "a bitwise operator is not affine";
    case V_SgVarRefExp:
    case V_SgIntVal:
    case V_SgDoubleVal: return "expect a comparison";
    default: break;
  }
  if (node->class_name().find("macro body") != std::string::npos)
    return "an operator written only in a macro body";
  return "not read in loop bounds, conditions and subscripts";
}

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

// Bottom-up reader of expressions; every result is a new tree, and the
// children's trees are freed when a node is refused.
class MakeExpressionTraversal : public AstBottomUpProcessing<std::unique_ptr<Expression>> {
 protected:
  std::unique_ptr<Expression> evaluateSynthesizedAttribute(SgNode* node,
                                                           SynthesizedAttributesList children) override
  {
    return read(node, children);
  }

 private:
  using Owned = std::unique_ptr<Expression>;

  static Owned adopt(operator_t op, const Owned& a, const Owned& b)
  {
    return std::make_unique<Expression>(op, a.get(), b.get());
  }

  Owned read(SgNode* node, SynthesizedAttributesList& c)
  {
    if (const SgVarRefExp* ref = isSgVarRefExp(node))
      return std::make_unique<Expression>(ref->get_symbol()->get_name().getString());
    if (const SgIntVal* i = isSgIntVal(node))
      return std::make_unique<Expression>(i->get_value());
    if (const SgDoubleVal* d = isSgDoubleVal(node)) {
      double v = d->get_value();
      if (v != std::floor(v) || v < -2147483648.0 || v > 2147483647.0)
        reject(node, "Expression::from_Sage: not an integer:" + text_of(node));
      return std::make_unique<Expression>(static_cast<int>(v));
    }
    switch (node->variantT()) {
      case V_SgAddOp: return adopt(OP_PLUS, c[0], c[1]);
      case V_SgSubtractOp: return adopt(OP_MINUS, c[0], c[1]);
      case V_SgMultiplyOp: return adopt(OP_TIMES, c[0], c[1]);
      case V_SgDivideOp: return adopt(OP_DIV, c[0], c[1]);
      case V_SgModOp: return adopt(OP_MOD, c[0], c[1]);
      case V_SgMinusOp: return adopt(OP_TIMES, std::make_unique<Expression>(-1), c[0]);
      case V_SgUnaryAddOp: return std::move(c[0]);
      case V_SgFunctionRefExp: return std::make_unique<Expression>(0);  // placeholder for the callee
      case V_SgExprListExp: return read_floor_argument(node, c);
      case V_SgFunctionCallExp: return read_call(node, c);
      default: break;
    }
    reject(node, "Expression::from_Sage: " + node->class_name() + " unhandled: " + plain_words(node));
  }

  // The argument list of floor(a / b) or ceil(a / b): one quotient, read as
  // the floor node of a by b (the call turns it into a ceiling for ceil).
  static Owned read_floor_argument(SgNode* node, SynthesizedAttributesList& c)
  {
    const SgNode* call = node->get_parent();
    std::string call_text = call ? text_of(call) : text_of(node);
    if (c.size() != 1)
      reject(node, "Expression::from_Sage: unary function expected (ceil/floor handling):" + call_text);
    const Expression* q = c[0].get();
    if (!q->is_op(OP_DIV)) {
      std::ostringstream os;
      os << "Expression::from_Sage: unary_function (./.) expected (ceil/floor handling):" << call_text
         << " (found: " << *q << ")";
      reject(node, os.str());
    }
    return std::make_unique<Expression>(OP_FLOOR, q->fg, q->fd);
  }

  static Owned read_call(SgNode* node, SynthesizedAttributesList& c)
  {
    std::string name = call_name(isSgFunctionCallExp(node));
    if (name != "floor" && name != "ceil")
      reject(node, "Expression::from_Sage: floor/ceil expected:" + text_of(node));
    Owned r = std::move(c.back());  // the others: the callee's placeholder
    if (name == "ceil")
      r->op = OP_CEIL;
    return r;
  }
};

// ---------------------------------------------------------------------------
// What the analysis can compute with

// Whether the coefficient vector of e can be computed: sums and differences
// of counters, parameters and constants, each product with a constant.
bool affine(const Expression* e)
{
  if (e->is_leaf)
    return e->is_val || e->is_counter || e->is_parameter;
  switch (e->op) {
    case OP_PLUS:
    case OP_MINUS: return affine(e->fg) && affine(e->fd);
    case OP_TIMES:
      return (e->fg->is_constant() && affine(e->fd)) || (e->fd->is_constant() && affine(e->fg));
    default: return false;
  }
}

std::string why_not_affine(const Expression* e)
{
  if (e->is_leaf || e->op == OP_PLUS || e->op == OP_MINUS)
    return !e->is_leaf && !affine(e->fg) ? why_not_affine(e->fg)
           : !e->is_leaf                 ? why_not_affine(e->fd)
                                         : "not affine";
  if (e->op == OP_TIMES)
    return "a product of two variables is not affine";
  return "a division or remainder is not affine here";
}

// An upper bound of every coefficient and constant that e can produce, and
// the largest constant written in it.
long double magnitude(const Expression* e, long long& largest)
{
  if (e->is_leaf) {
    long long v = e->is_val ? std::llabs(static_cast<long long>(e->val)) : 1;
    if (e->is_val && v > largest)
      largest = v;
    return static_cast<long double>(v);
  }
  long double a = magnitude(e->fg, largest), b = magnitude(e->fd, largest);
  switch (e->op) {
    case OP_PLUS:
    case OP_MINUS: return a + b;
    case OP_TIMES: return a * b;
    default: return a > b ? a : b;
  }
}

void check_magnitude(const Expression* e, const SgNode* node)
{
  long long largest = 0;
  long double m = magnitude(e, largest);
  if (largest > kLargestModelValue)
    reject(node, cat("Expression::from_Sage: the number ", largest, " is beyond ", kLargestModelValue,
                     ", the largest the analysis takes"));
  if (m > static_cast<long double>(kLargestModelValue))
    reject(node, cat("Expression::from_Sage: the numbers of ", *e, " add up beyond ",
                     kLargestModelValue, ", the largest the analysis takes"));
}

// A constraint read from node must be affine and of bounded numbers.
void check_constraint(const Inequation* c, const SgNode* node)
{
  check_magnitude(c->lhs, node);
  check_magnitude(c->rhs, node);
  const Expression* wrong = !affine(c->lhs) ? c->lhs : !affine(c->rhs) ? c->rhs : nullptr;
  if (wrong)
    reject(node, "Expression::to_vector: Non affine expression (newparm?): " + why_not_affine(wrong));
}

void check_constraints(const Polyhedron* p, const SgNode* node)
{
  for (const Inequation* c : p->constraints)
    check_constraint(c, node);
}

// ---------------------------------------------------------------------------
// Conditions

SgExpression* argument(const SgFunctionCallExp* call, size_t k, const char* which)
{
  SgExpressionPtrList args = call->get_args()->get_expressions();
  if (args.empty())
    reject(call, std::string("Polyhedron::") + which + ": function with no arguments");
  if (args.size() != 2)
    reject(call, "Polyhedron::from_Sage: " + call_name(call) + " expects two arguments: " +
                     text_of(call));
  return args[k];
}

SgExpression* get_lhs(const SgExpression* e)
{
  const SgFunctionCallExp* call = isSgFunctionCallExp(e);
  if (!call)
    reject(e, "SgExpression::get_lhs: not a function!");
  return argument(call, 0, "get_lhs");
}

SgExpression* get_rhs(const SgExpression* e)
{
  const SgFunctionCallExp* call = isSgFunctionCallExp(e);
  if (!call)
    reject(e, "SgExpression::get_rhs: not a function!");
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

// Whether e is floor(a / b), ceil(a / b) or the C quotient a / b, with a
// positive constant b. C's quotient of a non-negative a is its floor, which is
// how it is read.
bool is_rounded_quotient(const Expression* e)
{
  return (e->is_floor() || e->is_ceil() || e->is_op(OP_DIV)) && e->fd->is_constant() &&
         e->fd->val > 0;
}

// e as rest + sign * q, where q is the one rounded quotient written among the
// terms of e's sums and differences (sign 1 or -1); false when there is none,
// more than one, or one under another factor. rest is new.
bool split_quotient(const Expression* e, const Expression*& q, int& sign, std::unique_ptr<Expression>& rest)
{
  if (is_rounded_quotient(e)) {
    q = e;
    sign = 1;
    rest = v(0);
    return true;
  }
  if (e->is_leaf)
    return false;
  if (e->op == OP_TIMES && e->fg->is_value(-1)) {
    if (!split_quotient(e->fd, q, sign, rest))
      return false;
    sign = -sign;
    Expression minus_one(-1);
    rest = std::make_unique<Expression>(OP_TIMES, &minus_one, rest.get());
    return true;
  }
  if (e->op != OP_PLUS && e->op != OP_MINUS)
    return false;
  const Expression *q_left = nullptr, *q_right = nullptr;
  int s_left = 0, s_right = 0;
  std::unique_ptr<Expression> r_left, r_right;
  bool left = split_quotient(e->fg, q_left, s_left, r_left);
  bool right = split_quotient(e->fd, q_right, s_right, r_right);
  if (left == right)
    return false;
  if (left) {
    q = q_left;
    sign = s_left;
    rest = std::make_unique<Expression>(e->op, r_left.get(), e->fd);
  } else {
    q = q_right;
    sign = e->op == OP_PLUS ? s_right : -s_right;
    rest = std::make_unique<Expression>(e->op, e->fg, r_right.get());
  }
  return true;
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

predicate_t negated(predicate_t p)
{
  switch (p) {
    case PRED_LT: return PRED_GE;
    case PRED_LE: return PRED_GT;
    case PRED_GT: return PRED_LE;
    case PRED_GE: return PRED_LT;
    default: return p;
  }
}

// Adds lhs pred rhs to p. A side that is a rounded quotient floor(a / b),
// ceil(a / b) or a / b is compared without rounding, which is exact for
// integer values: x <= floor(a/b) is b*x <= a, floor(a/b) <= x is
// a <= b*x + b - 1, and x >= ceil(a/b) is b*x >= a, ceil(a/b) >= x is
// a >= b*x - b + 1; strict and equal comparisons are made of these. A
// quotient that is one term of a sum is first moved alone to its side.
// Constraints then stay affine.
void add_comparison(Polyhedron* p, predicate_t pred, const Expression* lhs, const Expression* rhs)
{
  if (!is_rounded_quotient(rhs) && is_rounded_quotient(lhs)) {
    add_comparison(p, mirrored(pred), rhs, lhs);
    return;
  }
  if (!is_rounded_quotient(rhs)) {
    const Expression* q = nullptr;
    int sign = 0;
    std::unique_ptr<Expression> rest;
    if (split_quotient(rhs, q, sign, rest)) {
      // lhs pred rest + q is lhs - rest pred q; lhs pred rest - q is
      // q pred rest - lhs.
      Expression moved(OP_MINUS, sign > 0 ? lhs : rest.get(), sign > 0 ? rest.get() : lhs);
      if (sign > 0)
        add_comparison(p, pred, &moved, q);
      else
        add_comparison(p, pred, q, &moved);
      return;
    }
    if (split_quotient(lhs, q, sign, rest)) {
      add_comparison(p, mirrored(pred), rhs, lhs);
      return;
    }
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
  if (!rhs->is_ceil()) {
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
std::unique_ptr<Polyhedron> bounds(SgExpression* a, SgExpression* m, const char* name, predicate_t pred,
                            int shift)
{
  std::vector<SgExpression*> args;
  gather(m, name, args);
  std::unique_ptr<Expression> left(Expression::from_Sage(a));
  auto p = std::make_unique<Polyhedron>();
  for (SgExpression* x : args) {
    std::unique_ptr<Expression> right(Expression::from_Sage(x));
    if (shift != 0 && is_rounded_quotient(right.get())) {
      add_comparison(p.get(), PRED_LT, left.get(), right.get());  // strictness handled with the rounding
      continue;
    }
    if (shift != 0) {
      Expression k(shift);
      right = std::make_unique<Expression>(OP_MINUS, right.get(), &k);
    }
    add_comparison(p.get(), pred, left.get(), right.get());
  }
  return p;
}

// The constraint of the negation of the condition e, when it is one affine
// constraint (a <, <=, > or >= comparison without min or max, or a boolean
// literal); null otherwise.
std::unique_ptr<Polyhedron> negation(SgExpression* e)
{
  if (const SgBoolValExp* b = isSgBoolValExp(e))
    return b->get_value() ? empty() : universe();
  switch (e->variantT()) {
    case V_SgLessThanOp:
    case V_SgLessOrEqualOp:
    case V_SgGreaterThanOp:
    case V_SgGreaterOrEqualOp: break;
    default: return nullptr;
  }
  SgExpression* right = isSgBinaryOp(e)->get_rhs_operand();
  if (call_named(right, "min") || call_named(right, "max"))
    return nullptr;
  std::unique_ptr<Inequation> c(Inequation::from_Sage(e));
  auto p = std::make_unique<Polyhedron>();
  add_comparison(p.get(), negated(c->pred), c->lhs, c->rhs);
  return p;
}

// ---------------------------------------------------------------------------
// Loops

// The step of a loop on counter c: 1 for c++, ++c, c += 1 (read as
// c = c + (1)), c = c + 1 or c = 1 + c; -1 for c--, --c, c -= 1, c = c - 1;
// 0 for anything else.
int unit_step(SgExpression* step, const std::string& c)
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
    return is_counter(inc->get_operand()) ? 1 : 0;
  if (const SgMinusMinusOp* dec = isSgMinusMinusOp(step))
    return is_counter(dec->get_operand()) ? -1 : 0;
  const SgAssignOp* a = isSgAssignOp(step);
  if (!a || !is_counter(a->get_lhs_operand()))
    return 0;
  if (const SgAddOp* sum = isSgAddOp(a->get_rhs_operand())) {
    if ((is_counter(sum->get_lhs_operand()) && is_one(sum->get_rhs_operand())) ||
        (is_one(sum->get_lhs_operand()) && is_counter(sum->get_rhs_operand())))
      return 1;
  }
  if (const SgSubtractOp* difference = isSgSubtractOp(a->get_rhs_operand())) {
    if (is_counter(difference->get_lhs_operand()) && is_one(difference->get_rhs_operand()))
      return -1;
  }
  return 0;
}

// "goto", "return", "break" or "continue".
std::string jump_kind(const SgNode* jump)
{
  return isSgGotoStatement(jump) ? "goto"
         : isSgReturnStmt(jump)  ? "return"
         : isSgBreakStmt(jump)   ? "break"
                                 : "continue";
}

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

// The counter of a loop and its first value, from "c = e" or "int c = e".
std::pair<std::string, SgExpression*> read_loop_init(SgForStatement* loop)
{
  SgStatementPtrList init = loop->get_init_stmt();
  if (init.size() == 1) {
    if (const SgExprStatement* s = isSgExprStatement(init[0])) {
      const SgAssignOp* a = isSgAssignOp(s->get_expression());
      const SgVarRefExp* c = a ? isSgVarRefExp(a->get_lhs_operand()) : nullptr;
      // The counter's own value in its first value (c += k, c = c + k) is no
      // initialisation.
      if (c && !mentions(a->get_rhs_operand(), c->get_symbol()->get_name().getString()))
        return {c->get_symbol()->get_name().getString(), a->get_rhs_operand()};
    }
    if (const SgVariableDeclaration* d = isSgVariableDeclaration(init[0])) {
      SgInitializedNamePtrList v = d->get_variables();
      if (v.size() == 1 && v[0]->get_initializer() &&
          !mentions(v[0]->get_initializer(), v[0]->get_name().getString()))
        return {v[0]->get_name().getString(), v[0]->get_initializer()};
    }
  }
  std::string what = init.empty() ? std::string("no initialisation") : text_of(init[0]);
  reject(loop, "Program::from_Sage: " + loop_name(loop) +
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

// Whether an assignment or increment is a statement: alone in its expression
// statement, or one of the terms of a comma there.
bool at_statement_level(const SgNode* node)
{
  const SgNode* parent = node->get_parent();
  while (isSgCommaOpExp(parent))
    parent = parent->get_parent();
  return isSgExprStatement(parent) != nullptr;
}

// The coefficient of counter rank k in the rows of a constraint that mention
// it, each row meaning row . (variables, 1) >= 0.
std::vector<Value> coefficients(const Inequation* c, int k)
{
  std::vector<Value> r;
  for (const std::vector<Value>& row : c->to_matrix())
    if (row.at(static_cast<size_t>(k)) != 0)
      r.push_back(row[static_cast<size_t>(k)]);
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------
// Readers

std::unique_ptr<Expression> Expression::from_Sage(SgExpression* e)
{
  MakeExpressionTraversal reader;
  return reader.traverse(e);
}

std::unique_ptr<Inequation> Inequation::from_Sage(SgExpression* e)
{
  predicate_t pred;
  switch (e->variantT()) {
    case V_SgEqualityOp: pred = PRED_EQ; break;
    case V_SgLessThanOp: pred = PRED_LT; break;
    case V_SgGreaterThanOp: pred = PRED_GT; break;
    case V_SgLessOrEqualOp: pred = PRED_LE; break;
    case V_SgGreaterOrEqualOp: pred = PRED_GE; break;
    default: reject(e, "Inequation::from_Sage: " + e->class_name() + " unhandled: " + plain_words(e));
  }
  SgBinaryOp* b = isSgBinaryOp(e);
  std::unique_ptr<Expression> lhs = Expression::from_Sage(b->get_lhs_operand());
  std::unique_ptr<Expression> rhs = Expression::from_Sage(b->get_rhs_operand());
  return std::make_unique<Inequation>(pred, lhs.get(), rhs.get());
}

std::pair<std::string, std::unique_ptr<IndexFunction>> IndexFunction::from_Sage(
    SgExpression* ref, const std::vector<int>& counters)
{
  std::vector<std::unique_ptr<Expression>> subscripts;
  SgExpression* e = ref;
  while (SgPntrArrRefExp* a = isSgPntrArrRefExp(e)) {
    subscripts.emplace_back(Expression::from_Sage(a->get_rhs_operand()));
    e = a->get_lhs_operand();
  }
  const SgVarRefExp* base = isSgVarRefExp(e);
  if (!base)
    reject(ref, "IndexFunction::from_Sage: array or scalar reference expected: " + text_of(ref));
  std::vector<Expression*> components;
  for (auto s = subscripts.rbegin(); s != subscripts.rend(); ++s)
    components.push_back(s->get());
  return {base->get_symbol()->get_name().getString(),
          std::make_unique<IndexFunction>(counters, components)};
}

std::unique_ptr<Polyhedron> Polyhedron::from_Sage(SgExpression* e)
{
  if (const SgBoolValExp* b = isSgBoolValExp(e)) {
    std::cout << (b->get_value() ? "true" : "false") << std::endl;
    return b->get_value() ? universe() : empty();
  }
  SgBinaryOp* op = isSgBinaryOp(e);
  if (!op)
    reject(e, "Polyhedron::fromSage: invalid expression " + e->class_name() + ": " + plain_words(e));
  SgExpression* a = op->get_lhs_operand();
  SgExpression* m = op->get_rhs_operand();
  switch (e->variantT()) {
    case V_SgAndOp: {
      std::unique_ptr<Polyhedron> left = from_Sage(a);
      std::unique_ptr<Polyhedron> right = from_Sage(m);
      left->add_constraints(right.get());
      return left;
    }
    case V_SgLessThanOp:
    case V_SgLessOrEqualOp:
      if (call_named(m, "min"))
        return bounds(a, m, "min", PRED_LE, e->variantT() == V_SgLessThanOp ? 1 : 0);
      if (call_named(m, "max"))
        reject(e, "Polyhedron::from_Sage: < max unhandled: a bound below a max is not one affine domain");
      break;
    case V_SgGreaterThanOp:
    case V_SgGreaterOrEqualOp:
    case V_SgEqualityOp:
      if (call_named(m, "max")) {
        if (e->variantT() == V_SgEqualityOp)
          reject(e, "Polyhedron::from_Sage: = max unhandled: an equality with a max is not one affine domain");
        return bounds(a, m, "max", e->variantT() == V_SgGreaterThanOp ? PRED_GT : PRED_GE, 0);
      }
      if (call_named(m, "min"))
        reject(e, "Polyhedron::from_Sage: > min unhandled: a bound above a min is not one affine domain");
      break;
    default:
      reject(e, "Polyhedron::from_Sage: " + e->class_name() + " unhandled: " + plain_words(e));
  }
  std::unique_ptr<Inequation> c = Inequation::from_Sage(e);
  auto p = std::make_unique<Polyhedron>();
  add_comparison(p.get(), c->pred, c->lhs, c->rhs);
  return p;
}

// ---------------------------------------------------------------------------
// Statements

std::pair<std::unique_ptr<Rhs>, std::vector<SgExpression*>> collect_references(SgExpression* e)
{
  if (isSgVarRefExp(e) || isSgPntrArrRefExp(e))
    return {std::make_unique<Rhs>(IndexFunction::from_Sage(e, {}).first, 0),
            std::vector<SgExpression*>{e}};
  if (isSgValueExp(e))
    return {std::make_unique<Rhs>(text_of(e)), std::vector<SgExpression*>()};
  std::vector<std::unique_ptr<Rhs>> operands;
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
    operands.push_back(std::move(tree));
    references.insert(references.end(), refs.begin(), refs.end());
  }
  return {std::make_unique<Rhs>(id, name, view(operands)), references};
}

namespace {

SourcePosition position_of(const SgNode* node)
{
  return {node->get_filename(), node->get_line(), node->get_column(), pragma_text(construct_of(node))};
}

// A reference of a statement of the program: numbers it can compute with,
// and, when it is written, an affine subscript.
void check_reference(const IndexFunction* f, const SgNode* ref, bool written)
{
  for (const Expression* e : f->index_mapping) {
    check_magnitude(e, ref);
    if (written && !affine(e))
      reject(ref, "Expression::to_vector: Non affine expression (newparm?): the subscript " +
                      one_line(text_of(ref)) + " is not affine: " + why_not_affine(e));
  }
}

}  // namespace

void Statement::read_references(SgExpression* target, SgExpression* value)
{
  auto [name, index] = IndexFunction::from_Sage(target, surrounding_counters);
  lhs_id = name;
  lhs_index = index.release();
  // The numbers of a pragma are read back, and checked, with the pragma.
  bool checked = !is_reserved_array(lhs_id);
  if (checked)
    check_reference(lhs_index, target, true);
  add_array(lhs_id, lhs_index->dimension());
  auto [tree, references] = collect_references(value);
  for (SgExpression* ref : references) {
    auto [array, subscripts] = IndexFunction::from_Sage(ref, surrounding_counters);
    rhs_index.emplace_back(array, subscripts.release());
    const Reference& read = rhs_index.back();
    if (checked)
      check_reference(read.second, ref, false);
    add_array(read.first, read.second->dimension());
  }
  rhs = tree->clone().release();
  rhs->fix_ranks();
}

// Delegated to by the readers below, so that a refused statement frees what
// it read so far.
Statement::Statement(int rank, std::unique_ptr<Polyhedron> domain)
    : stmt_rank(rank), iteration_domain(domain.release())
{
}

Statement::Statement(int rank, const std::list<std::string>& counters, std::unique_ptr<Polyhedron> domain,
                     SgAssignOp* a)
    : Statement(rank, std::move(domain))
{
  position = position_of(a);
  for (const std::string& c : counters)
    surrounding_counters.push_back(get_counter_rank(c));
  read_references(a->get_lhs_operand(), a->get_rhs_operand());
}

Statement::Statement(int rank, const std::list<std::string>& counters, std::unique_ptr<Polyhedron> domain,
                     SgUnaryOp* increment)
    : Statement(rank, std::move(domain))
{
  position = position_of(increment);
  for (const std::string& c : counters)
    surrounding_counters.push_back(get_counter_rank(c));
  // x++ is x = x + 1: the operand is written and read.
  SgExpression* target = increment->get_operand();
  auto [name, index] = IndexFunction::from_Sage(target, surrounding_counters);
  lhs_id = name;
  lhs_index = index.release();
  check_reference(lhs_index, target, true);
  add_array(lhs_id, lhs_index->dimension());
  auto [read_name, read_index] = IndexFunction::from_Sage(target, surrounding_counters);
  rhs_index.emplace_back(read_name, read_index.release());
  bool up = isSgPlusPlusOp(increment) != nullptr;
  Rhs operand(name, 0), one("1");
  rhs = new Rhs(up ? V_SgAddOp : V_SgSubtractOp, up ? "SgAddOp" : "SgSubtractOp", {&operand, &one});
  rhs->fix_ranks();
}

// ---------------------------------------------------------------------------
// The walk

ASTInfo::ASTInfo() : domain(std::make_unique<Polyhedron>()) {}

ASTInfo::ASTInfo(const ASTInfo& o)
    : counters(o.counters), domain(o.domain->clone()), skip_next_assignment(o.skip_next_assignment),
      downward(o.downward), unreadable(o.unreadable), loops(o.loops), breakable(o.breakable),
      continuable(o.continuable)
{
}

ASTInfo& ASTInfo::operator=(const ASTInfo& o)
{
  if (this != &o) {
    domain = o.domain->clone();
    counters = o.counters;
    skip_next_assignment = o.skip_next_assignment;
    downward = o.downward;
    unreadable = o.unreadable;
    loops = o.loops;
    breakable = o.breakable;
    continuable = o.continuable;
  }
  return *this;
}

ASTInfo::~ASTInfo() = default;

void ASTInfo::add_counter(const std::string& name) { counters.push_back(name); }

void ASTInfo::add_constraint(SgExpression* e)
{
  std::unique_ptr<Polyhedron> p = Polyhedron::from_Sage(e);
  check_constraints(p.get(), e);
  domain->add_constraints(p.get());
}

MainTraversal::MainTraversal() = default;
MainTraversal::~MainTraversal() = default;

void MainTraversal::read_loop(SgForStatement* loop, ASTInfo& info)
{
  auto [c, first] = read_loop_init(loop);
  SgExpression* test = loop->get_test_expr();
  if (!test)
    reject(loop, "Program::from_Sage: " + loop_name(loop) + ": the loop has no test");
  SgExpression* step = loop->get_increment();
  int direction = step ? unit_step(step, c) : 0;
  if (direction == 0)
    reject(step ? static_cast<const SgNode*>(step) : loop,
           "Program::from_Sage: " + loop_name(loop) + ": expect a step of one (" + c +
               "++); found: " + (step ? text_of(step) : std::string("no step")) +
               ": a loop counts up or down by one (" + c + "++ or " + c + "--)");
  // A name is a counter or a parameter for the whole program: the model and
  // the generated program know it as one of them only.
  if (is_a_parameter(c))
    reject(loop, "Program::from_Sage: " + loop_name(loop) + ": its counter " + c +
                     " is also a parameter of the program (a name of a bound, condition or "
                     "subscript outside the loops of " + c + "): give the loop another counter");
  counter_loops_.emplace(c, loop);
  create_counter_rank(c);
  int rank = get_counter_rank(c);
  info.add_counter(c);
  if (direction < 0)
    info.downward.insert(rank);
  // The first value bounds the counter from below (up) or above (down): one
  // constraint per argument of a max (up) or min (down).
  std::vector<SgExpression*> firsts;
  const char* unfolded = direction > 0 ? "max" : "min";
  if (call_named(first, direction > 0 ? "min" : "max"))
    reject(first, direction > 0 ? "Polyhedron::from_Sage: > min unhandled: a loop counting up from a min"
                                : "Polyhedron::from_Sage: < max unhandled: a loop counting down from a max");
  if (call_named(first, unfolded))
    gather(first, unfolded, firsts);
  else
    firsts.push_back(first);
  Expression counter(c);
  Polyhedron start;
  for (SgExpression* x : firsts) {
    std::unique_ptr<Expression> bound = Expression::from_Sage(x);
    add_comparison(&start, direction > 0 ? PRED_GE : PRED_LE, &counter, bound.get());
  }
  check_constraints(&start, first);
  info.domain->add_constraints(&start);
  // The test must stop the counter where it goes: every constraint on it is
  // an upper bound in a loop counting up, a lower bound in one counting down,
  // and there is one; else the loop would not run through its domain.
  std::unique_ptr<Polyhedron> stop = Polyhedron::from_Sage(test);
  check_constraints(stop.get(), test);
  std::string unbounded = "Program::from_Sage: " + loop_name(loop) + ": the test does not bound " + c +
                          (direction > 0 ? " from above, where the loop counts up"
                                         : " from below, where the loop counts down");
  bool stops = false;
  for (const Inequation* constraint : stop->constraints)
    for (Value coefficient : coefficients(constraint, rank)) {
      if ((direction > 0) == (coefficient > 0))
        reject(test, unbounded);
      stops = true;
    }
  if (!stops)
    reject(test, unbounded);
  info.domain->add_constraints(stop.get());
  info.loops.push_back(loop);
  info.breakable = loop;
  info.continuable = loop;
}

void MainTraversal::read_if(SgIfStmt* branch, ASTInfo& info)
{
  const SgExprStatement* cond = isSgExprStatement(branch->get_conditional());
  if (!cond)
    reject(branch, "Program::from_Sage: if statement at line " + line_of(branch) +
                       ": unhandled condition");
  SgExpression* e = cond->get_expression();
  if (branch->get_false_body()) {
    std::unique_ptr<Polyhedron> negated = negation(e);
    std::unique_ptr<Polyhedron> otherwise;
    if (negated) {
      check_constraints(negated.get(), e);
      otherwise = info.domain->clone();
      otherwise->add_constraints(negated.get());
    }
    else_domains_[branch] = std::move(otherwise);
  }
  info.add_constraint(e);
}

ASTInfo MainTraversal::attributeForChild(SgNode* node, SgNode* child, const ASTInfo& for_children)
{
  SgIfStmt* branch = isSgIfStmt(node);
  if (!branch || child != branch->get_false_body())
    return for_children;
  ASTInfo otherwise(for_children);
  auto found = else_domains_.find(branch);
  if (found != else_domains_.end() && found->second) {
    otherwise.domain = found->second->clone();
  } else {
    otherwise.unreadable = branch;
  }
  return otherwise;
}

std::vector<std::unique_ptr<Statement>> MainTraversal::take_statements() { return std::move(statements_); }

void MainTraversal::add_statement(SgExpression* node, const ASTInfo& info)
{
  int rank = static_cast<int>(statements_.size());
  std::unique_ptr<Statement> made;
  if (SgAssignOp* a = isSgAssignOp(node))
    made = std::make_unique<Statement>(rank, info.counters, info.domain->clone(), a);
  else
    made = std::make_unique<Statement>(rank, info.counters, info.domain->clone(), isSgUnaryOp(node));
  Statement* s = made.get();
  s->downward_counters = info.downward;
  statements_.push_back(std::move(made));
  check_counters(s, node, info);
  // A pragma stands before its assignment, which answers for both.
  if (is_reserved_array(s->lhs_id))
    return;
  std::string at_line = "(line " + line_of(node) + ")";
  if (const SgNode* around = info.unreadable) {
    const char* message = isSgWhileStmt(around)    ? "a while loop around an assignment "
                          : isSgDoWhileStmt(around) ? "a do loop around an assignment "
                          : isSgSwitchStatement(around) ? "a switch around an assignment "
                                                        : nullptr;
    if (message)
      reject(around, "Program::from_Sage: " + std::string(message) + at_line +
                         ": only for loops and if statements are read");
    reject(around, "Program::from_Sage: else branch of a condition whose negation is not one affine "
                   "constraint: write it as its own if (assignment at line " + line_of(node) + ")");
  }
  if (first_goto_)
    reject(first_goto_, "Program::from_Sage: a goto before an assignment " + at_line +
                            ": jumps are not read");
  for (const SgNode* loop : info.loops) {
    auto jump = first_jump_in_loop_.find(loop);
    if (jump != first_jump_in_loop_.end())
      reject(jump->second, "Program::from_Sage: a " + jump_kind(jump->second) +
                               " in the loop of an assignment " + at_line + ": jumps are not read");
  }
  if (!first_assignment_)
    first_assignment_ = node;
  for (const SgNode* loop : info.loops)
    first_assignment_in_loop_.emplace(loop, node);
}

// Outside its loops a counter holds a value the model does not know (the
// value the last loop left): an assignment may name, in its subscripts and
// in the bounds and conditions around it, only the counters of the loops
// that enclose it.
void MainTraversal::check_counters(const Statement* s, const SgExpression* node,
                                   const ASTInfo& info) const
{
  std::set<int> used = s->iteration_domain->get_counters();
  std::vector<const IndexFunction*> references = {s->lhs_index};
  for (const Reference& r : s->rhs_index)
    references.push_back(r.second);
  for (const IndexFunction* f : references)
    if (f != nullptr) {
      std::set<int> named = Expression::get_counters(f->index_mapping);
      used.insert(named.begin(), named.end());
    }
  std::set<int> enclosing;
  for (const std::string& c : info.counters)
    enclosing.insert(get_counter_rank(c));
  for (int rank : used) {
    if (enclosing.count(rank) != 0)
      continue;
    std::string name = get_counter_string(rank);
    auto loop = counter_loops_.find(name);
    reject(node, "Program::from_Sage: the counter " + name +
                     (loop != counter_loops_.end() ? " of the loop at line " + line_of(loop->second) : "") +
                     " is used outside its loop, where its value is not known: use another name");
  }
}

void MainTraversal::read_jump(SgStatement* jump, const ASTInfo& info)
{
  std::string kind = jump_kind(jump);
  // The for loops whose iterations the jump cuts short.
  std::vector<const SgNode*> cut;
  if (kind == "return") {
    cut = info.loops;
  } else if (kind != "goto") {
    const SgNode* target = kind == "break" ? info.breakable : info.continuable;
    if (isSgForStatement(target))
      cut.push_back(target);
  }
  for (const SgNode* loop : cut) {
    auto assignment = first_assignment_in_loop_.find(loop);
    if (assignment != first_assignment_in_loop_.end())
      reject(jump, "Program::from_Sage: a " + kind + " in the loop of an assignment (line " +
                       line_of(assignment->second) + "): jumps are not read");
    first_jump_in_loop_.emplace(loop, jump);
  }
  if (kind == "goto") {
    if (first_assignment_)
      reject(jump, "Program::from_Sage: a goto after an assignment (line " +
                       line_of(first_assignment_) + ") may run it again: jumps are not read");
    if (!first_goto_)
      first_goto_ = jump;
  }
}

void MainTraversal::read_declaration(SgVariableDeclaration* declaration)
{
  // A counter declared in its loop's initialisation is no program variable.
  if (in_loop_initialisation(declaration))
    return;
  declarations_.push_back(text_of(declaration));
  for (const SgInitializedName* v : declaration->get_variables())
    if (v->has_constant_value())
      initial_values_.emplace(v->get_name().getString(), v->get_constant_value());
}

ASTInfo MainTraversal::evaluateInheritedAttribute(SgNode* node, ASTInfo info)
{
  switch (node->variantT()) {
    case V_SgAssignOp:
    case V_SgPlusPlusOp:
    case V_SgMinusMinusOp:
      if (info.skip_next_assignment && isSgAssignOp(node)) {
        info.skip_next_assignment = 0;
      } else if (!is_loop_increment(node)) {
        if (!at_statement_level(node))
          reject(node, "Program::from_Sage: an assignment inside an expression: write it as a "
                       "statement of its own");
        add_statement(isSgExpression(node), info);
      }
      break;
    case V_SgForStatement: read_loop(isSgForStatement(node), info); break;
    case V_SgForInitStatement: info.skip_next_assignment = 1; break;
    case V_SgIfStmt: read_if(isSgIfStmt(node), info); break;
    case V_SgWhileStmt:
    case V_SgDoWhileStmt:
      info.unreadable = node;
      info.breakable = node;
      info.continuable = node;
      break;
    case V_SgSwitchStatement:
      info.unreadable = node;
      info.breakable = node;
      break;
    case V_SgGotoStatement:
    case V_SgReturnStmt:
    case V_SgBreakStmt:
    case V_SgContinueStmt: read_jump(isSgStatement(node), info); break;
    case V_SgFunctionDefinition:
      first_goto_ = nullptr;
      first_assignment_ = nullptr;
      break;
    case V_SgVariableDeclaration: read_declaration(isSgVariableDeclaration(node)); break;
    default: break;
  }
  return info;
}

namespace {

// The object-like macros of the command line's -D switches (an -U drops the
// earlier ones of its name), then those of the file.
std::vector<std::string> defined_macros(SgProject* project)
{
  std::vector<std::pair<std::string, std::string>> given;
  for (const std::string& option : project->get_preprocessor_switches()) {
    if (option.compare(0, 2, "-D") != 0 && option.compare(0, 2, "-U") != 0)
      continue;
    std::string definition = option.substr(2);
    std::size_t equal = definition.find('=');
    std::string name = definition.substr(0, equal);
    std::vector<std::pair<std::string, std::string>> kept;
    for (const auto& d : given)
      if (d.first != name)
        kept.push_back(d);
    given = kept;
    if (option[1] == 'D' && name.find('(') == std::string::npos)
      given.push_back({name, equal == std::string::npos ? "1" : definition.substr(equal + 1)});
  }
  std::vector<std::string> result;
  for (const auto& [name, value] : given)
    result.push_back("#define " + name + " " + value);
  for (const SgSourceFile* file : project->get_fileList())
    for (const std::string& d : file->get_macro_definitions())
      result.push_back(d);
  return result;
}

}  // namespace

void check_dependence_subscripts(const Program* program,
                                 const std::map<int, std::vector<int>>& inputs,
                                 const std::map<int, std::vector<int>>& outputs)
{
  auto listed = [](const std::map<int, std::vector<int>>& m, int rank) {
    auto it = m.find(rank);
    return it == m.end() ? std::vector<int>() : it->second;
  };
  std::set<std::string> written;
  for (const auto& s : program->statement) {
    written.insert(s->lhs_id);
    for (int k : listed(outputs, s->stmt_rank))
      written.insert(s->nth(k).first);
  }
  for (const auto& s : program->statement) {
    std::vector<int> used = listed(inputs, s->stmt_rank);
    std::vector<int> out = listed(outputs, s->stmt_rank);
    used.insert(used.end(), out.begin(), out.end());
    for (int k : used) {
      const Reference& ref = s->nth(k);
      if (!written.count(ref.first))
        continue;
      for (const Expression* e : ref.second->index_mapping)
        if (!affine(e))
          fail(Stream::Out, cat(s->position.prefix(), "Expression::to_vector: Non affine expression (newparm?): the "
                                "subscript ", ref.first, *ref.second, " is not affine: ", why_not_affine(e)));
    }
  }
}

std::unique_ptr<Program> Program::from_Sage(SgProject* project)
{
  MainTraversal walk;
  walk.traverseInputFiles(project, ASTInfo());
  auto p = std::make_unique<Program>(get_nb_counters(), get_nb_parameters(), walk.take_statements());
  p->set_variable_declaration(walk.declarations());
  p->macro_definitions = defined_macros(project);
  p->initial_values = walk.initial_values();
  return p;
}
