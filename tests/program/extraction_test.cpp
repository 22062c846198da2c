// The program extracted from small C files: bounds through min, max, floor
// and ceil, declarations and initial values, and the constructs the
// extraction refuses (the domains and their order are checked against the
// running program in execution_order_test.cpp).
#include <gtest/gtest.h>

#include "algebra/expression.h"
#include "algebra/index_function.h"
#include "tests/program/program_test_support.h"

namespace {

const std::string kDeclarations =
    "int N, M, i, j, k, d[10];\n"
    "double a[100][100], b[100], c[100], s, x, y, z;\n"
    "double f(double, double);\n";

class ExtractionTest : public ProgramTest {
 protected:
  // The program of a function body written after kDeclarations; the body
  // starts on line 5.
  std::unique_ptr<Program> run(const std::string& body)
  {
    return extract(kDeclarations + "void g(void) {\n" + body + "\n}\n");
  }
};

TEST_F(ExtractionTest, MaxFloorAndCeilBounds)
{
  auto p = run("for (i = max(N, M); i <= floor((N + 1) / 2); i++)\n"
               "  for (j = ceil(i / 3); j < min(min(N, M), 50); j++) c[j] = 0;\n"
               "for (int k = max(1, N); k < M; k++) c[k] = 1;");
  ASSERT_EQ(p->statement.size(), 2u);
  // Nested min/max unfold through their first argument; floor and ceil
  // bounds become integer constraints.
  EXPECT_EQ(code(*p->statement[0]->iteration_domain),
            "(i >= M) && (i >= N) && (2*i <= N+1) && (3*j >= i) && (j <= 50-1) && (j <= M-1) && "
            "(j <= N-1)");
  EXPECT_EQ(code(*p->statement[1]->iteration_domain), "(k >= N) && (k >= 1) && (k < M)");
}

TEST_F(ExtractionTest, MacrosDeclarationsAndInitialValuesOfTheModel)
{
  std::unique_ptr<SgProject> project(
      parse("#define SIZE 6\nint N = SIZE, M = 2 * SIZE;\ndouble A[SIZE][SIZE];\n#define HALF (N / 2)\n"
            "int main(void) { int i = 0; for (int k = 1; k < N; k++) A[k][k] = i; return 0; }\n",
            {"-DEXTRA=3", "-DFLAG", "-DGONE=1", "-UGONE"}));
  std::unique_ptr<Program> p(Program::from_Sage(project.get()));
  EXPECT_EQ(p->macro_definitions,
            std::vector<std::string>({"#define EXTRA 3", "#define FLAG 1", "#define SIZE 6",
                                      "#define HALF (N / 2)"}));
  EXPECT_EQ(p->initial_values, (std::map<std::string, long long>{{"N", 6}, {"M", 12}, {"i", 0}}));
  EXPECT_EQ(p->variable_declaration,
            std::vector<std::string>({"int N = SIZE, M = 2 * SIZE;", "double A[SIZE][SIZE];", "int i = 0;"}));
}

using ExtractionFailureTest = ExtractionTest;

TEST_F(ExtractionFailureTest, LoopsOtherThanUnitStepCountersStop)
{
  const std::string at = "Program::from_Sage: for loop at line 6: ";
  const std::string init = at + "expect an initialisation c = lb or int c = lb; found: ";
  const std::string step = at + "expect a step of one (i++); found: ";
  EXPECT_STOPS(run("\nfor (i = 0; i < N; i += 2) c[i] = 0;"), step + "i += 2");
  EXPECT_STOPS(run("\nfor (i = 0; i < N; j++) c[i] = 0;"), step + "j++");
  EXPECT_STOPS(run("\nfor (i = 0; i < N;) c[i] = 0;"), step + "no step");
  EXPECT_STOPS(run("\nfor (i = 0;; i++) c[i] = 0;"), at + "the loop has no test");
  EXPECT_STOPS(run("\nfor (; i < N; i++) c[i] = 0;"), init + "no initialisation");
  EXPECT_STOPS(run("\nfor (i = 0, j = 0; i < N; i++) c[i] = 0;"), init + "i = 0, j = 0");
  EXPECT_STOPS(run("\nfor (int t = 0, u = 0; t < N; t++) c[t] = 0;"), init + "int t = 0, u = 0");
  // A compound initialisation reads the counter it should set.
  EXPECT_STOPS(run("\nfor (i += 1; i < N; i++) c[i] = 0;"), init + "i += 1");
  EXPECT_STOPS(run("\nfor (int t; t < N; t++) c[t] = 0;"), init + "int t;");
}

TEST_F(ExtractionFailureTest, UnaffineExpressionsAndConditionsStop)
{
  const std::string expr = "Expression::from_Sage: ";
  const std::string poly = "Polyhedron::from_Sage: ";
  EXPECT_STOPS(run("for (i = 0; i < 2.5 * N; i++) c[i] = 0;"), expr + "not an integer:2.5");
  EXPECT_STOPS(run("c[d[0]] = 0;"), expr + "SgPntrArrRefExp unhandled");
  EXPECT_STOPS(run("for (i = 0; i < floor(N); i++) c[i] = 0;"),
               expr + "unary_function (./.) expected (ceil/floor handling):floor(N) (found: N)\n");
  EXPECT_STOPS(run("c[min(N, M)] = 0;"),
               expr + "unary function expected (ceil/floor handling):min(N, M)");
  EXPECT_STOPS(run("for (i = 0; i < round(N / 2); i++) c[i] = 0;"),
               expr + "floor/ceil expected:round(N / 2)");
  EXPECT_STOPS(run("for (i = 0; i < max(N, M); i++) c[i] = 0;"), poly + "< max unhandled");
  EXPECT_STOPS(run("for (i = min(N, M); i < 9; i++) c[i] = 0;"), poly + "> min unhandled");
  EXPECT_STOPS(run("for (int t = min(N, M); t < 9; t++) c[t] = 0;"), poly + "> min unhandled");
  EXPECT_STOPS(run("if (N == max(M, 2)) s = 0;"), poly + "= max unhandled");
  EXPECT_STOPS(run("for (i = 0; i < min(N); i++) c[i] = 0;"),
               poly + "min expects two arguments: min(N)");
  EXPECT_STOPS(run("for (i = 0; i < min(); i++) c[i] = 0;"),
               "Polyhedron::get_lhs: function with no arguments");
  EXPECT_STOPS(run("for (i = 0; i != N; i++) c[i] = 0;"), poly + "SgNotEqualOp unhandled");
  EXPECT_STOPS(run("if (N < 1 || M < 1) s = 0;"), poly + "SgOrOp unhandled");
  EXPECT_STOPS(run("if (N) s = 0;"), "Polyhedron::fromSage: invalid expression SgVarRefExp");
  EXPECT_STOPS(run("*(b + 1) = 0;"),
               "IndexFunction::from_Sage: array or scalar reference expected: *(b + 1)");
}

struct Refusal {
  std::string body;     // a function body starting on line 5
  std::string message;  // what the one line holds, from the place on
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.body; }

class RefusalTest : public ExtractionTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, OneLineNamesThePlaceTheConstructAndTheReason)
{
  EXPECT_STOPS(run(GetParam().body), GetParam().message);
}

const std::string kFrom = "Program::from_Sage: ";

INSTANTIATE_TEST_SUITE_P(
    Constructs, RefusalTest,
    ::testing::Values(
        Refusal{"while (i < N) {\n  c[i] = 0;\n  i++;\n}",
                "5:1: while (i < N): " + kFrom + "a while loop around an assignment (line 6): only for "
                "loops and if statements are read"},
        Refusal{"do c[i] = 0; while (i < N);",
                "5:1: do ... while (i < N): " + kFrom + "a do loop around an assignment (line 5)"},
        Refusal{"switch (i) { case 0: c[i] = 0; }", "5:1: switch (i): " + kFrom + "a switch around an assignment"},
        Refusal{"goto end;\nc[0] = 0;\nend: ;",
                "5:1: goto end;: " + kFrom + "a goto before an assignment (line 6): jumps are not read"},
        Refusal{"c[0] = 0;\nagain: c[1] = 1;\ngoto again;",
                "7:1: goto again;: " + kFrom + "a goto after an assignment (line 5) may run it again"},
        Refusal{"for (i = 0; i < N; i++) {\n  if (i > M) break;\n  c[i] = 0;\n}",
                "6:14: break;: " + kFrom + "a break in the loop of an assignment (line 7)"},
        Refusal{"for (i = 0; i < N; i++) {\n  c[i] = 0;\n  if (i > M) continue;\n  b[i] = 1;\n}",
                "7:14: continue;: " + kFrom + "a continue in the loop of an assignment (line 6)"},
        Refusal{"for (i = 0; i < N; i++) {\n  c[i] = 0;\n  if (i == M) return;\n}",
                "7:15: return;: " + kFrom + "a return in the loop of an assignment (line 6)"},
        Refusal{"if (i == 0) c[0] = 1; else c[0] = 2;",
                "5:1: if (i == 0): " + kFrom + "else branch of a condition whose negation is not one affine "
                "constraint: write it as its own if (assignment at line 5)"},
        Refusal{"if (i > 0 && i < N) c[0] = 1;\nelse\n  c[0] = 2;",
                "5:1: if (i > 0 && i < N): " + kFrom + "else branch of a condition whose negation is not one "
                "affine constraint: write it as its own if (assignment at line 7)"},
        Refusal{"if (i < min(N, M)) c[0] = 1; else c[0] = 2;", "5:1: if (i < min(N, M)): " + kFrom + "else branch"},
        Refusal{"c[0] = b[0] = 1;", "5:8: c[0] = b[0] = 1: " + kFrom + "an assignment inside an expression: "
                                    "write it as a statement of its own"},
        Refusal{"for (i = 0; i < N; i++) c[i++] = 0;",
                "5:27: c[i++] = 0: Expression::from_Sage: SgPlusPlusOp unhandled: an assignment in a loop "
                "bound, condition or subscript"},
        Refusal{"for (i = 0; i < N; i++) c[i] = b[i]++;", "5:32: c[i] = b[i]++: " + kFrom + "an assignment inside"},
        Refusal{"for (i = 0; i > -N; i++) c[i] = 0;",
                "5:13: for (i = 0; i > -N; i++): " + kFrom + "for loop at line 5: the test does not bound i from "
                "above, where the loop counts up"},
        Refusal{"for (i = N; i < 2 * N; i--) c[i] = 0;",
                "5:13: for (i = N; i < 2 * N; i--): " + kFrom + "for loop at line 5: the test does not bound i "
                "from below, where the loop counts down"},
        Refusal{"for (i = 0; i == 0; i++) c[i] = 0;", "for loop at line 5: the test does not bound i"},
        Refusal{"for (i = k + 1; k < N; i++) c[i] = 0;",
                "5:17: for (i = k + 1; k < N; i++): " + kFrom + "for loop at line 5: the test does not bound i "
                "from above, where the loop counts up"},
        Refusal{"c[i] = 0;\nfor (i = 0; i < N; i++) b[i] = 0;",
                "6:1: for (i = 0; i < N; i++): " + kFrom + "for loop at line 6: its counter i is also a "
                "parameter of the program (a name of a bound, condition or subscript outside the loops of i): "
                "give the loop another counter"},
        Refusal{"for (i = 0; i < N; i++) c[i] = 0;\nb[i] = 1;",
                "6:1: b[i] = 1: " + kFrom + "the counter i of the loop at line 5 is used outside its loop, where "
                "its value is not known: use another name"},
        Refusal{"for (i = 0; i < N; i++) c[i] = 0;\nfor (j = 0; j < i; j++) b[j] = 1;",
                "6:25: b[j] = 1: " + kFrom + "the counter i of the loop at line 5 is used outside its loop"},
        Refusal{"for (i = 0; i < N; i -= 2) c[i] = 0;",
                "5:20: for (i = 0; i < N; i -= 2): " + kFrom + "for loop at line 5: expect a step of one (i++); "
                "found: i -= 2: a loop counts up or down by one (i++ or i--)"},
        Refusal{"for (i = max(N, M); i >= 0; i--) c[i] = 0;",
                "5:10: for (i = max(N, M); i >= 0; i--): Polyhedron::from_Sage: < max unhandled"},
        Refusal{"for (i = 0; i < N * M; i++) c[i] = 0;",
                "5:13: for (i = 0; i < N * M; i++): Expression::to_vector: Non affine expression (newparm?): a "
                "product of two variables is not affine"},
        Refusal{"for (i = 0; i < 2000000000; i++) c[i] = 0;",
                "5:13: for (i = 0; i < 2000000000; i++): Expression::from_Sage: the number 2000000000 is beyond "
                "1000000000, the largest the analysis takes"},
        Refusal{"for (i = 0; i < 600000000 + 600000000; i++) c[i] = 0;",
                "Expression::from_Sage: the numbers of 600000000+600000000 add up beyond 1000000000"},
        Refusal{"for (i = 0; i < N; i++) c[i * i] = 0;",
                "5:25: c[i * i] = 0: Expression::to_vector: Non affine expression (newparm?): the subscript "
                "c[i * i] is not affine: a product of two variables is not affine"},
        Refusal{"if (i != 2) c[0] = 0;",
                "5:5: if (i != 2): Polyhedron::from_Sage: SgNotEqualOp unhandled: a != condition is not affine"},
        Refusal{"for (i = 0; i < (int)x; i++) c[i] = 0;",
                "5:17: for (i = 0; i < (int)x; i++): Expression::from_Sage: SgCastExp unhandled: a cast in a "
                "loop bound, condition or subscript"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return "case" + std::to_string(info.index); });

TEST_F(ExtractionTest, JumpsAndLoopsAwayFromAssignmentsAreAccepted)
{
  auto p = extract(kDeclarations + "int h(int n) {\n  while (n > 1) f(x, y);\n  return n;\n}\n"
                   "void g(void) {\n  while (f(x, y) > 0) ;\n  for (i = 0; i < N; i++) {\n"
                   "    if (i > M) continue;\n  }\n  for (i = 0; i < N; i++)\n    c[i] = 0;\n"
                   "  if (M == 0) c[0] = 1; else ;\n  return;\n}\n");
  EXPECT_EQ(p->statement.size(), 2u);
}

}  // namespace
