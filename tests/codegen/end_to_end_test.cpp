// The vorl command on whole programs: it writes out.c, which must compile
// without a warning (gcc and clang) and print the red and green limits for
// the parameter values of the source or of its command line. The limits and
// the parallelism profile are checked against a brute-force count: every
// statement instance is enumerated for those parameter values, dated with
// the schedules of the analysis (run in this process), and counted per date.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>

#include "analysis/schedule.h"
#include "codegen/bottom_limit.h"
#include "driver/preprocessor.h"
#include "algebra/expression.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "tests/codegen/codegen_test_support.h"
#include "tests/expect_failure.h"

namespace {

namespace fs = std::filesystem;
using Values = std::map<int, Value>;  // rank -> value
using Date = std::vector<int>;

std::vector<std::string> lines_of(const std::string& text)
{
  std::vector<std::string> r;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    r.push_back(line);
  return r;
}

bool holds(const Inequation* c, const Values& counters, const Values& parameters)
{
  int a = c->lhs->evaluate_int(counters, parameters);
  int b = c->rhs->evaluate_int(counters, parameters);
  switch (c->pred) {
    case PRED_LT: return a < b;
    case PRED_LE: return a <= b;
    case PRED_GT: return a > b;
    case PRED_GE: return a >= b;
    case PRED_EQ: return a == b;
  }
  return false;
}

// Every parameter an expression reads must have a value: evaluate_int reads a
// missing one as 0, which would hide a wrong binding.
void expect_bound(const std::set<int>& used, const Values& parameters)
{
  for (int p : used)
    ASSERT_TRUE(parameters.count(p)) << "no value for parameter " << get_parameter_string(p);
}

// One statement instance: the array it writes with its iteration vector, and
// its date.
struct Instance {
  std::string what;
  Date date;
};

// Every instance of the program. The surrounding counters of each statement
// are walked over [-box, box] in order, each constraint of the domain checked
// as soon as all of its counters have a value.
std::vector<Instance> instances(const Program* program, const std::vector<Schedule*>& schedules,
                                const Values& parameters, int box)
{
  std::vector<Instance> r;
  for (size_t i = 0; i < program->statement.size(); i++) {
    const Statement* s = program->statement[i];
    const std::vector<int>& counters = s->surrounding_counters;
    std::vector<std::vector<const Inequation*>> at_level(counters.size() + 1);
    for (const Inequation* c : s->iteration_domain->constraints) {
      expect_bound(c->get_parameters(), parameters);
      size_t level = 0;
      for (int k : c->get_counters()) {
        auto it = std::find(counters.begin(), counters.end(), k);
        if (it == counters.end()) {
          ADD_FAILURE() << "statement #" << i << ": a counter of its domain does not surround it";
          continue;
        }
        level = std::max(level, static_cast<size_t>(it - counters.begin()) + 1);
      }
      at_level[level].push_back(c);
    }
    const IndexFunction* f = schedules[i]->index_function;
    for (const Expression* e : f->index_mapping)
      expect_bound(e->get_parameters(), parameters);
    Values point;
    std::function<void(size_t)> walk = [&](size_t level) {
      for (const Inequation* c : at_level[level])
        if (!holds(c, point, parameters))
          return;
      if (level == counters.size()) {
        Instance instance{s->lhs_id, {}};
        for (int c : counters) {
          instance.what += " " + std::to_string(point[c]);
          EXPECT_LT(std::abs(point[c]), box) << "the walk may miss instances: widen the box";
        }
        for (const Expression* e : f->index_mapping)
          instance.date.push_back(e->evaluate_int(point, parameters));
        r.push_back(instance);
        return;
      }
      for (int v = -box; v <= box; v++) {
        point[counters[level]] = v;
        walk(level + 1);
      }
      point.erase(counters[level]);
    };
    walk(0);
  }
  return r;
}

std::map<Date, long> count_dates(const std::vector<Instance>& instances)
{
  std::map<Date, long> count;
  for (const Instance& i : instances)
    count[i.date]++;
  return count;
}

// A schedule shorter than the longest one dates its instances at the first
// date of its prefix: the missing components are 0.
void pad(std::vector<Instance>& instances, size_t length)
{
  for (Instance& i : instances)
    i.date.resize(std::max(i.date.size(), length), 0);
}

// What out.c prints for one limit. The generated search walks the integer
// points of the level domain (the convex hull of the statements' dates) in
// lexicographic order, skips those in no date set (the exact sets of dates at
// which some instance executes) and stops at the first whose count reaches
// the threshold: the first such date of the ordered map.
std::string expected_limit(const std::map<Date, long>& count, long threshold,
                           const std::string& color, Date* limit)
{
  for (const auto& [date, n] : count)
    if (n >= threshold) {
      *limit = date;
      std::string text;
      for (int v : date)
        text += std::to_string(v) + " ";
      return text + "\n";
    }
  return color + "_bottom_level(): not found\n";
}

// What one run of out.c must give, counted by brute force.
struct Expected {
  std::string printed;
  int status = 1;
  std::map<Date, long> red_counts, green_counts;
  bool red_found = false, green_found = false;
  Date red, green;
};

// One line of the profile.
struct Row {
  std::string series;
  Date date;
  long volume = 0, threshold = 0;
  bool is_limit = false;
};

std::vector<Row> parse_profile(const std::string& csv)
{
  std::vector<std::string> lines = lines_of(csv);
  EXPECT_FALSE(lines.empty());
  if (lines.empty())
    return {};
  EXPECT_EQ(lines[0], "series,date,volume,threshold,is_limit");
  std::vector<Row> rows;
  std::regex row(R"((red|green),((-?\d+)( -?\d+)*)?,(\d+),(\d+),([01]))");
  for (size_t k = 1; k < lines.size(); k++) {
    std::smatch m;
    if (!std::regex_match(lines[k], m, row)) {
      ADD_FAILURE() << "not a profile line: " << lines[k];
      continue;
    }
    Row r{m[1], {}, std::stol(m[5]), std::stol(m[6]), m[7] == "1"};
    std::istringstream date(m[2]);
    for (int v; date >> v;)
      r.date.push_back(v);
    rows.push_back(r);
  }
  return rows;
}

// The rows of one series: every date with instances once, in search
// (lexicographic) order, with its count of instances; the volumes sum to the
// number of instances; the limit is the first line that reaches the threshold.
void check_series(const std::vector<Row>& rows, const std::string& series,
                  const std::map<Date, long>& counts, long threshold, const Date* limit)
{
  SCOPED_TRACE(series + " profile");
  std::map<Date, long> seen;
  long sum = 0, instances = 0;
  const Row* marked = nullptr;
  const Row* first_reaching = nullptr;
  const Row* previous = nullptr;
  for (const Row& r : rows) {
    if (r.series != series)
      continue;
    EXPECT_EQ(r.threshold, threshold);
    if (previous) {
      EXPECT_LT(previous->date, r.date) << "dates out of search order";
    }
    previous = &r;
    seen[r.date] = r.volume;
    sum += r.volume;
    if (!first_reaching && r.volume >= threshold)
      first_reaching = &r;
    if (r.is_limit) {
      EXPECT_EQ(marked, nullptr) << "two limits";
      marked = &r;
    }
  }
  for (const auto& [date, n] : counts)
    instances += n;
  EXPECT_EQ(seen, counts);
  EXPECT_EQ(sum, instances);
  EXPECT_EQ(marked, first_reaching);
  if (limit && marked) {
    EXPECT_EQ(marked->date, *limit);
  }
  EXPECT_EQ(limit != nullptr, marked != nullptr);
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

  bool exists(const std::string& name) { return fs::exists(dir_ + "/" + name); }

  // The analysis in this process, with the values of `int NAME = VALUE;`
  // declarations of the source as default parameter values. `edit` may
  // change the program first (what the front-end reads of the source).
  void analyze(const std::string& path, const std::function<void(Program*)>& edit = nullptr)
  {
    std::unique_ptr<SgProject> first(frontend(std::vector<std::string>{"vorl", path}));
    std::unique_ptr<SgProject> second(preprocess_latency(first.get()));
    program_ = Program::from_Sage(second.get());
    if (edit)
      edit(program_);
    auto [maps, resources] = extract_latency(program_);
    std::ostringstream progress;
    std::streambuf* err = std::cerr.rdbuf(progress.rdbuf());
    std::streambuf* out = std::cout.rdbuf(progress.rdbuf());
    a_ = analyze_bottom_limit(program_, maps[0], maps[1], maps[2], resources);
    std::cerr.rdbuf(err);
    std::cout.rdbuf(out);
    std::regex initialised(R"((\w+)\s*=\s*(-?\d+)\s*[,;])");
    for (const std::string& d : program_->variable_declaration)
      if (d.rfind("int ", 0) == 0)
        for (std::sregex_iterator m(d.begin(), d.end(), initialised), end; m != end; ++m)
          if (is_a_parameter((*m)[1]))
            defaults_[get_parameter_rank((*m)[1])] = std::stoi((*m)[2]);
    for (const auto& [name, value] : program_->initial_values)
      if (is_a_parameter(name))
        defaults_[get_parameter_rank(name)] = static_cast<int>(value);
  }

  // The defaults with the NAME=VALUE words of `arguments`.
  Values values(const std::string& arguments) const
  {
    Values r = defaults_;
    std::istringstream words(arguments);
    for (std::string w; words >> w;) {
      size_t equal = w.find('=');
      r[get_parameter_rank(w.substr(0, equal))] = std::stoi(w.substr(equal + 1));
    }
    return r;
  }

  static int box(const Values& parameters)
  {
    Value largest = 0;
    for (const auto& [rank, value] : parameters)
      largest = std::max(largest, value < 0 ? -value : value);
    return static_cast<int>(2 * largest + 8);
  }

  // The limits and counts of the analysed program for these parameter values.
  Expected expect(const Values& parameters)
  {
    Expected e;
    std::vector<Instance> all = instances(program_, a_.red_schedules, parameters, box(parameters));
    pad(all, a_.red_level_counters.size());
    e.red_counts = count_dates(all);
    e.printed = expected_limit(e.red_counts, a_.nb_gpu, "red", &e.red);
    e.red_found = e.printed.find("not found") == std::string::npos;
    if (!e.red_found)
      return e;
    Values filtered = parameters;
    for (size_t k = 0; k < e.red.size(); k++)
      if (is_a_parameter("t_red_" + std::to_string(k)))
        filtered[get_parameter_rank("t_red_" + std::to_string(k))] = e.red[k];
    std::vector<Instance> beyond = instances(a_.filtered, a_.green_schedules, filtered, box(filtered));
    pad(beyond, a_.green_level_counters.size());
    // The filtered program holds the instances whose red date lies
    // strictly beyond the red limit, each once.
    std::multiset<std::string> kept, expected_kept;
    for (const Instance& i : beyond)
      kept.insert(i.what);
    for (const Instance& i : all)
      if (e.red < i.date)
        expected_kept.insert(i.what);
    EXPECT_EQ(kept, expected_kept);
    e.green_counts = count_dates(beyond);
    std::string second = expected_limit(e.green_counts, a_.nb_cpu + a_.nb_gpu, "green", &e.green);
    e.green_found = second.find("not found") == std::string::npos;
    e.printed += second;
    e.status = e.green_found ? 0 : 1;
    return e;
  }

  // ./out with these arguments prints the counted limits, and its profile
  // the counted dates.
  void check_run(const std::string& arguments)
  {
    SCOPED_TRACE("./out " + arguments);
    Expected e = expect(values(arguments));
    int status = shell("cd '" + dir_ + "' && ./out " + arguments + " > out.txt");
    EXPECT_EQ(slurp(dir_ + "/out.txt"), e.printed);
    EXPECT_EQ(status, e.status);
    status = shell("cd '" + dir_ + "' && ./out --profile " + arguments + " > profile.csv 2> profile.err");
    std::vector<Row> rows = parse_profile(slurp(dir_ + "/profile.csv"));
    check_series(rows, "red", e.red_counts, a_.nb_gpu, e.red_found ? &e.red : nullptr);
    check_series(rows, "green", e.green_counts, a_.nb_cpu + a_.nb_gpu,
                 e.green_found ? &e.green : nullptr);
    std::string not_found = e.printed.substr(e.printed.find('\n') + 1);
    EXPECT_EQ(slurp(dir_ + "/profile.err"),
              !e.red_found ? e.printed : e.green_found ? "" : not_found);
    EXPECT_EQ(status, e.status);
  }

  // The whole run on one source: vorl, the compilers, then out.c run with
  // each of the argument lists, checked against the brute-force counts.
  void check_pipeline(const std::string& file, const std::vector<std::string>& runs = {""})
  {
    ASSERT_EQ(vorl(file), 0) << err_;
    ASSERT_TRUE(exists("out.c"));
    ASSERT_EQ(compile_generated(dir_), "");
    analyze(dir_ + "/" + file);
    for (const std::string& arguments : runs)
      check_run(arguments);
  }

  // vorl ends with out.c, which compiles and prints a limit or "not found"
  // for each search it reaches.
  void runs_and_compiles(const std::string& file)
  {
    ASSERT_EQ(vorl(file), 0) << err_;
    ASSERT_EQ(compile_generated(dir_), "");
    int status = shell("cd '" + dir_ + "' && ./out > out.txt");
    std::vector<std::string> printed = lines_of(slurp(dir_ + "/out.txt"));
    ASSERT_FALSE(printed.empty());
    std::regex date(R"(((-?\d+ )*)|(red|green)_bottom_level\(\): not found)");
    for (const std::string& line : printed)
      EXPECT_TRUE(std::regex_match(line, date)) << line;
    EXPECT_EQ(status == 0, printed.size() == 2 && printed[1].find("not found") == std::string::npos);
  }

  Program* program_ = nullptr;
  LimitAnalysis a_;
  Values defaults_;
  std::string err_;
};

class ExampleTest : public EndToEndTest, public ::testing::WithParamInterface<std::string> {};

// The examples and the regression programs of tests/programs.
std::vector<std::string> examples()
{
  std::vector<std::string> names;
  for (const char* folder : {"/examples", "/tests/programs"})
    for (const auto& e : fs::directory_iterator(std::string(VORL_SOURCE_DIR) + folder))
      if (e.path().extension() == ".c")
        names.push_back(folder + 1 + ("/" + e.path().stem().string()));
  std::sort(names.begin(), names.end());
  return names;
}

TEST_P(ExampleTest, OutCPrintsTheCountedLimits)
{
  std::string name = fs::path(GetParam()).filename().string();
  fs::copy_file(std::string(VORL_SOURCE_DIR) + "/" + GetParam() + ".c", dir_ + "/" + name + ".c");
  check_pipeline(name + ".c");
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleTest, ::testing::ValuesIn(examples()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return fs::path(info.param).filename().string();
                         });

// One out.c, compiled once, answers for other values of the parameters on
// its command line: odd values make the floor and ceiling bounds round and
// the counts periodic; a size of 1 leaves a single instance per statement.
struct Sizes {
  std::string example;
  std::vector<std::string> runs;
};

void PrintTo(const Sizes& s, std::ostream* os) { *os << s.example; }

class SizesTest : public EndToEndTest, public ::testing::WithParamInterface<Sizes> {};

TEST_P(SizesTest, OneOutCAnswersForEverySize)
{
  const Sizes& s = GetParam();
  std::string path = std::string(VORL_SOURCE_DIR) + "/" + s.example + ".c";
  std::string name = fs::path(path).filename().string();
  fs::copy_file(path, dir_ + "/" + name);
  check_pipeline(name, s.runs);
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

struct BadArgument {
  std::string arguments, message;
};

void PrintTo(const BadArgument& b, std::ostream* os) { *os << "./out " << b.arguments; }

class BadArgumentTest : public EndToEndTest, public ::testing::WithParamInterface<BadArgument> {};

TEST_P(BadArgumentTest, StopsWithAMessage)
{
  fs::copy_file(std::string(VORL_SOURCE_DIR) + "/examples/minmax.c", dir_ + "/minmax.c");
  ASSERT_EQ(vorl("minmax.c"), 0) << err_;
  ASSERT_EQ(compile_generated(dir_), "");
  for (const char* profile : {"", "--profile "}) {
    int status = shell("cd '" + dir_ + "' && ./out " + profile + GetParam().arguments +
                       " > out.txt 2> err.txt");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(slurp(dir_ + "/out.txt"), "");
    EXPECT_EQ(slurp(dir_ + "/err.txt"), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    OutC, BadArgumentTest,
    ::testing::Values(
        BadArgument{"K=3", "./out: unknown parameter 'K'; the parameters are N M\n"},
        BadArgument{"N=3 n=4", "./out: unknown parameter 'n'; the parameters are N M\n"},
        BadArgument{"N=x", "./out: the value of N must be an integer: 'x'\n"},
        BadArgument{"M=", "./out: the value of M must be an integer: ''\n"},
        BadArgument{"N=2.5", "./out: the value of N must be an integer: '2.5'\n"},
        BadArgument{"N=12abc", "./out: the value of N must be an integer: '12abc'\n"},
        BadArgument{"N=2147483648", "./out: the value of N must be an integer: '2147483648'\n"},
        BadArgument{"N", "./out: unexpected argument 'N'\nusage: ./out [--profile] [NAME=VALUE]...\n"},
        BadArgument{"=3", "./out: unexpected argument '=3'\nusage: ./out [--profile] [NAME=VALUE]...\n"}));

// Names that the C library declares (y1, j0, gamma: <math.h>) are the
// program's own in out.c, and so are short parameter names.
TEST_F(EndToEndTest, NamesOfTheCLibraryBelongToTheProgram)
{
  write("bessel.c",
        "int n = 9, value = 3;\ndouble y0[40], y1[40], j0[40], j1[40], gamma[40];\n"
        "int main(void)\n{\n  int i;\n#pragma resource [1][2]\n"
        "  for (i = 1; i < n; i++) {\n#pragma latency [2][1]\n    y1[i] = y0[i - 1] + j0[i];\n"
        "#pragma latency [1][1]\n    y0[i] = y1[i] * gamma[i];\n  }\n"
        "  for (i = 0; i < value; i++) {\n#pragma latency [1][1]\n    j1[i] = 2 * gamma[i];\n  }\n"
        "  return 0;\n}\n");
  check_pipeline("bessel.c", {"", "n=4 value=7"});
}

// A size that the source declares nowhere out.c can see (an argument of the
// kernel) must be given on out.c's command line.
TEST_F(EndToEndTest, ParameterWithoutValueMustBeGiven)
{
  write("kernel.c",
        "double a[100], b[100];\nvoid kernel(int n)\n{\n  int i;\n#pragma resource [1][2]\n"
        "  for (i = 0; i < n; i++) {\n#pragma latency [2][1]\n    a[i] = 2 * b[i];\n  }\n}\n"
        "int main(void) { kernel(10); return 0; }\n");
  check_pipeline("kernel.c", {"n=3", "n=10"});
  for (const char* arguments : {"", "--profile"}) {
    EXPECT_EQ(shell("cd '" + dir_ + "' && ./out " + arguments + " > out.txt 2> err.txt"), 1);
    EXPECT_EQ(slurp(dir_ + "/out.txt"), "");
    EXPECT_EQ(slurp(dir_ + "/err.txt"), "./out: no value for the parameter n: give it as n=VALUE\n");
  }
}

// Sizes given by #define: out.c repeats the definitions before the
// declarations that use them. (The model's macro definitions are set here as
// the front-end gives them; the sizes are parameters of out.c if the
// front-end keeps their names, constants if it expands them.)
TEST_F(EndToEndTest, DefinedSizesReachTheCopiedDeclarations)
{
  std::string path = write("defined.c",
                           "#define N 6\n#define M (N + 2)\ndouble A[N][M];\nint main(void)\n{\n"
                           "  int i, j;\n#pragma resource [1][2]\n  for (i = 1; i < N; i++)\n"
                           "    for (j = 0; j < M; j++) {\n#pragma latency [2][1]\n"
                           "      A[i][j] = A[i - 1][j] + 1;\n    }\n  return 0;\n}\n");
  analyze(path, [](Program* p) {
    if (p->macro_definitions.empty())
      p->macro_definitions = {"#define N 6", "#define M (N + 2)"};
  });
  for (auto [name, value] : {std::pair{"N", 6}, {"M", 8}})
    if (is_a_parameter(name))
      defaults_[get_parameter_rank(name)] = value;
  write("out.c", generate_program(a_));
  ASSERT_EQ(compile_generated(dir_), "");
  check_run("");
}

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

// One loop over N with the given resources, latency and right-hand side.
std::string loop(const std::string& resources, const std::string& latency, const std::string& rhs,
                 int n = 8)
{
  return "int N = " + std::to_string(n) + ";\ndouble a[64], b[64];\n\nint main(void)\n{\n  int i;\n" +
         "#pragma resource " + resources + "\n  for (i = 1; i < N; i++) {\n#pragma latency " +
         latency + "\n    a[i] = " + rhs + ";\n  }\n  return 0;\n}\n";
}

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

TEST_F(EndToEndTest, RedSearchWithoutEnoughParallelismIsNotFound)
{
  // 7 independent instances, all at one date, never reach 100 GPUs.
  write("wide.c", loop("[1][100]", "[2][1]", "2 * b[i]"));
  check_pipeline("wide.c");
  EXPECT_EQ(slurp(dir_ + "/out.txt"), "red_bottom_level(): not found\n");
}

TEST_F(EndToEndTest, NoGpuMakesTheFirstDateTheRedLimit)
{
  write("recurrence.c", loop("[3][0]", "[2][1]", "a[i - 1] + b[i]", 11));
  check_pipeline("recurrence.c");
}

TEST_F(EndToEndTest, TwoDimensionalScheduleWarnsOnceAfterTheStep2Listing)
{
  write("reduction.c",
        "int N = 4;\ndouble s, a[4][4];\nint main(void)\n{\n  int i, j;\n#pragma resource [1][2]\n"
        "  for (i = 0; i < N; i++)\n    for (j = 0; j < N; j++) {\n#pragma latency [1][1]\n"
        "      s = s + a[i][j];\n    }\n  return 0;\n}\n");
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

TEST_F(EndToEndTest, TwoDimensionalRedScheduleRunsToTheEnd)
{
  // The pieces beyond a two-dimensional red limit hold t_red_0 == s_0(x).
  write("reduction.c",
        "int N = 4;\ndouble s, a[4][4];\nint main(void)\n{\n  int i, j;\n#pragma resource [1][2]\n"
        "  for (i = 0; i < N; i++)\n    for (j = 0; j < N; j++) {\n#pragma latency [1][1]\n"
        "      s = s + a[i][j];\n    }\n  return 0;\n}\n");
  runs_and_compiles("reduction.c");
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

TEST_F(EndToEndTest, SchedulesOfDifferentLengthsRunToTheEnd)
{
  // The first statement has no dependence and an empty schedule, the second
  // a one-dimensional one: its instances are dated at the first date of
  // their prefix, which keeps the level domain bounded.
  write("mixed.c",
        "int N = 8;\ndouble a[8], b[8], c[8];\nint main(void)\n{\n  int i;\n#pragma resource [1][2]\n"
        "  for (i = 0; i < N; i++) {\n#pragma latency [1][1]\n    a[i] = 2 * b[i];\n  }\n"
        "  for (i = 1; i < N; i++) {\n#pragma latency [1][1]\n    c[i] = c[i - 1] + 1;\n  }\n"
        "  return 0;\n}\n");
  check_pipeline("mixed.c", {"", "N=3"});
}

// The instances of a shorter schedule count at the first date of their
// prefix only: with two of them at date 0, LU's counts (1, 1, 4, 2, 9, ...)
// first reach 5 at date 6, not at date 3.
TEST_F(EndToEndTest, ShorterSchedulesCountAtTheirDateOnly)
{
  std::string lu = slurp(std::string(VORL_SOURCE_DIR) + "/examples/lu.c");
  lu.replace(lu.find("#pragma resource [2][2]"), 23, "#pragma resource [1][5]");
  lu.replace(lu.find("double A[6][6];"), 15, "double A[6][6], B[2], C[2];");
  lu.replace(lu.find("  for (k = 0; k < N; k++) {"), 0,
             "  for (i = 0; i < 2; i++) {\n#pragma latency [1][1]\n    B[i] = 2 * C[i];\n  }\n");
  write("lu_and_two.c", lu);
  check_pipeline("lu_and_two.c");
  EXPECT_EQ(lines_of(slurp(dir_ + "/out.txt")).at(0), "6 ");
}

}  // namespace
