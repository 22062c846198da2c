// The multidimensional date of every instance of one statement: an affine
// function of the statement's counters and the parameters, one component per
// time dimension, compared lexicographically. Vectors of schedules are
// indexed by statement rank.
//
// Ownership: a schedule owns its index function; constructors clone what they
// are given (kept by the caller); every operation returns a new object owned
// by the caller, except add_dimension(), which appends a clone in place.
// Vectors of plain schedule pointers are kept.
#ifndef VORL_ANALYSIS_SCHEDULE_H
#define VORL_ANALYSIS_SCHEDULE_H

#include <map>
#include <memory>
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
  std::unique_ptr<Schedule> keep_first(int n) const;
  std::unique_ptr<Schedule> keep_last(int n) const;
  // The date of an instance: each counter c of op's statement replaced by
  // entry c of its iteration vector.
  std::unique_ptr<IndexFunction> apply(const Operation* op) const;
  // Each counter of rank r replaced by component r of point.
  std::unique_ptr<IndexFunction> apply(const IndexFunction* point) const;
  std::unique_ptr<IndexFunction> counters_to_parameters(const std::map<int, int>& m) const;
  std::unique_ptr<IndexFunction> counters_to_counters(const std::map<int, int>& m) const;
  std::unique_ptr<Schedule> clone() const;
  void add_dimension(const Expression* e);
  std::vector<std::vector<Value>> to_matrix() const;
  void print() const;
  // The non-empty polyhedra, one per level, where this date is strictly
  // before the other's.
  std::vector<std::unique_ptr<Polyhedron>> before(const Schedule* other) const;

  // The textual (2d+1) schedules of a program's statements; the counter of a
  // loop that counts down comes negated.
  static std::vector<std::unique_ptr<Schedule>> from_Program(const Program* p);
  static int max_dimension(const std::vector<Schedule*>& schedules);
  static int common_nest(const std::vector<int>& a, const std::vector<int>& b);
  static std::vector<std::unique_ptr<Schedule>> restrict_to_statements(
      const std::vector<Schedule*>& all, const std::vector<int>& ranks);
  static std::vector<std::unique_ptr<Schedule>> clone(const std::vector<Schedule*>& schedules);
  static void print_vec(const std::vector<Schedule*>& schedules);
  static void print_vec_matrix(const std::vector<Schedule*>& schedules);
  static void print_iscc(std::ostream& os, const std::vector<Schedule*>& schedules);
};

std::ostream& operator<<(std::ostream& os, const Schedule& s);
std::ostream& operator<<(std::ostream& os, const std::vector<Schedule*>& schedules);

#endif
