#include "analysis/dependence_graph.h"

#include <climits>
#include <cstdio>
#include <iostream>
#include <list>
#include <memory>
#include <string>

#include "analysis/schedule.h"
#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "polyhedra/operation.h"
#include "polyhedra/pending.h"
#include "support/options.h"
#include "polyhedra/polyhedron.h"
#include "polyhedra/quast.h"
#include "algebra/rank.h"
#include "support/ownership.h"
#include "program/program.h"
#include "program/statement.h"

void print_dependence_t(std::ostream& os, dependence_t type)
{
  switch (type) {
    case FLOW: os << "FLOW"; return;
    case ANTI: os << "ANTI"; return;
    case OUTPUT: os << "OUTPUT"; return;
  }
  std::cerr << "DependenceEdge::printf_dependence_t: Unknown dependence type" << std::endl;
}

// ---------------------------------------------------------------------------
// Edges

DependenceEdge::DependenceEdge(int s, int t, int r, std::shared_ptr<const Operation> so,
                               std::shared_ptr<const Operation> to,
                               std::shared_ptr<const Statement> ss,
                               std::shared_ptr<const Statement> ts, dependence_t ty, int d,
                               std::unique_ptr<Polyhedron> p, const std::set<int>& sc,
                               const std::set<int>& tc)
    : source(s),
      target(t),
      read(r),
      source_operation(std::move(so)),
      target_operation(std::move(to)),
      type(ty),
      depth(d),
      dependence_polyhedron(p.release()),
      source_counters(sc),
      target_counters(tc),
      all_counters(sc),
      source_statement(std::move(ss)),
      target_statement(std::move(ts))
{
  all_counters.insert(tc.begin(), tc.end());
}

DependenceEdge::~DependenceEdge()
{
  delete dependence_polyhedron;
}

static void print_counters(std::ostream& os, const std::set<int>& counters)
{
  for (int c : counters)
    os << "i" << c << " (" << get_counter_string(c) << ")  ";
}

std::ostream& operator<<(std::ostream& os, const DependenceEdge& e)
{
  os << "#" << e.source << " --[";
  if (e.type != FLOW && e.type != ANTI && e.type != OUTPUT)
    std::cerr << "DependenceEdge::<<: Unknown dependence type" << std::endl;
  else
    print_dependence_t(os, e.type);
  os << "]--> #" << e.target << "\n";
  os << "depth: " << e.depth << "\n";
  os << "source counters = {";
  print_counters(os, e.source_counters);
  os << "}\n";
  os << "target counters = {";
  print_counters(os, e.target_counters);
  os << "}\n";
  os << "dependence polyhedron:\n";
  os << *e.dependence_polyhedron << "\n";
  return os;
}

std::ostream& operator<<(std::ostream& os, const DependenceGraph& g)
{
  for (const auto& e : g.edges)
    os << *e << "\n";
  return os;
}

// ---------------------------------------------------------------------------
// Computation

namespace {

struct Access {
  std::string array;
  const IndexFunction* subscripts;
  int position;  // in the right-hand-side list; 0 for the left-hand side
};

std::vector<Access> rhs_accesses(const Statement* s, const std::vector<int>& positions)
{
  std::vector<Access> r;
  for (int k : positions) {
    const Reference& ref = s->nth(k);
    r.push_back({ref.first, ref.second, k});
  }
  return r;
}

std::vector<int> all_positions(const Statement* s)
{
  std::vector<int> r;
  for (int k = 0; k < s->nb_rhs_references(); k++)
    r.push_back(k);
  return r;
}

std::vector<int> listed(const PragmaMap& m, int rank)
{
  auto it = m.find(rank);
  return it == m.end() ? std::vector<int>() : it->second;
}

std::vector<Access> writes_of(const Statement* s, const std::vector<int>& extra)
{
  std::vector<Access> r{{s->lhs_id, s->lhs_index, 0}};
  std::vector<Access> more = rhs_accesses(s, extra);
  r.insert(r.end(), more.begin(), more.end());
  return r;
}

std::set<int> values_of(const std::map<int, int>& m)
{
  std::set<int> r;
  for (const auto& [k, v] : m)
    r.insert(v);
  return r;
}

// Where the candidates of a pair of statements are tested: every site, or
// only those of `whole` between statements whole_i and whole_j. Found sites
// go to `found` when given. Both sets are kept by the caller.
struct Candidates {
  const std::set<DependenceGraph::Site>* whole = nullptr;
  int whole_i = 0, whole_j = 0;
  std::set<DependenceGraph::Site>* found = nullptr;

  bool possible(int depth, dependence_t type, int x, int y) const
  {
    return !whole || whole->count({whole_i, whole_j, depth, type, x, y});
  }
  // Whether statements whole_i and whole_j have an edge in `whole`.
  bool any() const
  {
    if (!whole)
      return true;
    auto first = whole->lower_bound({whole_i, whole_j, INT_MIN, INT_MIN, INT_MIN, INT_MIN});
    return first != whole->end() && (*first)[0] == whole_i && (*first)[1] == whole_j;
  }
};

// The edges found so far, in the order found. The gists of their polyhedra
// are asked when an edge is found and taken by finish(): the solver answers
// them on the side thread while the next pairs are tested. The edges of a
// graph share one copy of each statement.
class FoundEdges {
 public:
  // The copy of statement i of program for the edges.
  std::shared_ptr<const Statement> statement(const Program* program, int i)
  {
    std::shared_ptr<const Statement>& copy = statements_[i];
    if (!copy)
      copy = program->statement.at(i)->clone();
    return copy;
  }
  // Takes the edge (without its polyhedron) and its polyhedron.
  void add(std::unique_ptr<DependenceEdge> edge, std::unique_ptr<Polyhedron> polyhedron)
  {
    edges_.push_back(std::move(edge));
    gists_.emplace_back(std::move(polyhedron));
  }
  // The edges (given), each with the gist of its polyhedron.
  std::vector<std::unique_ptr<DependenceEdge>> finish()
  {
    for (size_t k = 0; k < edges_.size(); k++)
      edges_[k]->dependence_polyhedron = gists_[k].take().release();
    gists_.clear();
    return std::move(edges_);
  }

 private:
  std::vector<std::unique_ptr<DependenceEdge>> edges_;
  std::vector<PendingGist> gists_;
  std::map<int, std::shared_ptr<const Statement>> statements_;
};

// A pair of references that may meet at one level, and its test.
struct Candidate {
  int depth;
  dependence_t type;
  int read;
  int x, y;  // positions of the source's and the target's references
  const Polyhedron* level;  // the level with both statements' domains
  std::unique_ptr<Polyhedron> same_cell;
  PendingEmptiness test;
};

void compute_edges(Program* program, const std::vector<Schedule*>& schedules, int i, int j,
                   const std::vector<Access>& reads_s, const std::vector<Access>& writes_s,
                   const std::vector<Access>& reads_t, const std::vector<Access>& writes_t,
                   const Candidates& candidates, FoundEdges& found)
{
  // A pair of statements without a pair of accesses to one array has no
  // edge: its instances and levels are not built.
  auto share = [](const std::vector<Access>& from, const std::vector<Access>& to) {
    for (const Access& x : from)
      for (const Access& y : to)
        if (x.array == y.array)
          return true;
    return false;
  };
  if (!share(writes_s, reads_t) && !share(reads_s, writes_t) && !share(writes_s, writes_t))
    return;
  if (!candidates.any())
    return;
  const Statement* S = program->statement.at(i).get();
  const Statement* T = program->statement.at(j).get();
  auto [source_instance, source_map] = S->instance(1);
  auto [target_instance, target_map] = T->instance(2);
  std::shared_ptr<const Operation> source = std::move(source_instance);
  std::shared_ptr<const Operation> target = std::move(target_instance);
  std::unique_ptr<IndexFunction> a = schedules.at(i)->apply(source.get());
  std::unique_ptr<IndexFunction> b = schedules.at(j)->apply(target.get());
  std::list<std::unique_ptr<Polyhedron>> levels = *a < *b;
  // Every test of the pair is asked before the first answer is taken.
  std::vector<std::unique_ptr<Polyhedron>> level_sets;
  std::vector<Candidate> tests;
  int depth = 0;
  for (const std::unique_ptr<Polyhedron>& level : levels) {
    level_sets.push_back(std::make_unique<Polyhedron>(level.get()));
    Polyhedron* P = level_sets.back().get();
    P->add_constraints(source->domain);
    P->add_constraints(target->domain);
    auto pair_up = [&](const std::vector<Access>& from, const std::vector<Access>& to,
                       dependence_t type) {
      for (const Access& x : from)
        for (const Access& y : to) {
          if (x.array != y.array || !candidates.possible(depth, type, x.position, y.position))
            continue;
          std::unique_ptr<Polyhedron> same_cell = IndexFunction::equal(
              x.subscripts->substitute_counters(source->substitution).get(),
              y.subscripts->substitute_counters(target->substitution).get());
          PendingEmptiness test({same_cell.get(), P});
          int read = type == FLOW ? y.position : type == ANTI ? x.position : 0;
          tests.push_back({depth, type, read, x.position, y.position, P, std::move(same_cell),
                           std::move(test)});
        }
    };
    pair_up(writes_s, reads_t, FLOW);
    pair_up(reads_s, writes_t, ANTI);
    pair_up(writes_s, writes_t, OUTPUT);
    depth++;
  }
  // The answers are taken from the last test back, while the side thread
  // takes them from the first.
  std::vector<bool> empty(tests.size());
  for (size_t k = tests.size(); k-- > 0;)
    empty[k] = tests[k].test.take();
  std::set<int> source_counters = values_of(source_map);
  std::set<int> target_counters = values_of(target_map);
  for (size_t k = 0; k < tests.size(); k++) {
    if (empty[k])
      continue;
    Candidate& c = tests[k];
    c.same_cell->add_constraints(c.level);
    if (candidates.found)
      candidates.found->insert({i, j, c.depth, c.type, c.x, c.y});
    std::shared_ptr<const Statement> source_statement = found.statement(program, i);
    std::shared_ptr<const Statement> target_statement = found.statement(program, j);
    found.add(std::make_unique<DependenceEdge>(i, j, c.read, source, target, source_statement,
                                               target_statement, c.type, c.depth, nullptr,
                                               source_counters, target_counters),
              std::move(c.same_cell));
  }
}

}  // namespace

namespace {

void mapped_edges(Program* program, const std::vector<Schedule*>& schedules, int i, int j,
                  const PragmaMap& input, const PragmaMap& output, const Candidates& candidates,
                  FoundEdges& found)
{
  const Statement* S = program->statement.at(i).get();
  const Statement* T = program->statement.at(j).get();
  compute_edges(program, schedules, i, j, rhs_accesses(S, listed(input, i)),
                writes_of(S, listed(output, i)), rhs_accesses(T, listed(input, j)),
                writes_of(T, listed(output, j)), candidates, found);
}

// Every right-hand-side reference read, the left-hand side alone written.
void plain_edges(Program* program, const std::vector<Schedule*>& schedules, int i, int j,
                 const Candidates& candidates, FoundEdges& found)
{
  const Statement* S = program->statement.at(i).get();
  const Statement* T = program->statement.at(j).get();
  compute_edges(program, schedules, i, j, rhs_accesses(S, all_positions(S)), writes_of(S, {}),
                rhs_accesses(T, all_positions(T)), writes_of(T, {}), candidates, found);
}

}  // namespace

std::vector<std::unique_ptr<DependenceEdge>> DependenceGraph::get_edges(Program* program,
                                                        const std::vector<Schedule*>& schedules,
                                                        int i, int j, const PragmaMap& input,
                                                        const PragmaMap& output)
{
  FoundEdges found;
  mapped_edges(program, schedules, i, j, input, output, Candidates(), found);
  return found.finish();
}

std::vector<std::unique_ptr<DependenceEdge>> DependenceGraph::get_edges(Program* program,
                                                        const std::vector<Schedule*>& schedules,
                                                        int i, int j)
{
  FoundEdges found;
  plain_edges(program, schedules, i, j, Candidates(), found);
  return found.finish();
}

DependenceGraph::DependenceGraph(Program* program, const PragmaMap& input, const PragmaMap& output)
{
  *this = DependenceGraph(program, view(Schedule::from_Program(program)), input, output);
}

DependenceGraph::DependenceGraph(Program* program, const std::vector<Schedule*>& schedules,
                                 const PragmaMap& input, const PragmaMap& output)
{
  int n = static_cast<int>(program->statement.size());
  Candidates all;
  all.found = &sites;
  FoundEdges found;
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++)
      mapped_edges(program, schedules, i, j, input, output, all, found);
  edges = found.finish();
}

DependenceGraph::DependenceGraph(Program* program, const PragmaMap& input, const PragmaMap& output,
                                 const std::set<Site>& whole, const std::vector<int>& parts)
{
  int n = static_cast<int>(program->statement.size());
  if (static_cast<int>(parts.size()) != n)
    fail(Stream::Err, cat("DependenceGraph: ", parts.size(), " statements of origin for ", n,
                          " statements"));
  std::vector<std::unique_ptr<Schedule>> textual = Schedule::from_Program(program);
  FoundEdges found;
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) {
      Candidates known{&whole, parts[i], parts[j], &sites};
      mapped_edges(program, view(textual), i, j, input, output, known, found);
    }
  edges = found.finish();
}

DependenceGraph::DependenceGraph(Program* program)
{
  *this = DependenceGraph(program, view(Schedule::from_Program(program)));
}

DependenceGraph::DependenceGraph(Program* program, const std::vector<Schedule*>& schedules)
{
  int n = static_cast<int>(program->statement.size());
  Candidates all;
  all.found = &sites;
  FoundEdges found;
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++)
      plain_edges(program, schedules, i, j, all, found);
  edges = found.finish();
}

void DependenceGraph::invert()
{
  for (auto& e : edges) {
    std::swap(e->source, e->target);
    std::swap(e->source_operation, e->target_operation);
    std::swap(e->source_counters, e->target_counters);
    std::swap(e->source_statement, e->target_statement);
  }
}

// ---------------------------------------------------------------------------
// Checking schedules

namespace {

// The solution leaves of a selection tree with the tests on their path; the
// negated tests are kept in negations, which owns them.
void leaves(const Quast* q, std::vector<const Inequation*>& path,
            std::vector<std::pair<std::vector<const Inequation*>, const IndexFunction*>>& out,
            std::vector<std::unique_ptr<Inequation>>& negations)
{
  if (q->is_leaf) {
    out.push_back({path, q->solution});
    return;
  }
  if (!q->is_if)
    return;
  path.push_back(q->condition);
  leaves(q->then_branch, path, out, negations);
  path.pop_back();
  negations.emplace_back(q->condition->negate());
  path.push_back(negations.back().get());
  leaves(q->else_branch, path, out, negations);
  path.pop_back();
}

void print_instance(std::ostream& os, const Operation* op, const IndexFunction* point)
{
  for (int c : op->counters) {
    const Expression* fresh = op->substitution.at(c);
    if (!fresh->is_leaf || !fresh->is_counter)
      fail(Stream::Err, "DependenceGraph::check: not a counter!");
    const Expression* value = point->index_mapping.at(fresh->counter_rank);
    os << get_counter_string(c) << "=" << *value << " ";
  }
}

}  // namespace

bool DependenceGraph::check(const std::vector<Schedule*>& schedules) const
{
  std::ostream& os = std::cerr;
  bool respected = true;
  for (const auto& e : edges) {
    std::unique_ptr<IndexFunction> a = schedules.at(e->source)->apply(e->source_operation.get());
    std::unique_ptr<IndexFunction> b = schedules.at(e->target)->apply(e->target_operation.get());
    std::list<std::unique_ptr<Polyhedron>> violations = *b < *a;
    int common = a->dimension() < b->dimension() ? a->dimension() : b->dimension();
    violations.push_back(
        IndexFunction::equal(a->keep_first(common).get(), b->keep_first(common).get()));
    int d = 0;
    for (const std::unique_ptr<Polyhedron>& v : violations) {
      std::unique_ptr<Polyhedron> p = Polyhedron::intersect(v.get(), e->dependence_polyhedron);
      std::unique_ptr<Quast> minimum = p->min_lex();
      if (!minimum->empty()) {
        respected = false;
        os << "Error: dependence not respected: #" << e->source << " --[";
        print_dependence_t(os, e->type);
        os << "]--> #" << e->target << ", read #" << e->read + 1 << ", depth " << d << "\n"
           << *e->source_statement << " ---> " << *e->target_statement << "\n";
        std::vector<const Inequation*> path;
        std::vector<std::pair<std::vector<const Inequation*>, const IndexFunction*>> found;
        std::vector<std::unique_ptr<Inequation>> negations;
        leaves(minimum.get(), path, found, negations);
        for (const auto& [conditions, point] : found) {
          os << "When \n";
          for (const Inequation* c : conditions)
            os << *c << " ";
          os << "\n#" << e->source << " ";
          print_instance(os, e->source_operation.get(), point);
          os << " --[";
          print_dependence_t(os, e->type);
          os << "]--> #" << e->target << " ";
          print_instance(os, e->target_operation.get(), point);
          os << "\n\n";
        }
      }
      d++;
    }
  }
  if (respected)
    os << "PASSED" << std::endl;
  return respected;
}

bool DependenceGraph::check(const std::vector<IndexFunction*>& schedules) const
{
  std::vector<std::unique_ptr<Schedule>> wrapped;
  for (const IndexFunction* f : schedules)
    wrapped.push_back(std::make_unique<Schedule>(f));
  return check(view(wrapped));
}
