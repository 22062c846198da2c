#include "driver/run_limits.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "support/current_step.h"
#include "support/sanitizers.h"

namespace {

const unsigned long long kMegabyte = 1024ULL * 1024ULL;
const long kTickMicroseconds = 100000;

// Everything the tick reads, prepared when the limits are armed.
char time_line[160];
char memory_line[160] = "vorl: analysis stopped: out of memory while ";
struct timespec deadline;
long long ceiling_pages = 0;
volatile sig_atomic_t watching = 0;

// The error stream as it was when the limits were armed: a library may send
// descriptor 2 elsewhere for a while.
int report_fd = 2;

void write_all(const char* text)
{
  std::size_t left = std::strlen(text);
  while (left > 0) {
    ssize_t n = write(report_fd, text, left);
    if (n <= 0)
      return;
    text += n;
    left -= static_cast<std::size_t>(n);
  }
}

[[noreturn]] void stop(const char* line)
{
  write_all(line);
  write_all(current_step());
  write_all("\n");
  _exit(1);
}

// The resident pages of the process (the second field of /proc/self/statm),
// or 0 when it cannot be read; only async-signal-safe calls.
long long resident_pages()
{
  int fd = open("/proc/self/statm", O_RDONLY);
  if (fd < 0)
    return 0;
  char buffer[128];
  ssize_t n = read(fd, buffer, sizeof buffer - 1);
  close(fd);
  if (n <= 0)
    return 0;
  buffer[n] = '\0';
  const char* p = buffer;
  while (*p != '\0' && *p != ' ')
    ++p;
  long long pages = 0;
  for (++p; *p >= '0' && *p <= '9'; ++p)
    pages = pages * 10 + (*p - '0');
  return pages;
}

bool past(const struct timespec& moment)
{
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec > moment.tv_sec || (now.tv_sec == moment.tv_sec && now.tv_nsec >= moment.tv_nsec);
}

extern "C" void tick(int)
{
  if (!watching)
    return;
  int saved = errno;
  if (past(deadline))
    stop(time_line);
  if (ceiling_pages > 0 && resident_pages() > ceiling_pages)
    stop(memory_line);
  errno = saved;
}

void cap_address_space(unsigned long long megabytes)
{
#ifndef VORL_ADDRESS_SANITIZER
  unsigned long long cap = (2 * megabytes + 1024) * kMegabyte;
  struct rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) != 0)
    return;
  if (limit.rlim_max != RLIM_INFINITY && cap > limit.rlim_max)
    cap = limit.rlim_max;
  if (limit.rlim_cur == RLIM_INFINITY || cap < limit.rlim_cur) {
    limit.rlim_cur = cap;
    setrlimit(RLIMIT_AS, &limit);
  }
#else
  (void)megabytes;
#endif
}

}  // namespace

unsigned long long default_memory_limit_mb()
{
  long pages = sysconf(_SC_PHYS_PAGES);
  long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0)
    return 4096;
  return static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(page_size) / 2 /
         kMegabyte;
}

void arm_run_limits(const RunLimits& limits)
{
  unsigned long long megabytes = limits.megabytes > 0 ? limits.megabytes : default_memory_limit_mb();
  std::snprintf(time_line, sizeof time_line,
                "vorl: analysis stopped: time limit of %u s reached while ", limits.seconds);
  std::snprintf(memory_line, sizeof memory_line,
                "vorl: analysis stopped: memory limit of %llu MB reached while ", megabytes);
  long page_size = sysconf(_SC_PAGESIZE);
  ceiling_pages = static_cast<long long>(megabytes * kMegabyte / static_cast<unsigned long long>(
                                                                     page_size > 0 ? page_size : 4096));
  int copy = dup(2);
  if (copy >= 0)
    report_fd = copy;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += static_cast<time_t>(limits.seconds);
  cap_address_space(megabytes);

  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = tick;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGALRM, &action, nullptr);
  watching = 1;
  struct itimerval every;
  every.it_interval.tv_sec = 0;
  every.it_interval.tv_usec = kTickMicroseconds;
  // The first tick at once: a run shorter than one tick is watched too.
  every.it_value.tv_sec = 0;
  every.it_value.tv_usec = 1;
  setitimer(ITIMER_REAL, &every, nullptr);
}

void disarm_run_limits()
{
  struct itimerval never;
  std::memset(&never, 0, sizeof never);
  setitimer(ITIMER_REAL, &never, nullptr);
  watching = 0;
  signal(SIGALRM, SIG_IGN);
}

void stop_for_memory() { stop(memory_line); }
