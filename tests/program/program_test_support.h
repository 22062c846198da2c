// Helpers of the program, driver and analysis tests: each test runs in a
// fresh temporary directory, also its working directory, in an analysis
// context of its own.
#ifndef VORL_TESTS_PROGRAM_TEST_SUPPORT_H
#define VORL_TESTS_PROGRAM_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/sg_project.h"
#include "algebra/analysis_context.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"
#include "program/array.h"
#include "program/extraction.h"
#include "program/program.h"
#include "program/statement.h"
#include "tests/expect_failure.h"

class ProgramTest : public ::testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;

  // The directory of the running test; also removed when a death test's
  // child process exits.
  static std::string& current_dir()
  {
    static std::string dir;
    return dir;
  }
  static void remove_current_dir()
  {
    std::error_code ignored;
    std::filesystem::remove_all(current_dir(), ignored);
  }

  void SetUp() override
  {
    // The name outlives the handler: made before it is registered.
    static const int registered = (current_dir(), std::atexit(remove_current_dir));
    (void)registered;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string pattern = ::testing::TempDir() + "vorl_program_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = current_dir() = pattern;
    home_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }

  void TearDown() override
  {
    std::filesystem::current_path(home_);
    remove_current_dir();
  }

  std::string write(const std::string& name, const std::string& text)
  {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
    return dir_ + "/" + name;
  }

  // The project of text saved as prog.c, parsed with the given switches.
  std::unique_ptr<SgProject> parse(const std::string& text, const std::vector<std::string>& switches = {})
  {
    std::vector<std::string> arguments = {"vorl"};
    arguments.insert(arguments.end(), switches.begin(), switches.end());
    arguments.push_back(write("prog.c", text));
    return frontend(arguments);
  }

  // The program of text, without pragma preprocessing.
  std::unique_ptr<Program> extract(const std::string& text)
  {
    std::unique_ptr<SgProject> project(parse(text));
    return std::unique_ptr<Program>(Program::from_Sage(project.get()));
  }

  std::string dir_;
  std::filesystem::path home_;
};

template <typename T>
std::string text(const T& x)
{
  std::ostringstream os;
  os << x;
  return os.str();
}

inline std::string code(const Polyhedron& p)
{
  std::ostringstream os;
  p.print_code(os);
  return os.str();
}

// A regular expression matching text literally.
inline std::string quoted(const std::string& text)
{
  std::string r;
  for (char c : text) {
    if (std::string(".[]{}()\\*+?^$|").find(c) != std::string::npos)
      r += '\\';
    r += c;
  }
  return r;
}

// The statement fails with status 1 and the message.
#define EXPECT_STOPS(statement, message) EXPECT_FAILURE(statement, 1, quoted(message))

#endif
