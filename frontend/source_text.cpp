// Places and constructs of the input, for messages.
#include "frontend/source_text.h"

#include <cctype>

#include "frontend/sg_node.h"

namespace {

const std::size_t kLongest = 72;

// A comma whose chain of comma parents ends at an expression statement:
// it separates statements ("a = 0, b = 1;").
bool is_statement_comma(const SgNode* node)
{
  while (isSgCommaOpExp(node) != nullptr)
    node = node->get_parent();
  return isSgExprStatement(node) != nullptr;
}

// The text of statement up to the start of part (its body), when both are
// read from one file; the whole text otherwise.
std::string text_before(const SgNode* statement, const SgNode* part)
{
  std::string whole = statement->unparseToCompleteString();
  if (part != nullptr && statement->has_source_range() && part->has_source_range() &&
      statement->get_file() == part->get_file() &&
      part->get_source_begin() > statement->get_source_begin() &&
      part->get_source_begin() <= statement->get_source_end())
    return whole.substr(0, part->get_source_begin() - statement->get_source_begin());
  return whole;
}

// The header of a compound statement, or empty for another node.
std::string header_of(const SgNode* node)
{
  if (const SgForStatement* loop = isSgForStatement(node))
    return text_before(loop, loop->get_loop_body());
  if (const SgIfStmt* branch = isSgIfStmt(node))
    return text_before(branch, branch->get_true_body());
  if (const SgWhileStmt* loop = isSgWhileStmt(node))
    return text_before(loop, loop->get_body());
  if (const SgSwitchStatement* choice = isSgSwitchStatement(node))
    return text_before(choice, choice->get_body());
  if (const SgDoWhileStmt* loop = isSgDoWhileStmt(node)) {
    const SgNode* condition = loop->get_condition();
    return "do ... while (" + (condition ? condition->unparseToCompleteString() : std::string()) + ")";
  }
  if (const SgFunctionDeclaration* function = isSgFunctionDeclaration(node)) {
    const SgFunctionDefinition* definition = function->get_definition();
    return text_before(function, definition);
  }
  return "";
}

// The loop, if or switch whose header holds statement (its test, condition
// or initialisation); null when statement is no part of a header.
const SgNode* header_owner(const SgNode* statement)
{
  const SgNode* owner = statement->get_parent();
  if (isSgForInitStatement(statement) != nullptr)
    return owner;
  if (isSgForInitStatement(owner) != nullptr)
    return owner->get_parent();
  if (const SgForStatement* loop = isSgForStatement(owner))
    return loop->get_test() == statement ? owner : nullptr;
  if (const SgIfStmt* branch = isSgIfStmt(owner))
    return branch->get_conditional() == statement ? owner : nullptr;
  if (const SgWhileStmt* loop = isSgWhileStmt(owner))
    return loop->get_condition() == statement ? owner : nullptr;
  if (const SgDoWhileStmt* loop = isSgDoWhileStmt(owner))
    return loop->get_condition() == statement ? owner : nullptr;
  if (const SgSwitchStatement* choice = isSgSwitchStatement(owner))
    return choice->get_item_selector() == statement ? owner : nullptr;
  return nullptr;
}

}  // namespace

std::string one_line(const std::string& text)
{
  std::string r;
  bool blank = false;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c)) != 0) {
      blank = !r.empty();
      continue;
    }
    if (blank)
      r += ' ';
    blank = false;
    r += c;
  }
  if (r.size() > kLongest)
    r = r.substr(0, kLongest - 3) + "...";
  return r;
}

std::string location_of(const SgNode* node)
{
  if (node == nullptr || node->get_file() == nullptr)
    return "";
  std::string where = node->get_filename();
  if (node->get_line() > 0)
    where += ":" + std::to_string(node->get_line()) + ":" + std::to_string(node->get_column());
  return where;
}

std::string construct_of(const SgNode* node)
{
  if (node == nullptr)
    return "";
  const SgNode* n = node;
  while (true) {
    std::string header = header_of(n);
    if (!header.empty())
      return one_line(header);
    const SgNode* parent = n->get_parent();
    if (parent == nullptr)
      break;
    if (isSgExpression(n) != nullptr && isSgExpression(parent) != nullptr &&
        !is_statement_comma(parent)) {
      n = parent;
      continue;
    }
    if (isSgInitializedName(n) != nullptr || isSgInitializedName(parent) != nullptr) {
      // A declarator: its whole declaration.
      const SgNode* declaration = isSgInitializedName(n) != nullptr ? parent : parent->get_parent();
      if (declaration != nullptr && isSgVariableDeclaration(declaration) != nullptr) {
        if (isSgForInitStatement(declaration->get_parent()) != nullptr)
          return one_line(header_of(declaration->get_parent()->get_parent()));
        return one_line(declaration->unparseToCompleteString());
      }
      break;
    }
    if (isSgExprStatement(parent) != nullptr || isSgForInitStatement(parent) != nullptr) {
      // The test of a loop, the condition of an if, an initialisation: the
      // header they belong to; a statement of its own: the expression.
      const SgNode* owner = header_owner(parent);
      if (owner != nullptr)
        return one_line(header_of(owner));
      break;
    }
    if (isSgForStatement(parent) != nullptr && isSgExpression(n) != nullptr)
      return one_line(header_of(parent));  // the increment
    if (isSgExprStatement(n) != nullptr || isSgForInitStatement(n) != nullptr) {
      const SgNode* owner = header_owner(n);
      if (owner != nullptr)
        return one_line(header_of(owner));
      const SgExprStatement* statement = isSgExprStatement(n);
      if (statement != nullptr && statement->get_expression() != nullptr)
        return one_line(statement->get_expression()->unparseToCompleteString());
    }
    break;
  }
  return one_line(n->unparseToCompleteString());
}

std::string refusal_prefix(const SgNode* node)
{
  if (node == nullptr)
    return "";
  std::string where = location_of(node);
  std::string what = construct_of(node);
  std::string prefix = where.empty() ? "" : where + ": ";
  if (!what.empty())
    prefix += what + ": ";
  return prefix;
}
