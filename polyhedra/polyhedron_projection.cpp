// Projection and convex hull of polyhedra.
#include <iostream>

#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/inequation.h"
#include "solvers/isl_wrapper.h"
#include "polyhedra/operation.h"
#include "polyhedra/polyhedron.h"
#include "solvers/polylib_wrapper.h"
#include "polyhedra/quast.h"
#include "algebra/rank.h"

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

Polyhedron* Polyhedron::eliminate_divs_and_simplify() const
{
  std::set<int> counters = get_counters();
  auto [fresh, rewritten] = eliminate_divs();
  Polyhedron* r = rewritten->project(counters);
  delete rewritten;
  return r;
}

std::vector<Polyhedron*> Polyhedron::eliminate_divs(const std::vector<Polyhedron*>& u)
{
  std::vector<Polyhedron*> r;
  for (const Polyhedron* p : u)
    r.push_back(p->eliminate_divs_and_simplify());
  return r;
}

Polyhedron* Polyhedron::project(const std::set<int>& keep)
{
  if (has_divs) {
    std::set<int> inside;
    for (Expression* div : get_divs()) {
      std::set<int> c = div->get_counters();
      inside.insert(c.begin(), c.end());
    }
    if (!disjoint_set(inside, keep))
      fail(Stream::Err, "Polyhedron::project: cannot project constraints with integer divisions");
    Polyhedron* without = eliminate_divs_and_simplify();
    Polyhedron* r = without->project(keep);
    delete without;
    return r;
  }
  std::set<int> kept;
  for (int c : keep)
    if (c >= 0 && c < get_nb_counters())
      kept.insert(c);
  return new Polyhedron(PolylibWrapper::project(to_matrix(), kept));
}

Polyhedron* Polyhedron::project(const std::vector<int>& keep)
{
  return project(std::set<int>(keep.begin(), keep.end()));
}

std::vector<Polyhedron*> Polyhedron::project_int(const std::set<int>& keep)
{
  Polyhedron* work = this;
  std::map<int, Expression*> divisions;
  if (has_divs) {
    auto [meaning, rewritten] = un_div();
    divisions = meaning;
    work = rewritten;
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
  std::vector<Polyhedron*> pieces = work->project_int_core(extended);
  std::vector<Polyhedron*> r = substitute_counters(pieces, divisions);
  del(pieces);
  del(divisions);
  if (work != this)
    delete work;
  return r;
}

std::vector<Polyhedron*> Polyhedron::project_int(const std::vector<int>& keep)
{
  return project_int(std::set<int>(keep.begin(), keep.end()));
}

std::vector<Polyhedron*> Polyhedron::project_int_core(const std::set<int>& keep)
{
  std::map<int, int> to_parameter, to_counter;
  for (int c : keep) {
    std::string name = get_counter_parameter(c);
    create_parameter_rank(name);
    to_parameter[c] = get_parameter_rank(name);
    to_counter[to_parameter[c]] = c;
  }
  Polyhedron* Q = counters_to_parameters(to_parameter);
  Polyhedron* R = project(keep);
  Quast* minimum = Q->min_lex(std::vector<int>(), 0);
  PolyhedronMap<Operation*> pieces = minimum->flatten();
  std::vector<Polyhedron*> result;
  for (const auto& [domain, op] : pieces) {
    Polyhedron* p = domain->parameters_to_counters(to_counter);
    p->add_constraints(R);
    result.push_back(p);
  }
  del(pieces);
  delete minimum;
  delete Q;
  delete R;
  return result;
}

Polyhedron* Polyhedron::convex_hull(const std::list<Polyhedron*>& l)
{
  if (l.empty())
    fail(Stream::Out, "Polyhedron::convex_hull: empty list of polyhedra");
  std::list<std::vector<std::vector<int>>> matrices;
  for (Polyhedron* p : l)
    matrices.push_back(p->to_matrix());
  return new Polyhedron(PolylibWrapper::convex_hull(matrices));
}

Polyhedron* Polyhedron::convex_hull(const std::vector<Polyhedron*>& v)
{
  return convex_hull(std::list<Polyhedron*>(v.begin(), v.end()));
}
