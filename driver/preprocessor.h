// The latency pragmas: rewriting them into assignments to reserved arrays,
// re-parsing, and reading the numbers back from the extracted program.
#ifndef VORL_DRIVER_PREPROCESSOR_H
#define VORL_DRIVER_PREPROCESSOR_H

#include <map>
#include <string>
#include <utility>
#include <vector>

class Program;
class SgProject;

using LatencyMaps = std::vector<std::map<int, std::vector<int>>>;

// The project of the rewritten file: the reserved declarations, then the
// program text with every "#pragma latency|input|output|resource" line turned
// into an assignment of 0 to that reserved array. The temporary files
// "./latency_source.c" and "./latency_target.c" are created exclusively and
// removed once the re-parse is done, on every path. The re-parse sees the
// user's preprocessor switches, with the directory of the user's file first
// on the include path (the copy lies in the working directory). The project
// given is kept (not freed).
SgProject* preprocess_latency(SgProject* project);

// Parses one file with the given preprocessor switches.
SgProject* import(const std::string& path, const std::vector<std::string>& switches);

// The pragma rewriting of one text, line by line.
std::string rewrite_pragmas(const std::string& text);

// Reads latencies, inputs, outputs and resources back from the
// pseudo-statements, removes them and renumbers the statements: (latencies,
// inputs, outputs) keyed by assignment number, and the resources.
std::pair<LatencyMaps, std::vector<int>> extract_latency(Program* program);

#endif
