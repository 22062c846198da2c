// Making new nodes over existing ones.
#include "frontend/sg_builder.h"

#include "frontend/fatal_error.h"
#include "frontend/sg_project.h"

#include <utility>
#include <vector>

namespace {

SgProject* project_of(const SgNode* node)
{
  SgSourceFile* file = node != nullptr ? node->get_file() : nullptr;
  return file != nullptr ? file->get_project() : nullptr;
}

}  // namespace

SgGreaterOrEqualOp* buildGreaterOrEqualOp(SgExpression* lhs, SgExpression* rhs)
{
  if (lhs == nullptr || rhs == nullptr)
    frontend_fatal("buildGreaterOrEqualOp: missing operand");
  SgProject* project = project_of(lhs);
  if (project == nullptr || project_of(rhs) != project)
    frontend_fatal("buildGreaterOrEqualOp: the operands do not belong to one parsed project");
  // The operands stay where they are in the tree: keep their parents.
  SgNode* lhs_parent = lhs->get_parent();
  SgNode* rhs_parent = rhs->get_parent();
  SgGreaterOrEqualOp* node = project->adopt(new SgGreaterOrEqualOp(lhs, rhs));
  lhs->set_parent(lhs_parent);
  rhs->set_parent(rhs_parent);
  node->set_position(lhs->get_file(), lhs->get_line(), lhs->get_column());
  node->set_type(project->type_named("_Bool"));
  return node;
}

SgExpression* copyExpression(const SgExpression* expression)
{
  if (expression == nullptr)
    return nullptr;
  SgProject* project = project_of(expression);
  if (project == nullptr)
    frontend_fatal("copyExpression: the expression does not belong to a parsed project");
  SgNode* root = project->adopt(expression->copy_without_children());
  // Pairs (original, its copy) whose children are still to be copied.
  std::vector<std::pair<const SgNode*, SgNode*>> pending = {{expression, root}};
  while (!pending.empty()) {
    const SgNode* original = pending.back().first;
    SgNode* copy = pending.back().second;
    pending.pop_back();
    const std::vector<SgNode*>& slots = original->get_child_slots();
    for (std::size_t i = 0; i < slots.size(); ++i) {
      if (slots[i] == nullptr)
        continue;
      SgNode* child = project->adopt(slots[i]->copy_without_children());
      copy->set_child_slot(i, child);
      pending.emplace_back(slots[i], child);
    }
  }
  return static_cast<SgExpression*>(root);
}
