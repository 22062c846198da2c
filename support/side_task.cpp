#include "support/side_task.h"

#include <sched.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

struct SideTask::State {
  enum Phase { Queued, Running, Done };

  explicit State(std::function<void()> w) : work(std::move(w)) {}

  std::function<void()> work;
  std::atomic<int> phase{Queued};
  std::exception_ptr error;
};

namespace {

using State = SideTask::State;

// Whether this process may use two processors at once.
bool two_processors()
{
  cpu_set_t set;
  CPU_ZERO(&set);
  return ::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 1;
}

// The side thread and its queue. It is never destroyed: the process may end
// (its static objects destroyed) while the thread waits for work.
class SideThread {
 public:
  // The process's side thread, or null when it has none.
  static SideThread* get()
  {
    static SideThread* side = start();
    return side;
  }

  void queue(const std::shared_ptr<State>& task)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(task);
    work_.notify_one();
  }

  // Runs the task here when nobody has started it; true if it did.
  static bool claim_and_run(State& task)
  {
    int queued = State::Queued;
    if (!task.phase.compare_exchange_strong(queued, State::Running))
      return false;
    try {
      task.work();
    } catch (...) {
      task.error = std::current_exception();
    }
    task.work = nullptr;  // what the work captured goes now
    return true;
  }

  // Marks a task run on the side thread done, for those waiting for it.
  void finish(State& task)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    task.phase.store(State::Done);
    done_.notify_all();
  }

  void wait_until_done(State& task)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return task.phase.load() == State::Done; });
  }

 private:
  static SideThread* start()
  {
    if (!two_processors())
      return nullptr;
    auto* side = new SideThread;
    try {
      std::thread(&SideThread::serve, side).detach();
    } catch (const std::system_error&) {
      delete side;
      return nullptr;
    }
    return side;
  }

  [[noreturn]] void serve()
  {
    for (;;) {
      std::shared_ptr<State> task;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        work_.wait(lock, [&] { return !tasks_.empty(); });
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      if (claim_and_run(*task))
        finish(*task);
    }
  }

  std::mutex mutex_;
  std::condition_variable work_, done_;
  std::deque<std::shared_ptr<State>> tasks_;
};

}  // namespace

SideTask::SideTask(std::function<void()> work) : state_(std::make_shared<State>(std::move(work)))
{
  if (SideThread* side = SideThread::get())
    side->queue(state_);
}

SideTask::SideTask(SideTask&&) noexcept = default;
SideTask& SideTask::operator=(SideTask&& other) noexcept
{
  SideTask old(std::move(other));
  std::swap(state_, old.state_);
  return *this;
}

SideTask::~SideTask()
{
  if (!state_)
    return;
  int queued = State::Queued;
  if (state_->phase.compare_exchange_strong(queued, State::Done)) {
    state_->work = nullptr;
    return;
  }
  if (SideThread* side = SideThread::get())
    side->wait_until_done(*state_);
}

void run_aside(std::function<void()> work)
{
  if (SideThread* side = SideThread::get())
    side->queue(std::make_shared<State>(std::move(work)));
  else
    work();
}

void SideTask::wait()
{
  State& task = *state_;
  if (SideThread::claim_and_run(task))
    task.phase.store(State::Done);  // nobody else waits for it
  else if (task.phase.load() != State::Done)
    SideThread::get()->wait_until_done(task);
  if (task.error)
    std::rethrow_exception(std::exchange(task.error, nullptr));
}
