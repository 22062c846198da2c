#include "polyhedra/point_count.h"

#include <climits>
#include <sstream>

#include "support/failure.h"
#include "solvers/isl_wrapper.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"

PointCount::PointCount(const Polyhedron* p, const std::set<int>& counters)
    : polyhedron_(p->clone()), counters_(counters)
{
  is_val = 0;
}

PointCount::~PointCount() = default;

std::string PointCount::get_class() const { return "PointCount"; }

bool PointCount::operator==(const Expression& other) const
{
  const PointCount* o = dynamic_cast<const PointCount*>(&other);
  if (!o || o->counters_ != counters_)
    return false;
  std::ostringstream a, b;
  a << *polyhedron_;
  b << *o->polyhedron_;
  return a.str() == b.str();
}

std::unique_ptr<Expression> PointCount::clone() const
{
  return std::make_unique<PointCount>(polyhedron_.get(), counters_);
}

std::unique_ptr<Expression> PointCount::parameters_to_parameters(const std::map<int, int>& m) const
{
  return std::make_unique<PointCount>(polyhedron_->parameters_to_parameters(m).get(), counters_);
}

std::vector<Expression*> PointCount::get_divs() { return {}; }

Value PointCount::evaluate_int(const std::map<int, Value>&,
                               const std::map<int, Value>& parameters) const
{
  std::set<int> used = polyhedron_->get_parameters();
  std::vector<std::vector<Value>> rows = polyhedron_->to_matrix(counters_, used);
  std::vector<Value> point;
  for (int q : used) {
    auto it = parameters.find(q);
    point.push_back(it == parameters.end() ? 0 : it->second);
  }
  long n = ISLWrapper::counts(rows, static_cast<int>(counters_.size()), {point}).at(0);
  if (n < 0)
    fail(Stream::Err, "PointCount::evaluate_int: unbounded or too large a count");
  return n;
}

double PointCount::evaluate_double(const std::map<int, double>& counters,
                                   const std::map<int, double>& parameters) const
{
  std::map<int, Value> whole;
  for (const auto& [rank, value] : parameters)
    whole[rank] = static_cast<Value>(value);
  (void)counters;
  return evaluate_int({}, whole);
}

std::unique_ptr<Expression> PointCount::evaluate(const std::map<int, Expression*>&,
                                                 const std::map<int, Expression*>&) const
{
  return clone();
}

void PointCount::print(std::ostream& os) const
{
  os << "#{";
  print_variable_list(os, counters_, ",", 1);
  os << " : " << polyhedron_->size() << " constraints}";
}

void PointCount::compile(std::ostream& os, const std::string& result,
                         const std::string& prefix) const
{
  std::set<int> used = polyhedron_->get_parameters();
  std::vector<std::string> variables, parameters;
  for (int c : counters_)
    variables.push_back("point_" + get_counter_string(c));
  for (int q : used)
    parameters.push_back(get_parameter_string(q));
  os << prefix << result << " = 0;\n";
  os << ISLWrapper::scan_code(polyhedron_->to_matrix(counters_, used), variables, parameters,
                              result + "++;", prefix);
}

bool is_point_count(const Expression* e) { return dynamic_cast<const PointCount*>(e) != nullptr; }
