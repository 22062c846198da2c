// Projection and convex hull of polyhedra.
#include <iostream>
#include <tuple>

#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/inequation.h"
#include "solvers/isl_wrapper.h"
#include "polyhedra/operation.h"
#include "polyhedra/polyhedron.h"
#include "solvers/polylib_wrapper.h"
#include "polyhedra/quast.h"
#include "algebra/rank.h"
#include "support/ownership.h"

bool disjoint_set(const std::set<int>& a, const std::set<int>& b)
{
  for (int x : a)
    if (b.count(x))
      return false;
  return true;
}

bool sub_set(const std::set<int>& a, const std::set<int>& b)
{
  for (int x : a)
    if (!b.count(x))
      return false;
  return true;
}

std::unique_ptr<Polyhedron> Polyhedron::eliminate_divs_and_simplify() const
{
  std::set<int> counters = get_counters();
  return eliminate_divs().second->project(counters);
}

std::vector<std::unique_ptr<Polyhedron>> Polyhedron::eliminate_divs(
    const std::vector<Polyhedron*>& u)
{
  std::vector<std::unique_ptr<Polyhedron>> r;
  for (const Polyhedron* p : u)
    r.push_back(p->eliminate_divs_and_simplify());
  return r;
}

std::unique_ptr<Polyhedron> Polyhedron::project(const std::set<int>& keep)
{
  if (has_divs) {
    std::set<int> inside;
    for (Expression* div : get_divs()) {
      std::set<int> c = div->get_counters();
      inside.insert(c.begin(), c.end());
    }
    if (!disjoint_set(inside, keep))
      fail(Stream::Err, "Polyhedron::project: cannot project constraints with integer divisions");
    return eliminate_divs_and_simplify()->project(keep);
  }
  // Over the counters and parameters the constraints use, not the
  // registry's width (a thousand columns in the largest programs).
  std::set<int> counters = get_counters(), parameters = get_parameters(), kept;
  std::vector<bool> mask;
  for (int c : counters) {
    mask.push_back(keep.count(c) != 0);
    if (mask.back())
      kept.insert(c);
  }
  mask.insert(mask.end(), parameters.size(), true);
  return std::make_unique<Polyhedron>(
      PolylibWrapper::project_columns(to_matrix(counters, parameters), mask), kept, parameters);
}

std::unique_ptr<Polyhedron> Polyhedron::project(const std::vector<int>& keep)
{
  return project(std::set<int>(keep.begin(), keep.end()));
}

std::vector<std::unique_ptr<Polyhedron>> Polyhedron::project_int(const std::set<int>& keep)
{
  Polyhedron* work = this;
  std::map<int, std::unique_ptr<Expression>> divisions;
  std::unique_ptr<Polyhedron> rewritten;
  if (has_divs) {
    std::tie(divisions, rewritten) = un_div();
    work = rewritten.get();
  }
  std::set<int> extended = keep;
  for (const auto& [counter, e] : divisions) {
    std::set<int> D = e->get_counters();
    if (disjoint_set(D, keep))
      continue;
    if (sub_set(D, keep))
      extended.insert(counter);
    else
      fail(Stream::Err, cat("Polyhedron::project_int: divisions with both counters to keep and "
                            "to eliminate are not handled: ",
                            *e));
  }
  return substitute_counters(view(work->project_int_core(extended)), view(divisions));
}

std::vector<std::unique_ptr<Polyhedron>> Polyhedron::project_int(const std::vector<int>& keep)
{
  return project_int(std::set<int>(keep.begin(), keep.end()));
}

std::vector<std::unique_ptr<Polyhedron>> Polyhedron::project_int_core(const std::set<int>& keep)
{
  std::map<int, int> to_parameter, to_counter;
  for (int c : keep) {
    std::string name = get_counter_parameter(c);
    create_parameter_rank(name);
    to_parameter[c] = get_parameter_rank(name);
    to_counter[to_parameter[c]] = c;
  }
  std::unique_ptr<Polyhedron> Q = counters_to_parameters(to_parameter);
  std::unique_ptr<Polyhedron> R = project(keep);
  std::vector<std::unique_ptr<Polyhedron>> result;
  for (const std::unique_ptr<Polyhedron>& piece : Q->shadow()) {
    if (piece->is_empty())
      continue;
    std::unique_ptr<Polyhedron> p = piece->simplify()->parameters_to_counters(to_counter);
    p->add_constraints(R.get());
    result.push_back(std::move(p));
  }
  return result;
}

std::unique_ptr<Polyhedron> Polyhedron::convex_hull(const std::list<Polyhedron*>& l)
{
  if (l.empty())
    fail(Stream::Out, "Polyhedron::convex_hull: empty list of polyhedra");
  // Over the counters and parameters the members use.
  std::vector<Polyhedron*> members(l.begin(), l.end());
  std::set<int> counters = get_counters(members), parameters = get_parameters(members);
  std::list<std::vector<std::vector<Value>>> matrices;
  for (Polyhedron* p : l)
    matrices.push_back(p->to_matrix(counters, parameters));
  int width = static_cast<int>(counters.size() + parameters.size()) + 2;
  return std::make_unique<Polyhedron>(PolylibWrapper::convex_hull(matrices, width), counters, parameters);
}

std::unique_ptr<Polyhedron> Polyhedron::convex_hull(const std::vector<Polyhedron*>& v)
{
  return convex_hull(std::list<Polyhedron*>(v.begin(), v.end()));
}
