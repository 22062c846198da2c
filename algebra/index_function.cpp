#include "algebra/index_function.h"

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "support/failure.h"


namespace {

std::unique_ptr<IndexFunction> adopt(
    const std::vector<int>& counters, std::vector<Expression*> components)
{
  auto f = std::make_unique<IndexFunction>();
  f->surrounding_counters = counters;
  f->index_mapping = std::move(components);
  return f;
}

}  // namespace

IndexFunction::IndexFunction() = default;

IndexFunction::IndexFunction(const std::vector<int>& counters,
                             const std::vector<Expression*>& components)
    : surrounding_counters(counters)
{
  append_clones(index_mapping, components);
}

IndexFunction::IndexFunction(const std::vector<Expression*>& components)
{
  append_clones(index_mapping, components);
}

IndexFunction::IndexFunction(const std::vector<int>& counters) : surrounding_counters(counters)
{
  for (int r : counters)
    index_mapping.push_back(Expression::from_counter_rank(r).release());
}

IndexFunction::~IndexFunction() { del(index_mapping); }

std::unique_ptr<IndexFunction> IndexFunction::clone() const
{
  return std::make_unique<IndexFunction>(surrounding_counters, index_mapping);
}

int IndexFunction::dimension() const { return static_cast<int>(index_mapping.size()); }

std::unique_ptr<IndexFunction> IndexFunction::keep_first(int n) const
{
  if (n > dimension())
    fail(Stream::Err, "IndexFunction::keep_first: bigger than the dimension");
  if (n < 0)
    fail(Stream::Err, "IndexFunction::keep_first: negative size");
  std::vector<Expression*> kept(index_mapping.begin(), index_mapping.begin() + n);
  return std::make_unique<IndexFunction>(surrounding_counters, kept);
}

std::unique_ptr<IndexFunction> IndexFunction::keep_last(int n) const
{
  if (n > dimension())
    fail(Stream::Err, "IndexFunction::keep_last: bigger than the dimension");
  if (n < 0)
    fail(Stream::Err, "IndexFunction::keep_last: negative size");
  std::vector<Expression*> kept(index_mapping.end() - n, index_mapping.end());
  return std::make_unique<IndexFunction>(surrounding_counters, kept);
}

void IndexFunction::add_dimension(const Expression* e) { index_mapping.push_back(e->clone().release()); }

void IndexFunction::print_code(std::ostream& os) const
{
  for (size_t i = 0; i < index_mapping.size(); i++)
    os << (i ? "," : "") << *index_mapping[i];
}

void IndexFunction::print_code(std::ostream& os, const std::vector<int>& positions) const
{
  for (size_t i = 0; i < positions.size(); i++)
    os << (i ? "," : "") << *index_mapping.at(positions[i]);
}

std::vector<std::vector<Value>> IndexFunction::to_matrix() const
{
  std::vector<std::vector<Value>> m;
  for (Expression* e : index_mapping)
    m.push_back(e->to_vector());
  return m;
}

std::vector<std::vector<Value>> IndexFunction::to_matrix(const std::set<int>& counters,
                                                         const std::set<int>& parameters) const
{
  std::vector<std::vector<Value>> m;
  for (Expression* e : index_mapping)
    m.push_back(e->to_vector(counters, parameters));
  return m;
}

std::unique_ptr<IndexFunction> IndexFunction::counters_to_counters(
    const std::map<int, int>& m) const
{
  std::vector<Expression*> r;
  for (const Expression* e : index_mapping)
    r.push_back(e->counters_to_counters(m).release());
  return adopt(surrounding_counters, r);
}

std::unique_ptr<IndexFunction> IndexFunction::counters_to_parameters(
    const std::map<int, int>& m) const
{
  std::vector<Expression*> r;
  for (const Expression* e : index_mapping)
    r.push_back(e->counters_to_parameters(m).release());
  return adopt(surrounding_counters, r);
}

std::unique_ptr<IndexFunction> IndexFunction::substitute_counters(
    const std::map<int, Expression*>& m) const
{
  std::vector<Expression*> r;
  for (const Expression* e : index_mapping)
    r.push_back(e->substitute_counters(m).release());
  return adopt(surrounding_counters, r);
}

std::ostream& operator<<(std::ostream& os, const IndexFunction& f)
{
  if (analysis_context().print_surrounding_index) {
    for (int r : f.surrounding_counters)
      if (r >= 0 && r < f.dimension())
        os << "[" << *f.index_mapping[r] << "]";
    return os;
  }
  for (const Expression* e : f.index_mapping)
    os << "[" << *e << "]";
  return os;
}
