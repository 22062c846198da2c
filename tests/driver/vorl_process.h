// The vorl command run as a process of its own, for the tests that watch how
// it ends: started in a folder, waited for with a deadline, or interrupted.
// Its standard streams go to files outside that folder, so that the folder
// holds only what vorl leaves there.
//
// Ownership: values only; a started process is the caller's to wait for.
#ifndef VORL_TESTS_DRIVER_VORL_PROCESS_H
#define VORL_TESTS_DRIVER_VORL_PROCESS_H

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace vorl_process {

inline std::string slurp(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The names of the entries of a folder.
inline std::set<std::string> files_in(const std::string& folder)
{
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

// How a run ended.
struct Ending {
  bool timed_out = false;  // killed at the deadline
  int status = -1;         // exit status, -1 when killed by a signal
  int signal = 0;          // the signal that ended it, 0 when it exited
  std::string out, err;    // its standard output and error
  double seconds = 0;      // wall-clock time of the run
};

// A started vorl: its process and where its streams go.
struct Started {
  pid_t pid = -1;
  std::string streams;  // prefix of the files <streams>out.txt, <streams>err.txt
  std::chrono::steady_clock::time_point start;
};

// Starts the vorl binary with arguments in folder, streams to files named
// streams + "out.txt" and streams + "err.txt", leak detection off.
inline Started start(const std::string& binary, const std::string& folder,
                     const std::vector<std::string>& arguments, const std::string& streams)
{
  Started run;
  run.streams = streams;
  run.start = std::chrono::steady_clock::now();
  std::string out = streams + "out.txt", err = streams + "err.txt";
  std::vector<std::string> words = {binary};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& w : words)
    argv.push_back(w.data());
  argv.push_back(nullptr);
  run.pid = fork();
  if (run.pid == 0) {
    int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int in = open("/dev/null", O_RDONLY);
    if (o < 0 || e < 0 || in < 0 || chdir(folder.c_str()) != 0)
      _exit(126);
    dup2(in, 0);
    dup2(o, 1);
    dup2(e, 2);
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  return run;
}

// Waits for a started run, killing it (SIGKILL) when it outlives deadline
// seconds.
inline Ending wait(const Started& run, double deadline)
{
  Ending ending;
  int raw = 0;
  for (;;) {
    pid_t done = waitpid(run.pid, &raw, WNOHANG);
    double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - run.start).count();
    if (done == run.pid) {
      ending.seconds = elapsed;
      break;
    }
    if (done < 0)
      return ending;
    if (elapsed > deadline && !ending.timed_out) {
      ending.timed_out = true;
      kill(run.pid, SIGKILL);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFEXITED(raw))
    ending.status = WEXITSTATUS(raw);
  else if (WIFSIGNALED(raw))
    ending.signal = WTERMSIG(raw);
  ending.out = slurp(run.streams + "out.txt");
  ending.err = slurp(run.streams + "err.txt");
  return ending;
}

// Runs vorl to its end, or to the deadline.
inline Ending run(const std::string& binary, const std::string& folder,
                  const std::vector<std::string>& arguments, const std::string& streams,
                  double deadline)
{
  return wait(start(binary, folder, arguments, streams), deadline);
}

}  // namespace vorl_process

#endif
