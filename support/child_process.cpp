#include "support/child_process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// What the caller sends: the job's address (the server is a fork of the
// caller, so the address holds there), its processor time, the question's
// length; then the question.
struct Request {
  std::uint64_t job;
  std::int64_t cpu_milliseconds;
  std::uint64_t length;
};

// What the server sends back: whether the job answered, the answer's length;
// then the answer.
struct Response {
  std::uint64_t answered;
  std::uint64_t length;
};

// The server of this process, if it runs.
struct Server {
  pid_t pid = -1;
  int socket = -1;
} server;

// Writes size bytes; false on an error. A socket is written without
// SIGPIPE when its reader is gone.
bool write_all(int fd, const void* data, size_t size, bool socket)
{
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = socket ? ::send(fd, p, size, MSG_NOSIGNAL) : ::write(fd, p, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Reads size bytes before the deadline (if any); false at the end of the
// stream, on an error, or when the deadline passes.
bool read_all(int fd, void* data, size_t size, std::optional<Clock::time_point> deadline = std::nullopt)
{
  char* p = static_cast<char*>(data);
  while (size > 0) {
    if (deadline) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      if (left <= 0)
        return false;
      struct pollfd waiting {fd, POLLIN, 0};
      int ready = ::poll(&waiting, 1, static_cast<int>(left));
      if (ready < 0 && errno != EINTR)
        return false;
      if (ready <= 0)
        continue;
    }
    ssize_t n = ::read(fd, p, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// In the child of the server: the job under its budget; the process ends
// here.
[[noreturn]] void job_process(ChildJob job, const std::string& question, long cpu_milliseconds,
                              int answer_fd)
{
  // SIGPROF at the end of the budget ends the process.
  ::signal(SIGPROF, SIG_DFL);
  struct itimerval budget {};
  budget.it_value.tv_sec = cpu_milliseconds / 1000;
  budget.it_value.tv_usec = (cpu_milliseconds % 1000) * 1000;
  ::setitimer(ITIMER_PROF, &budget, nullptr);
  // Its output streams are the server's, /dev/null.
  std::string answer;
  bool answered = false;
  // Nothing the job throws may reach the frames of the caller, of which this
  // process holds a copy; nothing is freed, the process ends right after.
  try {
    answered = job(question, answer);
  } catch (...) {
    answered = false;
  }
  if (!answered)
    ::_exit(3);
  ::_exit(write_all(answer_fd, answer.data(), answer.size(), false) ? 0 : 4);
}

// In the server: runs one job in a child and collects its answer.
bool run_job(ChildJob job, const std::string& question, long cpu_milliseconds, int caller,
             std::string& answer)
{
  int fds[2];
  if (::pipe(fds) != 0)
    return false;
  pid_t child = ::fork();
  if (child < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return false;
  }
  if (child == 0) {
    ::close(fds[0]);
    ::close(caller);
    job_process(job, question, cpu_milliseconds, fds[1]);
  }
  ::close(fds[1]);
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    answer.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The server's loop: one job per request, until the caller closes its end.
[[noreturn]] void serve(int caller)
{
  // A signal meant for the caller's own timers is not the server's. The
  // server leads a process group of its own, with its jobs, so that the
  // caller can end both at once.
  ::signal(SIGALRM, SIG_IGN);
  ::setpgid(0, 0);
  // The server holds none of the caller's files: a reader of the caller's
  // output sees its end when the caller ends, whatever the server does.
  int null = ::open("/dev/null", O_RDWR);
  if (null >= 0) {
    for (int fd = 0; fd <= 2; fd++)
      if (fd != caller)
        ::dup2(null, fd);
    if (null > 2 && null != caller)
      ::close(null);
  }
  if (caller > 3)
    ::close_range(3, static_cast<unsigned>(caller) - 1, 0);
  ::close_range(static_cast<unsigned>(std::max(3, caller + 1)), ~0u, 0);
  for (;;) {
    Request request;
    if (!read_all(caller, &request, sizeof request))
      ::_exit(0);
    std::string question(request.length, '\0');
    if (!read_all(caller, question.data(), question.size()))
      ::_exit(0);
    std::string answer;
    bool answered = run_job(reinterpret_cast<ChildJob>(request.job), question,
                            static_cast<long>(request.cpu_milliseconds), caller, answer);
    if (!answered)
      answer.clear();
    Response response{answered ? 1u : 0u, answer.size()};
    if (!write_all(caller, &response, sizeof response, true) ||
        !write_all(caller, answer.data(), answer.size(), true))
      ::_exit(0);
  }
}

void stop_server()
{
  if (server.pid < 0)
    return;
  ::close(server.socket);
  ::kill(-server.pid, SIGKILL);
  ::kill(server.pid, SIGKILL);
  while (::waitpid(server.pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  server = Server();
}

}  // namespace

void start_child_server()
{
  if (server.pid >= 0)
    return;
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    return;
  // Nothing buffered is written twice.
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t pid = ::fork();
  if (pid < 0) {
    ::close(ends[0]);
    ::close(ends[1]);
    return;
  }
  if (pid == 0) {
    ::close(ends[0]);
    serve(ends[1]);
  }
  ::close(ends[1]);
  server.pid = pid;
  server.socket = ends[0];
}

std::optional<std::string> run_in_child(ChildJob job, const std::string& question,
                                        int cpu_milliseconds, int wall_milliseconds)
{
  start_child_server();
  if (server.pid < 0)
    return std::nullopt;
  auto deadline = Clock::now() + std::chrono::milliseconds(wall_milliseconds);
  Request request{reinterpret_cast<std::uint64_t>(job), cpu_milliseconds, question.size()};
  Response response{};
  std::string answer;
  bool received = write_all(server.socket, &request, sizeof request, true) &&
                  write_all(server.socket, question.data(), question.size(), true) &&
                  read_all(server.socket, &response, sizeof response, deadline);
  if (received) {
    answer.resize(response.length);
    received = read_all(server.socket, answer.data(), answer.size(), deadline);
  }
  // A server that does not answer in time, or whose stream broke, is
  // replaced at the next call.
  if (!received) {
    stop_server();
    return std::nullopt;
  }
  if (!response.answered)
    return std::nullopt;
  return answer;
}
