// Dependence edges of small programs and of the examples, compared with a
// brute-force enumeration of the instances and their accesses; inversion,
// printing and the schedule checker.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "tests/analysis/dependence_test_support.h"
#include "tests/expect_failure.h"

namespace {

using truth::Pair;

class DependenceGraphTest : public AnalysisTest {
 protected:
  // A program of one function around body, with parameters N and M.
  void load_body(const std::string& body)
  {
    program = extract("int N, M;\ndouble a[20], b[20], c[20], x[4], s, A[20][20];\n"
                      "int main(void) {\n  int i, j, k;\n" + body + "\n  return 0;\n}\n");
  }

  // Checks the graph against the brute-force pairs for parameter values.
  void expect_brute_force(const DependenceGraph& g, const std::map<std::string, int>& values,
                          const PragmaMap* input = nullptr, const PragmaMap* output = nullptr)
  {
    truth::Values params = truth::parameters(program.get(), values);
    truth::Enumeration all = truth::dependences(program.get(), params, -3, 10, input, output);
    std::set<Pair> found;
    for (const DependenceEdge* e : g.edges)
      for (const auto& [x, y] : truth::edge_pairs(e, all, params))
        found.insert({e->source, e->target, e->type, e->read, e->depth, x, y});
    for (const Pair& p : all.pairs)
      EXPECT_TRUE(found.count(p)) << "missing " << truth::show(p);
    for (const Pair& p : found)
      EXPECT_TRUE(all.pairs.count(p)) << "spurious " << truth::show(p);
  }

  // Invariants of every edge, and the order of construction: by source and
  // target, then depth, then FLOW, ANTI, OUTPUT.
  static void expect_well_formed(const DependenceGraph& g)
  {
    for (size_t k = 0; k < g.edges.size(); k++) {
      const DependenceEdge* e = g.edges[k];
      std::set<int> all = e->source_counters;
      all.insert(e->target_counters.begin(), e->target_counters.end());
      EXPECT_EQ(e->all_counters, all);
      EXPECT_EQ(all.size(), e->source_counters.size() + e->target_counters.size());
      for (int c : e->dependence_polyhedron->get_counters())
        EXPECT_TRUE(all.count(c)) << "counter " << get_counter_string(c) << " in " << *e;
      if (k > 0) {
        const DependenceEdge* p = g.edges[k - 1];
        EXPECT_LE(std::make_tuple(p->source, p->target, p->depth, p->type),
                  std::make_tuple(e->source, e->target, e->depth, e->type));
      }
    }
  }

  std::set<std::tuple<int, int, int>> kinds(const DependenceGraph& g)
  {
    std::set<std::tuple<int, int, int>> r;
    for (const DependenceEdge* e : g.edges)
      r.insert({e->source, e->target, e->type});
    return r;
  }
};

TEST_F(DependenceGraphTest, CopyBetweenArraysHasNoEdge)
{
  load_body("for (i = 0; i < N; i++) a[i] = b[i];");
  DependenceGraph g(program.get());
  EXPECT_TRUE(g.edges.empty());
  EXPECT_EQ(text(g), "");
  g.invert();
  EXPECT_TRUE(g.edges.empty());
  testing::internal::CaptureStderr();
  EXPECT_TRUE(g.check(std::vector<Schedule*>()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "PASSED\n");
}

TEST_F(DependenceGraphTest, RecurrenceHasOneFlowSelfEdgeFromEachIterationToTheNext)
{
  load_body("for (i = 1; i < N; i++) a[i] = a[i-1];");
  OwnedGraph owned{DependenceGraph(program.get())};
  const DependenceGraph& g = owned.graph;
  ASSERT_EQ(g.edges.size(), 1u);
  const DependenceEdge* e = g.edges[0];
  EXPECT_EQ(std::make_tuple(e->source, e->target, e->type, e->depth, e->read),
            std::make_tuple(0, 0, FLOW, 0, 0));
  int i1 = get_counter_rank("new_counter_0_1"), i2 = get_counter_rank("new_counter_0_2");
  EXPECT_EQ(e->source_counters, std::set<int>({i1}));
  EXPECT_EQ(e->target_counters, std::set<int>({i2}));
  std::string printed = text(*e);
  EXPECT_EQ(printed.substr(0, printed.find("dependence polyhedron:\n")),
            "#0 --[FLOW]--> #0\ndepth: 0\nsource counters = {i" + std::to_string(i1) +
                " (new_counter_0_1)  }\ntarget counters = {i" + std::to_string(i2) +
                " (new_counter_0_2)  }\n");
  EXPECT_EQ(text(g), printed + "\n");
  truth::Values params = truth::parameters(program.get(), {{"N", 6}});
  truth::Enumeration all = truth::dependences(program.get(), params, -3, 10);
  std::vector<std::pair<truth::Point, truth::Point>> expected;
  for (int i = 1; i + 1 < 6; i++)
    expected.push_back({{i}, {i + 1}});
  EXPECT_EQ(truth::edge_pairs(e, all, params), expected);
}

TEST_F(DependenceGraphTest, TwoWritesOfOneCellOutsideLoopsGiveOneOutputEdge)
{
  load_body("x[0] = 1;\n  x[0] = 2;");
  OwnedGraph owned{DependenceGraph(program.get())};
  ASSERT_EQ(owned.graph.edges.size(), 1u);
  DependenceEdge* e = owned.graph.edges[0];
  EXPECT_EQ(std::make_tuple(e->source, e->target, e->type, e->depth, e->read),
            std::make_tuple(0, 1, OUTPUT, 0, 0));
  EXPECT_TRUE(e->all_counters.empty());
  EXPECT_NE(text(*e).find("source counters = {}\ntarget counters = {}\n"), std::string::npos);
  // Unknown dependence types are reported, and printing goes on.
  std::ostringstream os;
  testing::internal::CaptureStderr();
  print_dependence_t(os, static_cast<dependence_t>(3));
  e->type = static_cast<dependence_t>(3);
  std::string printed = text(*e);
  e->type = OUTPUT;
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "DependenceEdge::printf_dependence_t: Unknown dependence type\n"
            "DependenceEdge::<<: Unknown dependence type\n");
  EXPECT_EQ(os.str(), "");
  EXPECT_EQ(printed.substr(0, 20), "#0 --[]--> #1\ndepth:");
}

TEST_F(DependenceGraphTest, OutputPragmaAddsWritesAndAStatementWithoutInputReadsNothing)
{
  load_annotated("int N;\ndouble a[20], b[20];\nint main(void) {\n  int i;\n"
                 "  for (i = 1; i < N; i++) {\n"
                 "#pragma latency [1][1]\n#pragma output [0]\n    a[i] = a[i-1];\n"
                 "#pragma latency [1][1]\n    b[i] = a[i];\n  }\n  return 0;\n}\n");
  OwnedGraph owned{DependenceGraph(program.get(), maps[1], maps[2])};
  expect_well_formed(owned.graph);
  // No FLOW reaches statement 0 and no ANTI leaves it; its second write
  // meets the read of statement 1 one iteration later.
  EXPECT_EQ(kinds(owned.graph), (std::set<std::tuple<int, int, int>>{
                                    {0, 0, OUTPUT}, {0, 1, FLOW}, {1, 0, ANTI}}));
  expect_brute_force(owned.graph, {{"N", 5}}, &maps[1], &maps[2]);
  expect_brute_force(owned.graph, {{"N", 2}}, &maps[1], &maps[2]);
}

TEST_F(DependenceGraphTest, EdgesOfTheExamplesMatchBruteForce)
{
  for (const char* name : {"matmul", "lu", "stencil_1d", "producer_consumer", "scalars_io",
                           "compound", "floor_ceil", "conditional"}) {
    SCOPED_TRACE(name);
    fresh();
    load_annotated_file(std::string(VORL_SOURCE_DIR) + "/examples/" + name + ".c");
    OwnedGraph owned{DependenceGraph(program.get(), maps[1], maps[2])};
    expect_well_formed(owned.graph);
    expect_brute_force(owned.graph, {{"N", 4}, {"T", 2}}, &maps[1], &maps[2]);
    expect_brute_force(owned.graph, {{"N", 3}, {"T", 3}}, &maps[1], &maps[2]);
  }
}

TEST_F(DependenceGraphTest, EdgesWithoutPragmaMapsMatchBruteForce)
{
  const char* bodies[] = {
      // A scalar reduction over a square: every earlier access conflicts.
      "for (i = 0; i < N; i++) for (j = 0; j < N; j++) s = s + A[i][j];",
      // Sibling loops on the same name are distinct loops.
      "for (k = 0; k < M; k++) { for (i = 1; i < N; i++) b[i] = a[i-1] + a[i+1];\n"
      "  for (i = 1; i < N; i++) a[i] = b[i]; }",
      // A statement after an inner loop, a triangle cut by a condition.
      "for (i = 0; i < N; i++) { for (j = i; j < N; j++) if (j <= i + M) A[i][j] = A[j][i] + a[j];\n"
      "  a[i] = A[i][N-1] + a[i+1]; }",
      // A recurrence from statement 2 back to statement 0.
      "for (i = 1; i < N; i++) { a[i] = c[i-1]; b[i] = a[i] + b[i]; c[i] = b[i]; }"};
  for (const char* body : bodies) {
    SCOPED_TRACE(body);
    fresh();
    load_body(body);
    OwnedGraph owned{DependenceGraph(program.get())};
    expect_well_formed(owned.graph);
    expect_brute_force(owned.graph, {{"N", 4}, {"M", 2}});
    expect_brute_force(owned.graph, {{"N", 5}, {"M", 1}});
  }
}

TEST_F(DependenceGraphTest, InversionSwapsTheEndsAndKeepsThePairs)
{
  load_body("for (i = 1; i < N; i++) { a[i] = c[i-1]; b[i] = a[i] + b[i-1]; c[i] = b[i]; }");
  OwnedGraph owned{DependenceGraph(program.get())};
  DependenceGraph& g = owned.graph;
  ASSERT_TRUE(kinds(g).count({2, 0, FLOW}) && kinds(g).count({1, 1, FLOW}));
  truth::Values params = truth::parameters(program.get(), {{"N", 5}});
  truth::Enumeration all = truth::dependences(program.get(), params, -3, 10);
  auto fields = [](const DependenceEdge* e, bool swap) {
    return swap ? std::make_tuple(e->target, e->source, e->read, e->depth, e->type,
                                  e->target_operation, e->source_operation, e->dependence_polyhedron,
                                  e->target_counters, e->source_counters, e->all_counters,
                                  e->target_statement->stmt_rank)
                : std::make_tuple(e->source, e->target, e->read, e->depth, e->type,
                                  e->source_operation, e->target_operation, e->dependence_polyhedron,
                                  e->source_counters, e->target_counters, e->all_counters,
                                  e->source_statement->stmt_rank);
  };
  std::vector<decltype(fields(nullptr, false))> before;
  std::vector<std::vector<std::pair<truth::Point, truth::Point>>> pairs;
  for (const DependenceEdge* e : g.edges) {
    before.push_back(fields(e, false));
    pairs.push_back(truth::edge_pairs(e, all, params));
    for (auto& [x, y] : pairs.back())
      std::swap(x, y);
    std::sort(pairs.back().begin(), pairs.back().end());
  }
  g.invert();
  for (size_t k = 0; k < g.edges.size(); k++) {
    EXPECT_TRUE(fields(g.edges[k], true) == before[k]) << *g.edges[k];
    EXPECT_EQ(truth::edge_pairs(g.edges[k], all, params), pairs[k]);
  }
  g.invert();
  for (size_t k = 0; k < g.edges.size(); k++)
    EXPECT_TRUE(fields(g.edges[k], false) == before[k]) << *g.edges[k];
}

TEST_F(DependenceGraphTest, CheckPassesTheTextualOrderAndReportsViolations)
{
  load_body("for (i = 1; i < N; i++) a[i] = a[i-1];");
  OwnedGraph owned{DependenceGraph(program.get())};
  std::vector<Schedule*> textual = Schedule::from_Program(program.get());
  std::vector<IndexFunction*> functions{textual[0]->index_function};
  testing::internal::CaptureStderr();
  EXPECT_TRUE(owned.graph.check(textual));
  EXPECT_TRUE(owned.graph.check(functions));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "PASSED\nPASSED\n");
  owned.graph.invert();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(owned.graph.check(textual));
  std::string report = testing::internal::GetCapturedStderr();
  EXPECT_EQ(report.find("Error: dependence not respected: #0 --[FLOW]--> #0, read #1, depth 0\n"
                        "a[i]=a[i-1] ---> a[i]=a[i-1]\nWhen \n"),
            0u) << report;
  EXPECT_NE(report.find("\n#0 i=2  --[FLOW]--> #0 i=1 \n\n"), std::string::npos) << report;
  EXPECT_EQ(report.find("PASSED"), std::string::npos);
  del(textual);
}

using DependenceGraphFailureTest = DependenceGraphTest;

TEST_F(DependenceGraphFailureTest, InstancesMustBeOverCounters)
{
  load_body("for (i = 1; i < N; i++) a[i] = a[i-1];");
  OwnedGraph owned{DependenceGraph(program.get())};
  owned.graph.invert();
  std::vector<Schedule*> textual = Schedule::from_Program(program.get());
  // An instance whose counter is replaced by an expression cannot be reported.
  Operation* op = owned.graph.edges[0]->source_operation;
  Expression one(1);
  Expression* shifted = new Expression(OP_PLUS, op->substitution.at(0), &one);
  delete op->substitution.at(0);
  op->substitution[0] = shifted;
  EXPECT_FAILURE(owned.graph.check(textual), 1, "DependenceGraph::check: not a counter!");
  del(textual);
}

}  // namespace
