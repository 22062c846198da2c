// Work handed to a second thread. The analysis runs on one thread, but some
// of its steps ask a solver many independent questions (the dependence tests
// of a pair of statements, the gists of the edges found), each answered from
// rows the question carries, without the model, the registry or the output.
// Such a question can go to the side thread while this thread goes on, its
// answer taken later: on a machine of two processors both threads answer at
// once.
//
// A task runs once: on the side thread, or on the thread that waits for it
// when the side thread has not started it. Waiting never leaves a task
// undone, and without a side thread (one processor, or no thread could be
// started) every task simply runs when it is waited for. The work of a task
// must not depend on which thread runs it, nor touch what the caller goes on
// changing.
//
// Ownership: a task owns its work (the function and what it captured) until
// the work has run; SideTask and Later are move-only handles whose
// destructors take back a task not yet started and wait for one that runs;
// run_aside() keeps no handle, and its work runs even after the caller is
// done.
// The side thread is the process's own, started with the first task and kept
// until the process ends.
#ifndef VORL_SUPPORT_SIDE_TASK_H
#define VORL_SUPPORT_SIDE_TASK_H

#include <functional>
#include <memory>
#include <optional>
#include <utility>

/// A piece of work queued for the side thread.
class SideTask {
 public:
  /// Queues work (taken) for the side thread.
  explicit SideTask(std::function<void()> work);
  SideTask(SideTask&&) noexcept;
  SideTask& operator=(SideTask&&) noexcept;
  SideTask(const SideTask&) = delete;
  SideTask& operator=(const SideTask&) = delete;
  /// Takes the work back if it has not started; waits for it if it runs.
  ~SideTask();

  /// Returns once the work has run (here, when the side thread has not
  /// started it); rethrows what the work threw. Call it at most once.
  void wait();

  struct State;

 private:
  std::shared_ptr<State> state_;
};

/// Runs work (taken) on the side thread, with no handle to wait on: for work
/// whose end nobody needs, such as freeing a large structure the caller is
/// done with. Runs it here when there is no side thread.
void run_aside(std::function<void()> work);

/// Destroys object (taken) on the side thread (see run_aside()).
template <typename T>
void destroy_aside(std::unique_ptr<T> object)
{
  run_aside([object = std::shared_ptr<T>(std::move(object))]() mutable { object.reset(); });
}

/// A value computed by a side task.
template <typename T>
class Later {
 public:
  /// Queues compute (taken) for the side thread.
  explicit Later(std::function<T()> compute)
      : value_(std::make_shared<std::optional<T>>()),
        task_([value = value_, compute = std::move(compute)] { value->emplace(compute()); })
  {
  }

  /// The value (given), computed here when the side thread has not started
  /// it; rethrows what the computation threw. Call it at most once.
  T take()
  {
    task_.wait();
    return std::move(**value_);
  }

 private:
  std::shared_ptr<std::optional<T>> value_;
  SideTask task_;
};

#endif
