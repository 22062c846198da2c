// The greedy latency-aware affine scheduler.
//
// Dimension by dimension, one integer program chooses an affine schedule
// component per statement (non-negative on its domain by the Farkas lemma)
// such that every remaining dependence is weakly satisfied, as many as
// possible are satisfied with a margin of their source's latency, and the
// affine bound of all dates over the parameters is lexicographically
// smallest. Edges satisfied with the margin are dropped; the next dimension
// deals with the rest.
//
// Ownership: the program and the graph are kept; the result is given to the
// caller.
#ifndef VORL_ANALYSIS_GREEDY_H
#define VORL_ANALYSIS_GREEDY_H

#include <map>
#include <memory>
#include <vector>

#include "algebra/index_function.h"
#include "analysis/schedule.h"

class DependenceGraph;
class Program;

struct GreedyResult {
  std::vector<std::unique_ptr<Schedule>> schedules;  // by statement rank
  std::unique_ptr<IndexFunction> latency;            // a bound of every date
};

GreedyResult greedy(Program* program, DependenceGraph* graph, const std::map<int, int>& latency);

#endif
