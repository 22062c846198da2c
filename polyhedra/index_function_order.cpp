// Lexicographic comparison of index functions as unions of polyhedra.
#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "polyhedra/polyhedron.h"

namespace {

// Piece d: this[d] < other[d] and this[e] == other[e] (as two inequations)
// for every e < d.
Polyhedron* piece(const IndexFunction* a, const IndexFunction* b, int d)
{
  Inequation strict(PRED_LT, a->index_mapping[d], b->index_mapping[d]);
  Polyhedron* p = new Polyhedron(&strict);
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

std::list<Polyhedron*> IndexFunction::before_no_simplification(const IndexFunction* other) const
{
  std::list<Polyhedron*> pieces;
  for (int d = 0; d < common_dimension(this, other); d++)
    pieces.push_back(piece(this, other, d));
  return pieces;
}

std::vector<Polyhedron*> IndexFunction::before(const IndexFunction* other) const
{
  std::vector<Polyhedron*> kept;
  for (Polyhedron* p : before_no_simplification(other)) {
    if (p->is_empty_general())
      delete p;
    else
      kept.push_back(p);
  }
  return kept;
}

std::list<Polyhedron*> IndexFunction::operator<(const IndexFunction& other) const
{
  std::list<Polyhedron*> pieces;
  for (int d = 0; d < common_dimension(this, &other); d++) {
    Polyhedron* p = piece(this, &other, d);
    if (p->is_universe()) {
      del(pieces);
      return {p};
    }
    if (p->is_empty())
      delete p;
    else
      pieces.push_back(p);
  }
  return pieces;
}

Polyhedron* IndexFunction::equal(const IndexFunction* a, const IndexFunction* b)
{
  if (a->dimension() != b->dimension())
    fail(Stream::Out, cat("IndexFunction::equal: index dimensions not equal\n", *a, " vs ", *b));
  Polyhedron* p = new Polyhedron();
  for (int e = 0; e < a->dimension(); e++) {
    Inequation eq(PRED_EQ, a->index_mapping[e], b->index_mapping[e]);
    p->add_constraint(&eq);
  }
  return p;
}

std::vector<Polyhedron*> IndexFunction::before_eq(const IndexFunction* other) const
{
  std::list<Polyhedron*> strict = *this < *other;
  std::vector<Polyhedron*> r(strict.begin(), strict.end());
  r.push_back(equal(this, other));
  return r;
}
