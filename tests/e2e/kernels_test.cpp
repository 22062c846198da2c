// The end-to-end check of every annotated program of the repository: the
// PolyBench-style kernels of examples/polybench/ at their own sizes and at
// larger ones, the examples of examples/ at their own sizes, and the inputs
// of the fuzz corpus whose values go beyond 32 bits. Each case
// runs vorl, compiles and runs out.c, and compares its limits and vorl's
// schedules with the brute force of the checker (checker.h). Slow: CTest
// label e2e. VORL_E2E_TIMEOUT (seconds) bounds each vorl run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tests/e2e/checker.h"

namespace {

namespace fs = std::filesystem;

struct Case {
  std::string name;  // the test's name
  std::string path;
  bool larger;       // sizes scaled by 1.5, rounded up
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::string identifier(std::string s)
{
  std::replace_if(s.begin(), s.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return s;
}

std::vector<std::string> programs(const std::string& folder)
{
  std::vector<std::string> paths;
  for (const auto& e : fs::directory_iterator(std::string(VORL_SOURCE_DIR) + "/" + folder))
    if (e.path().extension() == ".c")
      paths.push_back(e.path().string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::vector<Case> kernels()
{
  std::vector<Case> r;
  for (const std::string& p : programs("examples/polybench")) {
    std::string id = identifier(fs::path(p).stem().string());
    r.push_back({id + "_default", p, false});
    r.push_back({id + "_larger", p, true});
  }
  return r;
}

std::vector<Case> examples()
{
  std::vector<Case> r;
  for (const std::string& p : programs("examples"))
    r.push_back({identifier(fs::path(p).stem().string()), p, false});
  return r;
}

// Inputs whose dates and schedule coefficients go beyond 32 bits, small
// enough to be checked by brute force (a latency of 10^5 on a 6 x 6 lu).
std::vector<Case> wide_values()
{
  std::string corpus = std::string(VORL_SOURCE_DIR) + "/tests/fuzz/corpus/";
  return {{"latency_of_a_hundred_thousand", corpus + "latency_of_a_hundred_thousand.c", false}};
}

int vorl_timeout()
{
  const char* text = std::getenv("VORL_E2E_TIMEOUT");
  return text && std::atoi(text) > 0 ? std::atoi(text) : 300;
}

class ProgramTest : public ::testing::TestWithParam<Case> {};

TEST_P(ProgramTest, LimitsAndSchedulesAgreeWithBruteForce)
{
  const Case& c = GetParam();
  std::string text = e2e::slurp(c.path);
  if (c.larger) {
    std::map<std::string, long> sizes = e2e::read_annotated_source(text).parameters;
    for (auto& [name, value] : sizes)
      value += (value + 1) / 2;
    text = e2e::with_parameter_values(text, sizes);
  }
  e2e::CheckResult r = e2e::check_program(fs::path(c.path).stem().string(), text, {VORL_BINARY, vorl_timeout()});
  // One line per case, for a table of the whole run: the checks that found
  // fault, and the first finding beyond out.c's compiler warnings.
  std::string checks, detail;
  for (const e2e::Finding& f : r.findings) {
    if (checks.find(f.check) == std::string::npos)
      checks += (checks.empty() ? "" : ", ") + f.check;
    if (detail.empty() && f.check.rfind("out.c gcc", 0) != 0 && f.check.rfind("out.c clang", 0) != 0)
      detail = f.check + ": " + f.detail;
  }
  std::printf("[ e2e ] %-26s %-4s vorl %7.2f s  %s%s%.200s\n", c.name.c_str(), r.passed() ? "pass" : "FAIL",
              r.vorl_seconds, checks.c_str(), detail.empty() ? "" : " | ", detail.c_str());
  EXPECT_TRUE(r.passed()) << r.summary();
}

INSTANTIATE_TEST_SUITE_P(Polybench, ProgramTest, ::testing::ValuesIn(kernels()),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(Examples, ProgramTest, ::testing::ValuesIn(examples()),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(WideValues, ProgramTest, ::testing::ValuesIn(wide_values()),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
