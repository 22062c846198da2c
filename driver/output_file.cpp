#include "driver/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
const int kNbSignals = sizeof(kSignals) / sizeof(kSignals[0]);

// What the signal handler removes: a copy of the temporary's name, set
// before the handlers are installed and cleared after they are restored.
char pending[PATH_MAX];
volatile sig_atomic_t armed = 0;
struct sigaction previous[kNbSignals];

extern "C" void remove_pending_and_reraise(int signal_number)
{
  if (armed)
    unlink(pending);
  armed = 0;
  struct sigaction fallback;
  std::memset(&fallback, 0, sizeof fallback);
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal_number, &fallback, nullptr);
  raise(signal_number);
}

void arm(const std::string& name)
{
  std::strncpy(pending, name.c_str(), sizeof pending - 1);
  pending[sizeof pending - 1] = '\0';
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = remove_pending_and_reraise;
  sigemptyset(&action.sa_mask);
  for (int s : kSignals)
    sigaddset(&action.sa_mask, s);
  armed = 1;
  for (int k = 0; k < kNbSignals; k++)
    sigaction(kSignals[k], &action, &previous[k]);
}

void disarm()
{
  for (int k = 0; k < kNbSignals; k++)
    sigaction(kSignals[k], &previous[k], nullptr);
  armed = 0;
}

// The permissions a newly created file gets: 0666 less the umask.
mode_t default_mode()
{
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

sigset_t block_signals()
{
  sigset_t block, saved;
  sigemptyset(&block);
  for (int s : kSignals)
    sigaddset(&block, s);
  sigprocmask(SIG_BLOCK, &block, &saved);
  return saved;
}

std::string reason(const std::string& what, const std::string& name)
{
  return "cannot " + what + " " + name + ": " + std::strerror(errno);
}

}  // namespace

OutputFile::OutputFile(const std::string& target) : target_(target)
{
  if (target.size() + 8 >= sizeof pending) {
    error_ = "cannot write " + target + ": file name too long";
    return;
  }
  std::string name = target + ".XXXXXX";
  // Blocked while the file is created and the handlers installed, so that no
  // interrupt comes between the creation and the handler that removes it.
  sigset_t saved = block_signals();
  fd_ = mkstemp(name.data());
  if (fd_ < 0) {
    error_ = reason("write", target);
  } else {
    temporary_ = name;
    arm(temporary_);
  }
  sigprocmask(SIG_SETMASK, &saved, nullptr);
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard()
{
  if (fd_ >= 0)
    close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    disarm();
    temporary_.clear();
  }
}

bool OutputFile::commit(const std::string& text)
{
  if (fd_ < 0)
    return false;
  const char* data = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = write(fd_, data, left);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      error_ = reason("write", temporary_);
      discard();
      return false;
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  if (fchmod(fd_, default_mode()) != 0 || close(fd_) != 0) {
    fd_ = -1;
    error_ = reason("write", temporary_);
    discard();
    return false;
  }
  fd_ = -1;
  // Renamed and forgotten at once: an interrupt after the rename must not
  // remove the name, which is now the target's.
  sigset_t saved = block_signals();
  bool renamed = std::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (renamed) {
    disarm();
    temporary_.clear();
  } else {
    error_ = reason("write", target_);
  }
  sigprocmask(SIG_SETMASK, &saved, nullptr);
  if (!renamed)
    discard();
  return renamed;
}

std::string write_file_whole(const std::string& path, const std::string& text)
{
  OutputFile file(path);
  if (!file.error().empty())
    return file.error();
  return file.commit(text) ? "" : file.error();
}
