#include "codegen/bottom_limit.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <set>
#include <vector>

#include "analysis/dependence_graph.h"
#include "analysis/greedy.h"
#include "analysis/schedule.h"
#include "codegen/code_generation.h"
#include "support/current_step.h"
#include "support/side_task.h"
#include "support/ownership.h"
#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/index_function.h"
#include "algebra/analysis_context.h"
#include "polyhedra/point_count.h"
#include "algebra/inequation.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"
#include "program/program.h"
#include "program/statement.h"

namespace {

using PragmaMaps = std::map<int, std::vector<int>>;

void progress(const std::string& line) { std::cerr << line << std::endl; }

// A progress line and the step it starts, for messages that stop the run.
void progress(const std::string& line, const char* step)
{
  progress(line);
  set_current_step(step);
}

void print_schedules(const GreedyResult& r)
{
  for (size_t i = 0; i < r.schedules.size(); i++)
    std::cerr << "  Statement #" << i << ": " << *r.schedules[i] << "\n";
  std::cerr << "  Latency: " << *r.latency << std::endl;
}

// The schedules of one program; steps names the dependence step and the
// scheduling step, for messages that stop the run. For a program of parts
// of statements (parts given), sites holds those of the whole statements'
// graph, where alone the parts may depend on each other; the sites of the
// program's own graph are left in sites.
GreedyResult bottom_levels(Program* program, const PragmaMaps& inputs, const PragmaMaps& outputs,
                           const std::map<int, int>& latency, const char* const steps[2],
                           const std::vector<int>* parts, std::set<DependenceGraph::Site>& sites)
{
  set_current_step(steps[0]);
  auto graph = std::make_unique<DependenceGraph>(
      parts ? DependenceGraph(program, inputs, outputs, sites, *parts) : DependenceGraph(program, inputs, outputs));
  sites = std::move(graph->sites);
  graph->invert();
  set_current_step(steps[1]);
  if (options().verbose)
    std::cerr << "  Dependence graph (target --> source), " << graph->edges.size() << " edge(s):\n"
              << *graph << std::flush;
  GreedyResult result = greedy(program, graph.get(), latency);
  // The edges are freed while the analysis goes on.
  destroy_aside(std::move(graph));
  return result;
}

// The instances whose red date lies strictly beyond a red limit t_red >= 0,
// one piece per level at which they pass it, with their own maps; parts
// gets the statement of each piece.
std::unique_ptr<Program> filter_beyond_red_limit(const Program* program, const std::vector<Schedule*>& red, int d,
                                 const PragmaMaps& inputs, const PragmaMaps& outputs,
                                 const std::map<int, int>& cpu, const std::map<int, int>& gpu,
                                 int nb_cpu, int nb_gpu, PragmaMaps& f_inputs,
                                 PragmaMaps& f_outputs, std::map<int, int>& f_latency,
                                 std::vector<int>& parts)
{
  auto filtered = std::make_unique<Program>(program->nb_counters, program->nb_parameters + d,
                                            std::vector<std::unique_ptr<Statement>>());
  int n = 0;
  for (size_t i = 0; i < program->statement.size(); i++) {
    const Statement* st = program->statement[i].get();
    const Schedule* s = red[i];
    Polyhedron C;
    std::vector<std::unique_ptr<Expression>> limit;
    Expression zero(0);
    for (int k = 0; k < s->dim(); k++) {
      limit.push_back(create_parameter("t_red", k).second);
      Inequation positive_limit(PRED_GE, limit.back().get(), &zero);
      C.add_constraint(&positive_limit);
    }
    Schedule T(view(limit));
    // Piece k: T equals s(x) on the first k components and is below it at
    // component k. An empty piece is dropped with its domain below.
    std::list<std::unique_ptr<Polyhedron>> levels = T.index_function->before_no_simplification(s->index_function);
    int level = 0;
    for (const std::unique_ptr<Polyhedron>& B : levels) {
      std::unique_ptr<Polyhedron> D = st->iteration_domain->clone();
      D->add_constraints(B.get());
      D->add_constraints(&C);
      if (!D->is_empty()) {
        std::unique_ptr<Statement> piece = st->clone();
        piece->stmt_rank = n;
        delete piece->iteration_domain;
        piece->iteration_domain = D->clone().release();
        filtered->statement.push_back(std::move(piece));
        parts.push_back(static_cast<int>(i));
        if (options().verbose)
          std::cerr << "  Statement #" << n << ": statement #" << i
                    << " beyond the red limit at level " << level << std::endl;
        auto in = inputs.find(static_cast<int>(i));
        auto out = outputs.find(static_cast<int>(i));
        f_inputs[n] = in == inputs.end() ? std::vector<int>() : in->second;
        f_outputs[n] = out == outputs.end() ? std::vector<int>() : out->second;
        long long weighted = static_cast<long long>(nb_gpu) * gpu.at(static_cast<int>(i)) +
                             static_cast<long long>(nb_cpu) * cpu.at(static_cast<int>(i));
        f_latency[n] = static_cast<int>(weighted / (nb_cpu + nb_gpu));
        n++;
      }
      level++;
    }
  }
  filtered->variable_declaration = program->variable_declaration;
  filtered->macro_definitions = program->macro_definitions;
  filtered->initial_values = program->initial_values;
  return filtered;
}

// The instances of Q at the date (t_0, ..., t_(longest-1)). A schedule of
// `size` < longest components dates its instances at the first date of that
// prefix: they count where the missing components are 0, and nowhere else.
OwnedPieces<Expression> front_volume(const Polyhedron& Q, int size, int longest)
{
  std::unique_ptr<Polyhedron> counted = Q.clone();
  Expression zero(0);
  for (int k = size; k < longest; k++) {
    auto [p, leaf] = create_parameter("t", k);
    Inequation first(PRED_EQ, leaf.get(), &zero);
    counted->add_constraint(&first);
  }
  return counted->volume();
}

// Front volumes, level domain pieces and date sets of one program's schedules.
void level_parallelism(const Program* program, const std::vector<std::unique_ptr<Schedule>>& schedules,
                       std::vector<OwnedPieces<Expression>>& volumes,
                       std::vector<int>& level_parameters, std::vector<int>& level_counters,
                       std::vector<std::unique_ptr<Polyhedron>>& level_domains,
                       std::vector<std::unique_ptr<Polyhedron>>& date_sets)
{
  int longest = schedules.empty() ? 0 : Schedule::max_dimension(view(schedules));
  std::vector<std::pair<std::unique_ptr<Polyhedron>, std::vector<int>>> dated_statements;  // with its level counters
  for (size_t i = 0; i < program->statement.size(); i++) {
    std::cerr << "  Statement #" << i << std::endl;
    const Statement* st = program->statement[i].get();
    const Schedule* s = schedules[i].get();
    std::vector<int> parameters, counters;
    std::vector<std::unique_ptr<Expression>> leaves;
    std::map<int, int> to_counter;
    for (int k = 0; k < s->size(); k++) {
      auto [p, leaf] = create_parameter("t", k);
      int c = create_counter("t_counter", k).first;
      parameters.push_back(p);
      counters.push_back(c);
      leaves.push_back(std::move(leaf));
      to_counter[p] = c;
    }
    if (counters.size() > level_counters.size()) {
      level_counters = counters;
      level_parameters = parameters;
    }
    IndexFunction F(view(leaves));
    Polyhedron Q(IndexFunction::equal(&F, s->index_function).get());
    Q.add_constraints(st->iteration_domain);
    volumes.push_back(front_volume(Q, s->size(), longest));
    for (const auto& [domain, count] : volumes.back())
      if (is_point_count(count)) {
        std::cerr << "  Statement #" << i
                  << ": no closed form for its count per date; out.c counts its instances one by one"
                  << std::endl;
        break;
      }
    std::unique_ptr<Polyhedron> dated = Q.parameters_to_counters(to_counter);
    // A schedule shorter than the longest one dates its instances by a
    // prefix: they are placed at the first date of that prefix (the missing
    // components 0), so that the level domain stays bounded in every level
    // counter and the search meets them.
    std::vector<int> all_levels = counters;
    Expression zero(0);
    for (int k = s->size(); k < longest; k++) {
      auto [c, leaf] = create_counter("t_counter", k);
      Inequation first(PRED_EQ, leaf.get(), &zero);
      dated->add_constraint(&first);
      all_levels.push_back(c);
    }
    dated_statements.push_back({std::move(dated), all_levels});
  }
  // Parameters are sizes: a statement's shadow holds for non-negative values
  // of every parameter of the program, also those its dates do not name, or
  // the hull of the shadows would mix points where such a parameter is
  // anything and be unbounded for fixed parameter values.
  std::set<int> sizes;
  for (const auto& [dated, levels] : dated_statements) {
    std::set<int> q = dated->get_parameters();
    sizes.insert(q.begin(), q.end());
  }
  std::vector<std::unique_ptr<Expression>> size_leaves;
  for (int q : sizes)
    size_leaves.push_back(Expression::from_parameter_rank(q));
  std::unique_ptr<Polyhedron> non_negative = positive(view(size_leaves));
  // Statements of one loop nest with one schedule have the same dated set,
  // hence the same dates: the union of the date sets takes them once. A
  // dated set is known by its levels, its counters and parameters, and its
  // rows over them.
  std::set<std::vector<Value>> projected;
  for (auto& [dated, levels] : dated_statements) {
    dated->add_constraints(non_negative.get());
    level_domains.push_back(dated->project(levels));
    std::set<int> counters = dated->get_counters(), parameters = dated->get_parameters();
    std::vector<Value> key{static_cast<Value>(levels.size())};
    key.insert(key.end(), levels.begin(), levels.end());
    for (const std::set<int>* columns : {&counters, &parameters}) {
      key.push_back(static_cast<Value>(columns->size()));
      key.insert(key.end(), columns->begin(), columns->end());
    }
    for (const std::vector<Value>& row : dated->to_matrix(counters, parameters))
      key.insert(key.end(), row.begin(), row.end());
    if (!projected.insert(std::move(key)).second)
      continue;
    for (std::unique_ptr<Polyhedron>& date_set : dated->project_int(levels))
      date_sets.push_back(std::move(date_set));
  }
}

// The hull of the statements' shadows. A statement without any instance
// (a loop that runs zero times) has no dates; without any date at all the
// domain is empty and the search reports "not found".
std::unique_ptr<Polyhedron> level_domain(const std::vector<Polyhedron*>& shadows)
{
  std::vector<Polyhedron*> dated;
  for (Polyhedron* p : shadows)
    if (!p->is_empty())
      dated.push_back(p);
  return dated.empty() ? empty() : Polyhedron::convex_hull(dated);
}

[[noreturn]] void invalid(const std::string& message) { fail(Stream::Err, message); }

}  // namespace

LimitAnalysis analyze_bottom_limit(Program* program, const PragmaMaps& latencies,
                                   const PragmaMaps& inputs, const PragmaMaps& outputs,
                                   const std::vector<int>& resources)
{
  // Step 0: the machine and the latencies.
  // The messages name the pragma and, for a latency, the assignment (1-based).
  std::string machine = program->resource_pragma.prefix();
  if (resources.empty())
    invalid(machine + "Schedule::bottom_limit: resources: expect (#cpu,#gpu): no #pragma resource "
                      "[#CPU][#GPU] before the first assignment");
  if (resources.size() != 2)
    invalid(machine + "Schedule::bottom_limit: resources: expect (#cpu,#gpu)");
  int nb_cpu = resources[0], nb_gpu = resources[1];
  if (nb_cpu < 0 || nb_gpu < 0)
    invalid(machine + "Schedule::bottom_limit: resources: expect non-negative numbers of cpus and gpus");
  if (nb_cpu + nb_gpu == 0)
    invalid(machine + "Schedule::bottom_limit: resources: #cpu + #gpu must be at least 1");
  std::map<int, int> cpu, gpu;
  for (const auto& [rank, values] : latencies) {
    bool known = rank >= 0 && rank < static_cast<int>(program->statement.size());
    std::string at = known ? program->statement[static_cast<size_t>(rank)]->latency_pragma.prefix() : "";
    if (values.size() != 2)
      invalid(cat(at, "Schedule::bottom_limit: assignment #", rank + 1, ": latency: expect (#cpu,#gpu)"));
    if (values[0] < 0 || values[1] < 0)
      invalid(cat(at, "Schedule::bottom_limit: assignment #", rank + 1,
                  ": latency: expect non-negative latencies"));
    cpu[rank] = values[0];
    gpu[rank] = values[1];
  }

  LimitAnalysis a;
  a.program = program;
  a.nb_cpu = nb_cpu;
  a.nb_gpu = nb_gpu;

  progress("Step 1. Compute inverse dependences (target --> source)");
  progress("Step 2. Compute bottom-level by statement (red limit)");
  const char* const red_steps[2] = {"computing the dependences (red limit)",
                                    "computing the bottom levels (red limit)"};
  std::set<DependenceGraph::Site> sites;
  GreedyResult red = bottom_levels(program, inputs, outputs, gpu, red_steps, nullptr, sites);
  print_schedules(red);
  a.red_schedules = std::move(red.schedules);
  int d = Schedule::max_dimension(view(a.red_schedules));
  if (d >= 2)
    progress("WARNING: Some bottom-level dimensions are > 1");

  progress("Step 3. Compute bottom-level by statement (green limit)");
  progress("  Filter program iterations beyond red limit",
           "filtering the instances beyond the red limit");
  PragmaMaps f_inputs, f_outputs;
  std::map<int, int> f_latency;
  std::vector<int> parts;
  a.filtered = filter_beyond_red_limit(program, view(a.red_schedules), d, inputs, outputs, cpu, gpu, nb_cpu,
                                       nb_gpu, f_inputs, f_outputs, f_latency, parts);
  progress("  Compute bottom-level by statement");
  const char* const green_steps[2] = {"computing the dependences (green limit)",
                                      "computing the bottom levels (green limit)"};
  GreedyResult green =
      bottom_levels(a.filtered.get(), f_inputs, f_outputs, f_latency, green_steps, &parts, sites);
  print_schedules(green);
  a.green_schedules = std::move(green.schedules);

  progress("Step 4. Compute the level-wise parallelism by statement (red limit)",
           "counting the instances per date (red limit)");
  std::vector<std::unique_ptr<Polyhedron>> red_domains, green_domains;
  level_parallelism(program, a.red_schedules, a.red_front_volumes, a.red_level_parameters,
                    a.red_level_counters, red_domains, a.red_date_sets);
  progress("Step 5. Compute the level-wise parallelism by statement (green limit)",
           "counting the instances per date (green limit)");
  level_parallelism(a.filtered.get(), a.green_schedules, a.green_front_volumes,
                    a.green_level_parameters, a.green_level_counters, green_domains,
                    a.green_date_sets);

  progress("Step 5. Compute the level domain", "computing the level domains");
  a.red_level_domain = level_domain(view(red_domains));
  a.green_level_domain = level_domain(view(green_domains));
  return a;
}
