// The registry of arrays met in the program: name to number of dimensions (0
// for a scalar), and the names of the arrays the pragma rewriting writes to.
//
// Ownership: the registry is AnalysisContext::arrays, of the current analysis
// context (algebra/analysis_context.h); the functions return values.
#ifndef VORL_PROGRAM_ARRAY_H
#define VORL_PROGRAM_ARRAY_H

#include <map>
#include <string>
#include <vector>

// The arrays that stand for the pragmas once they are rewritten into
// assignments. Names with a double underscore are reserved to the
// implementation in C: no program can use them.
inline constexpr char latency_array[] = "__vorl_latency";
inline constexpr char resource_array[] = "__vorl_resource";
inline constexpr char input_array[] = "__vorl_input";
inline constexpr char output_array[] = "__vorl_output";

void add_array(const std::string& name, int dim);
void set_array_dim(const std::string& name, int dim);
bool is_an_array(const std::string& name);
int get_array_dim(const std::string& name);
int get_array_rank(const std::string& name);
std::vector<std::string> get_arrays();
// Whether name is one of the four pragma arrays above.
bool is_reserved_array(const std::string& name);
// Drops the pragma arrays from the registry; the program's own arrays stay,
// whatever their names.
void remove_reserved_arrays();
// The pragma as the user wrote it, from the text of the assignment it was
// rewritten into ("__vorl_latency [2][1] = 0" gives "#pragma latency
// [2][1]"); any other text as it is.
std::string pragma_text(const std::string& text);
std::string get_temporary_array(const std::string& name);
std::string get_buffered_array(const std::string& name, int k);
void print_arrays();

#endif
