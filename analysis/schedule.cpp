#include "analysis/schedule.h"

#include <iostream>

#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/index_function.h"
#include "algebra/matrix.h"
#include "algebra/rank.h"
#include "polyhedra/operation.h"
#include "polyhedra/polyhedron.h"
#include "program/program.h"
#include "program/statement.h"
#include "support/ownership.h"

Schedule::Schedule(const IndexFunction* f) : index_function(f->clone().release()) {}

Schedule::Schedule(const std::vector<Expression*>& components)
    : index_function(new IndexFunction(components))
{
}

Schedule::Schedule(const std::vector<int>& ranks) : index_function(new IndexFunction(ranks)) {}

Schedule::Schedule(const IndexFunction* f, const std::vector<int>& counters)
    : index_function(f->clone().release())
{
  index_function->surrounding_counters = counters;
}

Schedule::~Schedule() { delete index_function; }

int Schedule::dimension() const { return index_function->dimension(); }
int Schedule::dim() const { return dimension(); }
int Schedule::size() const { return dimension(); }

std::unique_ptr<Schedule> Schedule::keep_first(int n) const
{
  return std::make_unique<Schedule>(index_function->keep_first(n).get());
}
std::unique_ptr<Schedule> Schedule::keep_last(int n) const
{
  return std::make_unique<Schedule>(index_function->keep_last(n).get());
}

std::unique_ptr<IndexFunction> Schedule::apply(const Operation* op) const
{
  std::map<int, Expression*> m;
  for (int c : op->counters)
    m[c] = op->iteration->index_mapping.at(c);
  return index_function->substitute_counters(m);
}

std::unique_ptr<IndexFunction> Schedule::apply(const IndexFunction* point) const
{
  std::map<int, Expression*> m;
  for (int r = 0; r < get_nb_counters() && r < point->dimension(); r++)
    m[r] = point->index_mapping[r];
  return index_function->substitute_counters(m);
}

std::unique_ptr<IndexFunction> Schedule::counters_to_parameters(const std::map<int, int>& m) const
{
  return index_function->counters_to_parameters(m);
}

std::unique_ptr<IndexFunction> Schedule::counters_to_counters(const std::map<int, int>& m) const
{
  return index_function->counters_to_counters(m);
}

std::unique_ptr<Schedule> Schedule::clone() const
{
  return std::make_unique<Schedule>(index_function);
}

void Schedule::add_dimension(const Expression* e) { index_function->add_dimension(e); }

std::vector<std::vector<Value>> Schedule::to_matrix() const { return index_function->to_matrix(); }

std::vector<std::unique_ptr<Polyhedron>> Schedule::before(const Schedule* other) const
{
  return index_function->before(other->index_function);
}

void Schedule::print() const { std::cout << "schedule = " << *index_function; }

std::vector<std::unique_ptr<Schedule>> Schedule::from_Program(const Program* p)
{
  std::vector<std::unique_ptr<Schedule>> result;
  if (p->statement.empty())
    return result;
  int top = 0;
  std::vector<int> position(p->nb_counters > get_nb_counters() ? p->nb_counters : get_nb_counters(),
                            0);
  std::vector<int> previous = p->statement[0]->surrounding_counters;
  for (const auto& s : p->statement) {
    const std::vector<int>& own = s->surrounding_counters;
    int c = common_nest(previous, own);
    if (c == -1)
      top++;
    std::vector<std::unique_ptr<Expression>> components;
    components.push_back(v(top));
    for (int k = 0; k < static_cast<int>(own.size()); k++) {
      int counter = own[k];
      if (counter < 0 || counter >= static_cast<int>(position.size()))
        fail(Stream::Err, cat("Schedule::from_Program: counter rank out of range: ", counter));
      // A loop that counts down runs through its counter from high to low.
      std::unique_ptr<Expression> value = Expression::from_counter_rank(counter);
      if (s->counts_down(counter)) {
        Expression minus_one(-1);
        value = std::make_unique<Expression>(OP_TIMES, &minus_one, value.get());
      }
      components.push_back(std::move(value));
      if (k == c)
        position[counter]++;
      components.push_back(v(position[counter]));
    }
    IndexFunction f(own, view(components));
    result.push_back(std::make_unique<Schedule>(&f));
    previous = own;
  }
  return result;
}

int Schedule::max_dimension(const std::vector<Schedule*>& schedules)
{
  if (schedules.empty())
    fail(Stream::Err, "Schedule::max_dim: 0 statements");
  int m = 0;
  for (const Schedule* s : schedules)
    if (s->dim() > m)
      m = s->dim();
  return m;
}

int Schedule::common_nest(const std::vector<int>& a, const std::vector<int>& b)
{
  int last = -1;
  for (size_t k = 0; k < a.size() && k < b.size(); k++) {
    if (a[k] != b[k])
      break;
    last = static_cast<int>(k);
  }
  return last;
}

std::vector<std::unique_ptr<Schedule>> Schedule::restrict_to_statements(
    const std::vector<Schedule*>& all, const std::vector<int>& ranks)
{
  std::vector<std::unique_ptr<Schedule>> r;
  for (int k : ranks)
    r.push_back(all.at(k)->clone());
  return r;
}

std::vector<std::unique_ptr<Schedule>> Schedule::clone(const std::vector<Schedule*>& schedules)
{
  std::vector<std::unique_ptr<Schedule>> r;
  for (const Schedule* s : schedules)
    r.push_back(s->clone());
  return r;
}

void Schedule::print_vec(const std::vector<Schedule*>& schedules)
{
  for (size_t i = 0; i < schedules.size(); i++) {
    std::cout << "STATEMENT #" << i << "\n";
    schedules[i]->print();
    std::cout << "\n\n";
  }
}

void Schedule::print_vec_matrix(const std::vector<Schedule*>& schedules)
{
  for (size_t i = 0; i < schedules.size(); i++) {
    std::cout << "STATEMENT #" << i << "\n";
    MatrixPrinter::print_vec_vec(schedules[i]->to_matrix());
    std::cout << "\n\n";
  }
}

void Schedule::print_iscc(std::ostream& os, const std::vector<Schedule*>& schedules)
{
  os << "[] -> {";
  for (size_t i = 0; i < schedules.size(); i++) {
    if (i)
      os << "; ";
    os << "S" << i << "[";
    print_variable_list(os, schedules[i]->index_function->surrounding_counters, ",", 1);
    os << "] -> [";
    schedules[i]->index_function->print_code(os);
    os << "]";
  }
  os << " }";
}

std::ostream& operator<<(std::ostream& os, const Schedule& s) { return os << *s.index_function; }

std::ostream& operator<<(std::ostream& os, const std::vector<Schedule*>& schedules)
{
  os << "SCHEDULES\n\n";
  for (size_t i = 0; i < schedules.size(); i++)
    os << "Statement #" << i << ": " << *schedules[i] << "\n";
  return os;
}
