// C code generation: loop nests that scan the integer points of a polyhedron
// in lexicographic order, constant intervals of counters, and the generated
// program out.c.
//
// Ownership: arguments are kept; bounds and scans hold new expressions that
// the caller owns.
#ifndef VORL_CODEGEN_CODE_GENERATION_H
#define VORL_CODEGEN_CODE_GENERATION_H

#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "algebra/expression.h"
#include "algebra/value.h"
#include "analysis/schedule.h"
#include "polyhedra/polyhedron.h"
#include "program/program.h"

// Lower bounds, then upper bounds: the counter lies between the maximum of
// the first and the minimum of the second.
using Bounds = std::pair<std::vector<std::unique_ptr<Expression>>,
                         std::vector<std::unique_ptr<Expression>>>;
using Intervals = std::map<std::string, std::pair<Value, Value>>;

Bounds get_bounds(Polyhedron* p, int counter);
std::vector<Bounds> scan(Polyhedron* p, const std::vector<int>& outer,
                         const std::vector<int>& counters);
// One for loop per counter, without braces, each indented two more blanks.
void print_scan(std::ostream& os, Polyhedron* p, const std::vector<int>& outer,
                const std::vector<int>& counters, const std::string& prefix);
// The same, checking that counters are exactly the counters of p.
void print_scan(std::ostream& os, Polyhedron* p, const std::vector<int>& counters,
                const std::string& prefix);

Intervals get_counter_intervals(Polyhedron* p, const std::vector<int>& counters);
Intervals get_counter_intervals(Polyhedron* p);
Intervals get_counter_intervals(const std::vector<Polyhedron*>& u, const std::vector<int>& counters);
Intervals get_counter_intervals(const std::vector<Polyhedron*>& u, const std::set<int>& counters);
Intervals get_counter_intervals(const std::vector<Polyhedron*>& u);
Intervals max_intervals(const Intervals& a, const Intervals& b);

// Everything the generated program is written from. Ownership: the analysis
// keeps the program and owns everything else it holds.
struct LimitAnalysis {
  const Program* program = nullptr;
  std::unique_ptr<Program> filtered;
  std::vector<std::unique_ptr<Schedule>> red_schedules;
  std::vector<std::unique_ptr<Schedule>> green_schedules;
  std::vector<OwnedPieces<Expression>> red_front_volumes;
  std::vector<OwnedPieces<Expression>> green_front_volumes;
  std::vector<int> red_level_parameters;
  std::vector<int> red_level_counters;
  std::vector<int> green_level_parameters;
  std::vector<int> green_level_counters;
  std::vector<std::unique_ptr<Polyhedron>> red_date_sets;
  std::vector<std::unique_ptr<Polyhedron>> green_date_sets;
  std::unique_ptr<Polyhedron> red_level_domain;
  std::unique_ptr<Polyhedron> green_level_domain;
  int nb_cpu = 0;
  int nb_gpu = 0;
};

// The whole text of out.c.
std::string generate_program(const LimitAnalysis& a);

#endif
