// The process-wide registry of arrays met in the program: name to number of
// dimensions (0 for a scalar).
#ifndef VORL_PROGRAM_ARRAY_H
#define VORL_PROGRAM_ARRAY_H

#include <map>
#include <string>
#include <vector>

extern std::map<std::string, int> array;

void add_array(const std::string& name, int dim);
void set_array_dim(const std::string& name, int dim);
bool is_an_array(const std::string& name);
int get_array_dim(const std::string& name);
int get_array_rank(const std::string& name);
std::vector<std::string> get_arrays();
bool is_reserved_array(const std::string& name);
void remove_reserved_arrays();
std::string get_temporary_array(const std::string& name);
std::string get_buffered_array(const std::string& name, int k);
void print_arrays();

#endif
