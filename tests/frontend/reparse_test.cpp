// Parsing a text held in memory as the user's file, the declarations put
// before it, the nesting the front-end takes, and how messages name a place.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "frontend/sg_node.h"
#include "frontend/sg_project.h"
#include "frontend/source_text.h"
#include "frontend_test_support.h"
#include "tests/expect_failure.h"

namespace {

using ReparseTest = FrontendTest;
using NestingTest = FrontendTest;
using SourceTextTest = FrontendTest;

std::vector<std::string> directory(const std::string& dir)
{
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(ReparseTest, TextInMemoryIsParsedAsTheFileWithThePreludeBeforeIt)
{
  auto first = parse("int a[8];\nvoid f(void) {\n  a[0] = N;\n}\n", {"-DN=3"});
  std::vector<std::string> before = directory(dir_);
  std::unique_ptr<SgProject> second(reparse(*first, "int a[8];\nvoid f(void) {\n\n  reserved[1][2] = N;\n}\n",
                                            "int** reserved;\n"));
  EXPECT_EQ(directory(dir_), before);
  ASSERT_EQ(second->numberOfFiles(), 1);
  EXPECT_EQ(second->get_file(0)->getFileName(), first->get_file(0)->getFileName());
  EXPECT_EQ(second->get_preprocessor_switches(), first->get_preprocessor_switches());
  EXPECT_EQ(second->get_originalCommandLineArgumentList(), first->get_originalCommandLineArgumentList());
  // The prelude is no part of the tree; lines are those of the text.
  std::vector<SgVariableDeclaration*> declarations = nodes_of<SgVariableDeclaration>(second.get());
  ASSERT_EQ(declarations.size(), 1u);
  SgAssignOp* assignment = first_of<SgAssignOp>(second.get());
  ASSERT_NE(assignment, nullptr);
  EXPECT_EQ(assignment->get_line(), 4);
  EXPECT_EQ(assignment->get_column(), 3);
  EXPECT_EQ(assignment->unparseToCompleteString(), "reserved[1][2] = N");
  EXPECT_EQ(isSgIntVal(assignment->get_rhs_operand())->get_value(), 3);
}

TEST_F(ReparseTest, ErrorsNameTheFileAndTheLineOfTheText)
{
  auto first = parse("int x;\n");
  EXPECT_FAILURE(reparse(*first, "int x;\n\nint y = [1]];\n", ""), 1, "^[^ ]*/prog\\.c:3:9: int y = \\[1\\]\\];: error: ");
  // A rewritten text: the line as the user wrote it.
  std::string shown = "int x;\n\n#pragma weight [1]]\n";
  EXPECT_FAILURE(reparse(*first, "int x;\n\nint y = [1]];\n", "", &shown), 1, "^[^ ]*/prog\\.c:3:9: #pragma weight \\[1\\]\\]: error: ");
}

// What the parser cannot take stops before it, at its line: a file beyond
// 16 MB, an #include of a device (which never ends); an error inside a
// header stops at the #include that reads it.
TEST_F(ReparseTest, FilesTooLargeOrEndlessAndErrorsInHeadersStopAtTheirLine)
{
  write("bad.h", "int a;\nint b = ;\n");
  EXPECT_FAILURE(parse("int x;\n#include \"bad.h\"\n"), 1, "^[^ ]*/prog\\.c:2:10: #include \"bad\\.h\": [^ ]*bad\\.h:2:9: error: expected expression\n$");
  EXPECT_FAILURE(parse("int x;\n  #  include </dev/zero>\n"), 1, "^[^ ]*/prog\\.c:2:14: # include </dev/zero>: frontend: error: '/dev/zero' is not a regular "
              "file\n$");
  std::string line(1023, 'x');
  std::string large = "/*\n";
  for (int k = 0; k < 16 * 1024 + 1; k++)
    large += line + "\n";
  EXPECT_FAILURE(parse(large + "*/\n"), 1, "^[^ ]*/prog\\.c:16385:1: frontend: error: the file is longer than 16 MB, the most vorl reads\n$");
}

TEST_F(NestingTest, DeepStatementsAreRefused)
{
  std::string loops;
  for (int k = 0; k < 1100; k++)
    loops += "for (;;) ";
  EXPECT_FAILURE(parse("void f(void) {\n  " + loops + ";\n}\n"), 1, "nested deeper than 1000 levels");
}

struct Place {
  std::string statement;  // in a function body, on line 3
  std::string node;       // class name of the node named
  int nth;                // which of those nodes, in pre-order
  std::string construct;
};

void PrintTo(const Place& p, std::ostream* os) { *os << p.statement << " / " << p.node; }

class ConstructTest : public FrontendTest, public ::testing::WithParamInterface<Place> {};

TEST_P(ConstructTest, NodesNameTheirConstruct)
{
  const Place& p = GetParam();
  auto project = parse("int i, j, N, a[9], b[9];\nvoid f(void) {\n  " + p.statement + "\n}\n");
  std::vector<SgNode*> all;
  collect_nodes(project.get(), all);
  std::vector<SgNode*> matching;
  for (SgNode* n : all)
    if (n->class_name() == p.node)
      matching.push_back(n);
  ASSERT_GT(matching.size(), static_cast<size_t>(p.nth));
  SgNode* node = matching[static_cast<size_t>(p.nth)];
  EXPECT_EQ(construct_of(node), p.construct);
  EXPECT_EQ(refusal_prefix(node), location_of(node) + ": " + p.construct + ": ");
  EXPECT_EQ(location_of(node).rfind(dir_ + "/prog.c:3:", 0), 0u) << location_of(node);
}

INSTANTIATE_TEST_SUITE_P(
    Places, ConstructTest,
    ::testing::Values(
        Place{"for (i = 0; i < N;\n       i++) a[i] = 0;", "SgLessThanOp", 0, "for (i = 0; i < N; i++)"},
        Place{"for (i = 0; i < N; i++) a[i] = 0;", "SgPlusPlusOp", 0, "for (i = 0; i < N; i++)"},
        Place{"for (i = 0; i < N; i++) a[i] = 0;", "SgIntVal", 0, "for (i = 0; i < N; i++)"},
        Place{"for (i = 0; i < N; i++) a[i] = b[i + 1];", "SgAddOp", 0, "a[i] = b[i + 1]"},
        Place{"for (int k = 0; k < N; k++) a[k] = 0;", "SgIntVal", 0, "for (int k = 0; k < N; k++)"},
        Place{"if (i != 2) a[i] = 0; else a[j] = 1;", "SgNotEqualOp", 0, "if (i != 2)"},
        Place{"if (i != 2) a[i] = 0; else a[j] = 1;", "SgVarRefExp", 4, "a[j] = 1"},
        Place{"while (i < N) i++;", "SgLessThanOp", 0, "while (i < N)"},
        Place{"do i++; while (i < N);", "SgDoWhileStmt", 0, "do ... while (i < N)"},
        Place{"a[0] = 1, a[1] = 2;", "SgIntVal", 3, "a[1] = 2"},
        Place{"a[0] = b[0] +\n    b[1];", "SgAddOp", 0, "a[0] = b[0] + b[1]"}),
    [](const ::testing::TestParamInfo<Place>& info) { return "place" + std::to_string(info.index); });

TEST_F(SourceTextTest, LongTextsAreCutOnOneLine)
{
  EXPECT_EQ(one_line("  a =\n\tb  +  c ;\n"), "a = b + c ;");
  std::string long_text(100, 'x');
  EXPECT_EQ(one_line(long_text), std::string(69, 'x') + "...");
  EXPECT_EQ(one_line(""), "");
}

}  // namespace
