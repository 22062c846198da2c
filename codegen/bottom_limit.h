// The bottom-limit analysis: schedules the program backwards with the GPU
// latencies (red), reschedules the instances beyond the red limit with
// latencies averaged over the machine (green), and counts the instances per
// date, for the generated program, which searches both limits at run time
// (the driver writes it).
#ifndef VORL_CODEGEN_BOTTOM_LIMIT_H
#define VORL_CODEGEN_BOTTOM_LIMIT_H

#include <map>
#include <string>
#include <vector>

#include "codegen/code_generation.h"

class Program;

// The analysis alone: schedules, filtered program, counts and level domains,
// with the progress lines on the error stream. Ownership: the program is
// kept and referenced by the result; everything else in it is new.
LimitAnalysis analyze_bottom_limit(Program* program,
                                   const std::map<int, std::vector<int>>& latencies,
                                   const std::map<int, std::vector<int>>& inputs,
                                   const std::map<int, std::vector<int>>& outputs,
                                   const std::vector<int>& resources);

#endif
