// Jobs run in processes of their own: library calls that may end the
// process (a failed assertion) or run for very long. Each job runs in a
// fresh child of a small server process, forked once while the process is
// small: a job then costs the fork of that server, not the fork of the whole
// analysis (its page tables, and the pages it writes afterwards copied).
//
// Ownership: run_in_child() keeps nothing of its arguments; the answer is a
// new string given to the caller. The server is the process's own and ends
// when the process does.
#ifndef VORL_SUPPORT_CHILD_PROCESS_H
#define VORL_SUPPORT_CHILD_PROCESS_H

#include <optional>
#include <string>

/// A job: reads its question, writes its answer; false when it fails. It runs
/// in a child process, and nothing it does reaches the caller but its answer.
using ChildJob = bool (*)(const std::string& question, std::string& answer);

/// Forks the server now (the command calls it before the analysis, while the
/// process is small); run_in_child() otherwise forks it at its first call.
void start_child_server();

/// job(question) run in a child process with cpu_milliseconds of processor
/// time and its output streams sent to /dev/null: its answer, or nothing
/// when it failed, its process ended otherwise (a signal, its budget run
/// out), or no answer came within wall_milliseconds of elapsed time.
std::optional<std::string> run_in_child(ChildJob job, const std::string& question,
                                        int cpu_milliseconds, int wall_milliseconds);

#endif
