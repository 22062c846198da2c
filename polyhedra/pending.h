// Questions about polyhedra asked now and answered later. The rows of the
// question are read at once, on the caller's thread (they depend on the
// registry); the solver's part goes to the side thread (support/side_task.h)
// while the caller goes on; take() gives the same answer as the question
// asked directly, on the caller's thread (what it builds of the answer
// depends on the registry too). The dependence analysis asks its tests and
// its gists this way.
//
// Ownership: a pending question keeps no polyhedron it was asked about but
// the one PendingGist takes; take() gives the answer to the caller.
#ifndef VORL_POLYHEDRA_PENDING_H
#define VORL_POLYHEDRA_PENDING_H

#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "algebra/value.h"
#include "support/side_task.h"

class Polyhedron;

/// Polyhedron::intersection_is_empty(parts), asked now.
class PendingEmptiness {
 public:
  /// Reads the rows of parts (kept).
  explicit PendingEmptiness(const std::vector<const Polyhedron*>& parts);
  /// Whether the intersection has no integer point. Call it once.
  bool take();

 private:
  std::optional<bool> known_;
  std::optional<Later<bool>> later_;
};

/// p->simplify_gist() of a polyhedron p that has an integer point, asked now.
class PendingGist {
 public:
  /// Takes p.
  explicit PendingGist(std::unique_ptr<Polyhedron> p);
  /// The gist of p (given). Call it once.
  std::unique_ptr<Polyhedron> take();

 private:
  using Rows = std::vector<std::vector<Value>>;

  std::unique_ptr<Polyhedron> polyhedron_;
  std::set<int> counters_, parameters_;
  std::optional<Later<std::optional<Rows>>> later_;
};

#endif
