#include "analysis/greedy.h"

#include <iostream>
#include <sstream>

#include "analysis/affine_form.h"
#include "analysis/dependence_graph.h"
#include "analysis/schedule.h"
#include "poly/expression.h"
#include "poly/failure.h"
#include "poly/index_function.h"
#include "poly/inequation.h"
#include "poly/matrix.h"
#include "poly/options.h"
#include "poly/polyhedron.h"
#include "poly/quast.h"
#include "poly/rank.h"
#include "program/program.h"
#include "program/statement.h"

namespace {

std::set<int> parameter_counters(const Polyhedron* p, const std::map<int, int>& to_counter)
{
  std::set<int> r;
  for (int q : p->get_parameters())
    r.insert(to_counter.at(q));
  return r;
}

std::set<int> united(const std::set<int>& a, const std::set<int>& b)
{
  std::set<int> r = a;
  r.insert(b.begin(), b.end());
  return r;
}

// The per-statement part of the problem, built once.
struct StatementForm {
  Polyhedron* domain = nullptr;       // parameters as counters
  std::set<int> variables;            // counters and parameter counters
  std::set<int> parameters;           // parameter counters of the domain
  AffineForm* theta = nullptr;        // schedule form, >= 0 on the domain
  Polyhedron* definition = nullptr;   // theta variables tied to its multipliers
  std::vector<int> theta_variables;   // coefficients by variable, then constant
};

// Adds p to q, adopting p.
void add_and_delete(Polyhedron* q, Polyhedron* p)
{
  q->add_constraints(p);
  delete p;
}

// The roots of a sum, with extra definitions added, projected on the kept
// counters and simplified.
Polyhedron* project_roots(AffineForm& sum, const std::vector<const Polyhedron*>& definitions,
                          const std::vector<int>& keep)
{
  Polyhedron* roots = sum.roots();
  for (const Polyhedron* d : definitions)
    roots->add_constraints(d);
  Polyhedron* projected = roots->project(keep);
  delete roots;
  Polyhedron* simplified = projected->simplify_gist();
  delete projected;
  return simplified;
}

std::vector<int> joined(const std::vector<int>& a, const std::vector<int>& b)
{
  std::vector<int> r = a;
  r.insert(r.end(), b.begin(), b.end());
  return r;
}

int constant_value(const IndexFunction* solution, int rank, const char* what)
{
  const Expression* e = solution->index_mapping.at(rank);
  if (!e->is_constant())
    fail(Stream::Err, cat("Schedule::greedy_alap: ", what, " with parametric coefficients"));
  return e->val;
}

// The expression with the solution's values of coefficient variables over
// the listed counters, then the constant; parameter counters become
// parameters again.
Expression* read_component(const IndexFunction* solution, const std::vector<int>& coefficient_vars,
                           const std::set<int>& over, const std::map<int, int>& to_parameter,
                           const char* what)
{
  std::vector<int> values;
  for (int rank : coefficient_vars)
    values.push_back(constant_value(solution, rank, what));
  Expression e(values, std::vector<int>(over.begin(), over.end()), std::vector<int>());
  return e.counters_to_parameters(to_parameter);
}

// The variables whose schedule coefficient can be fixed to 0. Where the
// domain holds equalities (i == M, or t_red == s(x) in a filtered piece), a
// schedule's coefficients are not unique on it: moving weight between the
// variables of an equality changes no date, and the lexicographic minimum
// over the coefficients is then unbounded. One variable per independent
// equality (a pivot of the equalities in echelon form, the highest rank
// first) gets coefficient 0, which keeps every date reachable.
std::set<int> pinned_variables(Polyhedron* domain, const std::set<int>& variables)
{
  Polyhedron* minimal = domain->simplify_chernikova();
  std::vector<int> order(variables.rbegin(), variables.rend());
  std::vector<std::pair<int, std::vector<long long>>> pivots;  // variable, reduced row
  std::set<int> pinned;
  for (const auto& row : minimal->to_matrix()) {
    if (row[0] != 0)
      continue;
    std::vector<long long> r;
    for (int v : order)
      r.push_back(row.at(1 + v));
    for (const auto& [pivot, prow] : pivots) {
      size_t k = static_cast<size_t>(pivot);
      long long a = r[k], b = prow[k];
      if (a == 0)
        continue;
      for (size_t j = 0; j < r.size(); j++)
        r[j] = r[j] * b - prow[j] * a;
    }
    for (size_t j = 0; j < r.size(); j++)
      if (r[j] != 0) {
        pivots.push_back({static_cast<int>(j), r});
        pinned.insert(order[j]);
        break;
      }
  }
  delete minimal;
  return pinned;
}

GreedyResult schedule(Program* program, DependenceGraph* graph, const std::map<int, int>& latency,
                      bool report_statements)
{
  std::ostream& trace = std::cerr;
  bool verbose = Options::option["verbose"] != 0;
  std::map<int, int> to_counter = turn_parameters_to_counters();
  std::map<int, int> to_parameter = inv(to_counter);
  int n = static_cast<int>(program->statement.size());
  std::vector<StatementForm> forms(n);
  std::set<int> W;
  for (int s = 0; s < n; s++) {
    const Statement* st = program->statement[s];
    StatementForm& f = forms[s];
    f.domain = st->iteration_domain->parameters_to_counters(to_counter);
    f.parameters = parameter_counters(st->iteration_domain, to_counter);
    f.variables = united(std::set<int>(st->surrounding_counters.begin(),
                                       st->surrounding_counters.end()),
                         f.parameters);
    f.theta = new AffineForm(f.domain, f.variables, "lambda", s);
    auto [definition, vars] = f.theta->get_definition_constraints("theta", s);
    f.definition = definition;
    f.theta_variables = vars;
    std::set<int> pinned = pinned_variables(f.domain, f.variables);
    int position = 0;
    for (int v : f.variables) {
      if (pinned.count(v)) {
        Expression* coefficient = Expression::from_counter_rank(vars.at(position));
        Inequation* zero = equal_zero(coefficient);
        f.definition->add_constraint(zero);
        delete zero;
        delete coefficient;
      }
      position++;
    }
    W.insert(f.parameters.begin(), f.parameters.end());
  }

  std::vector<Schedule*> schedules;
  for (int s = 0; s < n; s++)
    schedules.push_back(new Schedule(std::vector<Expression*>()));
  IndexFunction* latencies = new IndexFunction();
  std::vector<int> remaining;
  for (size_t e = 0; e < graph->edges.size(); e++)
    remaining.push_back(static_cast<int>(e));

  for (int dimension = 0; !remaining.empty(); dimension++) {
    if (verbose) {
      trace << "Dimension " << dimension << ", edges to satisfy: \n";
      for (int e : remaining) {
        const DependenceEdge* edge = graph->edges[e];
        trace << "  " << e << ": " << *edge->source_statement << " --[";
        print_dependence_t(trace, edge->type);
        trace << ", depth=" << edge->depth << "]--> " << *edge->target_statement << "\n";
      }
    }
    Polyhedron Q;
    Expression* E = new Expression(0);
    std::map<int, int> indicator;  // edge -> eps_counter rank
    std::set<int> scheduled;
    for (int e : remaining) {
      const DependenceEdge* edge = graph->edges[e];
      int s = edge->source, t = edge->target;
      scheduled.insert(s);
      scheduled.insert(t);
      Polyhedron* P = edge->dependence_polyhedron->parameters_to_counters(to_counter);
      std::set<int> X = united(edge->source_counters, forms[s].parameters);
      std::set<int> Y = united(edge->target_counters, forms[t].parameters);
      // The pairs range over every parameter of the polyhedron, also those
      // that only a subscript names (no domain holds them): a column left
      // out of the Farkas form would stand for a parameter equal to 0.
      std::set<int> Z = united(united(edge->all_counters, forms[s].parameters), forms[t].parameters);
      Z = united(Z, parameter_counters(edge->dependence_polyhedron, to_counter));
      auto [eps, eps_leaf] = create_parameter("eps_", e);
      auto [c, c_leaf] = create_counter("eps_counter", e);
      indicator[e] = c;
      Expression* sum = new Expression(OP_PLUS, E, c_leaf);
      delete E;
      E = sum;
      Expression zero(0), one(1), minus_one(-1);
      Inequation low(PRED_GE, c_leaf, &zero);
      Inequation high(PRED_LE, c_leaf, &one);
      Q.add_constraint(&low);
      Q.add_constraint(&high);
      auto found = latency.find(s);
      if (found == latency.end())
        fail(Stream::Err, cat("Schedule::greedy: undefined latency for stmt #", s));
      AffineForm mu(P, Z, "mu", e);
      AffineForm* target_form = forms[t].theta->adapt_to(Z, Y);
      AffineForm negated_source(*forms[s].theta);
      negated_source.scale(-1);
      AffineForm* source_form = negated_source.adapt_to(Z, X);
      Expression L(found->second);
      Expression margin(OP_TIMES, &L, eps_leaf);
      Expression minus_margin(OP_TIMES, &minus_one, &margin);
      AffineForm delay(std::vector<int>(Z.size(), 0), &minus_margin);
      mu.scale(-1);
      AffineForm total(std::vector<AffineForm*>{target_form, source_form, &delay, &mu});
      Polyhedron* edge_constraints = project_roots(
          total, {forms[s].definition, forms[t].definition},
          joined(forms[s].theta_variables, forms[t].theta_variables));
      Polyhedron* with_counter = edge_constraints->parameters_to_counters({{eps, c}});
      add_and_delete(&Q, with_counter);
      delete edge_constraints;
      delete target_form;
      delete source_form;
      delete P;
      delete eps_leaf;
      delete c_leaf;
    }
    create_extra_counter_rank("inv_eps");
    int inv_eps = get_counter_rank("inv_eps");
    Expression total_edges(static_cast<int>(graph->edges.size()));
    Expression unsatisfied(OP_MINUS, &total_edges, E);
    Expression* inv_leaf = Expression::from_counter_rank(inv_eps);
    Inequation count(PRED_EQ, inv_leaf, &unsatisfied);
    Q.add_constraint(&count);
    delete inv_leaf;
    delete E;

    // The latency form: an affine function of the parameters, >= 0.
    std::vector<Expression*> w_leaves;
    for (int w : W)
      w_leaves.push_back(Expression::from_counter_rank(w));
    Polyhedron* orthant = positive(w_leaves);
    del(w_leaves);
    AffineForm omega(orthant, W, "omega");
    auto [omega_definition, latency_variables] = omega.get_definition_constraints("latency");

    Polyhedron B;
    for (int s : scheduled) {
      if (report_statements)
        std::cout << "    Statement #" << s << std::endl;
      StatementForm& f = forms[s];
      // The bound holds where the parameters are sizes: on the statement's
      // domain with every parameter of the program non-negative, also those
      // the statement does not name (otherwise a parameter free in sign
      // keeps the bound from growing with it).
      std::set<int> all = united(f.variables, W);
      Polyhedron sized(f.domain);
      sized.add_constraints(orthant);
      AffineForm pi(&sized, all, "pi", s);
      AffineForm* bound = omega.adapt_to(all, W);
      AffineForm negated_theta(*f.theta);
      negated_theta.scale(-1);
      AffineForm* theta_part = negated_theta.adapt_to(all, f.variables);
      pi.scale(-1);
      AffineForm* pi_part = pi.adapt_to(all, all);
      AffineForm slack(std::vector<AffineForm*>{bound, theta_part, pi_part});
      add_and_delete(&B, project_roots(slack, {f.definition, omega_definition},
                                       joined(f.theta_variables, latency_variables)));
      delete bound;
      delete theta_part;
      delete pi_part;
    }
    delete orthant;
    Polyhedron* bounds = B.simplify_gist();
    Polyhedron problem(&Q);
    problem.add_constraints(bounds);
    delete bounds;
    delete omega_definition;

    Schedule objective(joined({inv_eps}, latency_variables));
    Quast* answer = problem.min_lex2(objective.index_function);
    if (answer->is_bottom)
      fail(Stream::Err, "No valid schedule found (or unbounded schedule domain)");
    if (!answer->is_leaf)
      fail(Stream::Err, "Parametric schedule?");
    const IndexFunction* solution = answer->solution;

    for (int s : scheduled) {
      if (verbose)
        trace << "Statement #" << s << "\n";
      Expression* component = read_component(solution, forms[s].theta_variables,
                                              forms[s].variables, to_parameter, "schedule");
      schedules[s]->add_dimension(component);
      if (verbose)
        trace << *component << "\n";
      delete component;
    }
    Expression* bound = read_component(solution, latency_variables, W, to_parameter, "latency");
    if (verbose)
      trace << "Latency: " << *bound << "\n";
    latencies->add_dimension(bound);
    delete bound;

    std::vector<int> left;
    for (int e : remaining)
      if (constant_value(solution, indicator[e], "epsilon") == 0)
        left.push_back(e);
    delete answer;
    if (left.size() == remaining.size()) {
      std::ostringstream names;
      for (int e : left)
        names << " " << e;
      fail(Stream::Err, cat("Schedule::greedy: no dependence could be satisfied at dimension ",
                            dimension, "; edges left:", names.str()));
    }
    remaining = left;
  }

  for (StatementForm& f : forms) {
    delete f.domain;
    delete f.theta;
    delete f.definition;
  }
  return {schedules, latencies};
}

}  // namespace

GreedyResult greedy(Program* program, DependenceGraph* graph, const std::map<int, int>& latency)
{
  return schedule(program, graph, latency, true);
}

GreedyResult greedy(Program* program, DependenceGraph* graph)
{
  std::map<int, int> ones;
  for (size_t s = 0; s < program->statement.size(); s++)
    ones[static_cast<int>(s)] = 1;
  return schedule(program, graph, ones, false);
}

namespace {

void delete_edges(DependenceGraph& graph)
{
  for (DependenceEdge* e : graph.edges)
    delete e;
  graph.edges.clear();
}

}  // namespace

GreedyResult greedy_asap(Program* program)
{
  DependenceGraph graph(program);
  GreedyResult r = greedy(program, &graph);
  delete_edges(graph);
  return r;
}

GreedyResult greedy_alap(Program* program)
{
  DependenceGraph graph(program);
  graph.invert();
  GreedyResult r = greedy(program, &graph);
  delete_edges(graph);
  for (Schedule* s : r.first) {
    IndexFunction* f = s->index_function;
    for (int k = 0; k < f->dimension(); k++) {
      Expression difference(OP_MINUS, r.second->index_mapping.at(k), f->index_mapping[k]);
      Expression* simplified = difference.simplify();
      delete f->index_mapping[k];
      f->index_mapping[k] = simplified;
    }
  }
  return r;
}
