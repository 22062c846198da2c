// Projection, convex hull and Ehrhart counting of polyhedra.
#include <iostream>

#include "poly/enumeration_expression.h"
#include "poly/expression.h"
#include "poly/failure.h"
#include "poly/inequation.h"
#include "poly/isl_wrapper.h"
#include "poly/operation.h"
#include "poly/polyhedron.h"
#include "poly/polylib_wrapper.h"
#include "poly/quast.h"
#include "poly/rank.h"

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
  std::map<Polyhedron*, Operation*> pieces = minimum->flatten();
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

namespace {

// The most integer points of a chamber that are checked one by one.
const std::size_t kCheckedPoints = 256;

// PolyLib may give a narrow chamber a polynomial that is wrong at some of
// its integer points (seen on a chamber of two points, where it returned a
// constant). On every bounded chamber of few points, each point's count is
// checked against isl's exact count of the set with the parameters fixed;
// the points where it is wrong become pieces of their own, with the exact
// count, and the chamber keeps its polynomial on the rest.
void correct_small_chambers(std::map<Polyhedron*, Expression*>& pieces,
                            const std::vector<std::vector<int>>& m, int nb_vars,
                            const std::vector<int>& ranks, const std::set<int>& parameters)
{
  int used = static_cast<int>(ranks.size());
  std::map<Polyhedron*, Expression*> corrected;
  for (auto& [domain, count] : pieces) {
    std::vector<std::vector<int>> points;
    std::vector<std::vector<int>> rows = domain->to_matrix(std::set<int>(), parameters);
    std::vector<Polyhedron*> wrong;
    std::vector<int> exact_counts;
    bool checked = ISLWrapper::bounded_points(rows, used, kCheckedPoints, points);
    if (checked) {
      for (const std::vector<int>& p : points) {
        // The rows over the variables alone, with the parameters at p.
        std::vector<std::vector<int>> fixed;
        for (const auto& row : m) {
          std::vector<int> r(row.begin(), row.begin() + 1 + nb_vars);
          long long constant = row.back();
          for (int j = 0; j < used; j++)
            constant += static_cast<long long>(row[1 + nb_vars + j]) * p[j];
          if (constant < INT32_MIN || constant > INT32_MAX)
            checked = false;
          r.push_back(static_cast<int>(constant));
          fixed.push_back(r);
        }
        if (!checked)
          break;
        long exact = ISLWrapper::count(fixed, nb_vars);
        std::map<int, int> values;
        for (int j = 0; j < used; j++)
          values[ranks[j]] = p[j];
        if (exact < 0 || exact == count->evaluate_int(values))
          continue;
        Polyhedron* point = new Polyhedron();
        for (int j = 0; j < used; j++) {
          Expression q(0);
          q.is_val = 0;
          q.is_parameter = 1;
          q.parameter_rank = ranks[j];
          Expression v(p[j]);
          // Two inequalities rather than an equality, so that the point can
          // be complemented.
          Inequation low(PRED_GE, &q, &v), high(PRED_LE, &q, &v);
          point->add_constraint(&low);
          point->add_constraint(&high);
        }
        wrong.push_back(point);
        exact_counts.push_back(static_cast<int>(exact));
      }
    }
    if (!checked || wrong.empty()) {
      del(wrong);
      corrected[domain] = count;
      continue;
    }
    for (size_t k = 0; k < wrong.size(); k++)
      corrected[wrong[k]->clone()] = new Expression(exact_counts[k]);
    for (Polyhedron* rest : Polyhedron::negate(wrong)) {
      Polyhedron* piece = Polyhedron::intersect(domain, rest);
      delete rest;
      if (piece->is_empty()) {
        delete piece;
        continue;
      }
      corrected[piece] = count->clone();
    }
    del(wrong);
    delete domain;
    delete count;
  }
  pieces = corrected;
}

}  // namespace

std::map<Polyhedron*, Expression*> Polyhedron::volume(const std::set<int>& vars)
{
  // Only the parameters that occur are given to PolyLib: one that occurs
  // nowhere is a free dimension, which the count does not depend on and on
  // which PolyLib's 64-bit counting overflows. PolyLib numbers the given
  // parameters by position; the count is renamed back to their ranks.
  std::set<int> parameters = get_parameters();
  std::vector<int> ranks(parameters.begin(), parameters.end());
  int used = static_cast<int>(ranks.size());
  std::vector<std::vector<int>> m = to_matrix(vars, parameters);
  if (m.empty()) {
    // 1 >= 0: the matrix then carries its width.
    m.push_back(std::vector<int>(vars.size() + used + 2, 0));
    m[0][0] = m[0].back() = 1;
  }
  std::unique_ptr<std::vector<VolumePiece>> pieces =
      PolylibWrapper::volume(m, static_cast<int>(vars.size()));
  std::map<Polyhedron*, Expression*> result;
  if (!pieces) {
    result[new Polyhedron()] = new Expression(0);
    return result;
  }
  std::map<int, int> rank_of;
  for (int j = 0; j < used; j++)
    rank_of[j] = ranks[j];
  int nc = get_nb_counters();
  int np = get_nb_parameters();
  for (const VolumePiece& piece : *pieces) {
    std::vector<std::vector<int>> rows;
    for (const auto& row : piece.rows) {
      if (static_cast<int>(row.size()) != used + 2)
        fail(Stream::Err, "Polyhedron::volume: unexpected validity domain width");
      std::vector<int> full(nc + np + 2, 0);
      full[0] = row[0];
      for (int j = 0; j < used; j++)
        full[1 + nc + ranks[j]] = row[1 + j];
      full.back() = row.back();
      rows.push_back(full);
    }
    Polyhedron* domain = new Polyhedron(rows);
    Expression* by_position = Expression::from_evalue(piece.polynomial.get());
    Expression* count = by_position->parameters_to_parameters(rank_of);
    if (!domain->is_empty()) {
      result[domain->clone()] = count->evaluate();
    }
    delete domain;
    delete by_position;
    delete count;
  }
  correct_small_chambers(result, m, static_cast<int>(vars.size()), ranks, parameters);
  return result;
}

std::map<Polyhedron*, Expression*> Polyhedron::volume() { return volume(get_counters()); }
