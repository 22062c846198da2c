// vorl interrupted at random moments (SIGINT or SIGTERM, after a delay drawn
// from a fixed seed): the folder then holds the user's file and, at most, an
// out.c identical to that of an uninterrupted run, and the next run in the
// folder succeeds.
#include <gtest/gtest.h>

#include <random>

#include "tests/driver/vorl_process.h"

namespace fs = std::filesystem;

namespace {

const int kRounds = 12;

TEST(InterruptionTest, LeavesTheUsersFileAndAtMostACompleteOutC)
{
  std::string dir = ::testing::TempDir() + "vorl_interrupt_XXXXXX";
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  std::string run = dir + "/run";
  fs::create_directory(run);
  fs::copy_file(VORL_SOURCE_DIR "/examples/stencil_1d.c", run + "/stencil_1d.c");
  const std::vector<std::string> arguments = {"stencil_1d.c"};

  vorl_process::Ending whole = vorl_process::run(VORL_BINARY, run, arguments, dir + "/", 300);
  ASSERT_EQ(whole.status, 0) << whole.err;
  const std::string reference = vorl_process::slurp(run + "/out.c");
  fs::remove(run + "/out.c");

  std::mt19937 random(20240611);
  std::uniform_real_distribution<double> moment(0.0, 1.1 * whole.seconds);
  for (int round = 0; round < kRounds; round++) {
    int signal = round % 2 == 0 ? SIGINT : SIGTERM;
    double delay = moment(random);
    SCOPED_TRACE("round " + std::to_string(round) + ": signal " + std::to_string(signal) + " after " +
                 std::to_string(delay) + " s");
    vorl_process::Started started = vorl_process::start(VORL_BINARY, run, arguments, dir + "/");
    std::this_thread::sleep_for(std::chrono::duration<double>(delay));
    kill(started.pid, signal);
    vorl_process::Ending end = vorl_process::wait(started, 300);
    EXPECT_TRUE(end.signal == signal || end.status == 0) << end.err;
    std::set<std::string> files = vorl_process::files_in(run);
    files.erase("stencil_1d.c");
    if (files.count("out.c") != 0) {
      EXPECT_EQ(vorl_process::slurp(run + "/out.c"), reference);
      files.erase("out.c");
    }
    EXPECT_TRUE(files.empty()) << *files.begin();

    vorl_process::Ending next = vorl_process::run(VORL_BINARY, run, arguments, dir + "/", 300);
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_EQ(vorl_process::slurp(run + "/out.c"), reference);
    fs::remove(run + "/out.c");
  }
  fs::remove_all(dir);
}

}  // namespace
