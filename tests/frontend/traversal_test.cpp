// The walks over the tree, what they leave out, and the lifetime of the
// nodes.
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
