// The calls of the file's own function-like macros are read through their
// expansion. The oracle is the C compiler: the text the front-end parsed,
// compiled and run, prints what the original file prints.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "frontend/sg_node.h"
#include "frontend/sg_project.h"
#include "frontend_test_support.h"

namespace {

struct MacroCase {
  std::string name;
  std::string definitions;  // before main
  std::string body;         // statements of main, printing with p(...)
};

void PrintTo(const MacroCase& c, std::ostream* os) { *os << c.name; }

class MacroExpansionTest : public FrontendTest, public ::testing::WithParamInterface<MacroCase> {
protected:
  // What the program prints, compiled by cc; empty when it does not build.
  std::string run(const std::string& name, const std::string& text)
  {
    std::string source = write(name + ".c", text);
    std::string binary = dir_ + "/" + name;
    std::string command = "cc -w -o '" + binary + "' '" + source + "' 2>/dev/null && '" + binary +
                          "' > '" + binary + ".txt'";
    int status = std::system(command.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
      return "";
    std::ifstream in(binary + ".txt");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

const char* const kPrelude =
    "#include <stdio.h>\n"
    "int t[4][4] = {{1, 5, 2, 0}, {3, 3, 9, 1}, {0, 7, 1, 2}, {4, 2, 8, 6}};\n"
    "int seq[4] = {1, 2, 0, 3};\n"
    "static void p(long v) { printf(\"%ld\\n\", v); }\n";

TEST_P(MacroExpansionTest, ParsedTextComputesWhatTheFileComputes)
{
  const MacroCase& c = GetParam();
  std::string text = std::string(kPrelude) + c.definitions + "\nint main(void) {\n  int i = 1, j = 2;\n" +
                     c.body + "\n  return 0;\n}\n";
  std::string expected = run("original", text);
  ASSERT_FALSE(expected.empty()) << "the case itself does not build";
  auto project = parse(text);
  std::string parsed = project->unparseToCompleteString();
  EXPECT_EQ(run("expanded", parsed), expected) << parsed;
  // Every line keeps its number.
  EXPECT_EQ(std::count(parsed.begin(), parsed.end(), '\n'), std::count(text.begin(), text.end(), '\n'));
  // No call of the file's own macros is left in the statements.
  SgBasicBlock* main_body = nodes_of<SgBasicBlock>(project.get()).back();
  for (SgStatement* s : main_body->get_statements())
    EXPECT_EQ(shape(s).find("macro body"), std::string::npos) << s->unparseToCompleteString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MacroExpansionTest,
    ::testing::Values(
        MacroCase{"nussinov",
                  "#define match(b1, b2) (((b1)+(b2)) == 3 ? 1 : 0)\n"
                  "#define max_score(s1, s2) ((s1 >= s2) ? s1 : s2)\n",
                  "  t[i][j] = max_score(t[i][j], t[i+1][j-1]+match(seq[i], seq[j]));\n"
                  "  p(t[i][j]);\n  t[0][1] = max_score(t[0][1], t[0][0]);\n  p(t[0][1]);"},
        MacroCase{"no_parentheses_added", "#define ID(e) e\n#define TWICE(e) e + e\n",
                  "  p(ID(i + j) * 3);\n  p(TWICE(i) * j);\n  p(ID(i < j) + ID(-j));"},
        MacroCase{"nested_in_body_and_arguments",
                  "#define SQ(x) ((x) * (x))\n#define SUMSQ(a, b) (SQ(a) + SQ(b))\n",
                  "  p(SUMSQ(i + 1, SQ(j)));\n  p(SQ(SQ(SQ(2))));"},
        MacroCase{"call_over_lines", "#define ADD(a, b) ((a) + (b))\n",
                  "  p(ADD(i,\n        j) * 10 +\n    ADD(1, /* two */ 2));"},
        MacroCase{"stringize_and_paste", "#define STR(x) #x\n#define CAT(a, b) a##b\n",
                  "  int ij = 7;\n  p(sizeof STR(a \"b\" c));\n  p(CAT(i, j));\n  p(CAT(1, 2) + 0);"},
        MacroCase{"variadic", "#define FIRST(x, ...) (x)\n#define SUM3(...) add3(__VA_ARGS__)\n"
                              "static int add3(int a, int b, int c) { return a + b + c; }\n",
                  "  p(FIRST(i, j, 3));\n  p(SUM3(i, j, 3));"},
        MacroCase{"no_argument_and_object_like", "#define ZERO() 0\n#define N (1 + 2)\n"
                                                 "#define AT(k) t[k][N]\n",
                  "  p(ZERO() + AT(1));"},
        MacroCase{"not_expanded_inside_itself", "int g = 100;\n#define g(x) ((x) + g)\n",
                  "  p(g(2));\n  p(g(g(3)));"},
        MacroCase{"redefined", "#define F(x) (x + 1)\n",
                  "  p(F(i));\n#undef F\n#define F(x) (x * 10)\n  p(F(i));"},
        MacroCase{"negative_arguments", "#define NEG(x) -x\n#define SUB(a, b) a-b\n",
                  "  p(NEG(-1));\n  p(SUB(i, -j));\n  p(SUB(i, -1)-1);"}),
    [](const ::testing::TestParamInfo<MacroCase>& info) { return info.param.name; });

TEST_F(MacroExpansionTest, AnAssignmentWrittenThroughAMacroOfTheFileIsRead)
{
  auto project = parse("int x, a;\n#define SET(v, e) v = e\n#define BUMP(v) v += 2\n"
                       "void f(void) {\n  SET(x, a);\n  BUMP(x);\n}\n");
  std::vector<SgAssignOp*> assignments = nodes_of<SgAssignOp>(project.get());
  ASSERT_EQ(assignments.size(), 2u);
  EXPECT_EQ(assignments[0]->unparseToCompleteString(), "x = a");
  EXPECT_EQ(assignments[0]->get_line(), 5);
  EXPECT_EQ(shape(assignments[1]), "SgAssignOp SgVarRefExp SgAddOp SgVarRefExp SgIntVal");
  EXPECT_EQ(assignments[1]->get_line(), 6);
}

}  // namespace
