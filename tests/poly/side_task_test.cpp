// Side tasks: every task waited for runs once and gives its own value or
// exception, whichever thread ran it; a task dropped unwaited runs at most
// once and never after its handle is gone; answer tables asked from both
// threads give each question its own answer.
#include <gtest/gtest.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "solvers/answer_table.h"
#include "support/side_task.h"

namespace {

// A computation long enough for the side thread to take a share of them.
long digest(long seed)
{
  unsigned long x = static_cast<unsigned long>(seed) * 2654435761u + 1;
  for (int i = 0; i < 2000; i++)
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
  return static_cast<long>(x >> 1);
}

TEST(SideTaskTest, EveryTaskRunsOnceWithItsOwnAnswer)
{
  std::mt19937 random(7);
  for (int round = 0; round < 20; round++) {
    int n = 1 + static_cast<int>(random() % 300);
    std::vector<std::atomic<int>> runs(static_cast<size_t>(n));
    std::vector<Later<long>> values;
    for (int k = 0; k < n; k++)
      values.emplace_back([k, &runs] {
        runs[static_cast<size_t>(k)]++;
        if (k % 37 == 5)
          throw std::runtime_error("task " + std::to_string(k));
        return digest(k);
      });
    // Taken in an order of their own: some already run by the side thread,
    // some running, some not started.
    std::vector<int> order(static_cast<size_t>(n));
    for (int k = 0; k < n; k++)
      order[static_cast<size_t>(k)] = k;
    std::shuffle(order.begin(), order.end(), random);
    for (int k : order) {
      if (k % 37 == 5) {
        EXPECT_THROW(
            {
              try {
                values[static_cast<size_t>(k)].take();
              } catch (const std::runtime_error& e) {
                EXPECT_EQ(std::string(e.what()), "task " + std::to_string(k));
                throw;
              }
            },
            std::runtime_error);
      } else {
        EXPECT_EQ(values[static_cast<size_t>(k)].take(), digest(k)) << k;
      }
    }
    for (int k = 0; k < n; k++)
      EXPECT_EQ(runs[static_cast<size_t>(k)].load(), 1) << k;
  }
}

TEST(SideTaskTest, WaitingForARunningTaskWaitsForItsEnd)
{
  std::atomic<bool> started{false}, release{false};
  Later<int> slow([&] {
    started = true;
    while (!release)
      std::this_thread::yield();
    return 42;
  });
  // On one processor nothing runs the task but take(), which does it here.
  cpu_set_t processors;
  if (sched_getaffinity(0, sizeof processors, &processors) == 0 && CPU_COUNT(&processors) > 1) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!started && std::chrono::steady_clock::now() < deadline)
      std::this_thread::yield();
  }
  if (started) {
    std::thread releaser([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      release = true;
    });
    EXPECT_EQ(slow.take(), 42);
    releaser.join();
  } else {
    release = true;
    EXPECT_EQ(slow.take(), 42);
  }
}

TEST(SideTaskTest, TasksDroppedUnwaitedRunAtMostOnceAndNotAfterward)
{
  auto runs = std::make_shared<std::vector<std::atomic<int>>>(500);
  {
    std::vector<SideTask> tasks;
    for (int k = 0; k < 500; k++)
      tasks.emplace_back([k, runs] {
        digest(k);
        (*runs)[static_cast<size_t>(k)]++;
      });
    // Moved handles keep their task.
    std::vector<SideTask> moved;
    for (SideTask& t : tasks)
      moved.push_back(std::move(t));
  }
  std::vector<int> after(500);
  for (int k = 0; k < 500; k++) {
    after[static_cast<size_t>(k)] = (*runs)[static_cast<size_t>(k)].load();
    EXPECT_LE(after[static_cast<size_t>(k)], 1);
  }
  // A later task runs after every earlier one the side thread took.
  Later<int> last([] { return 1; });
  EXPECT_EQ(last.take(), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  for (int k = 0; k < 500; k++)
    EXPECT_EQ((*runs)[static_cast<size_t>(k)].load(), after[static_cast<size_t>(k)]) << k;
}

// Work run aside, with nobody waiting for it, runs once all the same; so
// does the destructor of each object handed over.
TEST(SideTaskTest, WorkRunAsideRunsOnce)
{
  struct Counted {
    std::atomic<int>* destroyed;
    ~Counted() { (*destroyed)++; }
  };
  std::vector<std::atomic<int>> ran(200), destroyed(200);
  for (size_t k = 0; k < ran.size(); k++) {
    run_aside([&ran, k] { ran[k]++; });
    destroy_aside(std::unique_ptr<Counted>(new Counted{&destroyed[k]}));
  }
  auto done = [](const std::vector<std::atomic<int>>& v) {
    return std::all_of(v.begin(), v.end(), [](const std::atomic<int>& d) { return d.load() >= 1; });
  };
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!(done(ran) && done(destroyed)) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  for (size_t k = 0; k < ran.size(); k++) {
    EXPECT_EQ(ran[k].load(), 1) << k;
    EXPECT_EQ(destroyed[k].load(), 1) << k;
  }
}

TEST(SideTaskTest, AnswerTablesAskedFromBothThreads)
{
  AnswerTable<long> table(512);  // small: emptied again and again
  auto ask = [&table](int from) {
    for (int k = from; k < from + 20000; k++) {
      std::vector<long> question{k % 3000, 0, 0, k % 7};
      long answer = digest(question[0] * 7 + question[3]) % 1000;
      if (std::optional<long> known = table.find(question)) {
        if (*known != answer)
          return false;
      } else {
        table.record(question, answer);
      }
    }
    return true;
  };
  Later<bool> side([&] { return ask(0); });
  EXPECT_TRUE(ask(1));
  EXPECT_TRUE(side.take());
}

}  // namespace
