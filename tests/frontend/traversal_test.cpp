// The walks over the tree, what they leave out, the built comparison and the
// lifetime of the nodes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/sg_builder.h"
#include "frontend/sg_node.h"
#include "frontend/sg_project.h"
#include "frontend/traversal.h"
#include "frontend_test_support.h"
#include "tests/expect_failure.h"

namespace {

using TraversalTest = FrontendTest;
using QuietParseTest = FrontendTest;
using BuilderTest = FrontendTest;

// Records the class names met, and hands each node its depth.
class DepthWalk : public AstTopDownProcessing<int> {
public:
  std::vector<std::string> names;
  std::vector<int> depths;

protected:
  int evaluateInheritedAttribute(SgNode* node, int depth) override
  {
    names.push_back(node->class_name());
    depths.push_back(depth);
    return depth + 1;
  }
};

// Evaluates integer expressions over +, - and *; counts every node in
// "visited".
class Evaluate : public AstBottomUpProcessing<long> {
public:
  int visited = 0;

protected:
  long evaluateSynthesizedAttribute(SgNode* node, SynthesizedAttributesList children) override
  {
    ++visited;
    if (SgIntVal* value = isSgIntVal(node))
      return value->get_value();
    if (isSgAddOp(node) != nullptr)
      return children.at(0) + children.at(1);
    if (isSgSubtractOp(node) != nullptr)
      return children.at(0) - children.at(1);
    if (isSgMultiplyOp(node) != nullptr)
      return children.at(0) * children.at(1);
    return children.empty() ? 0 : children.back();
  }
};

TEST_F(TraversalTest, TopDownIsPreOrderFromEachFileNode)
{
  auto project = parse("int g;\nvoid f(void) { g = 1; }\n");
  DepthWalk walk;
  walk.traverseInputFiles(project.get(), 0);
  EXPECT_EQ(walk.names,
            std::vector<std::string>({"SgSourceFile", "SgGlobal", "SgVariableDeclaration",
                                      "SgInitializedName", "SgFunctionDeclaration",
                                      "SgFunctionParameterList", "SgFunctionDefinition",
                                      "SgBasicBlock", "SgExprStatement", "SgAssignOp",
                                      "SgVarRefExp", "SgIntVal"}));
  EXPECT_EQ(walk.depths, std::vector<int>({0, 1, 2, 3, 2, 3, 3, 4, 5, 6, 7, 7}));
}

TEST_F(TraversalTest, SiblingsReceiveTheParentsAttributeNotEachOthers)
{
  auto project = parse("int a, b;\n");
  DepthWalk walk;
  walk.traverse(first_of<SgVariableDeclaration>(project.get()), 10);
  EXPECT_EQ(walk.depths, std::vector<int>({10, 11, 11}));
}

TEST_F(TraversalTest, BottomUpGivesChildrenResultsInSourceOrder)
{
  auto project = parse("int x;\nvoid f(void) { x = 10 - 3 * (4 - 2) + 1; }\n");
  Evaluate evaluate;
  SgAssignOp* assignment = first_of<SgAssignOp>(project.get());
  EXPECT_EQ(evaluate.traverse(assignment->get_rhs_operand()), 10 - 3 * (4 - 2) + 1);
  EXPECT_EQ(evaluate.visited, 9);
}

TEST_F(TraversalTest, WalksOfAProjectWithoutFilesVisitNothing)
{
  std::unique_ptr<SgProject> project(frontend(std::vector<std::string>{"vorl"}));
  DepthWalk walk;
  walk.traverseInputFiles(project.get(), 0);
  EXPECT_TRUE(walk.names.empty());
  Evaluate evaluate;
  EXPECT_EQ(evaluate.traverseInputFiles(project.get()), 0);
  EXPECT_EQ(evaluate.visited, 0);
}

TEST_F(TraversalTest, IncludedHeadersAreNotWalked)
{
  write("local.h", "int from_header;\nstatic int helper(int n) { int s = 0; for (int q = 0; q < n; q++) s = s + q; return s; }\n");
  auto project = parse("#include <stdio.h>\n#include <math.h>\n#include \"local.h\"\n"
                       "int mine;\nint main(void) { mine = helper(2); printf(\"%d\\n\", mine); return 0; }\n");
  DepthWalk walk;
  walk.traverseInputFiles(project.get(), 0);
  int declarations = 0, functions = 0, loops = 0;
  for (const std::string& name : walk.names) {
    declarations += name == "SgVariableDeclaration";
    functions += name == "SgFunctionDeclaration";
    loops += name == "SgForStatement";
  }
  EXPECT_EQ(declarations, 1);
  EXPECT_EQ(functions, 1);
  EXPECT_EQ(loops, 0);
  std::vector<SgDeclarationStatement*> globals =
      project->get_file(0)->get_globalScope()->get_declarations();
  ASSERT_EQ(globals.size(), 2u);
  EXPECT_EQ(globals[0]->unparseToCompleteString(), "int mine;");
  // Calls to header functions still name them.
  std::vector<SgFunctionRefExp*> called = nodes_of<SgFunctionRefExp>(project.get());
  ASSERT_EQ(called.size(), 2u);
  EXPECT_EQ(called[1]->get_symbol()->get_name().getString(), "printf");
}

TEST_F(QuietParseTest, ImplicitDeclarationsAndUnknownPragmasPrintNothing)
{
  std::string program =
      "#pragma resource [1][2]\n"
      "int a[100], N, M;\n"
      "int main() {\n"
      "  int i, unused;\n"
      "#pragma latency [4][1]\n"
      "#pragma scop\n"
      "  for (i = max(0, M); i < min(N, 100); i++)\n"
      "    a[i] = floor(i / 2) + ceil(i / 3);\n"
      "  return a[0] == a[0];\n"
      "}\n";
  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  auto project = parse(program);
  std::string out = ::testing::internal::GetCapturedStdout();
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "");
  EXPECT_EQ(out, "");
  std::vector<std::string> names;
  for (SgFunctionRefExp* ref : nodes_of<SgFunctionRefExp>(project.get()))
    names.push_back(ref->get_symbol()->get_name().getString());
  EXPECT_EQ(names, std::vector<std::string>({"max", "min", "floor", "ceil"}));
}

TEST_F(BuilderTest, GreaterOrEqualOverExistingOperands)
{
  auto project = parse("int i, lb;\nvoid f(void) { for (i = lb + 1; i < 9; i++) ; }\n");
  SgForStatement* loop = first_of<SgForStatement>(project.get());
  SgAssignOp* init = isSgAssignOp(isSgExprStatement(loop->get_init_stmt()[0])->get_expression());
  ASSERT_NE(init, nullptr);
  SgExpression* counter = init->get_lhs_operand();
  SgExpression* bound = init->get_rhs_operand();
  SgGreaterOrEqualOp* ge = buildGreaterOrEqualOp(counter, bound);
  ASSERT_NE(ge, nullptr);
  EXPECT_EQ(ge->variantT(), V_SgGreaterOrEqualOp);
  EXPECT_EQ(ge->get_lhs_operand(), counter);
  EXPECT_EQ(ge->get_rhs_operand(), bound);
  ASSERT_NE(ge->get_type(), nullptr);
  EXPECT_NE(isSgTypeBool(ge->get_type()), nullptr);
  EXPECT_EQ(ge->unparseToCompleteString(), "i >= (lb + 1)");
  EXPECT_EQ(ge->get_line(), 2);
  // The loop is unchanged: its operands keep their parent.
  EXPECT_EQ(counter->get_parent(), init);
  EXPECT_EQ(bound->get_parent(), init);
  // The new node can be walked like any other.
  DepthWalk walk;
  walk.traverse(ge, 0);
  EXPECT_EQ(walk.names, std::vector<std::string>({"SgGreaterOrEqualOp", "SgVarRefExp", "SgAddOp",
                                                  "SgVarRefExp", "SgIntVal"}));
  // Building twice gives two nodes sharing the boolean type.
  SgGreaterOrEqualOp* again = buildGreaterOrEqualOp(counter, bound);
  EXPECT_NE(again, ge);
  EXPECT_EQ(again->get_type(), ge->get_type());
}

TEST_F(BuilderTest, MissingOperandIsRejected)
{
  auto project = parse("int i;\nvoid f(void) { i = 0; }\n");
  SgExpression* lhs = first_of<SgAssignOp>(project.get())->get_lhs_operand();
  EXPECT_FAILURE(buildGreaterOrEqualOp(lhs, nullptr), 1, "buildGreaterOrEqualOp: missing operand");
}

TEST_F(BuilderTest, OperandsOfTwoProjectsAreRejected)
{
  auto first = parse("int i;\nvoid f(void) { i = 0; }\n");
  auto second = parse("int j;\nvoid g(void) { j = 1; }\n");
  SgExpression* lhs = first_of<SgAssignOp>(first.get())->get_lhs_operand();
  SgExpression* rhs = first_of<SgAssignOp>(second.get())->get_rhs_operand();
  EXPECT_FAILURE(buildGreaterOrEqualOp(lhs, rhs), 1, "do not belong to one parsed project");
}

TEST_F(BuilderTest, CopyIsDeepAndDetached)
{
  auto project = parse("int a[4][4], i;\nvoid f(void) { a[i][i + 1] = 0; }\n");
  SgExpression* original = first_of<SgAssignOp>(project.get())->get_lhs_operand();
  SgExpression* copy = copyExpression(original);
  EXPECT_EQ(copy->get_parent(), nullptr);
  EXPECT_EQ(shape(copy), shape(original));
  EXPECT_EQ(copy->unparseToCompleteString(), "a[i][i + 1]");
  std::vector<SgNode*> original_nodes, copied_nodes;
  collect_nodes(original, original_nodes);
  collect_nodes(copy, copied_nodes);
  for (std::size_t n = 0; n < copied_nodes.size(); ++n)
    EXPECT_NE(copied_nodes[n], original_nodes[n]);
  EXPECT_EQ(first_of<SgVarRefExp>(copy)->get_symbol(), first_of<SgVarRefExp>(original)->get_symbol());
}

TEST_F(BuilderTest, ProjectsAreFreedIndependently)
{
  // Run under AddressSanitizer: no node may be freed twice or used after its
  // project is gone.
  auto kept = parse("int i;\nvoid f(void) { i += 2; }\n");
  for (int round = 0; round < 3; ++round) {
    auto project = parse("int j, k;\nvoid g(void) { j *= k; for (;;) break; }\n");
    SgAssignOp* assignment = first_of<SgAssignOp>(project.get());
    buildGreaterOrEqualOp(assignment->get_lhs_operand(), assignment->get_rhs_operand());
    copyExpression(assignment);
  }
  EXPECT_EQ(first_of<SgAssignOp>(kept.get())->unparseToCompleteString(), "i += 2");
}

}  // namespace
