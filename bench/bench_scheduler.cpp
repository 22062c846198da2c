// Times the dependence computation and the greedy scheduler on annotated C
// programs (by default every examples/*.c of the source tree): one line per
// program with the median over several runs, so that changes to the
// analyses can be compared.
//
//   bench_scheduler [--runs N] [file.c ...]
//
// Each run starts from empty registries and goes through the same steps as
// the vorl command: parse, pragma preprocessing, extraction and latency
// reading (untimed), then the dependence graph with the pragma maps and the
// greedy scheduler on the inverted graph with the GPU latencies (timed).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analysis/dependence_graph.h"
#include "analysis/greedy.h"
#include "analysis/schedule.h"
#include "driver/preprocessor.h"
#include "frontend/sg_project.h"
#include "algebra/analysis_context.h"
#include "algebra/index_function.h"
#include "algebra/rank.h"
#include "program/extraction.h"
#include "program/program.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
  double dependences_ms = 0;
  double greedy_ms = 0;
  size_t statements = 0;
  size_t edges = 0;
  int dimensions = 0;
};

double milliseconds(Clock::time_point from, Clock::time_point to)
{
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// One run on one file, in the current (scratch) directory.
Run run_once(const std::string& path)
{
  AnalysisScope scope;  // a context of its own for each run
  std::unique_ptr<SgProject> parsed(frontend(std::vector<std::string>{"vorl", path}));
  std::unique_ptr<SgProject> rewritten(preprocess_latency(parsed.get()));
  std::unique_ptr<Program> program = Program::from_Sage(rewritten.get());
  LatencyMaps maps = extract_latency(program.get()).first;
  std::map<int, int> latency;
  for (const auto& [rank, values] : maps[0])
    latency[rank] = values.size() > 1 ? values[1] : values.at(0);

  Run r;
  r.statements = program->statement.size();
  Clock::time_point start = Clock::now();
  DependenceGraph graph(program.get(), maps[1], maps[2]);
  Clock::time_point built = Clock::now();
  graph.invert();
  // The scheduler's per-statement lines are not part of the measure.
  std::streambuf* out = std::cout.rdbuf(nullptr);
  Clock::time_point scheduling = Clock::now();
  GreedyResult result = greedy(program.get(), &graph, latency);
  Clock::time_point done = Clock::now();
  std::cout.rdbuf(out);
  std::cout.clear();

  r.dependences_ms = milliseconds(start, built);
  r.greedy_ms = milliseconds(scheduling, done);
  r.edges = graph.edges.size();
  r.dimensions = result.latency->dimension();
  return r;
}

double median(std::vector<double> v)
{
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

[[noreturn]] void usage()
{
  std::cerr << "usage: bench_scheduler [--runs N] [file.c ...]" << std::endl;
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv)
{
  int runs = 9;
  std::vector<std::string> files;
  for (int k = 1; k < argc; k++) {
    if (std::strcmp(argv[k], "--runs") == 0) {
      if (++k == argc)
        usage();
      char* end = nullptr;
      long n = std::strtol(argv[k], &end, 10);
      if (*end != '\0' || n < 1 || n > 1000)
        usage();
      runs = static_cast<int>(n);
    } else if (argv[k][0] == '-') {
      usage();
    } else {
      files.push_back(std::filesystem::absolute(argv[k]).string());
    }
  }
  if (files.empty()) {
    for (const auto& entry : std::filesystem::directory_iterator(VORL_SOURCE_DIR "/examples"))
      if (entry.path().extension() == ".c")
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
  }

  // Work in a scratch directory of our own: nothing lands in the caller's.
  std::string pattern = (std::filesystem::temp_directory_path() / "vorl_bench_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("bench_scheduler: mkdtemp");
    return 1;
  }
  std::filesystem::path home = std::filesystem::current_path();
  std::filesystem::current_path(pattern);

  std::printf("%-20s %5s %6s %5s %14s %14s\n", "program", "stmts", "edges", "dims",
              "dependences ms", "greedy ms");
  for (const std::string& file : files) {
    std::vector<double> dependences, scheduling;
    Run last;
    for (int k = 0; k < runs; k++) {
      last = run_once(file);
      dependences.push_back(last.dependences_ms);
      scheduling.push_back(last.greedy_ms);
    }
    std::printf("%-20s %5zu %6zu %5d %14.2f %14.2f\n",
                std::filesystem::path(file).stem().string().c_str(), last.statements, last.edges,
                last.dimensions, median(dependences), median(scheduling));
    std::fflush(stdout);
  }

  std::filesystem::current_path(home);
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
  return 0;
}
