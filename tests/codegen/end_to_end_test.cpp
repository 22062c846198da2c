// The vorl command on whole programs. The limits are checked by the shared
// end-to-end checker (tests/e2e/checker.h), which counts the instances of the
// program itself; here: the regression programs and small programs of this
// layer, one out.c answering for other sizes on its command line (against
// the checker run on the source with those sizes), its profile, and the
// messages of vorl and out.c.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "codegen/bottom_limit.h"
#include "tests/codegen/codegen_test_support.h"
#include "tests/e2e/checker.h"
#include "tests/expect_failure.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines_of(const std::string& text)
{
  std::vector<std::string> r;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    r.push_back(line);
  return r;
}

// The checker's verdict on the program `text`.
void expect_checked(const std::string& name, const std::string& text, std::string* printed = nullptr)
{
  e2e::CheckResult r = e2e::check_program(name, text, {VORL_BINARY, 300});
  EXPECT_TRUE(r.passed()) << r.summary();
  if (printed)
    *printed = r.printed;
}

// text with every array of its file-scope declarations 48 wide, so that the
// instrumented program holds larger sizes.
std::string widened(const std::string& text)
{
  std::string r;
  std::regex declaration(R"(^(double|float|int) .*\[)"), extent(R"(\[\d+\])");
  for (const std::string& line : lines_of(text))
    r += (std::regex_search(line, declaration) ? std::regex_replace(line, extent, "[48]") : line) + "\n";
  return r;
}

// NAME=VALUE words as a map.
std::map<std::string, long> sizes_of(const std::string& arguments)
{
  std::map<std::string, long> r;
  std::istringstream words(arguments);
  for (std::string w; words >> w;)
    r[w.substr(0, w.find('='))] = std::stol(w.substr(w.find('=') + 1));
  return r;
}

// The profile of ./out --profile against the limits it printed: in each
// series the dates in search order, and the limit marked on the first line
// whose volume reaches the threshold, at the printed date.
void check_profile(const std::string& csv, const std::string& printed)
{
  std::vector<std::string> lines = lines_of(csv), limits = lines_of(printed);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "series,date,volume,threshold,is_limit");
  std::regex row(R"((red|green),((-?\d+)( -?\d+)*)?,(\d+),(\d+),([01]))");
  std::map<std::string, std::string> marked;
  std::map<std::string, std::vector<long>> previous;
  std::set<std::string> reached;
  for (size_t k = 1; k < lines.size(); k++) {
    std::smatch m;
    if (!std::regex_match(lines[k], m, row)) {
      EXPECT_NE(lines[k].find("not found"), std::string::npos) << "not a profile line: " << lines[k];
      continue;
    }
    // The date as out.c prints it: each component followed by a blank.
    std::string colour = m[1], date;
    std::vector<long> at;
    std::istringstream in(m[2]);
    for (long v; in >> v;) {
      at.push_back(v);
      date += std::to_string(v) + " ";
    }
    EXPECT_TRUE(!previous.count(colour) || previous[colour] < at) << "dates out of search order";
    previous[colour] = at;
    bool first = !reached.count(colour) && std::stol(m[5]) >= std::stol(m[6]);
    if (first)
      reached.insert(colour);
    EXPECT_EQ(m[7] == "1", first) << lines[k];
    if (first)
      marked[colour] = date;
  }
  for (size_t s = 0; s < 2 && s < limits.size(); s++) {
    const char* colour = s == 0 ? "red" : "green";
    EXPECT_EQ(marked[colour], limits[s].find("not found") == std::string::npos ? limits[s] : "") << colour;
  }
}

class EndToEndTest : public CodegenTest {
 protected:
  // vorl on the file in the test directory: its exit status, error stream in err_.
  int vorl(const std::string& file)
  {
    int status = shell("cd '" + dir_ + "' && '" VORL_BINARY "' '" + file + "' > vorl.out 2> vorl.err");
    err_ = slurp(dir_ + "/vorl.err");
    return status;
  }

  // ./out with arguments: what it printed on each stream and its status.
  int run(const std::string& arguments, std::string* out, std::string* err = nullptr)
  {
    int status = shell("cd '" + dir_ + "' && ./out " + arguments + " > out.txt 2> err.txt");
    *out = slurp(dir_ + "/out.txt");
    if (err)
      *err = slurp(dir_ + "/err.txt");
    return status;
  }

  // vorl on text saved as name, and its out.c compiled cleanly.
  void build(const std::string& name, const std::string& text)
  {
    write(name, text);
    ASSERT_EQ(vorl(name), 0) << err_;
    ASSERT_EQ(compile_generated(dir_), "");
  }

  std::string err_;
};

std::string source(const std::string& path) { return slurp(std::string(VORL_SOURCE_DIR) + "/" + path); }

// One loop over N with the given resources, latency and right-hand side.
std::string loop(const std::string& resources, const std::string& latency, const std::string& rhs,
                 int n = 8)
{
  return "int N = " + std::to_string(n) + ";\ndouble a[64], b[64];\n\nint main(void)\n{\n  int i;\n" +
         "#pragma resource " + resources + "\n  for (i = 1; i < N; i++) {\n#pragma latency " +
         latency + "\n    a[i] = " + rhs + ";\n  }\n  return 0;\n}\n";
}

const char* const kReduction =
    "int N = 4;\ndouble s, a[4][4];\nint main(void)\n{\n  int i, j;\n#pragma resource [1][2]\n"
    "  for (i = 0; i < N; i++)\n    for (j = 0; j < N; j++) {\n#pragma latency [1][1]\n"
    "      s = s + a[i][j];\n    }\n  return 0;\n}\n";

// LU with two independent instances more, at date 0: the instances of a
// shorter schedule count at the first date of their prefix only, so LU's
// counts (1, 1, 4, 2, 9, ...) first reach 5 at date 6, not at date 3.
std::string lu_and_two()
{
  std::string lu = source("examples/lu.c");
  lu.replace(lu.find("#pragma resource [2][2]"), 23, "#pragma resource [1][5]");
  lu.replace(lu.find("double A[6][6];"), 15, "double A[6][6], B[2], C[2];");
  lu.replace(lu.find("  for (k = 0; k < N; k++) {"), 0,
             "  for (i = 0; i < 2; i++) {\n#pragma latency [1][1]\n    B[i] = 2 * C[i];\n  }\n");
  return lu;
}

struct Checked {
  std::string name, text, first_line;  // first_line: what out.c prints first, when given
};

void PrintTo(const Checked& c, std::ostream* os) { *os << c.name; }

std::vector<Checked> checked_programs()
{
  std::vector<Checked> r;
  for (const auto& e : fs::directory_iterator(std::string(VORL_SOURCE_DIR) + "/tests/programs"))
    if (e.path().extension() == ".c")
      r.push_back({e.path().stem().string(), slurp(e.path().string()), ""});
  std::sort(r.begin(), r.end(), [](const Checked& a, const Checked& b) { return a.name < b.name; });
  // Names that the C library declares (y1, j0, gamma: <math.h>) are the
  // program's own in out.c, and so are short parameter names.
  r.push_back({"bessel",
               "int n = 9, value = 3;\ndouble y0[40], y1[40], j0[40], j1[40], gamma[40];\n"
               "int main(void)\n{\n  int i;\n#pragma resource [1][2]\n"
               "  for (i = 1; i < n; i++) {\n#pragma latency [2][1]\n    y1[i] = y0[i - 1] + j0[i];\n"
               "#pragma latency [1][1]\n    y0[i] = y1[i] * gamma[i];\n  }\n"
               "  for (i = 0; i < value; i++) {\n#pragma latency [1][1]\n    j1[i] = 2 * gamma[i];\n  }\n"
               "  return 0;\n}\n",
               ""});
  // Sizes given by #define: out.c repeats the definitions before the
  // declarations that use them.
  r.push_back({"defined",
               "#define N 6\n#define M (N + 2)\ndouble A[N][M];\nint main(void)\n{\n"
               "  int i, j;\n#pragma resource [1][2]\n  for (i = 1; i < N; i++)\n"
               "    for (j = 0; j < M; j++) {\n#pragma latency [2][1]\n"
               "      A[i][j] = A[i - 1][j] + 1;\n    }\n  return 0;\n}\n",
               ""});
  // 7 independent instances, all at one date, never reach 100 GPUs.
  r.push_back({"wide", loop("[1][100]", "[2][1]", "2 * b[i]"), "red_bottom_level(): not found"});
  r.push_back({"no_gpu", loop("[3][0]", "[2][1]", "a[i - 1] + b[i]", 11), ""});
  // The pieces beyond a two-dimensional red limit hold t_red_0 == s_0(x).
  r.push_back({"reduction", kReduction, ""});
  // The first statement has no dependence and an empty schedule, the second
  // a one-dimensional one.
  r.push_back({"mixed",
               "int N = 8;\ndouble a[8], b[8], c[8];\nint main(void)\n{\n  int i;\n#pragma resource [1][2]\n"
               "  for (i = 0; i < N; i++) {\n#pragma latency [1][1]\n    a[i] = 2 * b[i];\n  }\n"
               "  for (i = 1; i < N; i++) {\n#pragma latency [1][1]\n    c[i] = c[i - 1] + 1;\n  }\n"
               "  return 0;\n}\n",
               ""});
  r.push_back({"lu_and_two", lu_and_two(), "6 "});
  return r;
}

class CheckedProgramTest : public EndToEndTest, public ::testing::WithParamInterface<Checked> {};

TEST_P(CheckedProgramTest, LimitsAgreeWithTheChecker)
{
  std::string printed;
  expect_checked(GetParam().name, GetParam().text, &printed);
  if (!GetParam().first_line.empty()) {
    EXPECT_EQ(lines_of(printed).at(0), GetParam().first_line);
  }
}

INSTANTIATE_TEST_SUITE_P(Programs, CheckedProgramTest, ::testing::ValuesIn(checked_programs()),
                         [](const ::testing::TestParamInfo<Checked>& info) { return info.param.name; });

// One out.c, compiled once, answers for other values of the parameters on
// its command line, as the checker counts the program written with those
// values: odd values make the floor and ceiling bounds round and the counts
// periodic; a size of 1 leaves a single instance per statement.
struct Sizes {
  std::string example;
  std::vector<std::string> runs;
};

void PrintTo(const Sizes& s, std::ostream* os) { *os << s.example; }

class SizesTest : public EndToEndTest, public ::testing::WithParamInterface<Sizes> {};

TEST_P(SizesTest, OneOutCAnswersForEverySize)
{
  const Sizes& s = GetParam();
  std::string text = source(s.example + ".c"), name = fs::path(s.example).filename().string();
  build(name + ".c", text);
  for (const std::string& arguments : s.runs) {
    SCOPED_TRACE("./out " + arguments);
    std::string printed, expected, profile;
    int status = run(arguments, &printed);
    expect_checked(name, e2e::with_parameter_values(widened(text), sizes_of(arguments)), &expected);
    EXPECT_EQ(printed, expected);
    EXPECT_EQ(status == 0, lines_of(printed).size() == 2 && printed.find("not found") == std::string::npos);
    run("--profile " + arguments, &profile);
    check_profile(profile, printed);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Overrides, SizesTest,
    ::testing::Values(Sizes{"examples/matmul", {"N=1", "N=5", "N=9"}},
                      Sizes{"examples/lu", {"N=4", "N=7", "N=10"}},
                      Sizes{"examples/floor_ceil", {"N=7", "N=9", "N=12"}},
                      Sizes{"examples/minmax", {"M=1", "N=7 M=2", "N=9 M=5"}},
                      Sizes{"examples/scalars_io", {"N=1", "N=3", "N=16"}},
                      Sizes{"examples/stencil_2d", {"T=1 N=5", "T=3 N=4", "N=8"}},
                      Sizes{"tests/programs/sizes_of_several_parameters",
                            {"NI=2 NJ=3 NK=4", "NI=6", "NK=1 NJ=2"}}),
    [](const ::testing::TestParamInfo<Sizes>& info) {
      return fs::path(info.param.example).filename().string();
    });

// out.c's messages: the arguments it refuses, and a size that the source
// declares nowhere out.c can see (an argument of the kernel).
struct BadArgument {
  std::string arguments, message;
};

void PrintTo(const BadArgument& b, std::ostream* os) { *os << "./out " << b.arguments; }

class BadArgumentTest : public EndToEndTest, public ::testing::WithParamInterface<BadArgument> {};

TEST_P(BadArgumentTest, StopsWithAMessage)
{
  if (GetParam().arguments == "")
    build("kernel.c",
          "double a[100], b[100];\nvoid kernel(int n)\n{\n  int i;\n#pragma resource [1][2]\n"
          "  for (i = 0; i < n; i++) {\n#pragma latency [2][1]\n    a[i] = 2 * b[i];\n  }\n}\n"
          "int main(void) { kernel(10); return 0; }\n");
  else
    build("minmax.c", source("examples/minmax.c"));
  for (const char* profile : {"", "--profile "}) {
    std::string out, err;
    EXPECT_EQ(run(profile + GetParam().arguments, &out, &err), 1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    OutC, BadArgumentTest,
    ::testing::Values(
        BadArgument{"", "./out: no value for the parameter n: give it as n=VALUE\n"},
        BadArgument{"K=3", "./out: unknown parameter 'K'; the parameters are N M\n"},
        BadArgument{"N=3 n=4", "./out: unknown parameter 'n'; the parameters are N M\n"},
        BadArgument{"N=x", "./out: the value of N must be an integer: 'x'\n"},
        BadArgument{"M=", "./out: the value of M must be an integer: ''\n"},
        BadArgument{"N=2.5", "./out: the value of N must be an integer: '2.5'\n"},
        BadArgument{"N=12abc", "./out: the value of N must be an integer: '12abc'\n"},
        BadArgument{"N=2147483648", "./out: the value of N must be an integer: '2147483648'\n"},
        BadArgument{"N", "./out: unexpected argument 'N'\nusage: ./out [--profile] [NAME=VALUE]...\n"},
        BadArgument{"=3", "./out: unexpected argument '=3'\nusage: ./out [--profile] [NAME=VALUE]...\n"}));

const char* const kProgress[] = {
    "Step 1. Compute inverse dependences (target --> source)",
    "Step 2. Compute bottom-level by statement (red limit)",
    "Step 3. Compute bottom-level by statement (green limit)",
    "  Filter program iterations beyond red limit",
    "  Compute bottom-level by statement",
    "Step 4. Compute the level-wise parallelism by statement (red limit)",
    "Step 5. Compute the level-wise parallelism by statement (green limit)",
    "Step 5. Compute the level domain",
    "Step 5. Generate the code --> out.c",
};

TEST_F(EndToEndTest, ProgressLinesAreExactAndWithoutWarningForOneDimension)
{
  write("recurrence.c", loop("[1][1]", "[2][1]", "a[i - 1] + b[i]"));
  ASSERT_EQ(vorl("recurrence.c"), 0) << err_;
  std::vector<std::string> steps;
  for (const std::string& line : lines_of(err_)) {
    EXPECT_EQ(line.find("WARNING"), std::string::npos);
    if (line.rfind("Step", 0) == 0 || line.rfind("  Filter", 0) == 0 ||
        line == "  Compute bottom-level by statement")
      steps.push_back(line);
  }
  EXPECT_EQ(steps, std::vector<std::string>(std::begin(kProgress), std::end(kProgress)));
}

TEST_F(EndToEndTest, TwoDimensionalScheduleWarnsOnceAfterTheStep2Listing)
{
  write("reduction.c", kReduction);
  vorl("reduction.c");
  std::vector<std::string> lines = lines_of(err_);
  auto warning = std::find(lines.begin(), lines.end(), "WARNING: Some bottom-level dimensions are > 1");
  ASSERT_NE(warning, lines.end()) << err_;
  EXPECT_EQ(std::count(lines.begin(), lines.end(), *warning), 1);
  ASSERT_GE(warning - lines.begin(), 2);
  EXPECT_EQ(warning[-1].rfind("  Latency: ", 0), 0u);
  EXPECT_EQ(warning[-2].rfind("  Statement #0: ", 0), 0u);
  ASSERT_NE(warning + 1, lines.end());
  EXPECT_EQ(warning[1], kProgress[2]);
}

struct Refused {
  std::string resources, latency, message;
};

void PrintTo(const Refused& r, std::ostream* os) { *os << "resource " << r.resources << " latency " << r.latency; }

class RefusedMachineTest : public EndToEndTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(RefusedMachineTest, StopsBeforeStep1WithoutOutC)
{
  write("p.c", loop(GetParam().resources, GetParam().latency, "a[i - 1]"));
  EXPECT_EQ(vorl("p.c"), 1);
  EXPECT_EQ(lines_of(err_), std::vector<std::string>{GetParam().message}) << err_;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3)
      << "p.c and vorl's two streams only";
}

INSTANTIATE_TEST_SUITE_P(
    Validation, RefusedMachineTest,
    ::testing::Values(
        Refused{"[0][0]", "[2][1]",
                "p.c:7:1: #pragma resource [0][0]: Schedule::bottom_limit: resources: #cpu + #gpu must be at "
                "least 1"},
        Refused{"[2]", "[2][1]", "p.c:7:1: #pragma resource [2]: Schedule::bottom_limit: resources: expect (#cpu,#gpu)"},
        Refused{"[1][1][1]", "[2][1]",
                "p.c:7:1: #pragma resource [1][1][1]: Schedule::bottom_limit: resources: expect (#cpu,#gpu)"},
        Refused{"[1][1]", "[2]",
                "p.c:9:1: #pragma latency [2]: Schedule::bottom_limit: assignment #1: latency: expect (#cpu,#gpu)"},
        Refused{"[1][1]", "[2][1][5]",
                "p.c:9:1: #pragma latency [2][1][5]: Schedule::bottom_limit: assignment #1: latency: expect "
                "(#cpu,#gpu)"}));

// The pragmas only hold non-negative constants; the analysis refuses negative
// numbers all the same when it is called directly.
TEST(EndToEndValidationTest, NegativeMachineOrLatenciesAreRefused)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  AnalysisScope scope;
  Program empty;
  std::map<int, std::vector<int>> fine{{0, {2, 1}}}, negative{{0, {2, -1}}}, none;
  auto alone = [](const std::string& message) { return "^" + quoted(message) + "\n$"; };
  EXPECT_FAILURE(analyze_bottom_limit(&empty, fine, none, none, {-1, 2}), 1, alone("Schedule::bottom_limit: resources: expect non-negative numbers of cpus and gpus"));
  EXPECT_FAILURE(analyze_bottom_limit(&empty, negative, none, none, {1, 1}), 1, alone("Schedule::bottom_limit: assignment #1: latency: expect non-negative latencies"));
  // A machine of GPUs alone passes; the empty program then stops at its schedules.
  EXPECT_FAILURE(analyze_bottom_limit(&empty, fine, none, none, {0, 3}), 1, "^" + quoted(kProgress[0]) + "\n(.|\n)*Schedule::max_dim: 0 statements\n$");
}

}  // namespace
