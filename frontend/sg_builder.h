// Making new nodes over nodes of an existing tree.
//
// Ownership: a new node belongs to the project of the nodes it is made from
// and is freed with it; the given nodes are kept by the tree (shared, not
// copied, their parent unchanged) unless the function says it copies them.
#ifndef VORL_FRONTEND_SG_BUILDER_H
#define VORL_FRONTEND_SG_BUILDER_H

#include "frontend/sg_node.h"

// lhs >= rhs over the two given expressions, of the boolean type. Both must
// come from a parsed project; throws FrontendError otherwise.
SgGreaterOrEqualOp* buildGreaterOrEqualOp(SgExpression* lhs, SgExpression* rhs);

// A deep copy of an expression (new nodes throughout; symbols and types are
// shared), with the same source positions and text, and no parent.
SgExpression* copyExpression(const SgExpression* expression);

#endif
