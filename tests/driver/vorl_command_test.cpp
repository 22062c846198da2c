// The vorl command as a user runs it: usage, version, switches, exit
// statuses, and the files it writes or leaves alone; the installed tool and
// the plot script.
#include <gtest/gtest.h>

#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <regex>


#include "driver/output_file.h"
#include "support/options.h"
#include "tests/program/program_test_support.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int status_of(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1; }

struct Outcome {
  int status;
  std::string out, err;
};

const char* const kRecurrence =
    "int N = 8;\ndouble a[8], b[8];\nint main(void) {\n  int i;\n#pragma resource [2][1]\n"
    "  for (i = 1; i < N; i++) {\n#pragma latency [3][1]\n    a[i] = a[i-1] + b[i];\n"
    "#pragma latency [1][1]\n    b[i] = 0;\n  }\n  return 0;\n}\n";

std::string usage()
{
  std::ostringstream os;
  Options::print_usage(os);
  return os.str();
}

// vorl runs in <test directory>/run, where the sources are; its streams are
// captured in the test directory.
class VorlCommandTest : public ProgramTest {
 protected:
  void SetUp() override
  {
    ProgramTest::SetUp();
    fs::create_directory(dir_ + "/run");
  }

  Outcome vorl(const std::string& arguments, const std::string& streams = "")
  {
    std::string name = streams.empty() ? dir_ + "/" : dir_ + "/" + streams + ".";
    std::string command = "cd '" + dir_ + "/run' && '" VORL_BINARY
                          "' " + arguments + " >'" + name + "out.txt' 2>'" + name + "err.txt'";
    int status = status_of(std::system(command.c_str()));
    return {status, slurp(name + "out.txt"), slurp(name + "err.txt")};
  }

  // vorl on prog.c holding text.
  Outcome vorl_on(const std::string& text, const std::string& switches = "")
  {
    write("run/prog.c", text);
    return vorl(switches + " prog.c");
  }

  bool exists(const std::string& name) { return fs::exists(dir_ + "/run/" + name); }
  // The names of the files of a folder of the run directory.
  std::set<std::string> files(const std::string& folder = "")
  {
    std::set<std::string> r;
    for (const auto& e : fs::directory_iterator(dir_ + "/run/" + folder))
      r.insert(e.path().filename().string());
    return r;
  }
};

TEST_F(VorlCommandTest, HelpAndVersionEndWithStatusZero)
{
  write("run/prog.c", kRecurrence);
  for (const char* arguments : {"-h", "--help", "-?", "-? prog.c", "--help -x", "prog.c -h"}) {
    Outcome o = vorl(arguments);
    EXPECT_EQ(o.status, 0) << arguments;
    EXPECT_EQ(o.out, usage()) << arguments;
    EXPECT_EQ(o.err, "") << arguments;
  }
  EXPECT_EQ(usage().find("(todo)"), std::string::npos);
  Outcome version = vorl("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("vorl [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;
  EXPECT_EQ(version.err, "");
  EXPECT_EQ(files(), std::set<std::string>{"prog.c"});
}

struct WrongLine {
  std::string arguments, message;
};

void PrintTo(const WrongLine& w, std::ostream* os) { *os << "vorl " << w.arguments; }

class WrongCommandLineTest : public VorlCommandTest, public ::testing::WithParamInterface<WrongLine> {};

// A wrong command line: its message and the usage, on the error stream.
TEST_P(WrongCommandLineTest, UsageOnTheErrorStreamWithStatusOne)
{
  write("run/prog.c", kRecurrence);
  Outcome o = vorl(GetParam().arguments);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, GetParam().message + usage());
  EXPECT_EQ(files(), std::set<std::string>{"prog.c"});
}

INSTANTIATE_TEST_SUITE_P(
    Driver, WrongCommandLineTest,
    ::testing::Values(WrongLine{"", ""},
                      WrongLine{"-x prog.c", "vorl: unknown option '-x'\n"},
                      WrongLine{"prog.c --verbose", "vorl: unknown option '--verbose'\n"},
                      WrongLine{"-O2 prog.c", "vorl: unknown option '-O2'\n"},
                      WrongLine{"prog.c -o", "vorl: missing file name after '-o'\n"},
                      WrongLine{"-asap", "vorl: no source file (program.c)\n"},
                      WrongLine{"--time-limit 0 prog.c", "vorl: --time-limit takes a whole number of seconds "
                                                         "from 1 to 1000000, not '0'\n"},
                      WrongLine{"--memory-limit=1e3 prog.c", "vorl: --memory-limit takes a whole number of "
                                                             "megabytes from 1 to 1073741824, not '1e3'\n"},
                      WrongLine{"prog.c --time-limit", "vorl: missing value after '--time-limit'\n"},
                      WrongLine{"-o x.c -DN=3", "vorl: no source file (program.c)\n"}));

TEST_F(VorlCommandTest, DefinesReachTheReparseAndTheGeneratedProgram)
{
  write("run/prog.c", "double a[200];\nint main(void) {\n  int i;\n#pragma resource [1][1]\n"
                      "  for (i = 0; i < N; i++) {\n#pragma latency [1][1]\n    a[i] = 1;\n  }\n"
                      "  return 0;\n}\n");
  EXPECT_EQ(vorl("-DN=100 prog.c").status, 0);
  Outcome undefined = vorl("prog.c");
  EXPECT_EQ(undefined.status, 1);
  EXPECT_NE(undefined.err.find("'N'"), std::string::npos) << undefined.err;
}

TEST_F(VorlCommandTest, OutputGoesWhereMinusOSays)
{
  write("run/prog.c", kRecurrence);
  fs::create_directory(dir_ + "/run/gen");
  Outcome o = vorl("-o gen/first.c prog.c");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.err.find("Step 5. Generate the code --> gen/first.c\n"), std::string::npos) << o.err;
  std::string generated = slurp(dir_ + "/run/gen/first.c");
  EXPECT_NE(generated.find("int main(int argc, char** argv)"), std::string::npos);
  EXPECT_EQ(vorl("prog.c -ogen/second.c").status, 0);
  EXPECT_EQ(slurp(dir_ + "/run/gen/second.c"), generated);
  EXPECT_EQ(vorl("-o '" + dir_ + "/run/gen/third.c' prog.c").status, 0);
  EXPECT_EQ(files("gen"), (std::set<std::string>{"first.c", "second.c", "third.c"}));
  EXPECT_EQ(files(), (std::set<std::string>{"gen", "prog.c"}));

  // An existing file is replaced on success only.
  write("run/gen/first.c", "keep me\n");
  write("run/bad.c", std::string(kRecurrence).erase(std::string(kRecurrence).find("#pragma latency [1][1]\n"), 23));
  EXPECT_EQ(vorl("-o gen/first.c bad.c").status, 1);
  EXPECT_EQ(slurp(dir_ + "/run/gen/first.c"), "keep me\n");
  EXPECT_EQ(vorl("-o gen/first.c prog.c").status, 0);
  EXPECT_EQ(slurp(dir_ + "/run/gen/first.c"), generated);
  EXPECT_EQ(files("gen"), (std::set<std::string>{"first.c", "second.c", "third.c"}));
}

// Started with standard streams closed, vorl writes the same program: no
// file or channel it opens takes the place of a closed stream.
TEST_F(VorlCommandTest, ClosedStandardStreamsChangeNothing)
{
  fs::copy_file(std::string(VORL_SOURCE_DIR) + "/examples/matmul.c", dir_ + "/run/matmul.c");
  ASSERT_EQ(vorl("-o open.c matmul.c").status, 0);
  std::string expected = slurp(dir_ + "/run/open.c");
  for (const std::string closed : {"<&- >&- 2>/dev/null", "<&- >/dev/null 2>&-", "<&- >&- 2>&-"}) {
    fs::remove(dir_ + "/run/closed.c");
    std::string command = "cd '" + dir_ + "/run' && '" VORL_BINARY "' -o closed.c matmul.c " + closed;
    EXPECT_EQ(status_of(std::system(command.c_str())), 0) << closed;
    EXPECT_TRUE(slurp(dir_ + "/run/closed.c") == expected) << closed;
  }
}

// On one processor every solver question is answered on the thread that
// asks it; on two, many are answered on a second thread. The program, the
// printed schedules and the trace are the same.
TEST_F(VorlCommandTest, OneProcessorOrTwoWriteTheSameProgram)
{
  cpu_set_t all;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  cpu_set_t one;
  CPU_ZERO(&one);
  for (int cpu = 0; cpu < CPU_SETSIZE; cpu++)
    if (CPU_ISSET(cpu, &all)) {
      CPU_SET(cpu, &one);
      break;
    }
  for (const char* example : {"examples/lu.c", "examples/stencil_2d.c", "examples/polybench/jacobi-2d.c"}) {
    fs::copy_file(std::string(VORL_SOURCE_DIR) + "/" + example, dir_ + "/run/prog.c",
                  fs::copy_options::overwrite_existing);
    Outcome two = vorl("-v prog.c", "two");
    std::string two_c = slurp(dir_ + "/run/out.c");
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);  // vorl inherits it
    Outcome single = vorl("-v prog.c", "one");
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(two.status, 0) << example << two.err;
    EXPECT_EQ(single.status, 0) << example << single.err;
    EXPECT_TRUE(single.out == two.out) << example;
    EXPECT_TRUE(single.err == two.err) << example;
    EXPECT_TRUE(slurp(dir_ + "/run/out.c") == two_c) << example;
  }
}

TEST_F(VorlCommandTest, OutputIsNeverTheInput)
{
  write("run/prog.c", kRecurrence);
  fs::create_hard_link(dir_ + "/run/prog.c", dir_ + "/run/link.c");
  write("run/out.c", kRecurrence);
  for (const char* arguments : {"-o prog.c prog.c", "prog.c -o ./prog.c", "-o link.c prog.c",
                                "out.c", "../run/out.c -o out.c"}) {
    Outcome o = vorl(arguments);
    EXPECT_EQ(o.status, 1) << arguments;
    EXPECT_TRUE(std::regex_match(o.err, std::regex("vorl: the output file .* is the input file .*; "
                                                   "choose another output with -o FILE\n")))
        << o.err;
  }
  EXPECT_EQ(slurp(dir_ + "/run/prog.c"), kRecurrence);
  EXPECT_EQ(slurp(dir_ + "/run/out.c"), kRecurrence);
  EXPECT_EQ(files(), (std::set<std::string>{"link.c", "out.c", "prog.c"}));
}

TEST_F(VorlCommandTest, UnwritableOutputEndsWithStatusOneAndLeavesNothing)
{
  write("run/prog.c", kRecurrence);
  Outcome o = vorl("-o missing/out.c prog.c");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("vorl: cannot write missing/out.c: No such file or directory\n"),
            std::string::npos) << o.err;
  fs::create_directory(dir_ + "/run/out.c");  // a folder in the way of the rename
  o = vorl("prog.c");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("vorl: cannot write out.c: "), std::string::npos) << o.err;
  EXPECT_TRUE(fs::is_empty(dir_ + "/run/out.c"));
  EXPECT_EQ(files(), (std::set<std::string>{"out.c", "prog.c"}));
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
  EXPECT_EQ(files(), (std::set<std::string>{"prog.c"}));
}

// A run beyond its time or memory stops with one line naming the step it was
// in, status 1 and no file. A source that is a pipe nobody writes to holds
// the run in its first step.
TEST_F(VorlCommandTest, RunsBeyondTheirLimitsStopWithOneLineAndNoFile)
{
  ASSERT_EQ(mkfifo((dir_ + "/run/prog.c").c_str(), 0600), 0);
  Outcome o = vorl("--time-limit 1 prog.c");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "vorl: analysis stopped: time limit of 1 s reached while reading the program\n");
  EXPECT_EQ(files(), std::set<std::string>{"prog.c"});
  fs::remove(dir_ + "/run/prog.c");
  write("run/prog.c", kRecurrence);
  o = vorl("--memory-limit 1 prog.c");
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(std::regex_search(o.err, std::regex("(^|\n)vorl: analysis stopped: memory limit of 1 MB reached "
                                                  "while [a-z][a-z ()]*\n$")))
      << o.err;
  EXPECT_EQ(files(), std::set<std::string>{"prog.c"});
  // Within them, the run is the plain one.
  o = vorl("--time-limit=100 --memory-limit 4000 prog.c");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(files(), (std::set<std::string>{"out.c", "prog.c"}));
}

// The temporary file of an output does not survive an interrupt.
class InterruptTest : public ProgramTest, public ::testing::WithParamInterface<int> {};

TEST_P(InterruptTest, RemovesTheTemporaryFile)
{
  GTEST_FLAG_SET(death_test_style, "fast");  // the child shares this directory
  std::string marker = dir_ + "/temporary.txt";
  EXPECT_EXIT(
      {
        OutputFile file(dir_ + "/out.c");
        std::ofstream(marker) << file.temporary();
        if (!file.temporary().empty() && fs::exists(file.temporary()))
          raise(GetParam());
        std::exit(3);
      },
      ::testing::KilledBySignal(GetParam()), "");
  std::string temporary = slurp(marker);
  EXPECT_EQ(temporary.rfind(dir_ + "/out.c.", 0), 0u) << temporary;
  EXPECT_FALSE(fs::exists(temporary));
  EXPECT_FALSE(fs::exists(dir_ + "/out.c"));
  // Without interrupt, the handlers are gone once the file is written.
  EXPECT_EQ(write_file_whole(dir_ + "/out.c", "text\n"), "");
  EXPECT_EQ(slurp(dir_ + "/out.c"), "text\n");
  struct sigaction current;
  sigaction(GetParam(), nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptTest, ::testing::Values(SIGINT, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return info.param == SIGINT ? "SIGINT" : "SIGTERM";
                         });

// cmake --install puts vorl and the plot script under the prefix; the
// installed vorl runs from any folder, and the script draws the profile of
// the program it generates.
TEST_F(VorlCommandTest, InstalledToolAndPlotScriptRunFromAnyFolder)
{
  std::string prefix = dir_ + "/prefix";
  ASSERT_EQ(status_of(std::system(("'" VORL_CMAKE "' --install '" VORL_BUILD_DIR "' --prefix '" +
                                   prefix + "' > '" + dir_ + "/install.log' 2>&1")
                                      .c_str())),
            0)
      << slurp(dir_ + "/install.log");
  for (const char* tool : {"/bin/vorl", "/bin/vorl-plot-profile"})
    EXPECT_EQ(access((prefix + tool).c_str(), X_OK), 0) << tool;
  fs::copy_file(std::string(VORL_SOURCE_DIR) + "/examples/lu.c", dir_ + "/run/lu.c");
  std::string in_run = "cd '" + dir_ + "/run' && ";
  ASSERT_EQ(status_of(std::system((in_run + "'" + prefix + "/bin/vorl' lu.c 2> vorl.err && "
                                   "cc -o out out.c && ./out --profile N=9 > profile.csv && '" +
                                   prefix + "/bin/vorl-plot-profile' profile.csv -o profile.png")
                                      .c_str())),
            0)
      << slurp(dir_ + "/run/vorl.err");
  std::string png = slurp(dir_ + "/run/profile.png");
  EXPECT_GT(png.size(), 1000u);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  // Not a profile: a message and status 1.
  write("run/bad.csv", "a,b\n1,2\n");
  EXPECT_EQ(status_of(std::system((in_run + "'" + prefix + "/bin/vorl-plot-profile' bad.csv "
                                   "-o bad.png 2> plot.err").c_str())),
            1);
  EXPECT_EQ(slurp(dir_ + "/run/plot.err"),
            "plot-profile: not a profile: the first line must be series,date,volume,threshold,is_limit\n");
}

}  // namespace
