// Walks over the syntax tree.
//
// Both walks go through the children of a node that are present, in source
// order (top-down: the node before its children; bottom-up: after them). The
// tree holds only the input file's own constructs, so declarations of
// included headers are never visited.
//
// Ownership: the walks neither take nor free nodes; attributes are values,
// copied as C++ copies them.
#ifndef VORL_FRONTEND_TRAVERSAL_H
#define VORL_FRONTEND_TRAVERSAL_H

#include <utility>
#include <vector>

#include "frontend/sg_node.h"
#include "frontend/sg_project.h"

// Top-down: each node receives the attribute its parent computed and returns
// the attribute that each of its children receives (a copy each).
template <class InheritedAttributeType>
class AstTopDownProcessing {
public:
  virtual ~AstTopDownProcessing() = default;

  // Walks the tree below node (node included); nothing for a null node.
  void traverse(SgNode* node, InheritedAttributeType inherited)
  {
    if (node == nullptr)
      return;
    InheritedAttributeType for_children = evaluateInheritedAttribute(node, inherited);
    for (SgNode* child : node->get_traversalSuccessorContainer())
      traverse(child, attributeForChild(node, child, for_children));
  }

  // Walks every input file of the project from its file node, each from the
  // given attribute; the project node itself is not visited.
  void traverseInputFiles(SgProject* project, InheritedAttributeType inherited)
  {
    if (project == nullptr)
      return;
    for (SgSourceFile* file : project->get_fileList())
      traverse(file, inherited);
  }

protected:
  virtual InheritedAttributeType evaluateInheritedAttribute(SgNode* node,
                                                            InheritedAttributeType inherited) = 0;
  // The attribute one child of node receives; by default the one the node
  // computed for all its children (a walk may give a branch its own).
  virtual InheritedAttributeType attributeForChild(SgNode* node, SgNode* child,
                                                   const InheritedAttributeType& for_children)
  {
    (void)node;
    (void)child;
    return for_children;
  }
};

// Bottom-up: each node receives the results of its children, in source order,
// and returns its own.
template <class SynthesizedAttributeType>
class AstBottomUpProcessing {
public:
  typedef std::vector<SynthesizedAttributeType> SynthesizedAttributesList;

  virtual ~AstBottomUpProcessing() = default;

  // The result of node; a default value for a null node.
  SynthesizedAttributeType traverse(SgNode* node)
  {
    if (node == nullptr)
      return SynthesizedAttributeType();
    SynthesizedAttributesList results;
    for (SgNode* child : node->get_traversalSuccessorContainer())
      results.push_back(traverse(child));
    return evaluateSynthesizedAttribute(node, std::move(results));
  }

  // Walks every input file of the project; the result of the last file (a
  // default value when there is none). The project node is not visited.
  SynthesizedAttributeType traverseInputFiles(SgProject* project)
  {
    SynthesizedAttributeType result = SynthesizedAttributeType();
    if (project == nullptr)
      return result;
    for (SgSourceFile* file : project->get_fileList())
      result = traverse(file);
    return result;
  }

protected:
  virtual SynthesizedAttributeType evaluateSynthesizedAttribute(
      SgNode* node, SynthesizedAttributesList children) = 0;
};

#endif
