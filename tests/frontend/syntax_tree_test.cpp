// The shape of the tree: operator kinds read from the source, the parts of
// for loops, compound assignments, literal values, declarations, texts and
// source lines.
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
using ForLoopTest = FrontendTest;
using CompoundAssignmentTest = FrontendTest;
using LiteralTest = FrontendTest;
using DeclarationTest = FrontendTest;
using TextAndLineTest = FrontendTest;
using NodeKindTest = FrontendTest;

std::string body(const std::string& statement)
{
  return "int a, b, c, d, e, f, g, h, i, j, k, l, x, *p;\n"
         "double v[10][10];\n"
         "void fn(void) {\n  " + statement + "\n}\n";
}

// ---------------------------------------------------------------------------

TEST_F(OperatorTest, ArithmeticOperatorsFollowPrecedenceAndParentheses)
{
  auto project = parse(body("x = (a + b) * (c - d) / e % f;"));
  EXPECT_EQ(shape(last_expression(project.get())),
            "SgAssignOp SgVarRefExp SgModOp SgDivideOp SgMultiplyOp SgAddOp SgVarRefExp "
            "SgVarRefExp SgSubtractOp SgVarRefExp SgVarRefExp SgVarRefExp SgVarRefExp");
}

TEST_F(OperatorTest, ComparisonAndLogicalOperators)
{
  auto project = parse(body("x = a < b && c <= d || e > f && g >= h || i == j && k != l;"));
  std::vector<std::string> names;
  for (SgBinaryOp* op : nodes_of<SgBinaryOp>(last_expression(project.get())))
    names.push_back(op->class_name());
  EXPECT_EQ(names, std::vector<std::string>({"SgAssignOp", "SgOrOp", "SgOrOp", "SgAndOp",
                                             "SgLessThanOp", "SgLessOrEqualOp", "SgAndOp",
                                             "SgGreaterThanOp", "SgGreaterOrEqualOp", "SgAndOp",
                                             "SgEqualityOp", "SgNotEqualOp"}));
}

TEST_F(OperatorTest, CommentsBetweenOperandsAreSkipped)
{
  auto project = parse(body("x = a /* first */ <= // second\n    b;"));
  EXPECT_EQ(shape(last_expression(project.get())),
            "SgAssignOp SgVarRefExp SgLessOrEqualOp SgVarRefExp SgVarRefExp");
}

TEST_F(OperatorTest, BitwiseShiftAndCommaOperatorsHaveTheirOwnClasses)
{
  auto project = parse(body("x = (a & b | c ^ d << e >> f, g);"));
  std::vector<std::string> names;
  for (SgBinaryOp* op : nodes_of<SgBinaryOp>(last_expression(project.get())))
    names.push_back(op->class_name());
  EXPECT_EQ(names, std::vector<std::string>({"SgAssignOp", "SgCommaOpExp", "SgBitOrOp",
                                             "SgBitAndOp", "SgBitXorOp", "SgRshiftOp",
                                             "SgLshiftOp"}));
}

TEST_F(OperatorTest, UnaryOperatorsAndTheirMode)
{
  auto project = parse(body("x = -a + +b + !c + ~d + ++e + f++ + --g + h-- + *p + (int)&i;"));
  std::vector<std::string> names;
  std::vector<int> postfix;
  for (SgUnaryOp* op : nodes_of<SgUnaryOp>(last_expression(project.get()))) {
    names.push_back(op->class_name());
    postfix.push_back(op->get_mode() == SgUnaryOp::postfix);
  }
  EXPECT_EQ(names, std::vector<std::string>({"SgMinusOp", "SgUnaryAddOp", "SgNotOp",
                                             "SgBitComplementOp", "SgPlusPlusOp", "SgPlusPlusOp",
                                             "SgMinusMinusOp", "SgMinusMinusOp",
                                             "SgPointerDerefExp", "SgCastExp", "SgAddressOfOp"}));
  EXPECT_EQ(postfix, std::vector<int>({0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0}));
}

TEST_F(OperatorTest, OperatorsBetweenMacroOperandsAreRead)
{
  auto project = parse("#define N 10\n#define P(e) (e)\n" + body("x = N - P(a + b) * P(c) / d;"));
  SgExpression* value = isSgAssignOp(last_expression(project.get()))->get_rhs_operand();
  // 10 - (((a + b) * c) / d)
  EXPECT_EQ(shape(value), "SgSubtractOp SgIntVal SgDivideOp SgMultiplyOp SgAddOp SgVarRefExp "
                          "SgVarRefExp SgVarRefExp SgVarRefExp");
  EXPECT_EQ(isSgIntVal(isSgSubtractOp(value)->get_lhs_operand())->get_value(), 10);
}

TEST_F(OperatorTest, OperatorsInsideAndAroundMacroArgumentsFollowTheExpansion)
{
  // ID adds no parentheses: ID(a + b) * c is a + (b * c), and
  // ID(a < b) + ID(-c) is a < (b + -c).
  auto project = parse("#define ID(e) e\n" + body("x = ID(a + b) * c; x = ID(a < b) + ID(-c);"));
  std::vector<SgAssignOp*> assignments = nodes_of<SgAssignOp>(project.get());
  ASSERT_EQ(assignments.size(), 2u);
  EXPECT_EQ(shape(assignments[0]->get_rhs_operand()),
            "SgAddOp SgVarRefExp SgMultiplyOp SgVarRefExp SgVarRefExp");
  EXPECT_EQ(shape(assignments[1]->get_rhs_operand()),
            "SgLessThanOp SgVarRefExp SgAddOp SgVarRefExp SgMinusOp SgVarRefExp");
}

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

TEST_F(OperatorTest, AssignmentInAMacroBodyOfAHeaderIsRejected)
{
  write("set.h", "#define SET(v, e) v = e\n#define BUMP(v) v += 2\n");
  EXPECT_FAILURE(parse("#include \"set.h\"\n" + body("SET(x, a);")), 1, "^[^ ]*prog\\.c:5:3: SET\\(x, a\\): frontend: error: cannot read the operator of "
              "'SET\\(x, a\\)'.*may be an assignment");
  EXPECT_FAILURE(parse("#include \"set.h\"\n" + body("BUMP(x);")), 1, "prog\\.c:5:3: BUMP\\(x\\): frontend: error: cannot read the operator of 'BUMP\\(x\\)'");
}

// ---------------------------------------------------------------------------

TEST_F(ForLoopTest, FullHeader)
{
  auto project = parse(body("for (i = 0; i < 10; i++) x = i;"));
  SgForStatement* loop = first_of<SgForStatement>(project.get());
  ASSERT_NE(loop, nullptr);
  ASSERT_EQ(loop->get_init_stmt().size(), 1u);
  SgExprStatement* init = isSgExprStatement(loop->get_init_stmt()[0]);
  ASSERT_NE(init, nullptr);
  EXPECT_NE(isSgAssignOp(init->get_expression_root()), nullptr);
  EXPECT_NE(isSgExprStatement(loop->get_test()), nullptr);
  EXPECT_NE(isSgLessThanOp(loop->get_test_expr()), nullptr);
  EXPECT_NE(isSgPlusPlusOp(loop->get_increment()), nullptr);
  EXPECT_NE(isSgExprStatement(loop->get_loop_body()), nullptr);
  std::vector<SgNode*> children = loop->get_traversalSuccessorContainer();
  ASSERT_EQ(children.size(), 4u);
  EXPECT_EQ(children[0], loop->get_for_init_stmt());
  EXPECT_EQ(children[1], loop->get_test());
  EXPECT_EQ(children[2], loop->get_increment());
  EXPECT_EQ(children[3], loop->get_loop_body());
}

TEST_F(ForLoopTest, EmptyHeader)
{
  auto project = parse(body("for (;;) break;"));
  SgForStatement* loop = first_of<SgForStatement>(project.get());
  EXPECT_EQ(loop->get_for_init_stmt(), nullptr);
  EXPECT_TRUE(loop->get_init_stmt().empty());
  EXPECT_EQ(loop->get_test(), nullptr);
  EXPECT_EQ(loop->get_test_expr(), nullptr);
  EXPECT_EQ(loop->get_increment(), nullptr);
  EXPECT_NE(isSgBreakStmt(loop->get_loop_body()), nullptr);
  EXPECT_EQ(loop->get_traversalSuccessorContainer().size(), 1u);
}

TEST_F(ForLoopTest, InitAndIncrementWithoutTest)
{
  auto project = parse(body("for (i = 0;; i++) break;"));
  SgForStatement* loop = first_of<SgForStatement>(project.get());
  EXPECT_NE(loop->get_for_init_stmt(), nullptr);
  EXPECT_EQ(loop->get_test(), nullptr);
  EXPECT_NE(isSgPlusPlusOp(loop->get_increment()), nullptr);
  EXPECT_EQ(shape(loop), "SgForStatement SgForInitStatement SgExprStatement SgAssignOp "
                         "SgVarRefExp SgIntVal SgPlusPlusOp SgVarRefExp SgBreakStmt");
}

TEST_F(ForLoopTest, TestAloneAndIncrementAloneAreToldApart)
{
  auto project = parse(body("for (; i < 10;) i++; for (;; i--) break;"));
  std::vector<SgForStatement*> loops = nodes_of<SgForStatement>(project.get());
  ASSERT_EQ(loops.size(), 2u);
  EXPECT_EQ(loops[0]->get_for_init_stmt(), nullptr);
  EXPECT_NE(isSgLessThanOp(loops[0]->get_test_expr()), nullptr);
  EXPECT_EQ(loops[0]->get_increment(), nullptr);
  EXPECT_EQ(loops[1]->get_test(), nullptr);
  EXPECT_NE(isSgMinusMinusOp(loops[1]->get_increment()), nullptr);
}

TEST_F(ForLoopTest, DeclarationInTheInitialisation)
{
  auto project = parse(body("for (int c = a; c <= b; c = c + 1) x = c;"));
  SgForStatement* loop = first_of<SgForStatement>(project.get());
  ASSERT_EQ(loop->get_init_stmt().size(), 1u);
  SgVariableDeclaration* declaration = isSgVariableDeclaration(loop->get_init_stmt()[0]);
  ASSERT_NE(declaration, nullptr);
  EXPECT_EQ(declaration->unparseToCompleteString(), "int c = a;");
  ASSERT_EQ(declaration->get_variables().size(), 1u);
  SgInitializedName* name = declaration->get_variables()[0];
  EXPECT_EQ(name->get_name().getString(), "c");
  SgVarRefExp* lower = isSgVarRefExp(name->get_initializer());
  ASSERT_NE(lower, nullptr);
  EXPECT_EQ(lower->get_symbol()->get_name().getString(), "a");
  EXPECT_NE(isSgAssignOp(loop->get_increment()), nullptr);
}

TEST_F(ForLoopTest, SemicolonsNestedInTheHeaderDoNotCount)
{
  auto project = parse(body("for (; i < ({ int t = 3; t; });) i++;"));
  SgForStatement* loop = first_of<SgForStatement>(project.get());
  EXPECT_EQ(loop->get_for_init_stmt(), nullptr);
  EXPECT_NE(isSgLessThanOp(loop->get_test_expr()), nullptr);
  EXPECT_EQ(loop->get_increment(), nullptr);
}

TEST_F(ForLoopTest, HeaderWrittenByAMacroWithMissingPartsIsRejected)
{
  EXPECT_FAILURE(parse("#define FOREVER for (; ; i++)\n" + body("FOREVER break;")), 1, "prog\\.c:5:3: FOREVER break: frontend: error: cannot tell the parts of this for loop");
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

TEST_F(LiteralTest, ValuesAndTheirTexts)
{
  auto project = parse(body("x = 0x10 + 7; v[0][0] = 2.5 + 2.0; c = 'A'; p = (int*)\"ab\" \"c\";"));
  std::vector<SgIntVal*> ints = nodes_of<SgIntVal>(project.get());
  ASSERT_GE(ints.size(), 2u);
  EXPECT_EQ(ints[0]->get_value(), 16);
  EXPECT_EQ(ints[0]->unparseToCompleteString(), "0x10");
  EXPECT_EQ(ints[1]->get_value(), 7);
  std::vector<SgDoubleVal*> doubles = nodes_of<SgDoubleVal>(project.get());
  ASSERT_EQ(doubles.size(), 2u);
  EXPECT_DOUBLE_EQ(doubles[0]->get_value(), 2.5);
  EXPECT_DOUBLE_EQ(doubles[1]->get_value(), 2.0);
  EXPECT_EQ(first_of<SgCharVal>(project.get())->get_value(), 'A');
  SgStringVal* text = first_of<SgStringVal>(project.get());
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->get_value(), "abc");
  EXPECT_EQ(text->unparseToCompleteString(), "\"ab\" \"c\"");
}

TEST_F(LiteralTest, IntegerFromMacroReadsAsItsValue)
{
  auto project = parse("#define N 100\n" + body("x = N;"), {"-DM=5"});
  SgIntVal* value = isSgIntVal(isSgAssignOp(last_expression(project.get()))->get_rhs_operand());
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->get_value(), 100);
  EXPECT_EQ(value->unparseToCompleteString(), "100");
  auto from_switch = parse(body("x = M;"), {"-DM=5"});
  EXPECT_EQ(isSgIntVal(isSgAssignOp(last_expression(from_switch.get()))->get_rhs_operand())->get_value(), 5);
}

TEST_F(LiteralTest, EnumerationConstantKeepsNameAndValue)
{
  auto project = parse("enum { SIZE = 7 };\n" + body("x = SIZE;"));
  SgEnumVal* value = first_of<SgEnumVal>(project.get());
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->get_value(), 7);
  EXPECT_EQ(value->get_name().getString(), "SIZE");
}

TEST_F(LiteralTest, LargestIntIsAccepted)
{
  auto project = parse(body("x = 2147483647;"));
  EXPECT_EQ(first_of<SgIntVal>(project.get())->get_value(), 2147483647);
}

TEST_F(LiteralTest, IntegerBeyondIntIsRejected)
{
  EXPECT_FAILURE(parse(body("x = 2147483648;")), 1, "prog\\.c:4:7: 2147483648: frontend: error: integer literal 2147483648 is out of the "
              "range of int");
  EXPECT_FAILURE(parse(body("x = 0xFFFFFFFFu;")), 1, "integer literal 4294967295 is out of the range of int");
  EXPECT_FAILURE(parse("#define BIG 5000000000\n" + body("x = BIG;")), 1, "prog\\.c:5:7: BIG: frontend: error: integer literal 5000000000");
}

TEST_F(LiteralTest, InfiniteFloatingLiteralIsRejected)
{
  EXPECT_FAILURE(parse(body("v[0][0] = 1e400;")), 1, "prog\\.c:4:13: 1e400: frontend: error: floating literal '1e400' is not a finite value");
}

// ---------------------------------------------------------------------------

TEST_F(DeclarationTest, TextsOfGlobalAndLocalDeclarations)
{
  auto project = parse("int N = 100;\ndouble a[100][100];\nint i, j;\n"
                       "static const double\n  c = 1.5;\n"
                       "int f(int q) {\n  int k = 2, m;\n  double t[N];\n  return q;\n}\n");
  std::vector<std::string> texts;
  std::vector<size_t> counts;
  for (SgVariableDeclaration* declaration : nodes_of<SgVariableDeclaration>(project.get())) {
    texts.push_back(declaration->unparseToCompleteString());
    counts.push_back(declaration->get_variables().size());
  }
  EXPECT_EQ(texts, std::vector<std::string>({"int N = 100;", "double a[100][100];", "int i, j;",
                                             "static const double\n  c = 1.5;", "int k = 2, m;",
                                             "double t[N];"}));
  EXPECT_EQ(counts, std::vector<size_t>({1, 1, 2, 1, 2, 1}));
  std::vector<SgInitializedName*> names =
      nodes_of<SgVariableDeclaration>(project.get())[2]->get_variables();
  EXPECT_EQ(names[0]->get_name().getString(), "i");
  EXPECT_EQ(names[1]->get_name().getString(), "j");
  EXPECT_EQ(names[1]->get_initializer(), nullptr);
}

TEST_F(DeclarationTest, ParametersAreNotVariableDeclarations)
{
  auto project = parse("int f(int q, double r);\nint f(int q, double r) { return q; }\n");
  EXPECT_TRUE(nodes_of<SgVariableDeclaration>(project.get()).empty());
  std::vector<SgFunctionDeclaration*> functions = nodes_of<SgFunctionDeclaration>(project.get());
  ASSERT_EQ(functions.size(), 2u);
  EXPECT_EQ(functions[0]->get_definition(), nullptr);
  EXPECT_EQ(functions[0]->unparseToCompleteString(), "int f(int q, double r);");
  ASSERT_NE(functions[1]->get_definition(), nullptr);
  EXPECT_EQ(functions[1]->get_name().getString(), "f");
  ASSERT_EQ(functions[1]->get_parameterList()->get_args().size(), 2u);
  EXPECT_EQ(functions[1]->get_parameterList()->get_args()[1]->get_name().getString(), "r");
}

TEST_F(DeclarationTest, StructAndVariableInOneDeclaration)
{
  auto project = parse("struct P { int x; } s, *t;\n");
  std::vector<SgVariableDeclaration*> declarations = nodes_of<SgVariableDeclaration>(project.get());
  ASSERT_EQ(declarations.size(), 1u);
  EXPECT_EQ(declarations[0]->unparseToCompleteString(), "struct P { int x; } s, *t;");
  EXPECT_EQ(declarations[0]->get_variables().size(), 2u);
  EXPECT_NE(first_of<SgClassDeclaration>(project.get()), nullptr);
}

// ---------------------------------------------------------------------------

TEST_F(TextAndLineTest, ProjectTextIsTheFileByteForByte)
{
  std::string text = "#pragma latency [4][1]\r\nint a;\t/* tab */\r\n\nint b; // last line";
  auto project = parse(text);
  EXPECT_EQ(project->unparseToCompleteString(), text);
  EXPECT_EQ(project->get_file(0)->unparseToCompleteString(), text);
}

TEST_F(TextAndLineTest, StatementsAndExpressionsKnowTheirLines)
{
  auto project = parse("int a[9], i;\nvoid f(void) {\n  for (i = 0;\n       i < 9;\n       i++)\n"
                       "    a[i] =\n      i;\n  if (i) i = 0;\n}\n");
  SgForStatement* loop = first_of<SgForStatement>(project.get());
  EXPECT_EQ(loop->get_line(), 3);
  EXPECT_EQ(loop->get_test()->get_line(), 4);
  EXPECT_EQ(loop->get_increment()->get_line(), 5);
  SgAssignOp* body = first_of<SgAssignOp>(loop->get_loop_body());
  EXPECT_EQ(body->get_line(), 6);
  EXPECT_EQ(body->get_column(), 5);
  EXPECT_EQ(body->get_rhs_operand()->get_line(), 7);
  EXPECT_EQ(body->unparseToCompleteString(), "a[i] =\n      i");
  EXPECT_EQ(first_of<SgIfStmt>(project.get())->get_line(), 8);
  EXPECT_EQ(body->get_filename(), project->get_file(0)->getFileName());
}

TEST_F(TextAndLineTest, StatementTextsEndWithTheirSemicolon)
{
  auto project = parse(body("if (a) x = 1; else x = 2;"));
  SgIfStmt* branch = first_of<SgIfStmt>(project.get());
  EXPECT_EQ(branch->unparseToCompleteString(), "if (a) x = 1; else x = 2;");
  EXPECT_EQ(branch->get_conditional()->unparseToCompleteString(), "a");
  EXPECT_EQ(branch->get_false_body()->unparseToCompleteString(), "x = 2;");
}

// ---------------------------------------------------------------------------

TEST_F(NodeKindTest, KindsClassNamesAndCheckedCasts)
{
  auto project = parse(body("if (a < 2) x = -b; while (a) a--; do a++; while (a); return;"));
  SgLessThanOp* less = first_of<SgLessThanOp>(project.get());
  EXPECT_EQ(less->variantT(), V_SgLessThanOp);
  EXPECT_EQ(less->class_name(), "SgLessThanOp");
  EXPECT_STREQ(variant_class_name(V_SgForStatement), "SgForStatement");
  EXPECT_NE(isSgBinaryOp(less), nullptr);
  EXPECT_NE(isSgExpression(less), nullptr);
  EXPECT_EQ(isSgUnaryOp(less), nullptr);
  EXPECT_EQ(isSgStatement(less), nullptr);
  EXPECT_EQ(isSgForStatement(less), nullptr);
  EXPECT_EQ(isSgForStatement(static_cast<SgNode*>(nullptr)), nullptr);
  EXPECT_NE(isSgValueExp(less->get_rhs_operand()), nullptr);
  EXPECT_NE(isSgUnaryOp(first_of<SgMinusOp>(project.get())), nullptr);
  SgIfStmt* branch = first_of<SgIfStmt>(project.get());
  EXPECT_NE(isSgScopeStatement(branch), nullptr);
  EXPECT_EQ(branch->get_false_body(), nullptr);
  EXPECT_NE(isSgExprStatement(branch->get_conditional()), nullptr);
  EXPECT_NE(first_of<SgWhileStmt>(project.get()), nullptr);
  EXPECT_NE(first_of<SgDoWhileStmt>(project.get()), nullptr);
  EXPECT_NE(first_of<SgReturnStmt>(project.get()), nullptr);
  EXPECT_NE(isSgDeclarationStatement(first_of<SgVariableDeclaration>(project.get())), nullptr);
  EXPECT_NE(isSgProject(static_cast<SgNode*>(project.get())), nullptr);
}

TEST_F(NodeKindTest, CallsAndReferences)
{
  auto project = parse(body("x = floor((a + 1) / 2) + min(a, b);"));
  std::vector<SgFunctionCallExp*> calls = nodes_of<SgFunctionCallExp>(project.get());
  ASSERT_EQ(calls.size(), 2u);
  SgFunctionRefExp* floor_ref = isSgFunctionRefExp(calls[0]->get_function());
  ASSERT_NE(floor_ref, nullptr);
  EXPECT_EQ(floor_ref->get_symbol()->get_name().getString(), "floor");
  ASSERT_EQ(calls[0]->get_args()->get_expressions().size(), 1u);
  EXPECT_NE(isSgDivideOp(calls[0]->get_args()->get_expressions()[0]), nullptr);
  EXPECT_EQ(shape(calls[1]), "SgFunctionCallExp SgFunctionRefExp SgExprListExp SgVarRefExp SgVarRefExp");
  // All references to a variable share its symbol.
  std::vector<SgVarRefExp*> refs = nodes_of<SgVarRefExp>(project.get());
  EXPECT_EQ(refs[1]->get_symbol()->get_name().getString(), "a");
  EXPECT_EQ(refs[1]->get_symbol(), refs[2]->get_symbol());
  EXPECT_NE(refs[0]->get_symbol(), refs[1]->get_symbol());
}

TEST_F(NodeKindTest, SameNameInTwoFunctionsIsTwoSymbols)
{
  auto project = parse("void f(void) { int i; i = 0; }\nvoid g(void) { int i; i = 1; }\n");
  std::vector<SgVarRefExp*> refs = nodes_of<SgVarRefExp>(project.get());
  ASSERT_EQ(refs.size(), 2u);
  EXPECT_EQ(refs[0]->get_symbol()->get_name(), refs[1]->get_symbol()->get_name());
  EXPECT_NE(refs[0]->get_symbol(), refs[1]->get_symbol());
}

TEST_F(NodeKindTest, OtherConstructsHaveDescriptiveClassNames)
{
  auto project = parse(body("x = ({ int t = 1; t; }); x = sizeof(int) + (a ? b : c); p = &v[0][0];"));
  SgUnknownExpression* unknown = first_of<SgUnknownExpression>(project.get());
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(unknown->class_name(), "SgUnknownExpression(StmtExpr)");
  // Its parts are still in the tree.
  EXPECT_NE(first_of<SgVariableDeclaration>(unknown), nullptr);
  EXPECT_NE(first_of<SgSizeOfOp>(project.get()), nullptr);
  EXPECT_NE(first_of<SgConditionalExp>(project.get()), nullptr);
  EXPECT_NE(first_of<SgAddressOfOp>(project.get()), nullptr);
}

}  // namespace
