// Dependence edges of small programs and of the examples, compared with a
// brute-force enumeration of the instances and their accesses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

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
    for (const auto& e : g.edges)
      for (const auto& [x, y] : truth::edge_pairs(e.get(), all, params))
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
      const DependenceEdge* e = g.edges[k].get();
      std::set<int> all = e->source_counters;
      all.insert(e->target_counters.begin(), e->target_counters.end());
      EXPECT_EQ(e->all_counters, all);
      EXPECT_EQ(all.size(), e->source_counters.size() + e->target_counters.size());
      for (int c : e->dependence_polyhedron->get_counters())
        EXPECT_TRUE(all.count(c)) << "counter " << get_counter_string(c) << " in " << *e;
      if (k > 0) {
        const DependenceEdge* p = g.edges[k - 1].get();
        EXPECT_LE(std::make_tuple(p->source, p->target, p->depth, p->type),
                  std::make_tuple(e->source, e->target, e->depth, e->type));
      }
    }
  }

  std::set<std::tuple<int, int, int>> kinds(const DependenceGraph& g)
  {
    std::set<std::tuple<int, int, int>> r;
    for (const auto& e : g.edges)
      r.insert({e->source, e->target, e->type});
    return r;
  }
};

TEST_F(DependenceGraphTest, OutputPragmaAddsWritesAndAStatementWithoutInputReadsNothing)
{
  load_annotated("int N;\ndouble a[20], b[20];\nint main(void) {\n  int i;\n"
                 "  for (i = 1; i < N; i++) {\n"
                 "#pragma latency [1][1]\n#pragma output [0]\n    a[i] = a[i-1];\n"
                 "#pragma latency [1][1]\n    b[i] = a[i];\n  }\n  return 0;\n}\n");
  DependenceGraph graph = DependenceGraph(program.get(), maps[1], maps[2]);
  expect_well_formed(graph);
  // No FLOW reaches statement 0 and no ANTI leaves it; its second write
  // meets the read of statement 1 one iteration later.
  EXPECT_EQ(kinds(graph), (std::set<std::tuple<int, int, int>>{
                                    {0, 0, OUTPUT}, {0, 1, FLOW}, {1, 0, ANTI}}));
  expect_brute_force(graph, {{"N", 5}}, &maps[1], &maps[2]);
  expect_brute_force(graph, {{"N", 2}}, &maps[1], &maps[2]);
}

TEST_F(DependenceGraphTest, EdgesOfTheExamplesMatchBruteForce)
{
  for (const char* name : {"matmul", "lu", "stencil_1d", "producer_consumer", "scalars_io",
                           "compound", "floor_ceil", "conditional"}) {
    SCOPED_TRACE(name);
    fresh();
    load_annotated_file(std::string(VORL_SOURCE_DIR) + "/examples/" + name + ".c");
    DependenceGraph graph = DependenceGraph(program.get(), maps[1], maps[2]);
    expect_well_formed(graph);
    expect_brute_force(graph, {{"N", 4}, {"T", 2}}, &maps[1], &maps[2]);
    expect_brute_force(graph, {{"N", 3}, {"T", 3}}, &maps[1], &maps[2]);
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
    DependenceGraph graph = DependenceGraph(program.get());
    expect_well_formed(graph);
    expect_brute_force(graph, {{"N", 4}, {"M", 2}});
    expect_brute_force(graph, {{"N", 5}, {"M", 1}});
  }
}

// Each statement of the examples split at a new parameter `cut` of its
// outermost counter, the parts of a statement next to each other (as the
// parts beyond the red limit): the graph that tests only the sites of the
// whole statements has every edge of the graph that tests them all.
TEST_F(DependenceGraphTest, PartsOfStatementsDependWhereTheirStatementsDo)
{
  for (const char* name : {"matmul", "lu", "stencil_1d", "producer_consumer", "scalars_io",
                           "compound", "floor_ceil", "conditional", "recurrence"}) {
    SCOPED_TRACE(name);
    fresh();
    load_annotated_file(std::string(VORL_SOURCE_DIR) + "/examples/" + name + ".c");
    DependenceGraph whole(program.get(), maps[1], maps[2]);
    auto [cut, cut_leaf] = create_parameter("cut", 0);
    Program split(program->nb_counters, program->nb_parameters + 1, {});
    std::vector<int> parts;
    PragmaMap input, output;
    for (size_t i = 0; i < program->statement.size(); i++) {
      const Statement* st = program->statement[i].get();
      std::vector<std::unique_ptr<Polyhedron>> domains;
      domains.push_back(st->iteration_domain->clone());
      if (!st->surrounding_counters.empty()) {
        std::unique_ptr<Expression> outer(Expression::from_counter_rank(st->surrounding_counters[0]));
        Expression one(1);
        Expression beyond(OP_PLUS, cut_leaf.get(), &one);
        Inequation up_to(PRED_LE, outer.get(), cut_leaf.get()), after(PRED_GE, outer.get(), &beyond);
        domains.push_back(st->iteration_domain->clone());
        domains[0]->add_constraint(&up_to);
        domains[1]->add_constraint(&after);
      }
      for (std::unique_ptr<Polyhedron>& domain : domains) {
        int n = static_cast<int>(split.statement.size());
        std::unique_ptr<Statement> part = st->clone();
        part->stmt_rank = n;
        delete part->iteration_domain;
        part->iteration_domain = domain.release();
        split.statement.push_back(std::move(part));
        parts.push_back(static_cast<int>(i));
        if (maps[1].count(static_cast<int>(i)))
          input[n] = maps[1].at(static_cast<int>(i));
        if (maps[2].count(static_cast<int>(i)))
          output[n] = maps[2].at(static_cast<int>(i));
      }
    }
    DependenceGraph tested(&split, input, output);
    DependenceGraph known(&split, input, output, whole.sites, parts);
    EXPECT_EQ(known.sites, tested.sites);
    ASSERT_EQ(known.edges.size(), tested.edges.size());
    EXPECT_GE(known.edges.size(), whole.edges.size());
    for (size_t k = 0; k < known.edges.size(); k++) {
      std::ostringstream a, b;
      a << *known.edges[k];
      b << *tested.edges[k];
      EXPECT_EQ(a.str(), b.str());
    }
  }
}

}  // namespace
