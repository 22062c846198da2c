// The vorl command on whole programs: it writes out.c, which must compile
// cleanly and print the red and green limits. The limits are checked against
// a brute-force count: every statement instance is enumerated for the
// parameter values the source declares, dated with the schedules of the
// analysis (run in this process), and counted per date.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>

#include "analysis/schedule.h"
#include "codegen/bottom_limit.h"
#include "driver/preprocessor.h"
#include "poly/expression.h"
#include "poly/index_function.h"
#include "poly/inequation.h"
#include "tests/codegen/codegen_test_support.h"

namespace {

namespace fs = std::filesystem;
using Values = std::map<int, int>;  // rank -> value
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
// the threshold. When all the statements' schedules have the same length, the
// points it does not skip are exactly the dates of the instances, which the
// ordered map holds in the same lexicographic order.
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
  // declarations of the source as parameter values.
  void analyze(const std::string& path)
  {
    statement_vec.clear();
    std::unique_ptr<SgProject> first(frontend(std::vector<std::string>{"vorl", path}));
    std::unique_ptr<SgProject> second(preprocess_latency(first.get()));
    program_ = Program::from_Sage(second.get());
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
            parameters_[get_parameter_rank((*m)[1])] = std::stoi((*m)[2]);
  }

  int box() const
  {
    int largest = 0;
    for (const auto& [rank, value] : parameters_)
      largest = std::max(largest, std::abs(value));
    return 2 * largest + 8;
  }

  // The whole run on one source: vorl, cc, out, and the brute-force limits.
  void check_pipeline(const std::string& file)
  {
    ASSERT_EQ(vorl(file), 0) << err_;
    ASSERT_TRUE(exists("out.c"));
    EXPECT_FALSE(exists("out.c.partial"));
    EXPECT_FALSE(exists("latency_source.c") || exists("latency_target.c"));
    ASSERT_EQ(shell("cd '" + dir_ + "' && cc -Wall -o out out.c -lm 2> cc.err"), 0)
        << slurp(dir_ + "/cc.err");
    for (const std::string& line : lines_of(slurp(dir_ + "/cc.err")))
      if (line.find("warning:") != std::string::npos) {
        EXPECT_NE(line.find("[-Wunused-variable]"), std::string::npos) << line;
      }
    int status = shell("cd '" + dir_ + "' && ./out > out.txt");
    std::string printed = slurp(dir_ + "/out.txt");

    analyze(dir_ + "/" + file);
    Date red, green;
    std::vector<Instance> all = instances(program_, a_.red_schedules, parameters_, box());
    pad(all, a_.red_level_counters.size());
    std::string expected = expected_limit(count_dates(all), a_.nb_gpu, "red", &red);
    int expected_status = 1;
    if (expected.find("not found") == std::string::npos) {
      Values filtered = parameters_;
      for (size_t k = 0; k < red.size(); k++)
        if (is_a_parameter("t_red_" + std::to_string(k)))
          filtered[get_parameter_rank("t_red_" + std::to_string(k))] = red[k];
      std::vector<Instance> beyond = instances(a_.filtered, a_.green_schedules, filtered, box());
      pad(beyond, a_.green_level_counters.size());
      // The filtered program holds the instances whose red date lies
      // strictly beyond the red limit, each once.
      std::multiset<std::string> kept, expected_kept;
      for (const Instance& i : beyond)
        kept.insert(i.what);
      for (const Instance& i : all)
        if (red < i.date)
          expected_kept.insert(i.what);
      EXPECT_EQ(kept, expected_kept);
      std::string second =
          expected_limit(count_dates(beyond), a_.nb_cpu + a_.nb_gpu, "green", &green);
      expected += second;
      expected_status = second.find("not found") == std::string::npos ? 0 : 1;
    }
    EXPECT_EQ(printed, expected);
    EXPECT_EQ(status, expected_status);
  }

  // vorl ends with out.c, which compiles and prints a limit or "not found"
  // for each search it reaches.
  void runs_and_compiles(const std::string& file)
  {
    ASSERT_EQ(vorl(file), 0) << err_;
    ASSERT_EQ(shell("cd '" + dir_ + "' && cc -Wall -o out out.c -lm 2> cc.err"), 0)
        << slurp(dir_ + "/cc.err");
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
  Values parameters_;
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

// The same examples for other values of their parameters: odd values make
// the floor and ceiling bounds round, and the counts periodic.
struct Variant {
  std::string example, name, value;
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.example << " " << v.name << "=" << v.value; }

class VariantTest : public EndToEndTest, public ::testing::WithParamInterface<Variant> {};

TEST_P(VariantTest, OutCPrintsTheCountedLimits)
{
  const Variant& v = GetParam();
  std::string text = slurp(std::string(VORL_SOURCE_DIR) + "/examples/" + v.example + ".c");
  text = std::regex_replace(text, std::regex("int " + v.name + " = [0-9]+;"),
                            "int " + v.name + " = " + v.value + ";");
  write(v.example + ".c", text);
  check_pipeline(v.example + ".c");
}

INSTANTIATE_TEST_SUITE_P(Parameters, VariantTest,
                         ::testing::Values(Variant{"floor_ceil", "N", "7"},
                                           Variant{"floor_ceil", "N", "9"},
                                           Variant{"minmax", "M", "1"}, Variant{"lu", "N", "4"},
                                           Variant{"scalars_io", "N", "1"}));

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
  EXPECT_FALSE(exists("out.c") || exists("out.c.partial"));
}

INSTANTIATE_TEST_SUITE_P(
    Validation, RefusedMachineTest,
    ::testing::Values(
        Refused{"[0][0]", "[2][1]", "Schedule::bottom_limit: resources: #cpu + #gpu must be at least 1"},
        Refused{"[2]", "[2][1]", "Schedule::bottom_limit: resources: expect (#cpu,#gpu)"},
        Refused{"[1][1][1]", "[2][1]", "Schedule::bottom_limit: resources: expect (#cpu,#gpu)"},
        Refused{"[1][1]", "[2]", "Schedule::bottom_limit: stmt #0: latency: expect (#cpu,#gpu)"},
        Refused{"[1][1]", "[2][1][5]", "Schedule::bottom_limit: stmt #0: latency: expect (#cpu,#gpu)"}));

// The pragmas only hold non-negative constants; the analysis refuses negative
// numbers all the same when it is called directly.
TEST(EndToEndValidationTest, NegativeMachineOrLatenciesAreRefused)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  reset_registry();
  Program empty;
  std::map<int, std::vector<int>> fine{{0, {2, 1}}}, negative{{0, {2, -1}}}, none;
  auto alone = [](const std::string& message) { return "^" + quoted(message) + "\n$"; };
  EXPECT_EXIT(analyze_bottom_limit(&empty, fine, none, none, {-1, 2}), ::testing::ExitedWithCode(1),
              alone("Schedule::bottom_limit: resources: expect non-negative numbers of cpus and gpus"));
  EXPECT_EXIT(analyze_bottom_limit(&empty, negative, none, none, {1, 1}), ::testing::ExitedWithCode(1),
              alone("Schedule::bottom_limit: stmt #0: latency: expect non-negative latencies"));
  // A machine of GPUs alone passes; the empty program then stops at its schedules.
  EXPECT_EXIT(analyze_bottom_limit(&empty, fine, none, none, {0, 3}), ::testing::ExitedWithCode(1),
              "^" + quoted(kProgress[0]) + "\n(.|\n)*Schedule::max_dim: 0 statements\n$");
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
  runs_and_compiles("mixed.c");
}

TEST_F(EndToEndTest, FailureWhileWritingLeavesNoOutC)
{
  write("recurrence.c", loop("[1][1]", "[2][1]", "a[i - 1] + b[i]", 11));
  fs::create_directory(dir_ + "/out.c.partial");
  EXPECT_EQ(vorl("recurrence.c"), 1);
  EXPECT_NE(err_.find("Schedule::bottom_limit: cannot write out.c.partial"), std::string::npos) << err_;
  EXPECT_FALSE(exists("out.c"));
}

}  // namespace
