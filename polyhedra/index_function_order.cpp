// Lexicographic comparison of index functions as unions of polyhedra.
#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "polyhedra/polyhedron.h"

namespace {

// Piece d: this[d] < other[d] and this[e] == other[e] (as two inequations)
// for every e < d.
std::unique_ptr<Polyhedron> piece(const IndexFunction* a, const IndexFunction* b, int d)
{
  Inequation strict(PRED_LT, a->index_mapping[d], b->index_mapping[d]);
  auto p = std::make_unique<Polyhedron>(&strict);
  for (int e = 0; e < d; e++) {
    Inequation le(PRED_LE, a->index_mapping[e], b->index_mapping[e]);
    Inequation ge(PRED_GE, a->index_mapping[e], b->index_mapping[e]);
    p->add_constraint(&le);
    p->add_constraint(&ge);
  }
  return p;
}

int common_dimension(const IndexFunction* a, const IndexFunction* b)
{
  return a->dimension() < b->dimension() ? a->dimension() : b->dimension();
}

}  // namespace

std::list<std::unique_ptr<Polyhedron>> IndexFunction::before_no_simplification(
    const IndexFunction* other) const
{
  std::list<std::unique_ptr<Polyhedron>> pieces;
  for (int d = 0; d < common_dimension(this, other); d++)
    pieces.push_back(piece(this, other, d));
  return pieces;
}

std::vector<std::unique_ptr<Polyhedron>> IndexFunction::before(const IndexFunction* other) const
{
  std::vector<std::unique_ptr<Polyhedron>> kept;
  for (std::unique_ptr<Polyhedron>& p : before_no_simplification(other))
    if (!p->is_empty_general())
      kept.push_back(std::move(p));
  return kept;
}

std::list<std::unique_ptr<Polyhedron>> IndexFunction::operator<(const IndexFunction& other) const
{
  std::list<std::unique_ptr<Polyhedron>> pieces;
  for (int d = 0; d < common_dimension(this, &other); d++) {
    std::unique_ptr<Polyhedron> p = piece(this, &other, d);
    if (p->is_universe()) {
      pieces.clear();
      pieces.push_back(std::move(p));
      return pieces;
    }
    if (!p->is_empty())
      pieces.push_back(std::move(p));
  }
  return pieces;
}

std::unique_ptr<Polyhedron> IndexFunction::equal(const IndexFunction* a, const IndexFunction* b)
{
  if (a->dimension() != b->dimension())
    fail(Stream::Out, cat("IndexFunction::equal: index dimensions not equal\n", *a, " vs ", *b));
  auto p = std::make_unique<Polyhedron>();
  for (int e = 0; e < a->dimension(); e++) {
    Inequation eq(PRED_EQ, a->index_mapping[e], b->index_mapping[e]);
    p->add_constraint(&eq);
  }
  return p;
}

std::vector<std::unique_ptr<Polyhedron>> IndexFunction::before_eq(const IndexFunction* other) const
{
  std::vector<std::unique_ptr<Polyhedron>> r;
  for (std::unique_ptr<Polyhedron>& p : *this < *other)
    r.push_back(std::move(p));
  r.push_back(equal(this, other));
  return r;
}
