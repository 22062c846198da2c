// A conjunction of affine constraints over the registry's counters and
// parameters, with its constraint matrix cached.
//
// Matrix rows are [kind (0 equality, 1 inequality >= 0) | counters by rank |
// parameters by rank | constant], the layout the polyhedral libraries read.
// The cache is reused only while the registry has not grown and the
// constraint list has not changed.
//
// Ownership: a polyhedron owns its constraints; constructors clone the
// constraints they are given (kept by the caller); every operation returns a
// new object owned by the caller (unique_ptr, or a vector of them for a
// union), except add_constraint(s)/add, which grow this polyhedron with clones
// (add returns this polyhedron itself), and get_divs(), which returns pointers
// into the constraints. Unions taken as vectors of plain pointers are kept.
#ifndef VORL_POLYHEDRA_POLYHEDRON_H
#define VORL_POLYHEDRA_POLYHEDRON_H

#include <list>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "algebra/value.h"

class Expression;
class IndexFunction;
class Inequation;
class Quast;
class SgExpression;

class Polyhedron;

// Orders polyhedra by creation, so that a map keyed by them iterates in an
// order that the program decides.
struct CreatedBefore {
  bool operator()(const Polyhedron* a, const Polyhedron* b) const;
};

// Piecewise results: disjoint pieces (keys) and what holds on each, owned by
// the map's holder; iterated in the order the pieces were made.
template <class T>
using PolyhedronMap = std::map<Polyhedron*, T, CreatedBefore>;

// A piecewise result that owns its pieces and their values; iterated like the
// map it holds.
template <class T>
class OwnedPieces {
 public:
  OwnedPieces() = default;
  // Takes the pieces and values of m.
  explicit OwnedPieces(PolyhedronMap<T*>&& m) : map_(std::exchange(m, {})) {}
  OwnedPieces(OwnedPieces&& o) noexcept : map_(std::exchange(o.map_, {})) {}
  OwnedPieces& operator=(OwnedPieces&& o) noexcept
  {
    std::swap(map_, o.map_);
    return *this;
  }
  ~OwnedPieces()
  {
    for (auto& [piece, value] : map_) {
      delete piece;
      delete value;
    }
  }
  // Takes the piece and its value.
  void insert(std::unique_ptr<Polyhedron> piece, std::unique_ptr<T> value)
  {
    Polyhedron* key = piece.get();
    map_[key] = value.get();
    piece.release();
    value.release();
  }
  const PolyhedronMap<T*>& map() const { return map_; }
  typename PolyhedronMap<T*>::const_iterator begin() const { return map_.begin(); }
  typename PolyhedronMap<T*>::const_iterator end() const { return map_.end(); }
  size_t size() const { return map_.size(); }
  bool empty() const { return map_.empty(); }

 private:
  PolyhedronMap<T*> map_;
};

class Polyhedron {
 public:
  /// The order of creation among all polyhedra: what maps keyed by
  /// polyhedra are ordered by (never by address).
  unsigned long long serial = next_serial();
  std::list<Inequation*> constraints;
  int has_matrix = 0;
  std::vector<std::vector<Value>> matrix;
  int nb_counters = 0;
  int nb_parameters = 0;
  int has_divs = 0;

  Polyhedron();
  explicit Polyhedron(const Inequation* c);
  explicit Polyhedron(const std::list<Inequation*>& l);
  explicit Polyhedron(Polyhedron* p);
  explicit Polyhedron(const std::vector<std::vector<Value>>& m);
  Polyhedron(const std::vector<std::vector<Value>>& m, const std::set<int>& active_counters,
             const std::set<int>& active_parameters);
  Polyhedron(const std::vector<std::vector<Value>>& m, const std::set<int>& active_counters);
  // A condition of the syntax tree (defined with the program extraction).
  static std::unique_ptr<Polyhedron> from_Sage(SgExpression* e);
  Polyhedron(const Polyhedron&) = delete;
  Polyhedron& operator=(const Polyhedron&) = delete;
  virtual ~Polyhedron();

  // Virtual slots, in this order.
  virtual std::unique_ptr<Polyhedron> clone() const;
  virtual std::set<int> get_counters() const;
  virtual std::set<int> get_parameters() const;
  virtual int is_single_polyhedron() const;
  virtual int is_domain() const;
  virtual void print(std::ostream& os) const;
  virtual void print_iscc(const std::string& name, std::ostream& os) const;

  void add_constraint(const Inequation* c);
  Polyhedron* add(const Inequation& c);
  void add_constraints(const Polyhedron* p);
  static std::unique_ptr<Polyhedron> intersect(Polyhedron* a, const Polyhedron* b);

  void update_matrix();
  std::vector<std::vector<Value>> to_matrix();
  std::vector<std::vector<Value>> to_matrix(const std::set<int>& counters);
  std::vector<std::vector<Value>> to_matrix(const std::set<int>& counters,
                                            const std::set<int>& parameters);
  std::vector<std::vector<Value>> to_matrix_without_1() const;

  static bool is_universe(const std::vector<Polyhedron*>& u);
  bool is_universe() const;
  bool has_div() const;
  std::vector<Expression*> get_divs();
  static std::set<int> get_counters(const std::vector<Polyhedron*>& u);
  static std::set<int> get_parameters(const std::vector<Polyhedron*>& u);

  std::unique_ptr<Polyhedron> parameters_to_counters(const std::map<int, int>& m) const;
  std::unique_ptr<Polyhedron> counters_to_parameters(const std::map<int, int>& m) const;
  std::unique_ptr<Polyhedron> counters_to_counters(const std::map<int, int>& m) const;
  std::unique_ptr<Polyhedron> parameters_to_parameters(const std::map<int, int>& m) const;
  std::unique_ptr<Polyhedron> substitute_counters(const std::map<int, Expression*>& m) const;
  std::unique_ptr<Polyhedron> substitute_parameters(const std::map<int, Expression*>& m) const;
  static std::vector<std::unique_ptr<Polyhedron>> parameters_to_counters(
      const std::vector<Polyhedron*>& u, const std::map<int, int>& m);
  static std::vector<std::unique_ptr<Polyhedron>> counters_to_parameters(
      const std::vector<Polyhedron*>& u, const std::map<int, int>& m);
  static std::vector<std::unique_ptr<Polyhedron>> counters_to_counters(
      const std::vector<Polyhedron*>& u, const std::map<int, int>& m);
  static std::vector<std::unique_ptr<Polyhedron>> parameters_to_parameters(
      const std::vector<Polyhedron*>& u, const std::map<int, int>& m);
  static std::vector<std::unique_ptr<Polyhedron>> substitute_counters(
      const std::vector<Polyhedron*>& u, const std::map<int, Expression*>& m);
  static std::vector<std::unique_ptr<Polyhedron>> substitute_parameters(
      const std::vector<Polyhedron*>& u, const std::map<int, Expression*>& m);

  bool implies(const Inequation* c) const;
  int size() const;

  // The constraints as a C condition ("true" when there is none).
  void print_code(std::ostream& os) const;
  // The union as a C condition ("false" when empty).
  static void print_code(std::ostream& os, const std::vector<Polyhedron*>& u);

  // Sharing check: throws when two constraints share an expression node.
  std::set<const Expression*> check() const;

  // Simplification.
  // Without duplicates (the last occurrence stays) and trivially true constraints.
  std::unique_ptr<Polyhedron> simplify() const;
  // Every constraint rewritten as one or two rows expression >= 0.
  std::unique_ptr<Polyhedron> simplify_matrix();
  // PolyLib's minimal form (equalities come back as such); a clone when the
  // polyhedron holds divisions.
  std::unique_ptr<Polyhedron> simplify_chernikova();
  static std::vector<std::unique_ptr<Polyhedron>> gist(const std::vector<Polyhedron*>& u,
                                                       const std::vector<Polyhedron*>& context);
  static std::vector<std::unique_ptr<Polyhedron>> gist(const std::vector<Polyhedron*>& u,
                                                       Polyhedron* context);
  // The single disjunct of the gist, or a clone of p when there is not exactly one.
  static std::unique_ptr<Polyhedron> gist(Polyhedron* p, Polyhedron* context);
  static std::vector<std::unique_ptr<Polyhedron>> coalesce(const std::vector<Polyhedron*>& u);
  // Each division by a constant replaced by a quotient counter q with its
  // remainder r: (ranks of the q and r counters, polyhedron without division).
  std::pair<std::set<int>, std::unique_ptr<Polyhedron>> eliminate_divs() const;
  // The same with equal divisions sharing their counters: (q and r counter
  // ranks to the expressions they stand for, polyhedron without division).
  std::pair<std::map<int, std::unique_ptr<Expression>>, std::unique_ptr<Polyhedron>> un_div() const;

  // Projection, convex hull and counting.
  // Rational projection onto the kept counters and every parameter.
  std::unique_ptr<Polyhedron> project(const std::set<int>& keep);
  std::unique_ptr<Polyhedron> project(const std::vector<int>& keep);
  // Integer projection as a union, exact for non-negative values of the kept
  // counters and of the parameters.
  std::vector<std::unique_ptr<Polyhedron>> project_int(const std::set<int>& keep);
  std::vector<std::unique_ptr<Polyhedron>> project_int(const std::vector<int>& keep);
  std::vector<std::unique_ptr<Polyhedron>> project_int_core(const std::set<int>& keep);
  static std::unique_ptr<Polyhedron> convex_hull(const std::list<Polyhedron*>& l);
  static std::unique_ptr<Polyhedron> convex_hull(const std::vector<Polyhedron*>& v);
  // Number of integer points in the counters vars, piece by piece over the
  // parameters (pieces with an empty domain left out).
  OwnedPieces<Expression> volume(const std::set<int>& vars);
  OwnedPieces<Expression> volume();
  // Divisions eliminated, then the quotient and remainder counters projected away.
  std::unique_ptr<Polyhedron> eliminate_divs_and_simplify() const;
  static std::vector<std::unique_ptr<Polyhedron>> eliminate_divs(
      const std::vector<Polyhedron*>& u);

  // Complement of a union (of this polyhedron) as a union of polyhedra.
  static std::vector<std::unique_ptr<Polyhedron>> negate(const std::vector<Polyhedron*>& u);
  std::vector<std::unique_ptr<Polyhedron>> negate() const;

  // Parametric lexicographic optimum and integer emptiness.
  // Maximum with counters and parameters >= 0; the general form lets both
  // take any sign.
  std::unique_ptr<Quast> max_lex();
  std::unique_ptr<Quast> max_lex_general();
  // Exact: no integer point with counters and parameters >= 0 (resp. of any sign).
  bool is_empty();
  bool is_empty_general();
  // True for an empty vector and when every member is empty.
  static bool is_empty(const std::vector<Polyhedron*>& u);
  // Whether the intersection of parts (kept) has no integer point, as
  // is_empty() says, without building it.
  static bool intersection_is_empty(const std::vector<const Polyhedron*>& parts);
  // Minimum over counters of any sign, parameters >= 0, under the context rows.
  std::unique_ptr<Quast> min_lex();
  std::unique_ptr<Quast> min_lex(const std::vector<int>& tag_vector, int statement);
  // Where, over the parameters (>= 0, under the context rows), some integer
  // values of the counters satisfy the constraints, without computing an
  // optimum: the union of the pieces (new, over the parameters, with integer
  // divisions; they may overlap, and some may be empty).
  std::vector<std::unique_ptr<Polyhedron>> shadow();
  // The instance whose date (one component per row of dates) is
  // lexicographically smallest; counters and parameters of any sign.
  std::unique_ptr<Quast> min_lex2(const IndexFunction* dates);
  // The same over the intersection of parts (kept), without building it.
  static std::unique_ptr<Quast> min_lex2(const std::vector<const Polyhedron*>& parts,
                                         const IndexFunction* dates);
  // The given counters (ranks) whose constraints in the intersection of
  // parts (kept) are the same up to their renaming, once the equalities of
  // the parts are substituted: each counter mapped to the first of its class
  // by rank (itself when alone; also when a constraint holds two of them).
  static std::map<int, int> interchangeable_counters(const std::vector<const Polyhedron*>& parts,
                                                     const std::vector<int>& counters);
  // Among the given counters (ranks), each between 0 and 1 in the
  // intersection of parts (kept), some that are 0 at every integer point of
  // it. A counter is shown 0 by part of the rows, once the equalities of the
  // parts are substituted: those over the other columns of its own rows,
  // with the other given counters where each row is weakest, have no integer
  // point with the counter at 1. Others may be 0 at every point too.
  static std::set<int> counters_never_one(const std::vector<const Polyhedron*>& parts,
                                          const std::vector<int>& counters);

 private:
  static unsigned long long next_serial();
  // A new polyhedron adopting already built constraints.
  static std::unique_ptr<Polyhedron> adopt(std::list<Inequation*> l);
};

inline bool CreatedBefore::operator()(const Polyhedron* a, const Polyhedron* b) const
{
  return a->serial < b->serial;
}

std::ostream& operator<<(std::ostream& os, const Polyhedron& p);
std::ostream& operator<<(std::ostream& os, const std::vector<Polyhedron*>& u);

bool is_null(const std::vector<Value>& row);

// The single constraint 0 >= 0, respectively 0 > 0.
std::unique_ptr<Polyhedron> universe();
std::unique_ptr<Polyhedron> empty();

std::unique_ptr<Inequation> equal_zero(const Expression* e);
std::unique_ptr<Polyhedron> equal_zero(const std::vector<Expression*>& v);
std::unique_ptr<Inequation> positive(const Expression* e);
std::unique_ptr<Polyhedron> positive(const std::vector<Expression*>& v);

bool disjoint_set(const std::set<int>& a, const std::set<int>& b);
bool sub_set(const std::set<int>& a, const std::set<int>& b);

#endif
