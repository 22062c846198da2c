#include "algebra/rank.h"

#include <iostream>

#include "algebra/expression.h"
#include "support/failure.h"

std::map<std::string, int> counter_rank;
std::map<std::string, int> parameter_rank;
std::map<int, std::string> counter_string;
int last_true_counter_rank = 0;
int last_counter_rank = 0;
int last_parameter_rank = 0;
std::map<std::string, int> current_counter_rank;
std::map<std::string, int> current_parameter_rank;
std::map<int, int> last_counter_parameter;
std::map<std::string, int> last_variable;
std::map<std::string, std::map<variable_type_t, std::set<int>>> variable_type;
std::map<std::string, variable_type_t> full_variable_type;
std::map<int, int> actual_counter;
std::map<int, int> actual_parameter;

void reset_registry()
{
  counter_rank.clear();
  parameter_rank.clear();
  counter_string.clear();
  last_true_counter_rank = 0;
  last_counter_rank = 0;
  last_parameter_rank = 0;
  current_counter_rank.clear();
  current_parameter_rank.clear();
  last_counter_parameter.clear();
  last_variable.clear();
  variable_type.clear();
  full_variable_type.clear();
  actual_counter.clear();
  actual_parameter.clear();
}

void create_counter_rank(const std::string& name)
{
  counter_rank[name] = last_counter_rank;
  counter_string[last_counter_rank] = name;
  last_counter_rank++;
  last_true_counter_rank++;
}

void create_extra_counter_rank(const std::string& name)
{
  if (counter_rank.count(name) == 0)
    counter_rank[name] = last_counter_rank++;
}

void declare_variable(const std::string& name) { create_extra_counter_rank(name); }

void create_parameter_rank(const std::string& name)
{
  if (parameter_rank.count(name) == 0)
    parameter_rank[name] = last_parameter_rank++;
}

void declare_parameter(const std::string& name) { create_parameter_rank(name); }

int get_counter_rank(const std::string& name)
{
  auto it = counter_rank.find(name);
  if (it == counter_rank.end())
    fail(Stream::Out, cat("get_counter_rank: ", name, " not found."));
  return it->second;
}

int get_parameter_rank(const std::string& name)
{
  auto it = parameter_rank.find(name);
  if (it == parameter_rank.end())
    fail(Stream::Out, cat("get_parameter_rank: ", name, " not found."));
  return it->second;
}

std::string get_counter_string(int rank)
{
  if (rank >= 0 && rank < last_true_counter_rank) {
    auto it = counter_string.find(rank);
    if (it != counter_string.end())
      return it->second;
  }
  for (const auto& [name, r] : counter_rank)
    if (r == rank)
      return name;
  fail(Stream::Out, cat("Rank::get_counter_string: rank not found: ", rank));
}

std::string get_parameter_string(int rank)
{
  for (const auto& [name, r] : parameter_rank)
    if (r == rank)
      return name;
  return "";
}

bool is_a_counter(const std::string& name) { return counter_rank.count(name) != 0; }
bool is_a_parameter(const std::string& name) { return parameter_rank.count(name) != 0; }
int get_nb_counters() { return last_counter_rank; }
int get_nb_true_counters() { return last_true_counter_rank; }
int get_nb_parameters() { return last_parameter_rank; }

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
  return next_fresh_name(current_counter_rank, name);
}

std::string get_new_parameter(const std::string& name)
{
  return next_fresh_name(current_parameter_rank, name);
}

static std::string suffixed(const std::string& name, int k)
{
  return k == -1 ? name : name + "_" + std::to_string(k);
}

static std::pair<int, Expression*> register_counter(const std::string& full)
{
  create_extra_counter_rank(full);
  int rank = counter_rank[full];
  return {rank, Expression::from_counter_rank(rank)};
}

static std::pair<int, Expression*> register_parameter(const std::string& full)
{
  create_parameter_rank(full);
  int rank = parameter_rank[full];
  Expression* leaf = new Expression();
  leaf->is_val = 0;
  leaf->is_parameter = 1;
  leaf->parameter_rank = rank;
  return {rank, leaf};
}

std::pair<int, Expression*> create_counter(const std::string& name)
{
  return register_counter(get_new_counter(name));
}

std::pair<int, Expression*> create_counter(const std::string& name, int k)
{
  return register_counter(suffixed(name, k));
}

std::pair<int, Expression*> create_parameter(const std::string& name)
{
  return register_parameter(get_new_parameter(name));
}

std::pair<int, Expression*> create_parameter(const std::string& name, int k)
{
  return register_parameter(suffixed(name, k));
}

template <typename Ranks>
static std::map<int, int> create_counters_of(const Ranks& ranks, bool fresh, int k)
{
  std::map<int, int> result;
  for (int r : ranks) {
    std::string base = get_counter_string(r);
    auto [rank, leaf] = fresh ? create_counter(base) : create_counter(base, k);
    delete leaf;
    result[r] = rank;
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
  int n = ++last_counter_parameter[rank];
  return "counter_" + std::to_string(rank) + "_number_" + std::to_string(n);
}

std::string get_counter_for_parameter(const std::string& parameter)
{
  return parameter + "_counter";
}

std::string get_counter_parameter(int rank) { return "c_" + std::to_string(rank); }

std::map<int, int> turn_parameters_to_counters()
{
  std::map<int, int> result;
  // Copy first: registering counters does not touch the parameter table, but
  // iterating a snapshot keeps the walk independent of it.
  std::map<std::string, int> parameters = parameter_rank;
  for (const auto& [name, rank] : parameters) {
    std::string counter = get_counter_for_parameter(name);
    create_extra_counter_rank(counter);
    result[rank] = counter_rank[counter];
  }
  return result;
}

std::string new_variable(const std::string& name, variable_type_t type)
{
  auto it = last_variable.find(name);
  int suffix = it == last_variable.end() ? 0 : it->second + 1;
  last_variable[name] = suffix;
  variable_type[name][type].insert(suffix);
  std::string full = name + "_" + std::to_string(suffix);
  full_variable_type[full] = type;
  return full;
}

void free_variable(const std::string& name) { last_variable[name]--; }

void reset_variables() { last_variable.clear(); }

variable_type_t get_variable_type(const std::string& full_name)
{
  auto it = full_variable_type.find(full_name);
  if (it == full_variable_type.end())
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
  for (const auto& [base, by_type] : variable_type) {
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
  for (const auto& [name, rank] : counter_rank)
    std::cout << " " << name << " -> " << rank << "\n";
  std::cout << "}\n";
}

void print_parameters()
{
  std::cout << "parameters = {\n";
  for (const auto& [name, rank] : parameter_rank)
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
