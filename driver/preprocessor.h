// The latency pragmas: rewriting them into assignments to reserved arrays,
// parsing the rewritten text again (in memory), and reading the numbers back
// from the extracted program.
//
// Ownership: preprocess_latency() returns a new project given to the caller
// and keeps the one it is given; extract_latency() changes the program it is
// given in place (its statements are replaced by renumbered clones).
#ifndef VORL_DRIVER_PREPROCESSOR_H
#define VORL_DRIVER_PREPROCESSOR_H

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "frontend/sg_project.h"

class Program;

using LatencyMaps = std::vector<std::map<int, std::vector<int>>>;

// The largest latency, number of processors and pragma position read: sums
// and products of a few of them stay within the machine integers.
const int kLargestPragmaValue = 1000000000;

// The declarations of the reserved arrays, seen before the program when it is
// parsed again (no line of the program moves).
extern const char* const kReservedDeclarations;

// The project of the rewritten text of the project's file, parsed in memory
// as that file: every "#pragma latency|input|output|resource [..]..." line
// becomes an assignment of 0 to the reserved array of that kind, on the same
// line and with the subscripts at the same columns. Nothing is written.
std::unique_ptr<SgProject> preprocess_latency(SgProject* project);

// The rewriting of one text. A latency, input or output pragma is joined by
// a comma to what follows it, so that the annotation and its assignment make
// one statement, also as the body of a loop or if without braces; a resource
// pragma is a statement of its own. A pragma that is not inside a function,
// has no constant subscripts, or (latency, input, output) is not followed by
// the assignment it annotates fails with one line naming it
// (file_name:line:column).
std::string rewrite_pragmas(const std::string& text, const std::string& file_name = "");

// Reads latencies, inputs, outputs and resources back from the
// pseudo-statements, removes them and renumbers the statements: (latencies,
// inputs, outputs) keyed by assignment number, and the resources. Each
// statement learns the position of its latency pragma, the program that of
// its resource pragma.
std::pair<LatencyMaps, std::vector<int>> extract_latency(Program* program);

#endif
