// The latency pragmas: their rewriting, the re-parse, and the numbers read
// back from the extracted program with every placement error.
#include <gtest/gtest.h>

#include <tuple>

#include "driver/preprocessor.h"
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
    program.reset(Program::from_Sage(second.get()));
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

TEST_F(PreprocessorTest, RewritingGivesTheTextOfTheSedStages)
{
  const std::string text =
      "#pragma latency [3][1]\n  #pragma input [0]\nx; #pragma output[1] // tail\n"
      "#pragma resource [4][1]\r\n#pragma latency [1] #pragma input [2]\n#pragma omp parallel\n"
      "\n#pragma latencyX & \\1 /\nlast line #pragma output [0]";
  write("in.c", text);
  std::string command =
      "cat in.c| sed -e \"s/#pragma latency\\(.*\\)/latency \\1 = 0;/\""
      "| sed -e \"s/#pragma input\\(.*\\)/input \\1 = 0;/\""
      "| sed -e \"s/#pragma output\\(.*\\)/output \\1 = 0;/\""
      "| sed -e \"s/#pragma resource\\(.*\\)/resource \\1 = 0;/\" > out.c";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in("out.c", std::ios::binary);
  EXPECT_EQ(rewrite_pragmas(text), std::string(std::istreambuf_iterator<char>(in), {}));
  EXPECT_EQ(rewrite_pragmas("  #pragma latency [3][1]\n"), "  latency  [3][1] = 0;\n");
  EXPECT_EQ(rewrite_pragmas(""), "");
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
  EXPECT_FALSE(is_an_array("latency") || is_an_array("resource"));
  EXPECT_TRUE(is_an_array("a") && is_an_array("b"));
  EXPECT_FALSE(std::filesystem::exists("latency_source.c") ||
               std::filesystem::exists("latency_target.c"));
}

TEST_F(PreprocessorTest, WithoutResourceTheFirstLatencyKeysTheFirstAssignment)
{
  pipeline(annotated("#pragma latency [2][1]\n  s = 1;\n#pragma latency [4][3]\n  a[0] = s;"));
  EXPECT_EQ(maps[0], (Map{{0, {2, 1}}, {1, {4, 3}}}));
  EXPECT_EQ(maps[1], (Map{{1, {0}}}));
  EXPECT_TRUE(resources.empty());
}

TEST_F(PreprocessorTest, ReparseSeesTheSwitchesAndIncludesOfTheUsersFile)
{
  // The file lies in another directory than the working one, where its
  // rewritten copy is parsed.
  std::filesystem::create_directory("src");
  write("src/bound.h", "#define M 50\n");
  std::string path = write("src/prog.c",
                           "#include \"bound.h\"\ndouble a[200];\nint main(void) {\n  int i;\n"
                           "  for (i = M; i < N; i++) {\n#pragma latency [1][1]\n    a[i] = 0;\n  }\n"
                           "  return 0;\n}\n");
  pipeline(std::unique_ptr<SgProject>(frontend({"vorl", "-DN=100", path})));
  ASSERT_EQ(program->statement.size(), 1u);
  EXPECT_EQ(code(*program->statement[0]->iteration_domain), "(i >= 50) && (i < 100)");
}

TEST_F(PreprocessorTest, ExampleIsReadBack)
{
  std::ifstream in(VORL_SOURCE_DIR "/examples/compound.c");
  pipeline(std::string(std::istreambuf_iterator<char>(in), {}));
  EXPECT_EQ(maps[0], (Map{{0, {1, 1}}, {1, {2, 1}}, {2, {3, 2}}}));
  EXPECT_EQ(maps[1], (Map{{1, {0, 1}}, {2, {0, 1}}}));
  EXPECT_EQ(maps[2], (Map{{2, {0}}}));
  EXPECT_EQ(resources, std::vector<int>({2, 2}));
  ASSERT_EQ(program->statement.size(), 3u);
  EXPECT_EQ(text(*program->statement[1]), "a[i][j]=a[i][j]+a[i][j-1]");
  EXPECT_EQ(text(*program->statement[2]), "r[i]=r[i]+(sqrt(a[i][j]))");
  EXPECT_EQ(code(*program->statement[2]->iteration_domain),
            "(i >= 0) && (i < N) && (j >= 1) && (j < N)");
  // The reserved declarations come first; counters declared in loops are no
  // program declarations.
  const std::vector<std::string>& declarations = program->variable_declaration;
  ASSERT_EQ(declarations.size(), 6u);
  EXPECT_EQ(declarations[3] + declarations[4] + declarations[5],
            "int****************** output;int N = 8;double a[8][8], r[8];");
}

using PreprocessorDeathTest = PreprocessorTest;

TEST_F(PreprocessorDeathTest, PlacementErrorsStopWithTheirMessage)
{
  const std::string at = "Preprocessor::extract_latency: ";
  EXPECT_STOPS(pipeline(annotated("#pragma latency [1][1]\n  a[1] = 0;\n  b[1] = 0;")),
               at + "missing latency for assignment #2\n");
  // The first statement is an assignment like any other.
  EXPECT_STOPS(pipeline(annotated("  a[1] = 0;\n#pragma latency [1][1]\n  b[1] = 0;")),
               at + "missing latency for assignment #1\n");
  EXPECT_STOPS(pipeline(annotated("#pragma latency [1][1]\n#pragma latency [2][2]\n  a[1] = 0;")),
               at + "several latencies for assignment #1\n");
  const std::string loop = "  for (i = 0; i < N; i++) {\n#pragma latency [1][1]\n    a[i] = 0;\n";
  EXPECT_STOPS(pipeline(annotated(loop + "#pragma latency [i][1]\n    b[i] = 0;\n  }")),
               at + "expect a constant latency for assignment #2\n");
  const std::string second = loop + "#pragma latency [1][1]\n";
  EXPECT_STOPS(pipeline(annotated(second + "#pragma input [0][i]\n    b[i] = a[i];\n  }")),
               at + "expect a constant input for assignment #2\n");
  EXPECT_STOPS(pipeline(annotated(second + "#pragma output [i + 1]\n    b[i] = a[i];\n  }")),
               at + "expect a constant output for assignment #2\nFound: i+1\n");
  EXPECT_STOPS(pipeline(annotated("#pragma resource [N][1]\n#pragma latency [1][1]\n  s = 0;")),
               at + "expect constants\n");
  EXPECT_STOPS(pipeline(annotated("#pragma resource [4][1]\n#pragma resource [2][2]\n"
                                  "#pragma latency [1][1]\n  s = 0;")),
               at + "expect a single resource pragma\n");
}

TEST_F(PreprocessorDeathTest, MessagesNameLinesOfTheUsersFile)
{
  EXPECT_STOPS(pipeline(annotated("  for (i = 0; i < N; i += 2) {\n#pragma latency [1][1]\n"
                                  "    a[i] = 0;\n  }")),
               "Program::from_Sage: for loop at line 5: expect a step of one (i++); found: i += 2");
}

}  // namespace
