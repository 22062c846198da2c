// The node classes: slots, accessors and texts.
#include "frontend/sg_node.h"

#include <cstddef>
#include <string>
#include <vector>

namespace {

// Typed read of a slot that the constructors filled with that type.
template <class T>
T* slot_as(const std::vector<SgNode*>& slots, std::size_t index)
{
  return index < slots.size() ? static_cast<T*>(slots[index]) : nullptr;
}

template <class T>
std::vector<T*> all_slots_as(const std::vector<SgNode*>& slots)
{
  std::vector<T*> result;
  result.reserve(slots.size());
  for (SgNode* node : slots)
    if (node != nullptr)
      result.push_back(static_cast<T*>(node));
  return result;
}

// An operand printed inside a built operator: compound operands are
// parenthesised so that the text reads as the tree.
std::string operand_text(const SgNode* operand)
{
  if (operand == nullptr)
    return "";
  std::string text = operand->unparseToCompleteString();
  if (isSgBinaryOp(operand) != nullptr && isSgPntrArrRefExp(operand) == nullptr &&
      isSgDotExp(operand) == nullptr && isSgArrowExp(operand) == nullptr)
    return "(" + text + ")";
  if (isSgConditionalExp(operand) != nullptr)
    return "(" + text + ")";
  return text;
}

}  // namespace

const char* variant_class_name(VariantT variant)
{
  static const char* const names[] = {
#define VORL_SG_NAME(name) #name,
      VORL_SG_CONCRETE_CLASSES(VORL_SG_NAME)
#undef VORL_SG_NAME
  };
  int index = static_cast<int>(variant);
  if (index < 0 || index >= static_cast<int>(V_SgNumVariants))
    return "SgNode";
  return names[index];
}

const char* operator_spelling(VariantT variant)
{
  switch (variant) {
  case V_SgMinusOp: return "-";
  case V_SgUnaryAddOp: return "+";
  case V_SgNotOp: return "!";
  case V_SgBitComplementOp: return "~";
  case V_SgPlusPlusOp: return "++";
  case V_SgMinusMinusOp: return "--";
  case V_SgAddressOfOp: return "&";
  case V_SgPointerDerefExp: return "*";
  case V_SgAssignOp: return "=";
  case V_SgAddOp: return "+";
  case V_SgSubtractOp: return "-";
  case V_SgMultiplyOp: return "*";
  case V_SgDivideOp: return "/";
  case V_SgModOp: return "%";
  case V_SgLessThanOp: return "<";
  case V_SgLessOrEqualOp: return "<=";
  case V_SgGreaterThanOp: return ">";
  case V_SgGreaterOrEqualOp: return ">=";
  case V_SgEqualityOp: return "==";
  case V_SgNotEqualOp: return "!=";
  case V_SgAndOp: return "&&";
  case V_SgOrOp: return "||";
  case V_SgBitAndOp: return "&";
  case V_SgBitOrOp: return "|";
  case V_SgBitXorOp: return "^";
  case V_SgLshiftOp: return "<<";
  case V_SgRshiftOp: return ">>";
  case V_SgCommaOpExp: return ",";
  case V_SgPntrArrRefExp: return "[]";
  case V_SgDotExp: return ".";
  case V_SgArrowExp: return "->";
  default: return "";
  }
}

std::ostream& operator<<(std::ostream& os, const SgName& name)
{
  return os << name.getString();
}

// ---------------------------------------------------------------------------
// SgNode

SgNode::SgNode(const SgNode& other)
    : slots_(other.slots_.size(), nullptr), file_(other.file_), line_(other.line_),
      column_(other.column_), has_range_(other.has_range_), begin_(other.begin_),
      end_(other.end_), text_(other.text_)
{
}

std::vector<SgNode*> SgNode::get_traversalSuccessorContainer() const
{
  std::vector<SgNode*> children;
  children.reserve(slots_.size());
  for (SgNode* child : slots_)
    if (child != nullptr)
      children.push_back(child);
  return children;
}

std::string SgNode::get_filename() const
{
  return file_ != nullptr ? file_->getFileName() : std::string();
}

void SgNode::set_position(SgSourceFile* file, int line, int column)
{
  file_ = file;
  line_ = line;
  column_ = column;
}

void SgNode::set_source_range(std::size_t begin, std::size_t end)
{
  if (file_ == nullptr || begin > end || end > file_->get_text().size()) {
    has_range_ = false;
    return;
  }
  has_range_ = true;
  begin_ = begin;
  end_ = end;
}

void SgNode::set_text(const std::string& text)
{
  has_range_ = false;
  text_ = text;
}

void SgNode::set_child_slot(std::size_t index, SgNode* child)
{
  if (index >= slots_.size())
    slots_.resize(index + 1, nullptr);
  slots_[index] = child;
  if (child != nullptr)
    child->set_parent(this);
}

void SgNode::append_child(SgNode* child)
{
  slots_.push_back(child);
  if (child != nullptr)
    child->set_parent(this);
}

std::string SgNode::unparseToCompleteString() const
{
  if (has_range_ && file_ != nullptr)
    return file_->get_text().substr(begin_, end_ - begin_);
  if (!text_.empty())
    return text_;
  return synthesized_text();
}

std::string SgNode::synthesized_text() const
{
  std::string text;
  for (SgNode* child : get_traversalSuccessorContainer()) {
    if (!text.empty())
      text += " ";
    text += child->unparseToCompleteString();
  }
  return text;
}

// ---------------------------------------------------------------------------
// Files, names, scopes

SgSourceFile::SgSourceFile(SgProject* project, const std::string& file_name,
                           const std::string& text)
    : SgFile(1), project_(project), file_name_(file_name), text_(text)
{
}

SgGlobal* SgSourceFile::get_globalScope() const
{
  return slot_as<SgGlobal>(slots_, 0);
}

SgInitializedName::SgInitializedName(const SgName& name, SgType* type, SgExpression* initializer)
    : SgNode(1), name_(name), type_(type)
{
  set_child_slot(0, initializer);
}

SgExpression* SgInitializedName::get_initializer() const
{
  return slot_as<SgExpression>(slots_, 0);
}

SgDeclarationStatementPtrList SgGlobal::get_declarations() const
{
  return all_slots_as<SgDeclarationStatement>(slots_);
}

void SgGlobal::append_declaration(SgDeclarationStatement* declaration)
{
  append_child(declaration);
}

std::string SgGlobal::unparseToCompleteString() const
{
  return get_file() != nullptr ? get_file()->get_text() : std::string();
}

SgStatementPtrList SgBasicBlock::get_statements() const
{
  return all_slots_as<SgStatement>(slots_);
}

void SgBasicBlock::append_statement(SgStatement* statement)
{
  append_child(statement);
}

// ---------------------------------------------------------------------------
// Control statements

SgForStatement::SgForStatement(SgForInitStatement* init, SgStatement* test,
                               SgExpression* increment, SgStatement* body)
    : SgScopeStatement(4)
{
  set_child_slot(0, init);
  set_child_slot(1, test);
  set_child_slot(2, increment);
  set_child_slot(3, body);
}

SgForInitStatement* SgForStatement::get_for_init_stmt() const
{
  return slot_as<SgForInitStatement>(slots_, 0);
}

SgStatementPtrList SgForStatement::get_init_stmt() const
{
  SgForInitStatement* init = get_for_init_stmt();
  return init != nullptr ? init->get_init_stmt() : SgStatementPtrList();
}

SgStatement* SgForStatement::get_test() const
{
  return slot_as<SgStatement>(slots_, 1);
}

SgExpression* SgForStatement::get_test_expr() const
{
  SgExprStatement* test = isSgExprStatement(get_test());
  return test != nullptr ? test->get_expression() : nullptr;
}

SgExpression* SgForStatement::get_increment() const
{
  return slot_as<SgExpression>(slots_, 2);
}

SgStatement* SgForStatement::get_loop_body() const
{
  return slot_as<SgStatement>(slots_, 3);
}

SgStatementPtrList SgForInitStatement::get_init_stmt() const
{
  return all_slots_as<SgStatement>(slots_);
}

void SgForInitStatement::append_init_stmt(SgStatement* statement)
{
  append_child(statement);
}

SgIfStmt::SgIfStmt(SgStatement* conditional, SgStatement* true_body, SgStatement* false_body)
    : SgScopeStatement(3)
{
  set_child_slot(0, conditional);
  set_child_slot(1, true_body);
  set_child_slot(2, false_body);
}

SgStatement* SgIfStmt::get_conditional() const { return slot_as<SgStatement>(slots_, 0); }
SgStatement* SgIfStmt::get_true_body() const { return slot_as<SgStatement>(slots_, 1); }
SgStatement* SgIfStmt::get_false_body() const { return slot_as<SgStatement>(slots_, 2); }

SgWhileStmt::SgWhileStmt(SgStatement* condition, SgStatement* body) : SgScopeStatement(2)
{
  set_child_slot(0, condition);
  set_child_slot(1, body);
}

SgStatement* SgWhileStmt::get_condition() const { return slot_as<SgStatement>(slots_, 0); }
SgStatement* SgWhileStmt::get_body() const { return slot_as<SgStatement>(slots_, 1); }

SgDoWhileStmt::SgDoWhileStmt(SgStatement* body, SgStatement* condition) : SgScopeStatement(2)
{
  set_child_slot(0, body);
  set_child_slot(1, condition);
}

SgStatement* SgDoWhileStmt::get_body() const { return slot_as<SgStatement>(slots_, 0); }
SgStatement* SgDoWhileStmt::get_condition() const { return slot_as<SgStatement>(slots_, 1); }

SgSwitchStatement::SgSwitchStatement(SgStatement* item_selector, SgStatement* body)
    : SgScopeStatement(2)
{
  set_child_slot(0, item_selector);
  set_child_slot(1, body);
}

SgStatement* SgSwitchStatement::get_item_selector() const { return slot_as<SgStatement>(slots_, 0); }
SgStatement* SgSwitchStatement::get_body() const { return slot_as<SgStatement>(slots_, 1); }

SgFunctionDefinition::SgFunctionDefinition(SgBasicBlock* body) : SgScopeStatement(1)
{
  set_child_slot(0, body);
}

SgBasicBlock* SgFunctionDefinition::get_body() const { return slot_as<SgBasicBlock>(slots_, 0); }

// ---------------------------------------------------------------------------
// Declarations

SgInitializedNamePtrList SgVariableDeclaration::get_variables() const
{
  return all_slots_as<SgInitializedName>(slots_);
}

void SgVariableDeclaration::append_variable(SgInitializedName* variable)
{
  append_child(variable);
}

SgFunctionDeclaration::SgFunctionDeclaration(const SgName& name,
                                             SgFunctionParameterList* parameters,
                                             SgFunctionDefinition* definition)
    : SgDeclarationStatement(2), name_(name)
{
  set_child_slot(0, parameters);
  set_child_slot(1, definition);
}

SgFunctionParameterList* SgFunctionDeclaration::get_parameterList() const
{
  return slot_as<SgFunctionParameterList>(slots_, 0);
}

SgFunctionDefinition* SgFunctionDeclaration::get_definition() const
{
  return slot_as<SgFunctionDefinition>(slots_, 1);
}

SgInitializedNamePtrList SgFunctionParameterList::get_args() const
{
  return all_slots_as<SgInitializedName>(slots_);
}

void SgFunctionParameterList::append_arg(SgInitializedName* parameter)
{
  append_child(parameter);
}

// ---------------------------------------------------------------------------
// Simple statements

SgExprStatement::SgExprStatement(SgExpression* expression) : SgStatement(1)
{
  set_child_slot(0, expression);
}

SgExpression* SgExprStatement::get_expression() const { return slot_as<SgExpression>(slots_, 0); }

SgReturnStmt::SgReturnStmt(SgExpression* expression) : SgStatement(1)
{
  set_child_slot(0, expression);
}

SgExpression* SgReturnStmt::get_expression() const { return slot_as<SgExpression>(slots_, 0); }

SgLabelStatement::SgLabelStatement(const SgName& label, SgStatement* statement)
    : SgStatement(1), label_(label)
{
  set_child_slot(0, statement);
}

SgStatement* SgLabelStatement::get_statement() const { return slot_as<SgStatement>(slots_, 0); }

SgCaseOptionStmt::SgCaseOptionStmt(SgExpression* key, SgStatement* body) : SgStatement(2)
{
  set_child_slot(0, key);
  set_child_slot(1, body);
}

SgExpression* SgCaseOptionStmt::get_key() const { return slot_as<SgExpression>(slots_, 0); }
SgStatement* SgCaseOptionStmt::get_body() const { return slot_as<SgStatement>(slots_, 1); }

SgDefaultOptionStmt::SgDefaultOptionStmt(SgStatement* body) : SgStatement(1)
{
  set_child_slot(0, body);
}

SgStatement* SgDefaultOptionStmt::get_body() const { return slot_as<SgStatement>(slots_, 0); }

// ---------------------------------------------------------------------------
// Expressions

SgUnaryOp::SgUnaryOp(SgExpression* operand, Sgop_mode mode) : SgExpression(1), mode_(mode)
{
  set_child_slot(0, operand);
}

SgExpression* SgUnaryOp::get_operand() const { return slot_as<SgExpression>(slots_, 0); }

std::string SgUnaryOp::synthesized_text() const
{
  std::string operand = operand_text(get_operand());
  if (isSgCastExp(this) != nullptr)
    return "(" + (get_type() != nullptr ? get_type()->get_name() : std::string()) + ")" + operand;
  std::string op = operator_spelling(variantT());
  return mode_ == postfix ? operand + op : op + operand;
}

SgBinaryOp::SgBinaryOp(SgExpression* lhs, SgExpression* rhs) : SgExpression(2)
{
  set_child_slot(0, lhs);
  set_child_slot(1, rhs);
}

SgExpression* SgBinaryOp::get_lhs_operand() const { return slot_as<SgExpression>(slots_, 0); }
SgExpression* SgBinaryOp::get_rhs_operand() const { return slot_as<SgExpression>(slots_, 1); }

std::string SgBinaryOp::synthesized_text() const
{
  std::string lhs = operand_text(get_lhs_operand());
  std::string rhs = operand_text(get_rhs_operand());
  switch (variantT()) {
  case V_SgPntrArrRefExp: return lhs + "[" + rhs + "]";
  case V_SgDotExp: return lhs + "." + rhs;
  case V_SgArrowExp: return lhs + "->" + rhs;
  case V_SgCommaOpExp: return lhs + ", " + rhs;
  default: return lhs + " " + operator_spelling(variantT()) + " " + rhs;
  }
}

SgFunctionCallExp::SgFunctionCallExp(SgExpression* function, SgExprListExp* args)
    : SgExpression(2)
{
  set_child_slot(0, function);
  set_child_slot(1, args);
}

SgExpression* SgFunctionCallExp::get_function() const { return slot_as<SgExpression>(slots_, 0); }
SgExprListExp* SgFunctionCallExp::get_args() const { return slot_as<SgExprListExp>(slots_, 1); }

SgExpressionPtrList SgExprListExp::get_expressions() const
{
  return all_slots_as<SgExpression>(slots_);
}

void SgExprListExp::append_expression(SgExpression* expression)
{
  append_child(expression);
}

std::string SgExprListExp::synthesized_text() const
{
  std::string text;
  for (SgNode* child : get_traversalSuccessorContainer()) {
    if (!text.empty())
      text += ", ";
    text += child->unparseToCompleteString();
  }
  return text;
}

SgConditionalExp::SgConditionalExp(SgExpression* conditional, SgExpression* true_exp,
                                   SgExpression* false_exp)
    : SgExpression(3)
{
  set_child_slot(0, conditional);
  set_child_slot(1, true_exp);
  set_child_slot(2, false_exp);
}

SgExpression* SgConditionalExp::get_conditional_exp() const { return slot_as<SgExpression>(slots_, 0); }
SgExpression* SgConditionalExp::get_true_exp() const { return slot_as<SgExpression>(slots_, 1); }
SgExpression* SgConditionalExp::get_false_exp() const { return slot_as<SgExpression>(slots_, 2); }

SgSizeOfOp::SgSizeOfOp(SgExpression* operand) : SgExpression(1)
{
  set_child_slot(0, operand);
}

SgExpression* SgSizeOfOp::get_operand_expr() const { return slot_as<SgExpression>(slots_, 0); }

SgAggregateInitializer::SgAggregateInitializer(SgExprListExp* initializers) : SgExpression(1)
{
  set_child_slot(0, initializers);
}

SgExprListExp* SgAggregateInitializer::get_initializers() const
{
  return slot_as<SgExprListExp>(slots_, 0);
}

SgCompoundLiteralExp::SgCompoundLiteralExp(SgExpression* initializer) : SgExpression(1)
{
  set_child_slot(0, initializer);
}

SgExpression* SgCompoundLiteralExp::get_initializer() const
{
  return slot_as<SgExpression>(slots_, 0);
}
