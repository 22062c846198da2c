#include "program/array.h"

#include <iostream>

#include "algebra/analysis_context.h"
#include "support/failure.h"

namespace {

std::map<std::string, int>& arrays() { return analysis_context().arrays; }

}  // namespace

void add_array(const std::string& name, int dim) { arrays()[name] = dim; }
void set_array_dim(const std::string& name, int dim) { arrays()[name] = dim; }
bool is_an_array(const std::string& name) { return arrays().count(name) != 0; }

int get_array_dim(const std::string& name)
{
  auto it = arrays().find(name);
  if (it == arrays().end())
    fail(Stream::Out, cat("Array::get_array_dim: '", name, "' not found"));
  return it->second;
}

int get_array_rank(const std::string& name)
{
  int rank = 0;
  for (const auto& entry : arrays()) {
    if (entry.first == name)
      return rank;
    rank++;
  }
  fail(Stream::Out, cat("Array::get_array_rank: array not found: ", name));
}

std::vector<std::string> get_arrays()
{
  std::vector<std::string> names;
  for (const auto& entry : arrays())
    names.push_back(entry.first);
  return names;
}

bool is_reserved_array(const std::string& name)
{
  return name == latency_array || name == resource_array || name == input_array ||
         name == output_array;
}

void remove_reserved_arrays()
{
  std::map<std::string, int>& registered = arrays();
  for (auto it = registered.begin(); it != registered.end();) {
    if (is_reserved_array(it->first))
      it = registered.erase(it);
    else
      ++it;
  }
}

std::string get_temporary_array(const std::string& name) { return name + "_tmp"; }

std::string get_buffered_array(const std::string& name, int k)
{
  return name + "_" + std::to_string(k);
}

void print_arrays()
{
  for (const auto& [name, dim] : arrays())
    std::cout << name << "(" << dim << ")\n";
}

std::string pragma_text(const std::string& text)
{
  for (const char* name : {latency_array, resource_array, input_array, output_array}) {
    std::string reserved = name;
    if (text.compare(0, reserved.size(), reserved) != 0)
      continue;
    std::string subscripts = text.substr(reserved.size());
    std::size_t assignment = subscripts.find(" = 0");
    if (assignment != std::string::npos)
      subscripts.erase(assignment);
    std::size_t first = subscripts.find_first_not_of(' ');
    subscripts = first == std::string::npos ? "" : " " + subscripts.substr(first);
    return "#pragma " + reserved.substr(7) + subscripts;
  }
  return text;
}
