// Ground truth for the dependence and scheduling tests: the instances of a
// program's statements for given parameter values, their accesses, their
// order in the program text, and by brute force the pairs of instances in
// dependence (memory-based: every earlier conflicting access).
#ifndef VORL_TESTS_ANALYSIS_DEPENDENCE_TEST_SUPPORT_H
#define VORL_TESTS_ANALYSIS_DEPENDENCE_TEST_SUPPORT_H

#include <map>
#include <optional>
#include <set>
#include <tuple>

#include "analysis/dependence_graph.h"
#include "analysis/schedule.h"
#include "support/ownership.h"
#include "driver/preprocessor.h"
#include "algebra/expression.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "polyhedra/operation.h"
#include "algebra/analysis_context.h"
#include "tests/program/program_test_support.h"

namespace truth {

using Values = std::map<int, Value>;  // rank -> value
using Point = std::vector<int>;     // a statement's counters, outermost first

// Division-free trees only: evaluate_int truncates where constraints floor.
inline long value(const Expression* e, const Values& counters, const Values& parameters)
{
  EXPECT_FALSE(e->has_div()) << *e;
  return e->evaluate_int(counters, parameters);
}

// The components of f at the given values (a date, an array cell).
inline std::vector<long> at(const IndexFunction* f, const Values& counters, const Values& params)
{
  std::vector<long> r;
  for (const Expression* e : f->index_mapping)
    r.push_back(value(e, counters, params));
  return r;
}

inline bool holds(const Polyhedron* p, const Values& counters, const Values& parameters)
{
  for (const Inequation* c : p->constraints) {
    long v = value(c->lhs, counters, parameters) - value(c->rhs, counters, parameters);
    if (!(c->pred == PRED_LT ? v < 0 : c->pred == PRED_LE ? v <= 0 : c->pred == PRED_GT ? v > 0
          : c->pred == PRED_GE ? v >= 0 : v == 0))
      return false;
  }
  return true;
}

// The parameters of a program's domains and subscripts, valued by name.
inline Values parameters(const Program* p, const std::map<std::string, int>& by_name)
{
  std::set<int> used;
  auto use = [&](const std::set<int>& q) { used.insert(q.begin(), q.end()); };
  for (const auto& s : p->statement) {
    use(s->iteration_domain->get_parameters());
    for (const Expression* e : s->lhs_index->index_mapping)
      use(e->get_parameters());
    for (const auto& reference : s->rhs_index)
      for (const Expression* e : reference.second->index_mapping)
        use(e->get_parameters());
  }
  Values r;
  for (int q : used)
    r[q] = by_name.at(get_parameter_string(q));
  return r;
}

inline Values own_values(const Statement* s, const Point& x)
{
  Values r;
  for (size_t k = 0; k < x.size(); k++)
    r[s->surrounding_counters[k]] = x[k];
  return r;
}

// The instances of s, in lexicographic order, its counters ranging over
// [lo, hi], which must hold the whole domain.
inline std::vector<Point> instances(const Statement* s, const Values& params, int lo, int hi)
{
  std::vector<Point> r;
  size_t n = s->surrounding_counters.size(), k;
  for (Point x(n, lo);; x[k - 1]++) {
    if (holds(s->iteration_domain, own_values(s, x), params)) {
      for (int c : x)
        EXPECT_TRUE(c > lo && c < hi) << "the domain of " << *s << " leaves the box";
      r.push_back(x);
    }
    for (k = n; k > 0 && x[k - 1] == hi; k--)
      x[k - 1] = lo;
    if (k == 0)
      return r;
  }
}

struct Access {
  std::string array;
  const IndexFunction* subscripts;
  int position;
};

// (reads, writes) of s: with the pragma maps, the listed right-hand-side
// references (and the left-hand side, written); without, every right-hand
// side reference is read.
inline std::pair<std::vector<Access>, std::vector<Access>> accesses(const Statement* s,
                                                                   const PragmaMap* input,
                                                                   const PragmaMap* output)
{
  std::vector<Access> rhs, reads, writes{{s->lhs_id, s->lhs_index, 0}};
  for (const auto& [name, f] : s->rhs_index)
    rhs.push_back({name, f, static_cast<int>(rhs.size())});
  if (!input)
    return {rhs, writes};
  if (input->count(s->stmt_rank))
    for (int p : input->at(s->stmt_rank))
      reads.push_back(rhs.at(p));
  if (output->count(s->stmt_rank))
    for (int p : output->at(s->stmt_rank))
      writes.push_back(rhs.at(p));
  return {reads, writes};
}

// -1 when instance x of s does not run before instance y of t; else the
// number of shared loops (counters of distinct loops have distinct ranks)
// on which they agree.
inline int before(const Statement* s, const Point& x, const Statement* t, const Point& y)
{
  const std::vector<int>&a = s->surrounding_counters, &b = t->surrounding_counters;
  size_t c = 0;
  for (; c < a.size() && c < b.size() && a[c] == b[c]; c++)
    if (x[c] != y[c])
      return x[c] < y[c] ? static_cast<int>(c) : -1;
  return s->stmt_rank < t->stmt_rank ? static_cast<int>(c) : -1;
}

// (source, target, type, read, depth, source instance, target instance)
using Pair = std::tuple<int, int, int, int, int, Point, Point>;

struct Enumeration {
  std::vector<std::vector<Point>> instances;  // by statement rank
  std::set<Pair> pairs;
};

// The pairs in dependence, by brute force; null maps: default reads and writes.
inline Enumeration dependences(const Program* p, const Values& params, int lo, int hi,
                               const PragmaMap* input = nullptr, const PragmaMap* output = nullptr)
{
  Enumeration r;
  const std::vector<Statement*> statements = view(p->statement);
  for (const Statement* s : statements)
    r.instances.push_back(instances(s, params, lo, hi));
  for (const Statement* S : statements)
    for (const Statement* T : statements) {
      auto [reads_s, writes_s] = accesses(S, input, output);
      auto [reads_t, writes_t] = accesses(T, input, output);
      for (const Point& x : r.instances[S->stmt_rank])
        for (const Point& y : r.instances[T->stmt_rank]) {
          int depth = before(S, x, T, y);
          auto conflicts = [&](const std::vector<Access>& from, const std::vector<Access>& to,
                               dependence_t type) {
            for (const Access& a : from)
              for (const Access& b : to)
                if (a.array == b.array && at(a.subscripts, own_values(S, x), params) ==
                                              at(b.subscripts, own_values(T, y), params))
                  r.pairs.insert({S->stmt_rank, T->stmt_rank, type,
                                  type == FLOW ? b.position : type == ANTI ? a.position : 0,
                                  depth, x, y});
          };
          if (depth >= 0) {
            conflicts(writes_s, reads_t, FLOW);
            conflicts(reads_s, writes_t, ANTI);
            conflicts(writes_s, writes_t, OUTPUT);
          }
        }
    }
  return r;
}

// The fresh counters of an operation valued as instance x.
inline void bind_instance(const Operation* op, const Point& x, Values& counters)
{
  for (size_t k = 0; k < op->counters.size(); k++) {
    const Expression* fresh = op->substitution.at(op->counters[k]);
    ASSERT_TRUE(fresh->is_leaf && fresh->is_counter);
    counters[fresh->counter_rank] = x[k];
  }
}

// The instance pairs of an edge's polyhedron, in lexicographic order.
inline std::vector<std::pair<Point, Point>> edge_pairs(const DependenceEdge* e,
                                                       const Enumeration& all, const Values& params)
{
  std::vector<std::pair<Point, Point>> r;
  for (const Point& x : all.instances.at(e->source))
    for (const Point& y : all.instances.at(e->target)) {
      Values counters;
      truth::bind_instance(e->source_operation.get(), x, counters);
      truth::bind_instance(e->target_operation.get(), y, counters);
      if (holds(e->dependence_polyhedron, counters, params))
        r.push_back({x, y});
    }
  return r;
}

inline std::string show(const Pair& p)
{
  std::ostringstream os;
  os << "#" << std::get<0>(p) << " --[type " << std::get<2>(p) << ", read " << std::get<3>(p)
     << ", depth " << std::get<4>(p) << "]--> #" << std::get<1>(p) << " at";
  for (const Point& x : {std::get<5>(p), std::get<6>(p)})
    for (int v : x)
      os << " " << v;
  return os.str();
}

}  // namespace truth

// Programs extracted from C text, with or without the pragma preprocessing.
class AnalysisTest : public ProgramTest {
 protected:
  // A context of its own for the next program extracted.
  void fresh()
  {
    program_scope_.reset();
    program_scope_.emplace();
  }

  void load_annotated_file(const std::string& path)
  {
    std::unique_ptr<SgProject> first(frontend(std::vector<std::string>{"vorl", path}));
    std::unique_ptr<SgProject> second(preprocess_latency(first.get()));
    program = Program::from_Sage(second.get());
    maps = extract_latency(program.get()).first;
  }
  void load_annotated(const std::string& text) { load_annotated_file(write("prog.c", text)); }

  std::optional<AnalysisScope> program_scope_;
  std::unique_ptr<Program> program;
  LatencyMaps maps;
};

#endif
