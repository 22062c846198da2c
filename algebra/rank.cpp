#include "algebra/rank.h"

#include <iostream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "support/failure.h"

VariableRegistry& registry() { return analysis_context().registry; }

void create_counter_rank(const std::string& name)
{
  VariableRegistry& r = registry();
  r.counter_rank[name] = r.last_counter_rank;
  r.counter_name.push_back(name);
  r.last_counter_rank++;
  r.last_true_counter_rank++;
}

void create_extra_counter_rank(const std::string& name)
{
  VariableRegistry& r = registry();
  if (r.counter_rank.count(name) == 0) {
    r.counter_name.push_back(name);
    r.counter_rank[name] = r.last_counter_rank++;
  }
}

void declare_variable(const std::string& name) { create_extra_counter_rank(name); }

void create_parameter_rank(const std::string& name)
{
  VariableRegistry& r = registry();
  if (r.parameter_rank.count(name) == 0) {
    r.parameter_name.push_back(name);
    r.parameter_rank[name] = r.last_parameter_rank++;
  }
}

void declare_parameter(const std::string& name) { create_parameter_rank(name); }

int get_counter_rank(const std::string& name)
{
  VariableRegistry& r = registry();
  auto it = r.counter_rank.find(name);
  if (it == r.counter_rank.end())
    fail(Stream::Out, cat("get_counter_rank: ", name, " not found."));
  return it->second;
}

int get_parameter_rank(const std::string& name)
{
  VariableRegistry& r = registry();
  auto it = r.parameter_rank.find(name);
  if (it == r.parameter_rank.end())
    fail(Stream::Out, cat("get_parameter_rank: ", name, " not found."));
  return it->second;
}

std::string get_counter_string(int rank)
{
  const VariableRegistry& reg = registry();
  if (rank >= 0 && static_cast<size_t>(rank) < reg.counter_name.size())
    return reg.counter_name[rank];
  fail(Stream::Out, cat("Rank::get_counter_string: rank not found: ", rank));
}

std::string get_parameter_string(int rank)
{
  const VariableRegistry& reg = registry();
  if (rank >= 0 && static_cast<size_t>(rank) < reg.parameter_name.size())
    return reg.parameter_name[rank];
  return "";
}

bool is_a_counter(const std::string& name) { return registry().counter_rank.count(name) != 0; }
bool is_a_parameter(const std::string& name) { return registry().parameter_rank.count(name) != 0; }
int get_nb_counters() { return registry().last_counter_rank; }
int get_nb_true_counters() { return registry().last_true_counter_rank; }
int get_nb_parameters() { return registry().last_parameter_rank; }

// Hands out base_0, base_1, ... from one suffix table.
static std::string next_fresh_name(std::map<std::string, int>& table, const std::string& name)
{
  auto it = table.find(name);
  int k = it == table.end() ? 0 : it->second + 1;
  table[name] = k;
  return name + "_" + std::to_string(k);
}

std::string get_new_counter(const std::string& name)
{
  return next_fresh_name(registry().current_counter_rank, name);
}

std::string get_new_parameter(const std::string& name)
{
  return next_fresh_name(registry().current_parameter_rank, name);
}

static std::string suffixed(const std::string& name, int k)
{
  return k == -1 ? name : name + "_" + std::to_string(k);
}

static std::pair<int, std::unique_ptr<Expression>> register_counter(const std::string& full)
{
  create_extra_counter_rank(full);
  int rank = registry().counter_rank[full];
  return {rank, Expression::from_counter_rank(rank)};
}

static std::pair<int, std::unique_ptr<Expression>> register_parameter(const std::string& full)
{
  create_parameter_rank(full);
  int rank = registry().parameter_rank[full];
  return {rank, Expression::from_parameter_rank(rank)};
}

std::pair<int, std::unique_ptr<Expression>> create_counter(const std::string& name)
{
  return register_counter(get_new_counter(name));
}

std::pair<int, std::unique_ptr<Expression>> create_counter(const std::string& name, int k)
{
  return register_counter(suffixed(name, k));
}

std::pair<int, std::unique_ptr<Expression>> create_parameter(const std::string& name)
{
  return register_parameter(get_new_parameter(name));
}

std::pair<int, std::unique_ptr<Expression>> create_parameter(const std::string& name, int k)
{
  return register_parameter(suffixed(name, k));
}

template <typename Ranks>
static std::map<int, int> create_counters_of(const Ranks& ranks, bool fresh, int k)
{
  std::map<int, int> result;
  for (int r : ranks) {
    std::string base = get_counter_string(r);
    result[r] = (fresh ? create_counter(base) : create_counter(base, k)).first;
  }
  return result;
}

std::map<int, int> create_counters(const std::vector<int>& ranks)
{
  return create_counters_of(ranks, true, 0);
}
std::map<int, int> create_counters(const std::vector<int>& ranks, int k)
{
  return create_counters_of(ranks, false, k);
}
std::map<int, int> create_counters(const std::set<int>& ranks)
{
  return create_counters_of(ranks, true, 0);
}
std::map<int, int> create_counters(const std::set<int>& ranks, int k)
{
  return create_counters_of(ranks, false, k);
}

std::string get_new_counter(int i, int j)
{
  return "new_counter_" + std::to_string(i) + "_" + std::to_string(j);
}

std::string get_new_counter_parameter(int rank)
{
  int n = ++registry().last_counter_parameter[rank];
  return "counter_" + std::to_string(rank) + "_number_" + std::to_string(n);
}

std::string get_counter_for_parameter(const std::string& parameter)
{
  return parameter + "_counter";
}

std::string get_counter_parameter(int rank) { return "c_" + std::to_string(rank); }

std::map<int, int> turn_parameters_to_counters()
{
  VariableRegistry& r = registry();
  std::map<int, int> result;
  // Copy first: registering counters does not touch the parameter table, but
  // iterating a snapshot keeps the walk independent of it.
  std::map<std::string, int> parameters = r.parameter_rank;
  for (const auto& [name, rank] : parameters) {
    std::string counter = get_counter_for_parameter(name);
    create_extra_counter_rank(counter);
    result[rank] = r.counter_rank[counter];
  }
  return result;
}

std::string new_variable(const std::string& name, variable_type_t type)
{
  VariableRegistry& r = registry();
  auto it = r.last_variable.find(name);
  int suffix = it == r.last_variable.end() ? 0 : it->second + 1;
  r.last_variable[name] = suffix;
  r.variable_type[name][type].insert(suffix);
  std::string full = name + "_" + std::to_string(suffix);
  r.full_variable_type[full] = type;
  return full;
}

void free_variable(const std::string& name) { registry().last_variable[name]--; }

void reset_variables() { registry().last_variable.clear(); }

variable_type_t get_variable_type(const std::string& full_name)
{
  VariableRegistry& r = registry();
  auto it = r.full_variable_type.find(full_name);
  if (it == r.full_variable_type.end())
    fail(Stream::Err, "Rank::get_variable_type: undefined variable");
  return it->second;
}

void print_variable_type(std::ostream& os, int type)
{
  if (type == TYPE_INT)
    os << "int";
  else if (type == TYPE_DOUBLE)
    os << "double";
  else if (type == TYPE_LONG_LONG)
    os << "long long";
  else
    fail(Stream::Err, "Rank::print_type: undefined type");
}

void print_variable_declaration(std::ostream& os, const std::string& prefix)
{
  for (const auto& [base, by_type] : registry().variable_type) {
    for (const auto& [type, suffixes] : by_type) {
      if (suffixes.empty())
        continue;
      os << prefix;
      print_variable_type(os, type);
      os << " ";
      bool first = true;
      for (int s : suffixes) {
        os << (first ? "" : ",") << base << "_" << s;
        first = false;
      }
      os << ";\n";
    }
  }
}

void print_counters()
{
  std::cout << "#counters: " << get_nb_counters() << " #true_counters: " << get_nb_true_counters()
            << "\n"
            << "counters = {\n";
  for (const auto& [name, rank] : registry().counter_rank)
    std::cout << " " << name << " -> " << rank << "\n";
  std::cout << "}\n";
}

void print_parameters()
{
  std::cout << "parameters = {\n";
  for (const auto& [name, rank] : registry().parameter_rank)
    std::cout << " " << name << " -> " << rank << "\n";
  std::cout << "}\n";
}

template <typename Ranks>
static void print_list(std::ostream& os, const Ranks& ranks, const std::string& separator,
                       int is_counter)
{
  bool first = true;
  for (int r : ranks) {
    if (!first)
      os << separator;
    os << (is_counter ? get_counter_string(r) : get_parameter_string(r));
    first = false;
  }
}

void print_variable_list(std::ostream& os, const std::set<int>& ranks, const std::string& separator,
                         int is_counter)
{
  print_list(os, ranks, separator, is_counter);
}

void print_variable_list(std::ostream& os, const std::vector<int>& ranks,
                         const std::string& separator, int is_counter)
{
  print_list(os, ranks, separator, is_counter);
}

std::string operator+(const std::string& s, int i) { return s + std::to_string(i); }
std::string concat(const std::string& s, int i) { return s + std::to_string(i); }
