// Helpers of the code generation tests: each test runs in a fresh temporary
// directory (also its working directory: the pragma preprocessing and the
// generated program write there) in an analysis context of its own.
#ifndef VORL_TESTS_CODEGEN_TEST_SUPPORT_H
#define VORL_TESTS_CODEGEN_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "frontend/sg_project.h"
#include "algebra/analysis_context.h"
#include "algebra/rank.h"
#include "program/array.h"
#include "program/extraction.h"
#include "polyhedra/polyhedron.h"
#include "program/program.h"
#include "program/statement.h"

class CodegenTest : public ::testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;

  void SetUp() override
  {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string pattern = ::testing::TempDir() + "vorl_codegen_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    home_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }

  void TearDown() override
  {
    std::filesystem::current_path(home_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string write(const std::string& name, const std::string& text)
  {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
    return dir_ + "/" + name;
  }

  // The program of text saved as prog.c, without pragma preprocessing.
  std::unique_ptr<Program> extract(const std::string& text)
  {
    std::unique_ptr<SgProject> project(frontend(std::vector<std::string>{"vorl", write("prog.c", text)}));
    return std::unique_ptr<Program>(Program::from_Sage(project.get()));
  }

  std::string dir_;
  std::filesystem::path home_;
};

inline std::string slurp(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The exit status of a shell command, -1 when it did not exit.
inline int shell(const std::string& command)
{
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Compiles a generated program of dir into dir/binary with gcc and checks it
// with clang, both with -Wall -Wextra: what either of them said, with
// "(failed)" when one of them stopped; empty when the program is clean.
inline std::string compile_generated(const std::string& dir, const std::string& source = "out.c",
                                     const std::string& binary = "out")
{
  std::string in = "cd '" + dir + "' && ";
  int gcc = shell(in + "gcc -Wall -Wextra -o '" + binary + "' '" + source + "' > cc.log 2>&1");
  std::string said = slurp(dir + "/cc.log");
  int clang = shell(in + "clang -Wall -Wextra -fsyntax-only '" + source + "' > cc.log 2>&1");
  said += slurp(dir + "/cc.log");
  return said + (gcc != 0 || clang != 0 ? "(failed)" : "");
}

// text as a regular expression that matches it literally.
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

#endif
