// The multidimensional date of every instance of one statement: an affine
// function of the statement's counters and the parameters, one component per
// time dimension, compared lexicographically. Vectors of schedules are
// indexed by statement rank.
//
// Ownership: a schedule owns its index function; constructors clone what they
// are given; every operation returns a new object given to the caller, except
// add_dimension(), which appends a clone in place.
#ifndef VORL_ANALYSIS_SCHEDULE_H
#define VORL_ANALYSIS_SCHEDULE_H

#include <map>
#include <ostream>
#include <vector>

#include "algebra/value.h"

class Expression;
class IndexFunction;
class Operation;
class Polyhedron;
class Program;

class Schedule {
 public:
  IndexFunction* index_function;

  explicit Schedule(const IndexFunction* f);
  explicit Schedule(const std::vector<Expression*>& components);
  explicit Schedule(const std::vector<int>& ranks);
  Schedule(const IndexFunction* f, const std::vector<int>& counters);
  Schedule(const Schedule&) = delete;
  Schedule& operator=(const Schedule&) = delete;
  ~Schedule();

  int dimension() const;
  int dim() const;
  int size() const;
  Schedule* keep_first(int n) const;
  Schedule* keep_last(int n) const;
  // The date of an instance: each counter c of op's statement replaced by
  // entry c of its iteration vector.
  IndexFunction* apply(const Operation* op) const;
  // Each counter of rank r replaced by component r of point.
  IndexFunction* apply(const IndexFunction* point) const;
  IndexFunction* counters_to_parameters(const std::map<int, int>& m) const;
  IndexFunction* counters_to_counters(const std::map<int, int>& m) const;
  Schedule* clone() const;
  void add_dimension(const Expression* e);
  std::vector<std::vector<Value>> to_matrix() const;
  void print() const;
  // The non-empty polyhedra, one per level, where this date is strictly
  // before the other's.
  std::vector<Polyhedron*> before(const Schedule* other) const;

  // The textual (2d+1) schedules of a program's statements; the counter of a
  // loop that counts down comes negated.
  static std::vector<Schedule*> from_Program(const Program* p);
  static int max_dimension(const std::vector<Schedule*>& schedules);
  static int common_nest(const std::vector<int>& a, const std::vector<int>& b);
  static std::vector<Schedule*> restrict_to_statements(const std::vector<Schedule*>& all,
                                                       const std::vector<int>& ranks);
  static std::vector<Schedule*> clone(const std::vector<Schedule*>& schedules);
  static void print_vec(const std::vector<Schedule*>& schedules);
  static void print_vec_matrix(const std::vector<Schedule*>& schedules);
  static void print_iscc(std::ostream& os, const std::vector<Schedule*>& schedules);
};

std::ostream& operator<<(std::ostream& os, const Schedule& s);
std::ostream& operator<<(std::ostream& os, const std::vector<Schedule*>& schedules);

void del(std::vector<Schedule*>& v);

#endif
