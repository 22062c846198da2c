// The bottom-limit analysis: schedules the program backwards with the GPU
// latencies (red), reschedules the instances beyond the red limit with
// latencies averaged over the machine (green), counts the instances per
// date, and writes out.c, which searches both limits at run time.
#ifndef VORL_CODEGEN_BOTTOM_LIMIT_H
#define VORL_CODEGEN_BOTTOM_LIMIT_H

#include <map>
#include <string>
#include <vector>

#include "codegen/code_generation.h"

class Program;

// Runs the analysis and writes out.c in the working directory; ends the
// process (status 0 when out.c is written, 1 after an error message).
[[noreturn]] void bottom_limit(Program* program, std::map<int, std::vector<int>> latencies,
                               std::map<int, std::vector<int>> inputs,
                               std::map<int, std::vector<int>> outputs,
                               std::vector<int> resources);

// The analysis alone: schedules, filtered program, counts and level domains,
// with the progress lines on the error stream. Ownership: the program is
// kept and referenced by the result; everything else in it is new.
LimitAnalysis analyze_bottom_limit(Program* program,
                                   const std::map<int, std::vector<int>>& latencies,
                                   const std::map<int, std::vector<int>>& inputs,
                                   const std::map<int, std::vector<int>>& outputs,
                                   const std::vector<int>& resources);

// The text of out.c for the program; the analysis without writing or ending.
std::string bottom_limit_program(Program* program, const std::map<int, std::vector<int>>& latencies,
                                 const std::map<int, std::vector<int>>& inputs,
                                 const std::map<int, std::vector<int>>& outputs,
                                 const std::vector<int>& resources);

#endif
