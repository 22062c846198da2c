// The vorl command as a user runs it: usage, switches, exit statuses, and the
// files it leaves in its working directory.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>

#include "tests/program/program_test_support.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Outcome {
  int status;
  std::string out, err;
};

const char* const kRecurrence =
    "int N = 8;\ndouble a[8], b[8];\nint main(void) {\n  int i;\n#pragma resource [2][1]\n"
    "  for (i = 1; i < N; i++) {\n#pragma latency [3][1]\n    a[i] = a[i-1] + b[i];\n"
    "#pragma latency [1][1]\n    b[i] = 0;\n  }\n  return 0;\n}\n";

// vorl runs in <test directory>/run, where the sources are; its streams are
// captured in the test directory.
class VorlCommandTest : public ProgramTest {
 protected:
  void SetUp() override
  {
    ProgramTest::SetUp();
    fs::create_directory(dir_ + "/run");
  }

  Outcome vorl(const std::string& arguments)
  {
    std::string command = "cd '" + dir_ + "/run' && ASAN_OPTIONS=detect_leaks=0 '" VORL_BINARY
                          "' " + arguments + " >'" + dir_ + "/out.txt' 2>'" + dir_ + "/err.txt'";
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir_ + "/out.txt"),
            slurp(dir_ + "/err.txt")};
  }

  // vorl on prog.c holding text.
  Outcome vorl_on(const std::string& text)
  {
    write("run/prog.c", text);
    return vorl("prog.c");
  }

  bool exists(const std::string& name) { return fs::exists(dir_ + "/run/" + name); }
  // The names in the run directory, sorted.
  std::vector<std::string> directory()
  {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_ + "/run"))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(VorlCommandTest, UsageAloneOrWithQuestionMarkEndsWithStatusOne)
{
  const std::string usage_end =
      "\nUsage: vorl [options] program.c\noptions:\n"
      "  -verbose                 Detailed steps (todo)\n";
  Outcome alone = vorl("");
  EXPECT_EQ(alone.status, 1);
  ASSERT_GE(alone.out.size(), usage_end.size());
  EXPECT_EQ(alone.out.substr(alone.out.size() - usage_end.size()), usage_end);
  EXPECT_TRUE(fs::is_empty(dir_ + "/run"));

  write("run/prog.c", kRecurrence);
  for (const char* arguments : {"-? prog.c", "-asap"}) {
    Outcome o = vorl(arguments);
    EXPECT_EQ(o.status, 1) << arguments;
    EXPECT_EQ(o.out, alone.out) << arguments;
  }
  EXPECT_FALSE(exists("out.c"));
  // The switch is read once the front-end has parsed the command line.
  Outcome missing = vorl("-? missing.c");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("missing.c"), std::string::npos);
}

TEST_F(VorlCommandTest, SwitchesWithoutEffectRunAsThePlainCommand)
{
  Outcome plain = vorl_on(kRecurrence);
  EXPECT_EQ(plain.status, 0) << plain.out << plain.err;
  std::string generated = slurp(dir_ + "/run/out.c");
  EXPECT_FALSE(generated.empty());
  for (const std::string switches : {"-asap -alap", "-verbose", "-v"}) {
    fs::remove(dir_ + "/run/out.c");
    Outcome o = vorl(switches + " prog.c");
    EXPECT_EQ(o.status, 0) << switches;
    if (switches[1] == 'a')
      EXPECT_EQ(o.out + o.err, plain.out + plain.err) << switches;
    else  // the scheduler's traces come on top of the progress lines
      EXPECT_NE(o.err.find("Dimension 0, edges to satisfy"), std::string::npos) << o.err;
    EXPECT_EQ(slurp(dir_ + "/run/out.c"), generated) << switches;
  }
}

TEST_F(VorlCommandTest, DefinesReachTheReparse)
{
  write("run/prog.c", "double a[200];\nint main(void) {\n  int i;\n#pragma resource [1][1]\n"
                      "  for (i = 0; i < N; i++) {\n#pragma latency [1][1]\n    a[i] = 1;\n  }\n"
                      "  return 0;\n}\n");
  EXPECT_EQ(vorl("-DN=100 prog.c").status, 0);
  Outcome undefined = vorl("prog.c");
  EXPECT_EQ(undefined.status, 1);
  EXPECT_NE(undefined.err.find("'N'"), std::string::npos) << undefined.err;
}

TEST_F(VorlCommandTest, FailuresEndWithStatusOneOneLineAndNoFile)
{
  // A placement error, on standard output, at the user's line.
  std::string text = kRecurrence;
  Outcome o = vorl_on(std::string(text).erase(text.find("#pragma latency [1][1]\n"), 23));
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "prog.c:9:5: b[i] = 0: Preprocessor::extract_latency: missing latency for assignment #2\n");
  EXPECT_EQ(o.err, "");
  EXPECT_FALSE(exists("out.c"));

  // A pragma outside a function.
  o = vorl_on("#pragma latency [1][1]\n" + text);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "prog.c:1:1: #pragma latency [1][1]: Preprocessor::preprocess_latency: a pragma outside "
                   "a function annotates nothing: put it inside the function, before the assignment it "
                   "annotates\n");
  EXPECT_FALSE(exists("out.c"));

  // A subscript that is not affine.
  o = vorl_on(std::string(text).replace(text.find("a[i] = a[i-1]"), 4, "a[i / 2]"));
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "prog.c:8:5: a[i / 2] = a[i-1] + b[i]: Expression::to_vector: Non affine expression "
                   "(newparm?): the subscript a[i / 2] is not affine: a division or remainder is not "
                   "affine here\n");
  EXPECT_FALSE(exists("out.c"));

  // A syntax error of a pragma, at its line.
  o = vorl_on(std::string(text).replace(text.find("[3][1]"), 6, "[3]]"));
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out.rfind("prog.c:7:1: #pragma latency [3]]: Preprocessor::preprocess_latency: expect "
                        "constant subscripts", 0), 0u) << o.out;
  // An error of C, at its line.
  o = vorl_on(std::string(text).replace(text.find("b[i] = 0;"), 9, "b[i] = ;"));
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "prog.c:10:12: b[i] = ;: error: expected expression\n");
  EXPECT_EQ(directory(), std::vector<std::string>({"prog.c"}));
}

TEST_F(VorlCommandTest, OnlyOutCIsWritten)
{
  // Files named like the temporary files of earlier versions are no concern.
  write("run/latency_source.c", "keep me\n");
  write("run/latency_target.c", "keep me\n");
  write("run/prog.c", kRecurrence);
  Outcome o = vorl("prog.c");
  EXPECT_EQ(o.status, 0) << o.out << o.err;
  EXPECT_EQ(directory(), std::vector<std::string>({"latency_source.c", "latency_target.c", "out.c", "prog.c"}));
  EXPECT_EQ(slurp(dir_ + "/run/latency_source.c"), "keep me\n");
}

// Every layer after the front-end takes the deepest expression it accepts;
// a deeper one is refused with one line (run under the sanitizers in CI).
TEST_F(VorlCommandTest, DeepRightHandSidesRunToTheEndOrStopWithOneLine)
{
  auto program = [](int terms) {
    std::string sum = "b[0]";
    for (int k = 1; k < terms; k++)
      sum += " + b[" + std::to_string(k % 50) + "]";
    return "double a[2], b[50];\nint main(void) {\n#pragma resource [1][1]\n#pragma latency [1][1]\n"
           "  a[0] = " + sum + ";\n#pragma latency [1][1]\n  a[1] = a[0];\n  return 0;\n}\n";
  };
  write("run/prog.c", program(900));
  Outcome o = vorl("-v prog.c");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(exists("out.c"));
  fs::remove(dir_ + "/run/out.c");
  o = vorl_on(program(10000));
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("prog.c:5:10: b[0] + b[1] + "), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("...: frontend: error: expression nested deeper than 1000 levels\n"), std::string::npos);
  EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1);
  EXPECT_FALSE(exists("out.c"));
}

}  // namespace
