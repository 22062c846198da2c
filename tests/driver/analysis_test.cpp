// The analysis as a library (driver/analysis.h): analyses run one after the
// other in one process give what separate runs of the vorl command give, and
// write nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "driver/analysis.h"
#include "algebra/analysis_context.h"
#include "algebra/rank.h"
#include "tests/driver/vorl_process.h"
#include "tests/program/program_test_support.h"

namespace fs = std::filesystem;

namespace {

// What a separate vorl process gives for one source.
struct SeparateRun {
  int status = -1;
  std::string out_c, out, err;
};

class AnalysisTest : public ProgramTest {
 protected:
  // Copies the example into the test directory, under its own name.
  std::string example(const std::string& name)
  {
    fs::copy_file(std::string(VORL_SOURCE_DIR) + "/examples/" + name, dir_ + "/" + name);
    return name;
  }

  // vorl on the source in a folder of its own.
  SeparateRun separate(const std::string& source)
  {
    std::string folder = dir_ + "/separate." + source;
    fs::create_directory(folder);
    fs::copy_file(dir_ + "/" + source, folder + "/" + source);
    vorl_process::Ending ending =
        vorl_process::run(VORL_BINARY, folder, {source}, dir_ + "/separate." + source + ".", 600);
    SeparateRun run;
    run.status = ending.status;
    run.out = ending.out;
    run.err = ending.err;
    run.out_c = vorl_process::slurp(folder + "/out.c");
    fs::remove_all(folder);
    return run;
  }

  // The result in this process is the separate run's, and its schedules are
  // the lines the progress printed.
  static void expect_same(const AnalysisResult& result, const SeparateRun& run)
  {
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(result.outcome, AnalysisResult::Outcome::Done);
    EXPECT_EQ(result.out_c, run.out_c);
    EXPECT_EQ(result.output, run.out);
    EXPECT_EQ(result.diagnostics, run.err);
    std::istringstream lines(result.schedules);
    std::size_t from = 0;
    for (std::string line; std::getline(lines, line);) {
      if (line == "red:" || line == "green:")
        continue;
      from = run.err.find(line + "\n", from);
      EXPECT_NE(from, std::string::npos) << line;
    }
  }
};

TEST_F(AnalysisTest, AnalysesInOneProcessGiveWhatSeparateRunsGive)
{
  // Different arrays, declarations, counters and parameters, then the first
  // again.
  std::vector<std::string> sources = {example("matmul.c"), example("stencil_2d.c"),
                                      example("scalars_io.c")};
  sources.push_back(sources[0]);
  std::map<std::string, SeparateRun> separate_runs;
  for (const std::string& source : sources)
    if (!separate_runs.count(source))
      separate_runs[source] = separate(source);
  std::set<std::string> before = vorl_process::files_in(dir_);
  std::vector<AnalysisResult> results;
  for (const std::string& source : sources) {
    SCOPED_TRACE(source);
    results.push_back(run_analysis(AnalysisRequest::for_file(source)));
    expect_same(results.back(), separate_runs[source]);
  }
  EXPECT_EQ(results.front().limits.red.schedules, results.back().limits.red.schedules);
  EXPECT_EQ(results.front().limits.green.counts, results.back().limits.green.counts);
  EXPECT_EQ(vorl_process::files_in(dir_), before);
  // The analyses left the context of the caller as it was.
  EXPECT_EQ(get_nb_counters() + get_nb_parameters(), 0);
  EXPECT_TRUE(analysis_context().arrays.empty());
}

TEST_F(AnalysisTest, TextHeldInMemoryIsAnalysedAsTheFileItNames)
{
  std::string source = example("recurrence.c");
  AnalysisResult from_file = run_analysis(AnalysisRequest::for_file(source, {"-verbose"}));
  std::string text = vorl_process::slurp(dir_ + "/" + source);
  fs::remove(dir_ + "/" + source);
  AnalysisResult from_text = run_analysis(AnalysisRequest::for_text(source, text, {"-verbose"}));
  ASSERT_EQ(from_text.outcome, AnalysisResult::Outcome::Done);
  EXPECT_EQ(from_text.out_c, from_file.out_c);
  EXPECT_EQ(from_text.diagnostics, from_file.diagnostics);
  EXPECT_EQ(from_text.limits.nb_cpu + from_text.limits.nb_gpu,
            from_file.limits.nb_cpu + from_file.limits.nb_gpu);
  EXPECT_TRUE(vorl_process::files_in(dir_).empty());
}

// Inputs the analysis refuses, each at a different step: the same line,
// stream and status as a vorl process, and the next analysis is unharmed.
TEST_F(AnalysisTest, RefusedInputsEndTheirAnalysisAsTheyEndTheCommand)
{
  const std::string head = "int N = 8;\ndouble a[8];\nint main(void) {\n  int i;\n";
  const std::vector<std::string> refused = {
      // The parser's error.
      head + "  i = ;\n}\n",
      // A construct the model cannot read around an assignment.
      head + "#pragma resource [1][1]\n  while (i < N) {\n#pragma latency [2][1]\n    a[i] = 0;\n  }\n}\n",
      // No machine.
      head + "  for (i = 1; i < N; i++) {\n#pragma latency [2][1]\n    a[i] = a[i-1];\n  }\n}\n",
      // Nothing to schedule.
      head + "#pragma resource [1][1]\n  return 0;\n}\n"};
  for (std::size_t k = 0; k < refused.size(); k++) {
    std::string source = "refused" + std::to_string(k) + ".c";
    SCOPED_TRACE(source);
    write(source, refused[k]);
    SeparateRun run = separate(source);
    AnalysisResult result = run_analysis(AnalysisRequest::for_file(source));
    ASSERT_NE(run.status, 0);
    EXPECT_EQ(result.outcome, AnalysisResult::Outcome::Failed);
    EXPECT_EQ(result.status, run.status);
    EXPECT_EQ(result.output, run.out);
    EXPECT_EQ(result.diagnostics, run.err);
    EXPECT_NE((run.out + run.err).find(result.failure + "\n"), std::string::npos) << result.failure;
    EXPECT_EQ(result.out_c, "");
    EXPECT_EQ(run.out_c, "");
  }
  std::string good = example("recurrence.c");
  expect_same(run_analysis(AnalysisRequest::for_file(good)), separate(good));
}

TEST_F(AnalysisTest, ACommandLineWithoutSourceRunsNothing)
{
  AnalysisRequest request;
  request.arguments = {"vorl", "-verbose"};
  AnalysisResult result = run_analysis(request);
  EXPECT_EQ(result.outcome, AnalysisResult::Outcome::NoSource);
  EXPECT_EQ(result.out_c + result.output + result.diagnostics + result.schedules, "");
}

}  // namespace
