// Simplification of polyhedra: syntactic clean-up, PolyLib's minimal form,
// isl's gist and coalescing, and the elimination of integer divisions.
#include <iostream>

#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/inequation.h"
#include "solvers/isl_wrapper.h"
#include "polyhedra/pending.h"
#include "polyhedra/polyhedron.h"
#include "solvers/polylib_wrapper.h"
#include "algebra/rank.h"
#include "support/ownership.h"

std::unique_ptr<Polyhedron> Polyhedron::simplify() const
{
  auto r = std::make_unique<Polyhedron>();
  for (auto it = constraints.begin(); it != constraints.end(); ++it) {
    bool later_duplicate = false;
    for (auto jt = std::next(it); jt != constraints.end() && !later_duplicate; ++jt)
      later_duplicate = **it == **jt;
    if (!later_duplicate && !(*it)->is_true())
      r->add_constraint(*it);
  }
  return r;
}

std::unique_ptr<Polyhedron> Polyhedron::simplify_matrix() { return std::make_unique<Polyhedron>(to_matrix()); }

std::unique_ptr<Polyhedron> Polyhedron::simplify_chernikova()
{
  if (has_divs)
    return clone();
  return std::make_unique<Polyhedron>(PolylibWrapper::simplify(to_matrix()));
}

PendingGist::PendingGist(std::unique_ptr<Polyhedron> p) : polyhedron_(std::move(p))
{
  if (polyhedron_->has_divs)
    return;
  counters_ = polyhedron_->get_counters();
  parameters_ = polyhedron_->get_parameters();
  later_.emplace([rows = polyhedron_->to_matrix(counters_, parameters_),
                  nb_counters = static_cast<int>(counters_.size()),
                  nb_parameters = static_cast<int>(parameters_.size())]() -> std::optional<Rows> {
    try {
      std::vector<ISLWrapper::Rows> result = ISLWrapper::gist_of_nonempty(rows, nb_counters, nb_parameters);
      if (result.size() == 1)
        return std::move(result[0]);
    } catch (const Unrepresentable&) {
      // An answer with local variables, or beyond the 64-bit range: the
      // polyhedron is kept as it is.
    }
    return std::nullopt;
  });
}

std::unique_ptr<Polyhedron> PendingGist::take()
{
  if (later_)
    if (std::optional<Rows> rows = later_->take())
      return std::make_unique<Polyhedron>(*rows, counters_, parameters_);
  return std::move(polyhedron_);
}

static std::vector<std::unique_ptr<Polyhedron>> clones(const std::vector<Polyhedron*>& u)
{
  std::vector<std::unique_ptr<Polyhedron>> r;
  for (const Polyhedron* p : u)
    r.push_back(p->clone());
  return r;
}

// The members' matrices restricted to the counters C and parameters P.
static std::vector<ISLWrapper::Rows> restricted(const std::vector<Polyhedron*>& u,
                                                const std::set<int>& C, const std::set<int>& P)
{
  std::vector<ISLWrapper::Rows> r;
  for (Polyhedron* p : u)
    r.push_back(p->to_matrix(C, P));
  return r;
}

std::vector<std::unique_ptr<Polyhedron>> Polyhedron::gist(const std::vector<Polyhedron*>& u,
                                                         const std::vector<Polyhedron*>& context)
{
  std::vector<Polyhedron*> all = u;
  all.insert(all.end(), context.begin(), context.end());
  std::set<int> C = get_counters(all);
  std::set<int> P = get_parameters(all);
  try {
    std::vector<ISLWrapper::Rows> result =
        ISLWrapper::gist(restricted(u, C, P), restricted(context, C, P), static_cast<int>(C.size()),
                         static_cast<int>(P.size()));
    std::vector<std::unique_ptr<Polyhedron>> r;
    for (const auto& m : result)
      r.push_back(std::make_unique<Polyhedron>(m, C, P));
    return r;
  } catch (const Unrepresentable&) {
    // A constraint that has no matrix (a division), or an answer with local
    // variables: keep the input as it is.
    return clones(u);
  }
}

std::vector<std::unique_ptr<Polyhedron>> Polyhedron::gist(
    const std::vector<Polyhedron*>& u, Polyhedron* context)
{
  return gist(u, std::vector<Polyhedron*>{context});
}

std::unique_ptr<Polyhedron> Polyhedron::gist(Polyhedron* p, Polyhedron* context)
{
  std::vector<std::unique_ptr<Polyhedron>> r = gist(std::vector<Polyhedron*>{p}, context);
  if (r.size() == 1)
    return std::move(r[0]);
  r.clear();
  return p->clone();
}

std::vector<std::unique_ptr<Polyhedron>> Polyhedron::coalesce(const std::vector<Polyhedron*>& u)
{
  std::set<int> C = get_counters(u);
  std::set<int> P = get_parameters(u);
  std::vector<ISLWrapper::Rows> result;
  std::vector<ISLWrapper::Rows> rows = restricted(u, C, P);
  try {
    result = ISLWrapper::coalesce(rows, static_cast<int>(C.size()), static_cast<int>(P.size()));
  } catch (const Unrepresentable&) {
    // isl answered with local variables the rows cannot hold: the union is
    // kept as it was given.
    return clones(u);
  }
  std::vector<std::unique_ptr<Polyhedron>> r;
  for (const auto& m : result) {
    Polyhedron p(m, C, P);
    r.push_back(p.simplify_chernikova());
  }
  return r;
}

namespace {

// Replaces the division node in place by the leaf of counter q.
void overwrite_with_counter(Expression* div, int q)
{
  delete div->fg;
  delete div->fd;
  div->fg = nullptr;
  div->fd = nullptr;
  div->is_leaf = 1;
  div->is_val = 0;
  div->is_counter = 1;
  div->counter_rank = q;
  div->is_parameter = 0;
  div->cached_terms.reset();
}

// Adds numerator == denominator * q + r, r >= 0 and r < denominator.
void add_division_constraints(Polyhedron* p, const Expression* numerator,
                              const Expression* denominator, const Expression* q,
                              const Expression* r)
{
  Expression dq(OP_TIMES, denominator, q);
  Expression dq_r(OP_PLUS, &dq, r);
  Inequation definition(PRED_EQ, numerator, &dq_r);
  Expression zero(0);
  Inequation low(PRED_GE, r, &zero);
  Inequation high(PRED_LT, r, denominator);
  p->add_constraint(&definition);
  p->add_constraint(&low);
  p->add_constraint(&high);
}

void check_constant_denominator(const Expression* div)
{
  if (!div->fd->is_constant())
    fail(Stream::Out, cat("Polyhedron::eliminate_divs: not a division by a constant: ", *div));
}

// Builds the result from the worked-on copy's constraints (has_divs recomputed).
std::unique_ptr<Polyhedron> rebuilt(const Polyhedron& work) { return std::make_unique<Polyhedron>(work.constraints); }

}  // namespace

std::pair<std::set<int>, std::unique_ptr<Polyhedron>> Polyhedron::eliminate_divs() const
{
  std::unique_ptr<Polyhedron> work = clone();
  std::set<int> fresh;
  std::vector<Expression*> divs = work->get_divs();
  for (size_t k = 0; k < divs.size(); k++) {
    Expression* div = divs[k];
    check_constant_denominator(div);
    auto [q, q_leaf] = create_counter("q_", static_cast<int>(k));
    auto [r, r_leaf] = create_counter("r_", static_cast<int>(k));
    fresh.insert(q);
    fresh.insert(r);
    add_division_constraints(work.get(), div->fg, div->fd, q_leaf.get(), r_leaf.get());
    overwrite_with_counter(div, q);
  }
  return {fresh, rebuilt(*work)};
}

std::pair<std::map<int, std::unique_ptr<Expression>>, std::unique_ptr<Polyhedron>>
Polyhedron::un_div() const
{
  std::unique_ptr<Polyhedron> work = clone();
  std::map<int, std::unique_ptr<Expression>> meaning;
  std::vector<Expression*> divs = work->get_divs();
  // The divisions as written, before inner ones are replaced by counters.
  std::vector<std::unique_ptr<Expression>> originals;
  for (const Expression* div : divs)
    originals.push_back(div->clone());
  // A division free of inner divisions is known by its numerator's vector and
  // its denominator; the keys are taken before any counter widens the vectors.
  std::vector<std::pair<std::vector<Value>, Value>> keys(divs.size());
  for (size_t i = 0; i < divs.size(); i++) {
    check_constant_denominator(divs[i]);
    if (!divs[i]->fg->has_div())
      keys[i] = {divs[i]->fg->to_vector(), divs[i]->fd->val};
  }
  std::map<std::pair<std::vector<Value>, Value>, int> shared;  // key -> q
  int k = 0;
  for (size_t i = 0; i < divs.size(); i++) {
    Expression* div = divs[i];
    const auto& key = keys[i];
    bool shareable = !originals[i]->fg->has_div();
    if (shareable) {
      auto it = shared.find(key);
      if (it != shared.end()) {
        overwrite_with_counter(div, it->second);
        continue;
      }
    }
    auto [q, q_leaf] = create_counter("q_", k);
    auto [r, r_leaf] = create_counter("r_", k);
    k++;
    add_division_constraints(work.get(), div->fg, div->fd, q_leaf.get(), r_leaf.get());
    const Expression* original = originals[i].get();
    meaning[q] = original->clone();
    Expression product(OP_TIMES, original->fd, original);
    meaning[r] = std::make_unique<Expression>(OP_MINUS, original->fg, &product);
    if (shareable)
      shared[key] = q;
    overwrite_with_counter(div, q);
  }
  return {std::move(meaning), rebuilt(*work)};
}
