#include "analysis/greedy.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <numeric>
#include <sstream>

#include "analysis/farkas.h"
#include "analysis/dependence_graph.h"
#include "analysis/schedule.h"
#include "algebra/expression.h"
#include "support/ownership.h"
#include "support/side_task.h"
#include "support/failure.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "algebra/matrix.h"
#include "algebra/analysis_context.h"
#include "polyhedra/polyhedron.h"
#include "polyhedra/quast.h"
#include "algebra/rank.h"
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
  std::unique_ptr<Polyhedron> domain;  // parameters as counters
  std::set<int> variables;            // counters and parameter counters
  std::set<int> parameters;           // parameter counters of the domain
  std::vector<int> theta_variables;   // coefficients by variable, then constant
  // The schedule coefficients of a component that is non-negative on the
  // domain (the Farkas multipliers projected away).
  std::unique_ptr<Polyhedron> schedules;
  // The coefficients with which the component stays below the latency form
  // (with the latency variables); built when first needed.
  std::unique_ptr<Polyhedron> bounded;
};

// The coefficients, over the unknowns (counters then parameters, each in
// increasing rank), of an affine function of the variables `over`
// (increasing rank): sum_k sign_k * f_k + L * eps, where f_k has the unknown
// coefficients coefficients_k (by position of the variables placed_k, then
// the constant), the j-th variable of placed_k standing for itself in over.
struct Term {
  int sign;
  const std::vector<int>* coefficients;
  const std::set<int>* placed;
};

class Unknowns {
 public:
  Unknowns(const std::vector<int>& counters, const std::vector<int>& parameters)
      : counters_(counters), parameters_(parameters)
  {
  }
  const std::vector<int>& counters() const { return counters_; }
  const std::vector<int>& parameters() const { return parameters_; }

  // The rows of sum_k sign_k f_k over `over`, plus factor * parameter in the
  // constant when a parameter is given.
  std::vector<UnknownRow> rows(const std::set<int>& over, const std::vector<Term>& terms,
                               int parameter = -1, Value factor = 0) const
  {
    size_t width = counters_.size() + parameters_.size() + 1;
    std::vector<UnknownRow> r(over.size() + 1, UnknownRow(width, 0));
    for (const Term& t : terms) {
      size_t position = 0;
      for (int v : *t.placed) {
        size_t j = static_cast<size_t>(std::distance(over.begin(), over.find(v)));
        r[j][counter(t.coefficients->at(position++))] += t.sign;
      }
      r.back()[counter(t.coefficients->back())] += t.sign;
    }
    if (parameter >= 0)
      r.back()[counters_.size() + index(parameters_, parameter)] += factor;
    return r;
  }

 private:
  static size_t index(const std::vector<int>& v, int rank)
  {
    return static_cast<size_t>(std::lower_bound(v.begin(), v.end(), rank) - v.begin());
  }
  size_t counter(int rank) const { return index(counters_, rank); }

  std::vector<int> counters_, parameters_;
};

// The union of sorted rank lists, sorted.
std::vector<int> merged(const std::vector<int>& a, const std::vector<int>& b)
{
  std::set<int> all(a.begin(), a.end());
  all.insert(b.begin(), b.end());
  return std::vector<int>(all.begin(), all.end());
}

// Fresh counters base_0, base_1, ... (the same ones on every call).
std::vector<int> coefficient_variables(const std::string& base, size_t n)
{
  std::vector<int> ranks;
  for (size_t k = 0; k < n; k++)
    ranks.push_back(create_counter(base, static_cast<int>(k)).first);
  return ranks;
}

std::vector<int> joined(const std::vector<int>& a, const std::vector<int>& b)
{
  std::vector<int> r = a;
  r.insert(r.end(), b.begin(), b.end());
  return r;
}

Value constant_value(const IndexFunction* solution, int rank, const char* what)
{
  const Expression* e = solution->index_mapping.at(rank);
  if (!e->is_constant())
    fail(Stream::Err, cat("Schedule::greedy_alap: ", what, " with parametric coefficients"));
  return e->val;
}

// The expression with the solution's values of coefficient variables over
// the listed counters, then the constant; parameter counters become
// parameters again.
std::unique_ptr<Expression> read_component(const IndexFunction* solution, const std::vector<int>& coefficient_vars,
                           const std::set<int>& over, const std::map<int, int>& to_parameter,
                           const char* what)
{
  std::vector<Value> values;
  for (int rank : coefficient_vars)
    values.push_back(constant_value(solution, rank, what));
  Expression e(values, std::vector<int>(over.begin(), over.end()), std::vector<int>());
  return e.counters_to_parameters(to_parameter);
}

// compute(), with a value beyond the 64-bit integers refused at the latency
// pragma of the statement whose schedule constraints needed it.
template <typename Compute>
auto refused_at(const Statement* statement, Compute compute) -> decltype(compute())
{
  try {
    return compute();
  } catch (const BeyondTheIntegers& e) {
    if (e.place().known() || !statement->latency_pragma.known())
      throw;
    fail(Stream::Err, cat(statement->latency_pragma.prefix(), "the schedule constraints of this assignment need ",
                          e.value().empty() ? std::string("a value") : "the value " + e.value(),
                          e.step().empty() ? std::string() : " while " + e.step(), kBeyondTheIntegers));
  }
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
  std::unique_ptr<Polyhedron> minimal(domain->simplify_chernikova());
  std::vector<int> order(variables.rbegin(), variables.rend());
  std::vector<std::pair<int, std::vector<Value>>> pivots;  // variable, reduced row
  std::set<int> pinned;
  for (const auto& row : minimal->to_matrix()) {
    if (row[0] != 0)
      continue;
    std::vector<Value> r;
    for (int v : order)
      r.push_back(row.at(1 + v));
    const char* where = "Schedule::greedy_alap";
    for (const auto& [pivot, prow] : pivots) {
      size_t k = static_cast<size_t>(pivot);
      Value a = r[k], b = prow[k];
      if (a == 0)
        continue;
      // Divided by the common factor of the two rows' entries, which keeps
      // the reduced rows small.
      Value g = std::gcd(a, b);
      a /= g;
      b /= g;
      for (size_t j = 0; j < r.size(); j++)
        r[j] = checked_sub(checked_mul(r[j], b, where), checked_mul(prow[j], a, where), where);
    }
    for (size_t j = 0; j < r.size(); j++)
      if (r[j] != 0) {
        pivots.push_back({static_cast<int>(j), r});
        pinned.insert(order[j]);
        break;
      }
  }
  return pinned;
}

// The problem of the scheduler, built piece by piece and kept from one
// dimension to the next: the per-statement and per-edge constraints over the
// schedule coefficients are the same at every dimension (the same variables
// of the registry), only the set of edges left changes.
class Scheduler {
 public:
  Scheduler(Program* program, DependenceGraph* graph, const std::map<int, int>& latency)
      : program_(program), graph_(graph), latency_(latency)
  {
    to_counter_ = turn_parameters_to_counters();
    to_parameter_ = inv(to_counter_);
    prepare_statements();
    prepare_latency_form();
  }
  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;

  GreedyResult run();

 private:
  void prepare_statements();
  void prepare_latency_form();
  // Asks edge e's constraints (their Farkas projection goes to the side
  // thread) unless they are known or asked.
  void start_edge(int e);
  // Edge e's constraints, eps as a counter.
  const Polyhedron& edge(int e);
  const Polyhedron& bounded(int s);
  void trace_edges(int dimension, const std::vector<int>& remaining) const;

  // One dimension's integer program and what reading its answer needs.
  struct Dimension {
    // The problem: the intersection of parts (kept by the scheduler, or
    // count, which d owns).
    std::vector<const Polyhedron*> parts;
    std::unique_ptr<Polyhedron> count;
    std::set<int> scheduled;                   // statements of the edges left
    std::map<std::vector<Value>, int> representative;  // constraints -> first edge
    std::vector<std::unique_ptr<Polyhedron>> ties;  // indicator equalities
    std::vector<int> edges;                         // the first edges, by rank
    int inv_eps = -1;
  };
  // Fills d, which starts empty.
  void dimension_problem(const std::vector<int>& remaining, Dimension& d);
  // Adds to d's parts the equalities of the interchangeable indicators of
  // its edges.
  void tie_indicators(Dimension& d) const;
  std::set<int> never_satisfied(const Dimension& d) const;
  // The indicators of d's edges, in their order.
  std::vector<int> indicators(const Dimension& d) const;
  static std::vector<const Polyhedron*> without_count(const Dimension& d);
  std::unique_ptr<Quast> solve(Dimension& d) const;
  void record(const Dimension& d, const IndexFunction* solution, std::vector<Schedule*>& schedules,
              IndexFunction* latencies) const;
  std::vector<int> edges_left(const Dimension& d, const IndexFunction* solution,
                              const std::vector<int>& remaining, int dimension) const;

  Program* program_;
  DependenceGraph* graph_;
  const std::map<int, int>& latency_;
  std::map<int, int> to_counter_, to_parameter_;
  std::vector<StatementForm> forms_;
  std::set<int> W_;                       // every parameter counter of a domain
  std::vector<int> latency_variables_;    // per parameter counter of W, then the constant
  std::unique_ptr<Polyhedron> latency_form_;  // a latency form non-negative on the sizes
  std::map<int, std::unique_ptr<Polyhedron>> edge_constraints_;  // edge -> its constraints, eps as a counter
  // An edge's constraints asked and not yet taken.
  struct PendingEdge {
    int eps;                              // the indicator's parameter
    std::unique_ptr<Expression> counter;  // the indicator
    std::vector<int> unknowns;            // the counters of the projection
    PendingFarkas projection;
  };
  std::map<int, PendingEdge> pending_edges_;
  std::map<int, int> indicator_;                 // edge -> eps_counter rank
  // edge -> its statements, the width of its constraint rows and their entries
  std::map<int, std::vector<Value>> edge_key_;
};

// Each statement's domain, variables, coefficient variables, and the
// coefficients of components that are non-negative on the domain.
void Scheduler::prepare_statements()
{
  int n = static_cast<int>(program_->statement.size());
  forms_.resize(n);
  for (int s = 0; s < n; s++) {
    const Statement* st = program_->statement[s].get();
    StatementForm& f = forms_[s];
    f.domain = st->iteration_domain->parameters_to_counters(to_counter_);
    f.parameters = parameter_counters(st->iteration_domain, to_counter_);
    f.variables = united(std::set<int>(st->surrounding_counters.begin(),
                                       st->surrounding_counters.end()),
                         f.parameters);
    f.theta_variables = coefficient_variables("theta_" + std::to_string(s), f.variables.size() + 1);
    Unknowns u(f.theta_variables, {});
    std::unique_ptr<Polyhedron> schedules = refused_at(st, [&] {
      return non_negative_on(f.domain.get(), f.variables,
                             u.rows(f.variables, {{1, &f.theta_variables, &f.variables}}), u.counters(),
                             u.parameters());
    });
    std::set<int> pinned = pinned_variables(f.domain.get(), f.variables);
    int position = 0;
    for (int v : f.variables) {
      if (pinned.count(v)) {
        std::unique_ptr<Expression> coefficient(Expression::from_counter_rank(f.theta_variables.at(position)));
        std::unique_ptr<Inequation> zero(equal_zero(coefficient.get()));
        schedules->add_constraint(zero.get());
      }
      position++;
    }
    f.schedules = std::move(schedules);
    W_.insert(f.parameters.begin(), f.parameters.end());
  }
}

// The latency form: an affine function of the parameters, non-negative where
// they are (coefficients given by the latency variables).
void Scheduler::prepare_latency_form()
{
  latency_variables_ = coefficient_variables("latency", W_.size() + 1);
  std::vector<std::unique_ptr<Expression>> w_leaves;
  for (int w : W_)
    w_leaves.push_back(Expression::from_counter_rank(w));
  std::unique_ptr<Polyhedron> orthant(positive(view(w_leaves)));
  Unknowns u(latency_variables_, {});
  std::unique_ptr<Polyhedron> form = non_negative_on(
      orthant.get(), W_, u.rows(W_, {{1, &latency_variables_, &W_}}), u.counters(), u.parameters());
  latency_form_ = std::move(form);
}

// The constraints of edge e on the coefficients of its source and target:
// theta_t(target) - theta_s(source) >= L * eps_e on the edge's polyhedron,
// with eps_e the counter eps_counter_e.
void Scheduler::start_edge(int e)
{
  if (edge_constraints_.count(e) || pending_edges_.count(e))
    return;
  const DependenceEdge* d = graph_->edges[e].get();
  int s = d->source, t = d->target;
  auto found = latency_.find(s);
  if (found == latency_.end())
    fail(Stream::Err, cat("Schedule::greedy: undefined latency for assignment #", s + 1));
  std::unique_ptr<Polyhedron> P(d->dependence_polyhedron->parameters_to_counters(to_counter_));
  std::set<int> X = united(d->source_counters, forms_[s].parameters);
  std::set<int> Y = united(d->target_counters, forms_[t].parameters);
  // The pairs range over every parameter of the polyhedron, also those that
  // only a subscript names (no domain holds them): a column left out of the
  // Farkas form would stand for a parameter equal to 0.
  std::set<int> Z = united(united(d->all_counters, forms_[s].parameters), forms_[t].parameters);
  Z = united(Z, parameter_counters(d->dependence_polyhedron, to_counter_));
  auto [eps, eps_leaf] = create_parameter("eps_", e);
  auto [c, c_leaf] = create_counter("eps_counter", e);
  indicator_[e] = c;
  Unknowns u(merged(forms_[s].theta_variables, forms_[t].theta_variables), {eps});
  std::vector<UnknownRow> difference =
      u.rows(Z, {{1, &forms_[t].theta_variables, &Y}, {-1, &forms_[s].theta_variables, &X}}, eps,
             -found->second);
  PendingFarkas projection = refused_at(program_->statement[s].get(), [&] {
    return PendingFarkas(P.get(), Z, difference, u.counters(), u.parameters());
  });
  pending_edges_.emplace(e, PendingEdge{eps, std::move(c_leaf), u.counters(), std::move(projection)});
}

const Polyhedron& Scheduler::edge(int e)
{
  auto cached = edge_constraints_.find(e);
  if (cached != edge_constraints_.end())
    return *cached->second;
  start_edge(e);
  auto pending = pending_edges_.find(e);
  PendingEdge& p = pending->second;
  int s = graph_->edges[e]->source, t = graph_->edges[e]->target;
  std::unique_ptr<Polyhedron> projected =
      refused_at(program_->statement[s].get(), [&] { return p.projection.take(); });
  // Edges whose constraints are the same (up to their indicator) are
  // satisfied together: the edges of one statement pair that read or write
  // the same cells at the same distances.
  std::vector<std::vector<Value>> rows = projected->to_matrix(
      std::set<int>(p.unknowns.begin(), p.unknowns.end()), std::set<int>{p.eps});
  std::vector<Value> key{s, t, rows.empty() ? 0 : static_cast<Value>(rows[0].size())};
  for (const std::vector<Value>& row : rows)
    key.insert(key.end(), row.begin(), row.end());
  edge_key_[e] = std::move(key);
  std::unique_ptr<Polyhedron> with_counter(projected->parameters_to_counters({{p.eps, indicator_.at(e)}}));
  Expression zero(0), one(1);
  Inequation low(PRED_GE, p.counter.get(), &zero), high(PRED_LE, p.counter.get(), &one);
  with_counter->add_constraint(&low);
  with_counter->add_constraint(&high);
  pending_edges_.erase(pending);
  return *(edge_constraints_[e] = std::move(with_counter));
}

// The coefficients of statement s and of the latency form for which every
// date of s is at most the latency form, where every parameter of the
// program is non-negative (also those s does not name: a parameter free in
// sign would keep the bound from growing with it).
const Polyhedron& Scheduler::bounded(int s)
{
  StatementForm& f = forms_[s];
  if (f.bounded)
    return *f.bounded;
  std::set<int> all = united(f.variables, W_);
  std::vector<std::unique_ptr<Expression>> w_leaves;
  for (int w : W_)
    w_leaves.push_back(Expression::from_counter_rank(w));
  Polyhedron sized(f.domain.get());
  std::unique_ptr<Polyhedron> orthant(positive(view(w_leaves)));
  sized.add_constraints(orthant.get());
  Unknowns u(merged(f.theta_variables, latency_variables_), {});
  std::vector<UnknownRow> slack =
      u.rows(all, {{1, &latency_variables_, &W_}, {-1, &f.theta_variables, &f.variables}});
  f.bounded = refused_at(program_->statement[s].get(), [&] {
    return non_negative_on(&sized, all, slack, u.counters(), u.parameters());
  });
  return *f.bounded;
}

void Scheduler::trace_edges(int dimension, const std::vector<int>& remaining) const
{
  std::ostream& trace = std::cerr;
  trace << "Dimension " << dimension << ", edges to satisfy: \n";
  for (int e : remaining) {
    const DependenceEdge* edge = graph_->edges[e].get();
    trace << "  " << e << ": " << *edge->source_statement << " --[";
    print_dependence_t(trace, edge->type);
    trace << ", depth=" << edge->depth << "]--> " << *edge->target_statement << "\n";
  }
}

// The integer program of one dimension: the constraints of the edges left
// (edges with the same constraints share the indicator of the first of them,
// counted once per edge: an optimum satisfies all of them or none), inv_eps
// the number of edges of the graph not strongly satisfied, and every
// scheduled statement's component non-negative on its domain and below the
// latency form.
void Scheduler::dimension_problem(const std::vector<int>& remaining, Dimension& d)
{
  std::map<int, int> weight;
  // Every edge's projection is asked before the first is taken.
  for (int e : remaining)
    start_edge(e);
  for (int e : remaining) {
    edge(e);
    d.scheduled.insert(graph_->edges[e]->source);
    d.scheduled.insert(graph_->edges[e]->target);
    weight[d.representative.insert({edge_key_.at(e), e}).first->second]++;
  }
  for (const auto& [e, times] : weight) {
    d.parts.push_back(&edge(e));
    d.edges.push_back(e);
  }
  create_extra_counter_rank("inv_eps");
  d.inv_eps = get_counter_rank("inv_eps");
  // The edges of the graph minus those the indicators count as satisfied.
  std::map<int, Value> counted;
  for (const auto& [e, times] : weight)
    counted[indicator_.at(e)] -= times;
  std::vector<std::pair<int, Value>> terms(counted.begin(), counted.end());
  if (!graph_->edges.empty())
    terms.push_back({get_nb_counters() + get_nb_parameters(), static_cast<Value>(graph_->edges.size())});
  Expression unsatisfied;
  unsatisfied.set_terms(std::move(terms));
  std::unique_ptr<Expression> inv_leaf(Expression::from_counter_rank(d.inv_eps));
  Inequation count(PRED_EQ, inv_leaf.get(), &unsatisfied);
  d.count = std::make_unique<Polyhedron>(&count);
  d.parts.push_back(d.count.get());
  for (int s : d.scheduled) {
    std::cout << "    Statement #" << s << std::endl;
    d.parts.push_back(forms_[s].schedules.get());
    d.parts.push_back(&bounded(s));
  }
  d.parts.push_back(latency_form_.get());
}

// Indicators whose constraints are the same once the problem's equalities
// are substituted (edges of different statement pairs or distances that the
// other constraints make alike) take one value in every optimum: where one
// is 1 and the other 0, raising the other keeps every constraint and counts
// one more edge satisfied. Stating their equality changes no optimum, and
// leaves the solver one indicator per class instead of one per edge.
void Scheduler::tie_indicators(Dimension& d) const
{
  for (const auto& [c, first] : Polyhedron::interchangeable_counters(without_count(d), indicators(d))) {
    if (c == first)
      continue;
    std::unique_ptr<Expression> x(Expression::from_counter_rank(c));
    std::unique_ptr<Expression> y(Expression::from_counter_rank(first));
    Inequation same(PRED_EQ, x.get(), y.get());
    d.ties.push_back(std::make_unique<Polyhedron>(&same));
    d.parts.push_back(d.ties.back().get());
  }
}

// The indicator of counter c fixed to value.
std::unique_ptr<Polyhedron> fixed_indicator(int c, Value value)
{
  std::unique_ptr<Expression> x(Expression::from_counter_rank(c));
  Expression v(value);
  Inequation is(PRED_EQ, x.get(), &v);
  return std::make_unique<Polyhedron>(&is);
}

// Indicators (counters) that are 0 at every point of d's problem: those of
// edges that no schedule satisfies strongly together with the edges that
// bind the same coefficients (a dependence each way between two statements,
// say), even with those satisfied weakly.
std::set<int> Scheduler::never_satisfied(const Dimension& d) const
{
  return Polyhedron::counters_never_one(without_count(d), indicators(d));
}

std::vector<int> Scheduler::indicators(const Dimension& d) const
{
  std::vector<int> r;
  for (int e : d.edges)
    r.push_back(indicator_.at(e));
  return r;
}

// inv_eps's equality bounds no indicator. Left out of what the indicators
// are compared or tested on, it cannot take the place of one of them when
// the equalities are eliminated.
std::vector<const Polyhedron*> Scheduler::without_count(const Dimension& d)
{
  std::vector<const Polyhedron*> constraints;
  for (const Polyhedron* p : d.parts)
    if (p != d.count.get())
      constraints.push_back(p);
  return constraints;
}

// The lexicographic minimum of (inv_eps, latency form coefficients): the
// most edges strongly satisfied, then the smallest bound of the dates.
// Gives the solver's answer, a single leaf.
//
// The problem is first solved with every indicator fixed: 0 for the edges
// never satisfied, 1 for all others. When that has a point, these values
// are those of the optimum (inv_eps is then as small as any point allows,
// and every point with that inv_eps has them), so both problems have the
// same minimum; the fixed one is much the smaller for the solver. When it
// has none, the problem is solved with the indicators of the edges never
// satisfied at 0 alone, which changes no point, and the interchangeable
// indicators tied.
std::unique_ptr<Quast> Scheduler::solve(Dimension& d) const
{
  Schedule objective(joined({d.inv_eps}, latency_variables_));
  std::set<int> never = never_satisfied(d);
  std::vector<int> all = indicators(d);
  std::vector<std::unique_ptr<Polyhedron>> values;
  std::vector<const Polyhedron*> fixed = d.parts;
  for (int c : all) {
    values.push_back(fixed_indicator(c, never.count(c) ? 0 : 1));
    fixed.push_back(values.back().get());
  }
  std::unique_ptr<Quast> answer(Polyhedron::min_lex2(fixed, objective.index_function));
  if (answer->is_bottom) {
    tie_indicators(d);
    std::vector<const Polyhedron*> zeros = d.parts;
    for (size_t k = 0; k < all.size(); k++)
      if (never.count(all[k]))
        zeros.push_back(values[k].get());
    answer = Polyhedron::min_lex2(zeros, objective.index_function);
  }
  if (answer->is_bottom)
    fail(Stream::Err, "No valid schedule found (or unbounded schedule domain)");
  if (!answer->is_leaf)
    fail(Stream::Err, "Parametric schedule?");
  return answer;
}

// Appends the solution's component to each scheduled statement's schedule
// and its bound to the latency function.
void Scheduler::record(const Dimension& d, const IndexFunction* solution,
                       std::vector<Schedule*>& schedules, IndexFunction* latencies) const
{
  bool verbose = options().verbose;
  std::ostream& trace = std::cerr;
  for (int s : d.scheduled) {
    if (verbose)
      trace << "Statement #" << s << "\n";
    std::unique_ptr<Expression> component(read_component(
        solution, forms_[s].theta_variables, forms_[s].variables, to_parameter_, "schedule"));
    schedules[s]->add_dimension(component.get());
    if (verbose)
      trace << *component << "\n";
  }
  std::unique_ptr<Expression> bound(
      read_component(solution, latency_variables_, W_, to_parameter_, "latency"));
  if (verbose)
    trace << "Latency: " << *bound << "\n";
  latencies->add_dimension(bound.get());
}

// The edges that the solution does not satisfy strongly; fails when that is
// all of them (no progress).
std::vector<int> Scheduler::edges_left(const Dimension& d, const IndexFunction* solution,
                                       const std::vector<int>& remaining, int dimension) const
{
  std::vector<int> left;
  for (int e : remaining)
    if (constant_value(solution, indicator_.at(d.representative.at(edge_key_.at(e))), "epsilon") == 0)
      left.push_back(e);
  if (left.size() == remaining.size()) {
    std::ostringstream names;
    for (int e : left)
      names << " " << e;
    fail(Stream::Err, cat("Schedule::greedy: no dependence could be satisfied at dimension ",
                          dimension, "; edges left:", names.str()));
  }
  return left;
}

GreedyResult Scheduler::run()
{
  int n = static_cast<int>(program_->statement.size());
  GreedyResult result;
  for (int s = 0; s < n; s++)
    result.schedules.push_back(std::make_unique<Schedule>(std::vector<Expression*>()));
  result.latency = std::make_unique<IndexFunction>();
  std::vector<Schedule*> kept = view(result.schedules);
  std::vector<int> remaining;
  for (size_t e = 0; e < graph_->edges.size(); e++)
    remaining.push_back(static_cast<int>(e));
  for (int dimension = 0; !remaining.empty(); dimension++) {
    if (options().verbose)
      trace_edges(dimension, remaining);
    Dimension d;
    dimension_problem(remaining, d);
    std::unique_ptr<Quast> answer = solve(d);
    record(d, answer->solution, kept, result.latency.get());
    remaining = edges_left(d, answer->solution, remaining, dimension);
  }
  return result;
}

}  // namespace

GreedyResult greedy(Program* program, DependenceGraph* graph, const std::map<int, int>& latency)
{
  auto scheduler = std::make_unique<Scheduler>(program, graph, latency);
  GreedyResult result = scheduler->run();
  // The edges' constraints and the statements' forms are freed while the
  // analysis goes on.
  destroy_aside(std::move(scheduler));
  return result;
}
