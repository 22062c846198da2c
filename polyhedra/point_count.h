// The number of integer points of a polyhedron in some of its counters, as a
// function of the parameters, where no closed form is at hand: evaluated by
// counting, and compiled to a loop nest that counts the points.
//
// The Expression part is a leaf that is neither a constant, a counter nor a
// parameter. Ownership: a count owns a copy of its polyhedron; constructors
// clone what they are given (kept by the caller); operations return new
// objects owned by the caller.
#ifndef VORL_POLYHEDRA_POINT_COUNT_H
#define VORL_POLYHEDRA_POINT_COUNT_H

#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>

#include "algebra/expression.h"

class Polyhedron;

class PointCount : public Expression {
 public:
  /// The count of the points of p in the listed counters (p is kept, a copy is held).
  PointCount(const Polyhedron* p, const std::set<int>& counters);
  PointCount(const PointCount&) = delete;
  PointCount& operator=(const PointCount&) = delete;
  ~PointCount() override;

  std::string get_class() const override;
  bool operator==(const Expression& other) const override;
  std::unique_ptr<Expression> clone() const override;
  std::unique_ptr<Expression> parameters_to_parameters(const std::map<int, int>& m) const override;
  std::vector<Expression*> get_divs() override;
  using Expression::evaluate;
  using Expression::evaluate_double;
  using Expression::evaluate_int;
  /// The exact count at the given parameter values (a missing value reads 0).
  Value evaluate_int(const std::map<int, Value>& counters,
                     const std::map<int, Value>& parameters) const override;
  double evaluate_double(const std::map<int, double>& counters,
                         const std::map<int, double>& parameters) const override;
  /// A copy: the count stays symbolic.
  std::unique_ptr<Expression> evaluate(const std::map<int, Expression*>& counters,
                                       const std::map<int, Expression*>& parameters) const override;
  void print(std::ostream& os) const override;
  /// C statements that set result to the number of points: a loop nest over them.
  void compile(std::ostream& os, const std::string& result,
               const std::string& prefix) const override;

  const Polyhedron& polyhedron() const { return *polyhedron_; }
  const std::set<int>& counters() const { return counters_; }

 private:
  std::unique_ptr<Polyhedron> polyhedron_;
  std::set<int> counters_;
};

// Whether e is a count by enumeration.
bool is_point_count(const Expression* e);

#endif
