// Memory dependences between statement instances.
//
// An edge says that the instances of its source statement in its polyhedron
// must run before the paired instances of its target, the pairs being given
// over fresh counters of both sides (version 1 for the source, 2 for the
// target), so that a self edge is like any other.
//
// Ownership: an edge owns its polyhedron, shares its operations (read only)
// with the other edges of its pair of statements and its copies of the
// statements with the other edges of its graph; its constructor takes the
// polyhedron. A graph owns its edges; vectors of plain schedule or
// index function pointers are kept.
#ifndef VORL_ANALYSIS_DEPENDENCE_GRAPH_H
#define VORL_ANALYSIS_DEPENDENCE_GRAPH_H

#include <array>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <vector>

class IndexFunction;
class Operation;
class Polyhedron;
class Program;
class Schedule;
class Statement;

enum dependence_t { FLOW = 0, ANTI = 1, OUTPUT = 2 };

void print_dependence_t(std::ostream& os, dependence_t type);

class DependenceEdge {
 public:
  int source;
  int target;
  int read;
  std::shared_ptr<const Operation> source_operation;
  std::shared_ptr<const Operation> target_operation;
  dependence_t type;
  int depth;
  Polyhedron* dependence_polyhedron;
  std::set<int> source_counters;
  std::set<int> target_counters;
  std::set<int> all_counters;
  std::shared_ptr<const Statement> source_statement;
  std::shared_ptr<const Statement> target_statement;

  DependenceEdge(int source, int target, int read, std::shared_ptr<const Operation> source_operation,
                 std::shared_ptr<const Operation> target_operation,
                 std::shared_ptr<const Statement> source_statement,
                 std::shared_ptr<const Statement> target_statement, dependence_t type, int depth,
                 std::unique_ptr<Polyhedron> dependence_polyhedron,
                 const std::set<int>& source_counters,
                 const std::set<int>& target_counters);
  DependenceEdge(const DependenceEdge&) = delete;
  DependenceEdge& operator=(const DependenceEdge&) = delete;
  ~DependenceEdge();

};

std::ostream& operator<<(std::ostream& os, const DependenceEdge& e);

using PragmaMap = std::map<int, std::vector<int>>;

class DependenceGraph {
 public:
  // Where an edge was found: its source and target statements, its depth,
  // its type and the positions of its two references among the accesses of
  // their statements (0 for a left-hand side), as computed (before invert()).
  using Site = std::array<int, 6>;

  std::vector<std::unique_ptr<DependenceEdge>> edges;
  std::set<Site> sites;  // of the edges

  DependenceGraph() = default;
  // The edges of the program in the order of its text (textual schedules),
  // with the reads and extra writes the pragma maps give.
  DependenceGraph(Program* program, const PragmaMap& input, const PragmaMap& output);
  // The same for a program of parts of statements: its statement k holds
  // instances of statement parts[k] of a program whose graph had the edges
  // at `whole`, with that statement's references and pragma maps, and the
  // parts of one statement follow each other. Two parts depend on each
  // other only where their statements do (at the same depth, through the
  // same references: the parts keep the textual order of their statements,
  // and two parts of one statement hold different instances), so the other
  // candidates are not tested. The edges are those of the constructor above.
  DependenceGraph(Program* program, const PragmaMap& input, const PragmaMap& output,
                  const std::set<Site>& whole, const std::vector<int>& parts);
  DependenceGraph(Program* program, const std::vector<Schedule*>& schedules,
                  const PragmaMap& input, const PragmaMap& output);
  // The same without pragma maps: every right-hand-side reference is read,
  // the left-hand side alone is written.
  explicit DependenceGraph(Program* program);
  DependenceGraph(Program* program, const std::vector<Schedule*>& schedules);

  static std::vector<std::unique_ptr<DependenceEdge>> get_edges(Program* program,
                                                                const std::vector<Schedule*>& schedules,
                                                                int source, int target, const PragmaMap& input,
                                                                const PragmaMap& output);
  static std::vector<std::unique_ptr<DependenceEdge>> get_edges(Program* program,
                                                                const std::vector<Schedule*>& schedules,
                                                                int source, int target);

  // Every edge turned around in place (target before source).
  void invert();
  // Whether the schedules run every source strictly before its target; the
  // diagnostics go to the error stream. True when every dependence holds.
  bool check(const std::vector<Schedule*>& schedules) const;
  bool check(const std::vector<IndexFunction*>& schedules) const;
};

std::ostream& operator<<(std::ostream& os, const DependenceGraph& g);

#endif
