// Helpers of the front-end tests: C sources written to a fresh temporary
// directory, parsing them, and finding nodes in the resulting tree.
#ifndef VORL_TESTS_FRONTEND_TEST_SUPPORT_H
#define VORL_TESTS_FRONTEND_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "frontend/sg_node.h"
#include "frontend/sg_project.h"

// Each test gets its own directory, removed afterwards.
class FrontendTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string pattern = ::testing::TempDir() + "vorl_frontend_XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    ASSERT_NE(mkdtemp(buffer.data()), nullptr);
    dir_ = buffer.data();
  }

  void TearDown() override
  {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // Writes text (byte for byte) to name inside the test directory; returns
  // the path.
  std::string write(const std::string& name, const std::string& text)
  {
    std::string path = dir_ + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
    return path;
  }

  // Parses text as prog.c with the given switches before the file name.
  std::unique_ptr<SgProject> parse(const std::string& text,
                                   const std::vector<std::string>& switches = {})
  {
    std::vector<std::string> arguments = {"vorl"};
    arguments.insert(arguments.end(), switches.begin(), switches.end());
    arguments.push_back(write("prog.c", text));
    return std::unique_ptr<SgProject>(frontend(arguments));
  }

  std::string dir_;
};

// Every node below root (root included) in pre-order.
inline void collect_nodes(SgNode* root, std::vector<SgNode*>& out)
{
  if (root == nullptr)
    return;
  out.push_back(root);
  for (SgNode* child : root->get_traversalSuccessorContainer())
    collect_nodes(child, out);
}

// The nodes of class T below root, in pre-order.
template <class T>
std::vector<T*> nodes_of(SgNode* root)
{
  std::vector<SgNode*> all;
  collect_nodes(root, all);
  std::vector<T*> result;
  for (SgNode* node : all)
    if (T* typed = dynamic_cast<T*>(node))
      result.push_back(typed);
  return result;
}

// The first node of class T, or null.
template <class T>
T* first_of(SgNode* root)
{
  std::vector<T*> found = nodes_of<T>(root);
  return found.empty() ? nullptr : found.front();
}

// The class names of root and everything below, in pre-order, space separated.
inline std::string shape(SgNode* root)
{
  std::vector<SgNode*> all;
  collect_nodes(root, all);
  std::string text;
  for (SgNode* node : all)
    text += (text.empty() ? "" : " ") + node->class_name();
  return text;
}

// The statement of a one-statement function body "void f(...) { s }".
inline SgStatement* only_statement(SgProject* project)
{
  SgBasicBlock* body = first_of<SgBasicBlock>(project);
  if (body == nullptr || body->get_statements().empty())
    return nullptr;
  return body->get_statements().back();
}

// The expression of the last statement of the first function body.
inline SgExpression* last_expression(SgProject* project)
{
  SgExprStatement* statement = isSgExprStatement(only_statement(project));
  return statement != nullptr ? statement->get_expression() : nullptr;
}

#endif
