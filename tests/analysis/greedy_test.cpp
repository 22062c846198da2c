// The greedy scheduler on inverted dependence graphs: every dependence is
// checked on the instances, by brute force, to be respected with its delay;
// the small cases of one statement, latency 0, equalities and parameters
// that only a subscript names.
#include <gtest/gtest.h>

#include "analysis/greedy.h"
#include "support/ownership.h"
#include "tests/analysis/dependence_test_support.h"
#include "tests/expect_failure.h"

namespace {

using truth::Point;

class GreedyTest : public AnalysisTest {
 protected:
  void load_body(const std::string& body)
  {
    program = extract("int N, M;\ndouble a[20], b[20], c[20], s, A[20][20];\n"
                      "int main(void) {\n  int i, j;\n" + body + "\n  return 0;\n}\n");
  }

  // Schedules the program on its inverted graph (bottom levels); returns
  // what the scheduler wrote on standard output, keeps its error stream.
  std::string schedule_inverted(const std::map<int, int>& latency, const PragmaMap* input = nullptr,
                                const PragmaMap* output = nullptr)
  {
    graph.reset(new DependenceGraph(input ? DependenceGraph(program.get(), *input, *output)
                                     : DependenceGraph(program.get())));
    graph->invert();
    std::string before = text(*graph);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    result = greedy(program.get(), graph.get(), latency);
    trace = testing::internal::GetCapturedStderr();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(text(*graph), before);
    return out;
  }

  int dims(int s) const { return result.schedules.at(s)->dim(); }

  // The GPU latencies of the pragmas.
  std::map<int, int> gpu_latencies() const
  {
    std::map<int, int> r;
    for (const auto& [rank, values] : maps.at(0))
      r[rank] = values.at(1);
    return r;
  }

  // The "    Statement #" lines: at each dimension, the statements scheduled
  // at it, in increasing rank.
  std::string statement_lines() const
  {
    std::string r;
    for (int k = 0; k < result.latency->dimension(); k++)
      for (size_t s = 0; s < result.schedules.size(); s++)
        if (dims(s) > k)
          r += "    Statement #" + std::to_string(s) + "\n";
    return r;
  }

  std::vector<long> date(const Schedule* schedule, int s, const Point& x,
                         const truth::Values& params) const
  {
    return truth::at(schedule->index_function, truth::own_values(program->statement.at(s).get(), x),
                     params);
  }

  // later - earlier, dimension by dimension, for instance v of statement t
  // and u of s.
  std::vector<long> gap(int t, const Point& v, int s, const Point& u, const truth::Values& params)
  {
    std::vector<long> later = date(result.schedules.at(t).get(), t, v, params);
    std::vector<long> earlier = date(result.schedules.at(s).get(), s, u, params), r;
    for (size_t d = 0; d < later.size() && d < earlier.size(); d++)
      r.push_back(later[d] - earlier[d]);
    return r;
  }

  // Brute force on the instances, for the original pairs: the source is
  // dated after the target, by the target's latency at the first dimension
  // that is not weakly satisfied (>= 0 but below the latency). For each edge
  // of the inverted graph, one dimension carries the latency for all its
  // pairs, the earlier ones being weakly satisfied for all. Every component
  // lies between 0 and the latency of its dimension. The checker agrees
  // when every latency is positive (it wants strictly later dates).
  void expect_valid(const std::map<int, int>& latency, const std::map<std::string, int>& values,
                    const PragmaMap* input = nullptr, const PragmaMap* output = nullptr)
  {
    truth::Values params = truth::parameters(program.get(), values);
    truth::Enumeration all = truth::dependences(program.get(), params, -3, 12, input, output);
    for (const truth::Pair& p : all.pairs) {
      auto [s, t, type, read, depth, x, y] = p;
      std::vector<long> g = gap(s, x, t, y, params);
      size_t d = 0;
      while (d < g.size() && g[d] >= 0 && g[d] < latency.at(t))
        d++;
      EXPECT_TRUE(d < g.size() && g[d] >= latency.at(t)) << truth::show(p);
    }
    bool strict = true;
    for (const auto& e : graph->edges) {
      int delay = latency.at(e->source);
      strict = strict && delay > 0;
      std::vector<std::vector<long>> gaps;
      for (const auto& [u, v] : truth::edge_pairs(e.get(), all, params))
        gaps.push_back(gap(e->target, v, e->source, u, params));
      for (size_t d = 0; !gaps.empty(); d++) {
        bool carried = true;
        for (const std::vector<long>& g : gaps) {
          ASSERT_LT(d, g.size()) << "no dimension carries " << *e;
          ASSERT_GE(g[d], 0) << "dimension " << d << " violates " << *e;
          carried = carried && g[d] >= delay;
        }
        if (carried)
          break;
      }
    }
    for (size_t s = 0; s < program->statement.size(); s++)
      for (const Point& x : all.instances[s])
        for (int k = 0; k < dims(s); k++) {
          EXPECT_GE(date(result.schedules[s].get(), s, x, params)[k], 0);
          EXPECT_LE(date(result.schedules[s].get(), s, x, params)[k],
                    truth::value(result.latency->index_mapping[k], {}, params));
        }
    if (strict) {
      testing::internal::CaptureStderr();
      EXPECT_TRUE(graph->check(view(result.schedules)));
      EXPECT_EQ(testing::internal::GetCapturedStderr(), "PASSED\n");
    }
  }

  std::unique_ptr<DependenceGraph> graph;
  GreedyResult result;
  std::string trace;
};

TEST_F(GreedyTest, SchedulesOfTheExamplesRespectEveryDependenceWithItsLatency)
{
  for (const char* name : {"recurrence", "scalars_io", "producer_consumer", "matmul", "floor_ceil"}) {
    SCOPED_TRACE(name);
    result = {{}, nullptr};
    fresh();
    load_annotated_file(std::string(VORL_SOURCE_DIR) + "/examples/" + name + ".c");
    std::string out = schedule_inverted(gpu_latencies(), &maps[1], &maps[2]);
    EXPECT_EQ(out, statement_lines());
    EXPECT_EQ(trace, "");
    expect_valid(gpu_latencies(), {{"N", 3}}, &maps[1], &maps[2]);
    expect_valid(gpu_latencies(), {{"N", 4}}, &maps[1], &maps[2]);
  }
}

TEST_F(GreedyTest, ReductionOverASquareNeedsTwoDimensions)
{
  load_body("for (i = 0; i < N; i++) for (j = 0; j < N; j++) s = s + A[i][j];");
  EXPECT_EQ(schedule_inverted({{0, 2}}), "    Statement #0\n    Statement #0\n");
  EXPECT_EQ(dims(0), 2);
  expect_valid({{0, 2}}, {{"N", 3}});
  expect_valid({{0, 2}}, {{"N", 4}});
}

TEST_F(GreedyTest, ParameterThatOnlyASubscriptNamesIsNotTakenAsZero)
{
  // Every b[j] waits for a[M], whose date depends on M.
  load_body("for (i = 1; i < N; i++) a[i] = a[i-1];\nfor (j = 0; j < N; j++) b[j] = a[M];");
  schedule_inverted({{0, 2}, {1, 2}});
  expect_valid({{0, 2}, {1, 2}}, {{"N", 5}, {"M", 1}});
  expect_valid({{0, 2}, {1, 2}}, {{"N", 5}, {"M", 4}});
}

TEST_F(GreedyTest, DomainWithAnEqualityIsScheduled)
{
  // On i == M the coefficients of i and M are not unique; the scheduler must
  // still find bounded dates rather than an unbounded minimum.
  load_body("for (i = 0; i < N; i++) for (j = 1; j < N; j++) if (i == M) A[i][j] = A[i][j-1] + 1;");
  schedule_inverted({{0, 2}});
  expect_valid({{0, 2}}, {{"N", 5}, {"M", 2}});
  expect_valid({{0, 2}}, {{"N", 4}, {"M", 0}});
}

TEST_F(GreedyTest, LatencyZeroIsSatisfiedAtTheFirstDimension)
{
  load_body("for (i = 0; i < N; i++) for (j = 0; j < N; j++) s = s + A[i][j];");
  EXPECT_EQ(schedule_inverted({{0, 0}}), "    Statement #0\n");
  ASSERT_EQ(result.latency->dimension(), 1);
  for (int n : {1, 4, 9})
    EXPECT_EQ(truth::value(result.latency->index_mapping[0], {}, {{0, n}}), 0);
  expect_valid({{0, 0}}, {{"N", 3}});
  // Equal dates are violations for the checker.
  testing::internal::CaptureStderr();
  EXPECT_FALSE(graph->check(view(result.schedules)));
  EXPECT_EQ(testing::internal::GetCapturedStderr().find("Error: dependence not respected: #0"), 0u);
}

TEST_F(GreedyTest, OneStatementRecurrenceWithLatencyTwo)
{
  load_body("for (i = 0; i < N; i++) a[i] = a[i-1];");
  options().verbose = true;
  EXPECT_EQ(schedule_inverted({{0, 2}}), "    Statement #0\n");
  EXPECT_EQ(trace.find("Dimension 0, edges to satisfy: \n"
                       "  0: a[i]=a[i-1] --[FLOW, depth=0]--> a[i]=a[i-1]\nStatement #0\n"),
            0u) << trace;
  EXPECT_NE(trace.find("\nLatency: "), std::string::npos) << trace;
  ASSERT_EQ(graph->edges.size(), 1u);
  ASSERT_EQ(dims(0), 1);
  ASSERT_EQ(result.latency->dimension(), 1);
  // The smallest bound: the first instance waits for the n - 1 others.
  for (int n = 1; n <= 6; n++)
    EXPECT_EQ(truth::value(result.latency->index_mapping[0], {}, {{0, n}}), 2 * n);
  expect_valid({{0, 2}}, {{"N", 1}});
  expect_valid({{0, 2}}, {{"N", 6}});
}


}  // namespace
