// The latency pragmas: their rewriting, the re-parse in memory, and the
// numbers read back from the extracted program with every placement error.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "driver/preprocessor.h"
#include "frontend/source_text.h"
#include "tests/program/program_test_support.h"

namespace {

class PreprocessorTest : public ProgramTest {
 protected:
  // Parses text, rewrites and re-parses it, extracts the program and reads
  // the annotations back.
  void pipeline(const std::string& text) { pipeline(std::unique_ptr<SgProject>(parse(text))); }

  void pipeline(std::unique_ptr<SgProject> first)
  {
    std::unique_ptr<SgProject> second(preprocess_latency(first.get()));
    program = Program::from_Sage(second.get());
    std::tie(maps, resources) = extract_latency(program.get());
  }

  // A main function around body; the body starts on line 5.
  static std::string annotated(const std::string& body)
  {
    return "int N = 8;\ndouble a[100], b[100], s;\nint main(void) {\n  int i;\n" + body +
           "\n  return 0;\n}\n";
  }

  std::unique_ptr<Program> program;
  LatencyMaps maps;
  std::vector<int> resources;
};

using Map = std::map<int, std::vector<int>>;

struct Rewriting {
  std::string text, rewritten;  // lines inside a function body
};

void PrintTo(const Rewriting& r, std::ostream* os) { *os << r.text; }

class RewritingTest : public ::testing::TestWithParam<Rewriting> {};

// Each pragma becomes an assignment on its own line, its subscripts at the
// columns the user wrote them; other lines are left as they are.
TEST_P(RewritingTest, PragmaLinesBecomeAssignmentsInPlace)
{
  std::string open = "void f(void) {\n", close = "\n}\n";
  EXPECT_EQ(rewrite_pragmas(open + GetParam().text + close, "p.c"), open + GetParam().rewritten + close);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RewritingTest,
    ::testing::Values(
        Rewriting{"#pragma latency [3][1]\n  a[i] = 0;", "__vorl_latency  [3][1] = 0,\n  a[i] = 0;"},
        Rewriting{"  #pragma latency[3][1] // tail\n  x++;", "  __vorl_latency [3][1] = 0, // tail\n  x++;"},
        Rewriting{"#  pragma   input [0]  \n--x;", "__vorl_input      [0] = 0,  \n--x;"},
        Rewriting{"#pragma latency [1][1]\n#pragma input [0][1]\n#pragma output [0]\n\n  /* c */ (a) = b;",
                  "__vorl_latency  [1][1] = 0,\n__vorl_input  [0][1] = 0,\n__vorl_output  [0] = 0,\n\n"
                  "  /* c */ (a) = b;"},
        Rewriting{"#pragma resource [4][1]\r\n  for (;;) ;", "__vorl_resource  [4][1] = 0;\r\n  for (;;) ;"},
        Rewriting{"#pragma latency [L][(1 + 2)] /* c\n */ s = 1;",
                  "__vorl_latency  [L][(1 + 2)] = 0, /* c\n */ s = 1;"},
        Rewriting{"#pragma latencyX [1]\n#pragma omp parallel\nx; #pragma latency [1]\n/*\n#pragma latency [1]\n*/",
                  "#pragma latencyX [1]\n#pragma omp parallel\nx; #pragma latency [1]\n/*\n#pragma latency [1]\n*/"},
        Rewriting{"#define X \\\n#pragma latency [1]\n  s = \"{\";", "#define X \\\n#pragma latency [1]\n  s = \"{\";"}),
    [](const ::testing::TestParamInfo<Rewriting>& info) { return "case" + std::to_string(info.index); });

using PreprocessorFailureTest = PreprocessorTest;

TEST_F(PreprocessorFailureTest, MisplacedOrMalformedPragmasStopAtTheirLine)
{
  const std::string at = ": Preprocessor::preprocess_latency: ";
  const std::string not_followed = at + "expect the assignment it annotates right after the pragma";
  EXPECT_STOPS(rewrite_pragmas("#pragma resource [1][1]\nint x;\n", "p.c"),
               "p.c:1:1: #pragma resource [1][1]" + at + "a pragma outside a function");
  EXPECT_STOPS(rewrite_pragmas("void f(void) {\n  #pragma latency [1]]\n  x = 0;\n}\n", "p.c"),
               "p.c:2:3: #pragma latency [1]]" + at + "expect constant subscripts after the pragma");
  for (const std::string bad : {"[1", "1", "", "[1] x", "[1];"})
    EXPECT_STOPS(rewrite_pragmas("void f(void) {\n#pragma output " + bad + "\n  x = 0;\n}\n", "p.c"),
                 "p.c:2:1: " + one_line("#pragma output " + bad) + at + "expect constant subscripts");
  for (const std::string next : {"for (;;) x = 0;", "{ x = 0; }", "}", "int y = 0;", "#pragma omp simd\nx = 0;",
                                 "return;", ";"})
    EXPECT_STOPS(rewrite_pragmas("void f(void) {\n#pragma latency [1][1]\n" + next + "\n}\n", "p.c"),
                 "p.c:2:1: #pragma latency [1][1]" + not_followed);
  EXPECT_STOPS(rewrite_pragmas("void f(void) {\n#pragma input [0]\n", "p.c"), "p.c:2:1: #pragma input [0]" + not_followed);
}

TEST_F(PreprocessorTest, AnnotationsAreReadBackByAssignment)
{
  pipeline(annotated("#pragma resource [4][1]\n  for (i = 1; i < N; i++) {\n"
                     "#pragma latency [3][1]\n    a[i] = a[i-1] + b[i];\n"
                     "#pragma latency [5][2]\n#pragma input [1]\n    b[i] = a[i] * b[i-1];\n"
                     "#pragma latency [2][2]\n#pragma output [0]\n    a[i] += 1;\n"
                     "#pragma latency [7][7]\n#pragma output [0]\n#pragma input [1]\n"
                     "    b[i] = a[i] + b[i];\n"
                     "#pragma latency [1][1]\n    s = 0;\n  }"));
  ASSERT_EQ(maps.size(), 3u);
  EXPECT_EQ(maps[0], (Map{{0, {3, 1}}, {1, {5, 2}}, {2, {2, 2}}, {3, {7, 7}}, {4, {1, 1}}}));
  // Defaults only without input and output pragmas, and only with reads; an
  // input pragma after the output pragma is not read.
  EXPECT_EQ(maps[1], (Map{{0, {0, 1}}, {1, {1}}}));
  EXPECT_EQ(maps[2], (Map{{2, {0}}, {3, {0}}}));
  EXPECT_EQ(resources, std::vector<int>({4, 1}));
  ASSERT_EQ(program->statement.size(), 5u);
  for (size_t r = 0; r < 5; r++)
    EXPECT_EQ(program->statement[r]->stmt_rank, static_cast<int>(r));
  EXPECT_EQ(text(*program->statement[0]), "a[i]=a[i-1]+b[i]");
  EXPECT_EQ(text(*program->statement[4]), "s=0");
  EXPECT_EQ(code(*program->statement[0]->iteration_domain), "(i >= 1) && (i < N)");
  EXPECT_EQ(analysis_context().arrays, (std::map<std::string, int>{{"a", 1}, {"b", 1}, {"s", 0}}));
  // Where each assignment and its latency pragma were written.
  const Statement& third = *program->statement[2];
  EXPECT_EQ(third.position.prefix(), dir_ + "/prog.c:14:5: a[i] += 1: ");
  EXPECT_EQ(third.latency_pragma.prefix(), dir_ + "/prog.c:12:1: #pragma latency [2][2]: ");
  EXPECT_EQ(program->resource_pragma.prefix(), dir_ + "/prog.c:5:1: #pragma resource [4][1]: ");
}

TEST_F(PreprocessorTest, ReparseSeesTheSwitchesAndIncludesOfTheUsersFile)
{
  std::filesystem::create_directory("src");
  write("src/bound.h", "#define M 50\n");
  std::string path = write("src/prog.c",
                           "#include \"bound.h\"\ndouble a[200];\nint main(void) {\n  int i;\n"
                           "  for (i = M; i < N; i++) {\n#pragma latency [1][1]\n    a[i] = 0;\n  }\n"
                           "  return 0;\n}\n");
  pipeline(std::unique_ptr<SgProject>(frontend({"vorl", "-DN=100", path})));
  ASSERT_EQ(program->statement.size(), 1u);
  EXPECT_EQ(code(*program->statement[0]->iteration_domain), "(i >= 50) && (i < 100)");
  EXPECT_EQ(program->macro_definitions, std::vector<std::string>({"#define N 100"}));
}

TEST_F(PreprocessorFailureTest, PlacementErrorsStopAtTheirLine)
{
  const std::string at = "Preprocessor::extract_latency: ";
  EXPECT_STOPS(pipeline(annotated("#pragma latency [1][1]\n  a[1] = 0;\n  b[1] = 0;")),
               "prog.c:7:3: b[1] = 0: " + at + "missing latency for assignment #2\n");
  // The first statement is an assignment like any other.
  EXPECT_STOPS(pipeline(annotated("  a[1] = 0;\n#pragma latency [1][1]\n  b[1] = 0;")),
               "prog.c:5:3: a[1] = 0: " + at + "missing latency for assignment #1\n");
  EXPECT_STOPS(pipeline(annotated("#pragma latency [1][1]\n#pragma latency [2][2]\n  a[1] = 0;")),
               "prog.c:6:1: #pragma latency [2][2]: " + at + "several latencies for assignment #1\n");
  const std::string loop = "  for (i = 0; i < N; i++) {\n#pragma latency [1][1]\n    a[i] = 0;\n";
  EXPECT_STOPS(pipeline(annotated(loop + "#pragma latency [i][1]\n    b[i] = 0;\n  }")),
               "prog.c:8:1: #pragma latency [i][1]: " + at + "expect a constant latency for assignment #2\n");
  const std::string second = loop + "#pragma latency [1][1]\n";
  EXPECT_STOPS(pipeline(annotated(second + "#pragma input [0][i]\n    b[i] = a[i];\n  }")),
               "prog.c:9:1: #pragma input [0][i]: " + at + "expect a constant input for assignment #2\n");
  EXPECT_STOPS(pipeline(annotated(second + "#pragma output [i + 1]\n    b[i] = a[i];\n  }")),
               "prog.c:9:1: #pragma output [i + 1]: " + at +
                   "expect a constant output for assignment #2 (found: i+1)\n");
  EXPECT_STOPS(pipeline(annotated("#pragma resource [N][1]\n#pragma latency [1][1]\n  s = 0;")),
               "prog.c:5:1: #pragma resource [N][1]: " + at + "expect constants\n");
  EXPECT_STOPS(pipeline(annotated("#pragma resource [4][1]\n#pragma resource [2][2]\n"
                                  "#pragma latency [1][1]\n  s = 0;")),
               "prog.c:6:1: #pragma resource [2][2]: " + at + "expect a single resource pragma\n");
}

TEST_F(PreprocessorFailureTest, NumbersBeyondTheLargestAndPositionsBeyondTheReferencesStop)
{
  EXPECT_STOPS(pipeline(annotated("#pragma resource [2147483647][2147483647]\n#pragma latency [1][1]\n  s = 0;")),
               "prog.c:5:1: #pragma resource [2147483647][2147483647]: Preprocessor::extract_latency: the "
               "number of processors 2147483647 is beyond 1000000000, the largest the analysis takes\n");
  EXPECT_STOPS(pipeline(annotated("#pragma latency [1000000001][1]\n  s = 0;")),
               "prog.c:5:1: #pragma latency [1000000001][1]: Preprocessor::extract_latency: the latency of "
               "assignment #1: 1000000001 is beyond 1000000000");
  pipeline(annotated("#pragma resource [1000000000][1000000000]\n#pragma latency [1000000000][0]\n  s = 0;"));
  EXPECT_EQ(resources, std::vector<int>({1000000000, 1000000000}));
  EXPECT_STOPS(pipeline(annotated("#pragma latency [1][1]\n#pragma input [0][2]\n  s = a[1] + b[2];")),
               "prog.c:6:1: #pragma input [0][2]: Statement::nth: bad rank: input index 2 but the "
               "right-hand side has 2 references\n");
  EXPECT_STOPS(pipeline(annotated("  for (i = 0; i < N; i++) {\n#pragma latency [1][1]\n    a[i] = b[i / 2];\n"
                                  "#pragma latency [1][1]\n    b[i] = 0;\n  }")),
               "prog.c:7:5: a[i] = b[i / 2]: Expression::to_vector: Non affine expression (newparm?): the "
               "subscript b[i/2] is not affine: a division or remainder is not affine here\n");
  // Not read, or of an array nothing writes: no dependence, no refusal.
  pipeline(annotated("  for (i = 0; i < N; i++) {\n#pragma latency [1][1]\n#pragma input [0]\n"
                     "    a[i] = b[i / 2] + a[i % 2 + 1];\n  }"));
  EXPECT_EQ(program->statement.size(), 1u);
  EXPECT_STOPS(pipeline(annotated("#pragma latency [1][1]\n#pragma output [1]\n  s = a[1];")),
               "prog.c:6:1: #pragma output [1]: Statement::nth: bad rank: output index 1 but the "
               "right-hand side has 1 reference\n");
}

}  // namespace
