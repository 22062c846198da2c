// The shape of the tree: operators read from the source and through macros,
// compound assignments, literals, the text of the file, symbols, and what the
// tree cannot hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/sg_builder.h"
#include "frontend/sg_node.h"
#include "frontend/sg_project.h"
#include "frontend_test_support.h"
#include "tests/expect_failure.h"

namespace {

using OperatorTest = FrontendTest;
using CompoundAssignmentTest = FrontendTest;
using LiteralTest = FrontendTest;
using TextAndLineTest = FrontendTest;
using NodeKindTest = FrontendTest;

std::string body(const std::string& statement)
{
  return "int a, b, c, d, e, f, g, h, i, j, k, l, x, *p;\n"
         "double v[10][10];\n"
         "void fn(void) {\n  " + statement + "\n}\n";
}

// ---------------------------------------------------------------------------

// The tree of an assignment: its nodes in pre-order.
struct Shape {
  std::string name, prelude, statement, shape;
};

void PrintTo(const Shape& s, std::ostream* os) { *os << s.statement; }

class ShapeTest : public FrontendTest, public ::testing::WithParamInterface<Shape> {};

TEST_P(ShapeTest, OperatorsFollowPrecedenceParenthesesAndMacros)
{
  auto project = parse(GetParam().prelude + body(GetParam().statement));
  EXPECT_EQ(shape(last_expression(project.get())), GetParam().shape);
}

const char* const kRef = "SgVarRefExp";

std::string refs(int n)
{
  std::string r;
  for (int k = 0; k < n; k++)
    r += std::string(" ") + kRef;
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Operators, ShapeTest,
    ::testing::Values(
        Shape{"arithmetic", "", "x = (a + b) * (c - d) / e % f;",
              "SgAssignOp SgVarRefExp SgModOp SgDivideOp SgMultiplyOp SgAddOp" + refs(2) + " SgSubtractOp" +
                  refs(4)},
        Shape{"comparisons", "", "x = a < b && c <= d || e > f && g >= h || i == j && k != l;",
              "SgAssignOp SgVarRefExp SgOrOp SgOrOp SgAndOp SgLessThanOp" + refs(2) + " SgLessOrEqualOp" +
                  refs(2) + " SgAndOp SgGreaterThanOp" + refs(2) + " SgGreaterOrEqualOp" + refs(2) +
                  " SgAndOp SgEqualityOp" + refs(2) + " SgNotEqualOp" + refs(2)},
        Shape{"bitwise", "", "x = (a & b | c ^ d << e >> f, g);",
              "SgAssignOp SgVarRefExp SgCommaOpExp SgBitOrOp SgBitAndOp" + refs(2) + " SgBitXorOp" + refs(1) +
                  " SgRshiftOp SgLshiftOp" + refs(4)},
        Shape{"comments", "", "x = a /* first */ <= // second\n    b;",
              "SgAssignOp SgVarRefExp SgLessOrEqualOp" + refs(2)},
        // 10 - (((a + b) * c) / d)
        Shape{"macro_operands", "#define N 10\n#define P(e) (e)\n", "x = N - P(a + b) * P(c) / d;",
              "SgAssignOp SgVarRefExp SgSubtractOp SgIntVal SgDivideOp SgMultiplyOp SgAddOp" + refs(4)},
        // ID adds no parentheses: ID(a + b) * c is a + (b * c), and
        // ID(a < b) + ID(-c) is a < (b + -c).
        Shape{"macro_sum", "#define ID(e) e\n", "x = ID(a + b) * c;",
              "SgAssignOp SgVarRefExp SgAddOp SgVarRefExp SgMultiplyOp" + refs(2)},
        Shape{"macro_comparison", "#define ID(e) e\n", "x = ID(a < b) + ID(-c);",
              "SgAssignOp SgVarRefExp SgLessThanOp SgVarRefExp SgAddOp SgVarRefExp SgMinusOp SgVarRefExp"}),
    [](const ::testing::TestParamInfo<Shape>& info) { return info.param.name; });

TEST_F(OperatorTest, ConstantMacroExpressionsReadAsTheirValue)
{
  auto project = parse("#define N 100\n#define HALF (N / 2)\n#define LB -1\n#define R (1.0 / 4)\n" +
                       body("x = HALF + LB; v[0][0] = R;"));
  SgAddOp* sum = first_of<SgAddOp>(project.get());
  ASSERT_NE(sum, nullptr);
  ASSERT_NE(isSgIntVal(sum->get_lhs_operand()), nullptr);
  EXPECT_EQ(isSgIntVal(sum->get_lhs_operand())->get_value(), 50);
  EXPECT_EQ(isSgIntVal(sum->get_rhs_operand())->get_value(), -1);
  EXPECT_EQ(sum->get_rhs_operand()->unparseToCompleteString(), "-1");
  SgDoubleVal* quarter = first_of<SgDoubleVal>(project.get());
  ASSERT_NE(quarter, nullptr);
  EXPECT_DOUBLE_EQ(quarter->get_value(), 0.25);
}

TEST_F(OperatorTest, NonConstantOperatorOfAMacroBodyOfAHeaderIsKeptAsUnknown)
{
  write("macros.h", "#define MIN(u, w) ((u) < (w) ? (u) : (w))\n#define AT(q) (*q)\n");
  auto project = parse("#include \"macros.h\"\n" + body("x = MIN(a, b) + AT(p);"));
  SgAddOp* sum = first_of<SgAddOp>(project.get());
  ASSERT_NE(sum, nullptr);
  SgConditionalExp* choice = isSgConditionalExp(sum->get_lhs_operand());
  ASSERT_NE(choice, nullptr);
  SgExpression* test = choice->get_conditional_exp();
  EXPECT_EQ(test->class_name(), "SgUnknownExpression(binary operator in a macro body)");
  EXPECT_EQ(shape(test), test->class_name() + " SgVarRefExp SgVarRefExp");
  EXPECT_EQ(test->unparseToCompleteString(), "MIN(a, b)");
  EXPECT_EQ(sum->get_rhs_operand()->class_name(), "SgUnknownExpression(unary operator in a macro body)");
}

TEST_F(OperatorTest, CommaOverAConvertedOperandInAMacroBodyIsNotAWrite)
{
  // The shape of the C library's assert: a comma whose left operand is a cast.
  write("check.h", "#define CHECK(e) ((void) 0, (e))\n");
  auto project = parse("#include \"check.h\"\n" + body("x = CHECK(a);"));
  SgExpression* value = isSgAssignOp(last_expression(project.get()))->get_rhs_operand();
  EXPECT_EQ(value->class_name(), "SgUnknownExpression(binary operator in a macro body)");
  EXPECT_EQ(shape(value), value->class_name() + " SgCastExp SgIntVal SgVarRefExp");
}

// ---------------------------------------------------------------------------

// What the tree cannot hold stops at its place, with one line: an operator
// of a header's macro that may be an assignment, a loop header a macro
// writes with missing parts, literals beyond int or not finite.
TEST_F(OperatorTest, UnreadableConstructsStopAtTheirPlace)
{
  write("set.h", "#define SET(v, e) v = e\n#define BUMP(v) v += 2\n");
  EXPECT_FAILURE(parse("#include \"set.h\"\n" + body("SET(x, a);")), 1, "^[^ ]*prog\\.c:5:3: SET\\(x, a\\): frontend: error: cannot read the operator of "
              "'SET\\(x, a\\)'.*may be an assignment");
  EXPECT_FAILURE(parse("#include \"set.h\"\n" + body("BUMP(x);")), 1, "prog\\.c:5:3: BUMP\\(x\\): frontend: error: cannot read the operator of 'BUMP\\(x\\)'");
  EXPECT_FAILURE(parse("#define FOREVER for (; ; i++)\n" + body("FOREVER break;")), 1, "prog\\.c:5:3: FOREVER break: frontend: error: cannot tell the parts of this for loop");
  EXPECT_FAILURE(parse(body("x = 2147483648;")), 1, "prog\\.c:4:7: 2147483648: frontend: error: integer literal 2147483648 is out of the "
              "range of int");
  EXPECT_FAILURE(parse(body("x = 0xFFFFFFFFu;")), 1, "integer literal 4294967295 is out of the range of int");
  EXPECT_FAILURE(parse("#define BIG 5000000000\n" + body("x = BIG;")), 1, "prog\\.c:5:7: BIG: frontend: error: integer literal 5000000000");
  EXPECT_FAILURE(parse(body("v[0][0] = 1e400;")), 1, "prog\\.c:4:13: 1e400: frontend: error: floating literal '1e400' is not a finite value");
}

// ---------------------------------------------------------------------------

TEST_F(CompoundAssignmentTest, BecomesAnAssignmentOfTheOperation)
{
  auto project = parse(body("v[i][j] += v[j][i] * 2;"));
  SgAssignOp* assignment = isSgAssignOp(last_expression(project.get()));
  ASSERT_NE(assignment, nullptr);
  EXPECT_EQ(assignment->unparseToCompleteString(), "v[i][j] += v[j][i] * 2");
  SgAddOp* sum = isSgAddOp(assignment->get_rhs_operand());
  ASSERT_NE(sum, nullptr);
  // The left side appears twice, as two distinct trees.
  SgExpression* target = assignment->get_lhs_operand();
  SgExpression* read = sum->get_lhs_operand();
  EXPECT_NE(target, read);
  EXPECT_EQ(shape(target), shape(read));
  EXPECT_EQ(read->unparseToCompleteString(), "v[i][j]");
  EXPECT_EQ(read->get_parent(), sum);
  EXPECT_EQ(sum->get_parent(), assignment);
  EXPECT_NE(isSgMultiplyOp(sum->get_rhs_operand()), nullptr);
  // The first reference read on the right is the target.
  SgVarRefExp* first_read = first_of<SgVarRefExp>(sum);
  EXPECT_EQ(first_read->get_symbol()->get_name().getString(), "v");
  EXPECT_EQ(first_read->get_symbol(), first_of<SgVarRefExp>(target)->get_symbol());
}

TEST_F(CompoundAssignmentTest, EveryOperatorHasItsBinaryNode)
{
  auto project = parse(body("x -= a; x *= a; x /= a; x %= a; x <<= a; x >>= a; x &= a; x |= a; x ^= a;"));
  std::vector<std::string> names;
  for (SgAssignOp* assignment : nodes_of<SgAssignOp>(project.get()))
    names.push_back(assignment->get_rhs_operand()->class_name());
  EXPECT_EQ(names, std::vector<std::string>({"SgSubtractOp", "SgMultiplyOp", "SgDivideOp",
                                             "SgModOp", "SgLshiftOp", "SgRshiftOp", "SgBitAndOp",
                                             "SgBitOrOp", "SgBitXorOp"}));
}

TEST_F(CompoundAssignmentTest, CompoundOperandIsKeptWhole)
{
  auto project = parse(body("x -= a - b;"));
  SgSubtractOp* outer = isSgSubtractOp(isSgAssignOp(last_expression(project.get()))->get_rhs_operand());
  ASSERT_NE(outer, nullptr);
  // x - (a - b), not (x - a) - b.
  EXPECT_NE(isSgVarRefExp(outer->get_lhs_operand()), nullptr);
  EXPECT_NE(isSgSubtractOp(outer->get_rhs_operand()), nullptr);
  EXPECT_EQ(outer->unparseToCompleteString(), "x - (a - b)");
}

// ---------------------------------------------------------------------------

TEST_F(LiteralTest, LargestIntIsAccepted)
{
  auto project = parse(body("x = 2147483647;"));
  EXPECT_EQ(first_of<SgIntVal>(project.get())->get_value(), 2147483647);
}

// ---------------------------------------------------------------------------

TEST_F(TextAndLineTest, ProjectTextIsTheFileByteForByte)
{
  std::string text = "#pragma latency [4][1]\r\nint a;\t/* tab */\r\n\nint b; // last line";
  auto project = parse(text);
  EXPECT_EQ(project->unparseToCompleteString(), text);
  EXPECT_EQ(project->get_file(0)->unparseToCompleteString(), text);
}

// ---------------------------------------------------------------------------

TEST_F(NodeKindTest, SameNameInTwoFunctionsIsTwoSymbols)
{
  auto project = parse("void f(void) { int i; i = 0; }\nvoid g(void) { int i; i = 1; }\n");
  std::vector<SgVarRefExp*> refs = nodes_of<SgVarRefExp>(project.get());
  ASSERT_EQ(refs.size(), 2u);
  EXPECT_EQ(refs[0]->get_symbol()->get_name(), refs[1]->get_symbol()->get_name());
  EXPECT_NE(refs[0]->get_symbol(), refs[1]->get_symbol());
}

}  // namespace
