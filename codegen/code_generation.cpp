#include "codegen/code_generation.h"

#include <algorithm>
#include <iostream>
#include <sstream>

#include "analysis/schedule.h"
#include "algebra/analysis_context.h"
#include "polyhedra/enumeration_expression.h"
#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"
#include "program/program.h"
#include "program/statement.h"
#include "support/ownership.h"


namespace {

const int kLowest = -2147483644;
const int kHighest = 2147483643;

// max(l1,max(l2,...,lm)) (or min), a single bound alone.
void print_nested(std::ostream& os, const std::vector<Expression*>& bounds, const char* f)
{
  for (size_t k = 0; k + 1 < bounds.size(); k++)
    os << f << "(" << *bounds[k] << ",";
  os << *bounds.back();
  for (size_t k = 0; k + 1 < bounds.size(); k++)
    os << ")";
}

}  // namespace

// ---------------------------------------------------------------------------
// Scanning

Bounds get_bounds(Polyhedron* p, int counter)
{
  Bounds b;
  for (const Inequation* c : p->constraints)
    for (const std::unique_ptr<Inequation>& piece : c->separate(counter))
      (piece->pred == PRED_GE ? b.first : b.second).push_back(piece->rhs->clone());
  return b;
}

std::vector<Bounds> scan(Polyhedron* p, const std::vector<int>& outer,
                         const std::vector<int>& counters)
{
  std::vector<Bounds> r;
  std::vector<int> keep = outer;
  for (int c : counters) {
    keep.push_back(c);
    r.push_back(get_bounds(p->project(keep).get(), c));
  }
  return r;
}

void print_scan(std::ostream& os, Polyhedron* p, const std::vector<int>& outer,
                const std::vector<int>& counters, const std::string& prefix)
{
  std::vector<Bounds> s = scan(p, outer, counters);
  std::string indent = prefix;
  for (size_t k = 0; k < counters.size(); k++) {
    std::string n = get_counter_string(counters[k]);
    const Bounds& b = s[k];
    if (b.first.empty())
      fail(Stream::Err, cat("No lower bound for ", counters[k]));
    if (b.second.empty())
      fail(Stream::Err, cat("CodeGeneration::print_scan: no upper bound for ", n, " (rank ",
                            counters[k], "): the date domain is unbounded"));
    os << indent << "for(" << n << " = ";
    print_nested(os, view(b.first), "max");
    os << "; " << n << " <= ";
    print_nested(os, view(b.second), "min");
    os << "; " << n << "++)\n";
    indent += "  ";
  }
}

void print_scan(std::ostream& os, Polyhedron* p, const std::vector<int>& counters,
                const std::string& prefix)
{
  std::set<int> C = p->get_counters();
  if (counters.size() != C.size())
    fail(Stream::Err,
         "CodeGeneration::print_scan: 'counters' must contain exactly polyhedron counters");
  for (int c : counters)
    if (!C.count(c))
      fail(Stream::Err, "CodeGeneration::print_scan: 'counters' must contain only polyhedron counters");
  print_scan(os, p, std::vector<int>(), counters, prefix);
}

// ---------------------------------------------------------------------------
// Intervals

namespace {

std::unique_ptr<Polyhedron> project_no_parameters(Polyhedron* p, int c)
{
  std::map<int, int> to_counter = turn_parameters_to_counters();
  return p->parameters_to_counters(to_counter)->project(std::set<int>{c});
}

// A ceiling (floor) of two constants as the constant it is.
std::unique_ptr<Expression> folded(std::unique_ptr<Expression> e)
{
  if ((e->is_ceil() || e->is_floor()) && e->fg->is_constant() && e->fd->is_constant() &&
      e->fd->val != 0) {
    Value n = e->fg->val, d = e->fd->val;
    if (d == -1)
      n = checked_neg(n, "CodeGeneration::get_counter_intervals"), d = 1;
    Value q = n / d;
    if (n % d != 0 && ((n < 0) != (d < 0)))
      q--;
    if (e->is_ceil() && n % d != 0)
      q++;
    return v(q);
  }
  return e;
}

}  // namespace

Intervals get_counter_intervals(Polyhedron* p, const std::vector<int>& counters)
{
  Intervals result;
  for (int c : counters) {
    std::unique_ptr<Polyhedron> Q = p->clone();
    Expression x(0);
    x.is_val = 0;
    x.is_counter = 1;
    x.counter_rank = c;
    Expression low(kLowest), high(kHighest);
    Inequation above(PRED_GE, &x, &low), below(PRED_LE, &x, &high);
    Q->add_constraint(&above);
    Q->add_constraint(&below);
    std::unique_ptr<Polyhedron> R = project_no_parameters(Q.get(), c);
    Bounds b = get_bounds(R.get(), c);
    if (b.first.size() != 1 || b.second.size() != 1) {
      std::ostringstream os;
      for (int k : counters)
        os << k << " " << get_counter_string(k) << "\n";
      os << c << "\n" << get_counter_rank(get_counter_string(c)) << "\n";
      os << "CodeGeneration::get_counter_intervals(" << get_counter_string(c)
         << "): Bounds with min and max\n";
      os << "Lower bound = max(\n" << view(b.first) << ")\n\nUpper bound = min(\n"
         << view(b.second) << ")\n";
      os << "Domain: " << *Q << *R;
      fail(Stream::Err, os.str());
    }
    std::unique_ptr<Expression> lo = folded(std::move(b.first[0]));
    std::unique_ptr<Expression> hi = folded(std::move(b.second[0]));
    if (!lo->is_constant() || !hi->is_constant())
      fail(Stream::Err, cat("CodeGeneration::get_counter_intervals: Non-constant interval [", *lo, ", ",
                            *hi, "]"));
    result[get_counter_string(c)] = {lo->val, hi->val};
    if (hi->val == kHighest) {
      std::cerr << "\nUnbounded iteration domain:\n" << *p;
      if (analysis_context().fail_on_unbounded)
        fail(Stream::Err, "");
    }
  }
  return result;
}

Intervals get_counter_intervals(Polyhedron* p)
{
  std::set<int> C = p->get_counters();
  return get_counter_intervals(p, std::vector<int>(C.begin(), C.end()));
}

Intervals get_counter_intervals(const std::vector<Polyhedron*>& u, const std::vector<int>& counters)
{
  if (u.empty())
    fail(Stream::Err, "CodeGeneration::get_counter_intervals: empty domain");
  Intervals r = get_counter_intervals(u[0], counters);
  for (size_t k = 1; k < u.size(); k++)
    r = max_intervals(r, get_counter_intervals(u[k], counters));
  return r;
}

Intervals get_counter_intervals(const std::vector<Polyhedron*>& u, const std::set<int>& counters)
{
  return get_counter_intervals(u, std::vector<int>(counters.begin(), counters.end()));
}

Intervals get_counter_intervals(const std::vector<Polyhedron*>& u)
{
  return get_counter_intervals(u, Polyhedron::get_counters(u));
}

Intervals max_intervals(const Intervals& a, const Intervals& b)
{
  Intervals r;
  for (const auto& [name, interval] : a) {
    auto it = b.find(name);
    if (it == b.end())
      fail(Stream::Err, cat("CodeGeneration::max_intervals: ", name, " not found"));
    r[name] = {std::min(interval.first, it->second.first),
               std::max(interval.second, it->second.second)};
  }
  return r;
}
