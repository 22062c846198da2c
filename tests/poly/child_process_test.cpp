// Jobs in child processes: answers come back, and a job that fails, dies,
// runs out of processor time or does not answer in time costs only its
// answer (the next job is served).
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <unistd.h>

#include "support/child_process.h"

namespace {

bool reversed(const std::string& question, std::string& answer)
{
  answer.assign(question.rbegin(), question.rend());
  return true;
}

bool refuses(const std::string&, std::string&) { return false; }

bool dies(const std::string&, std::string&)
{
  ::raise(SIGKILL);
  return true;
}

bool spins(const std::string&, std::string&)
{
  for (volatile unsigned long n = 0;; n++) {
  }
}

bool sleeps(const std::string&, std::string&)
{
  ::sleep(5);
  return true;
}

TEST(ChildProcessTest, AJobCostsOnlyItsOwnAnswer)
{
  struct Case {
    const char* name;
    ChildJob job;
  } failing[] = {{"refuses", refuses}, {"dies", dies}, {"spins", spins}, {"sleeps", sleeps}};
  std::string big(1 << 20, 'x');
  big[0] = 'a';
  for (const Case& c : failing) {
    EXPECT_FALSE(run_in_child(c.job, "question", 50, 500)) << c.name;
    EXPECT_EQ(run_in_child(reversed, "abc", 1000, 20000), std::optional<std::string>("cba")) << c.name;
  }
  std::optional<std::string> long_answer = run_in_child(reversed, big, 1000, 20000);
  ASSERT_TRUE(long_answer);
  EXPECT_EQ(long_answer->size(), big.size());
  EXPECT_EQ(long_answer->back(), 'a');
  EXPECT_EQ(run_in_child(reversed, "", 1000, 20000), std::optional<std::string>(""));
}

}  // namespace
