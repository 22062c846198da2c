// The registry of variables of an analysis.
//
// Every loop counter and every parameter is known by its rank: a small
// integer, numbered from 0 in order of registration, counters and parameters
// separately. A rank is also a column: the counter of rank r is column r of
// every coefficient vector, the parameter of rank q column C + q. The
// registry only grows, so a cached vector or matrix built at smaller sizes is
// stale once a variable is registered.
//
// The registry also hands out fresh names and records the typed C variables
// that generated code declares.
//
// Ownership: the registry belongs to the current analysis context
// (algebra/analysis_context.h); the functions returning (rank, leaf) give
// the caller the new leaf; everything else returns values.
#ifndef VORL_ALGEBRA_RANK_H
#define VORL_ALGEBRA_RANK_H

#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

class Expression;

enum variable_type_t { TYPE_INT = 0, TYPE_DOUBLE = 1, TYPE_LONG_LONG = 2 };

// The registry's state. The registry of the analysis under way is
// registry() (one member of algebra/analysis_context.h); the functions below
// work on it.
struct VariableRegistry {
  /// Counter name to rank, true and extra counters alike.
  std::map<std::string, int> counter_rank;
  std::map<std::string, int> parameter_rank;
  /// Rank to name of every counter, true and extra, and of every parameter.
  std::vector<std::string> counter_name, parameter_name;
  int last_true_counter_rank = 0;
  int last_counter_rank = 0;
  int last_parameter_rank = 0;
  /// The last suffix handed out for each base of a fresh counter or
  /// parameter name.
  std::map<std::string, int> current_counter_rank;
  std::map<std::string, int> current_parameter_rank;
  std::map<int, int> last_counter_parameter;
  /// Typed variables of generated code: the last suffix of each base, the
  /// suffixes of each base by type, and the type of each full name.
  std::map<std::string, int> last_variable;
  std::map<std::string, std::map<variable_type_t, std::set<int>>> variable_type;
  std::map<std::string, variable_type_t> full_variable_type;
  /// Column maps of the solver: position of a kept column to the rank it
  /// stands for. Filled before each parametric integer programming call and
  /// read while its answer is converted.
  std::map<int, int> actual_counter;
  std::map<int, int> actual_parameter;
};

/// The registry of the current analysis.
VariableRegistry& registry();

// Registration.
void create_counter_rank(const std::string& name);
void create_extra_counter_rank(const std::string& name);
void declare_variable(const std::string& name);
void create_parameter_rank(const std::string& name);
void declare_parameter(const std::string& name);

// Look-up.
int get_counter_rank(const std::string& name);
int get_parameter_rank(const std::string& name);
std::string get_counter_string(int rank);
std::string get_parameter_string(int rank);
bool is_a_counter(const std::string& name);
bool is_a_parameter(const std::string& name);
int get_nb_counters();
int get_nb_true_counters();
int get_nb_parameters();

// Fresh names and variables.
std::string get_new_counter(const std::string& name);
std::string get_new_parameter(const std::string& name);
std::pair<int, std::unique_ptr<Expression>> create_counter(const std::string& name);
std::pair<int, std::unique_ptr<Expression>> create_counter(const std::string& name, int k);
std::pair<int, std::unique_ptr<Expression>> create_parameter(const std::string& name);
std::pair<int, std::unique_ptr<Expression>> create_parameter(const std::string& name, int k);
std::map<int, int> create_counters(const std::vector<int>& ranks);
std::map<int, int> create_counters(const std::vector<int>& ranks, int k);
std::map<int, int> create_counters(const std::set<int>& ranks);
std::map<int, int> create_counters(const std::set<int>& ranks, int k);
std::string get_new_counter(int i, int j);
std::string get_new_counter_parameter(int rank);
std::string get_counter_for_parameter(const std::string& parameter);
std::string get_counter_parameter(int rank);
std::map<int, int> turn_parameters_to_counters();

// Typed variables of generated C code.
std::string new_variable(const std::string& name, variable_type_t type);
void free_variable(const std::string& name);
void reset_variables();
variable_type_t get_variable_type(const std::string& full_name);
void print_variable_type(std::ostream& os, int type);
void print_variable_declaration(std::ostream& os, const std::string& prefix);

// Printing and string helpers.
void print_counters();
void print_parameters();
void print_variable_list(std::ostream& os, const std::set<int>& ranks, const std::string& separator,
                         int is_counter);
void print_variable_list(std::ostream& os, const std::vector<int>& ranks,
                         const std::string& separator, int is_counter);
std::string operator+(const std::string& s, int i);
std::string concat(const std::string& s, int i);

#endif
