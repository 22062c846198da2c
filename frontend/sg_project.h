// The parsed program and the entry point of the front-end.
//
// frontend() reads a command line: the argument that names a ".c" file is the
// source; the preprocessor switches -D, -U, -I (joined, "-DN=1", or with their
// value as the next argument, "-D N=1") and -std= are passed on to the C
// parser (a -std= replaces the default gnu99); every other argument is left
// to the tool. A missing or unreadable file or a parse error throws
// FrontendError whose message is one line (file:line:col: source line:
// error: message); warnings are not shown. reparse() parses another
// text as the same file, in memory: nothing is written.
//
// Ownership: frontend() and reparse() give a new project to the caller
// (reparse() keeps the project it is given); the project owns every
// node of its tree, including nodes built for it later, and frees them all
// when it is deleted.
#ifndef VORL_FRONTEND_SG_PROJECT_H
#define VORL_FRONTEND_SG_PROJECT_H

#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "frontend/sg_node.h"

class SgTreeBuilder;

class SgProject : public SgNode {
public:
  // An empty project for this command line (program name first) and the
  // preprocessor switches taken from it; frontend() fills it.
  SgProject(const std::vector<std::string>& arguments, const std::vector<std::string>& switches);
  ~SgProject() override;
  SgProject(const SgProject&) = delete;

  VariantT variantT() const override { return V_SgProject; }
  // A project is not copied: null.
  SgNode* copy_without_children() const override { return nullptr; }

  // 0 when the command line named no source file, else 1.
  int numberOfFiles() const;
  // The file of that index, null when out of range.
  SgSourceFile* get_file(int index) const;
  std::vector<SgSourceFile*> get_fileList() const;

  // The command line as given, program name first.
  const std::list<std::string>& get_originalCommandLineArgumentList() const { return arguments_; }
  // The switches passed on to the parser, in command-line order and in joined
  // form ("-DN=100", "-Iinclude", "-std=c99"); a second parse with the same
  // switches sees the same macros and headers.
  const std::vector<std::string>& get_preprocessor_switches() const { return switches_; }

  // The text of the input file, byte for byte; empty without a file.
  std::string unparseToCompleteString() const override;

private:
  friend class SgTreeBuilder;
  friend SgGreaterOrEqualOp* buildGreaterOrEqualOp(SgExpression* lhs, SgExpression* rhs);
  friend SgExpression* copyExpression(const SgExpression* expression);

  // Takes ownership of a node that no project owns yet.
  template <class T>
  T* adopt(T* node)
  {
    arena_.emplace_back(node);
    return node;
  }
  // The type of that spelling, made once per project.
  SgType* type_named(const std::string& spelling);

  std::list<std::string> arguments_;
  std::vector<std::string> switches_;
  std::vector<std::unique_ptr<SgNode>> arena_;
  std::map<std::string, SgType*> types_;
};

inline SgProject* isSgProject(SgNode* node) { return dynamic_cast<SgProject*>(node); }
inline const SgProject* isSgProject(const SgNode* node) { return dynamic_cast<const SgProject*>(node); }

// Parses the source file named on the command line (program name first).
std::unique_ptr<SgProject> frontend(int argc, char** argv);
std::unique_ptr<SgProject> frontend(const std::vector<std::string>& arguments);
// The same with the source file's text given: text is parsed as the file the
// command line names, which is not read.
std::unique_ptr<SgProject> frontend(const std::vector<std::string>& arguments, const std::string& text);

// Parses text as the source file of project, with its command line and
// preprocessor switches, after the declarations of prelude, which belong to
// no file of the new project (nothing of them is in its tree). Lines and
// columns of the new project are those of text; its messages name the file
// and quote the lines of shown when it is given (the text that text was
// rewritten from, line for line), else those of text.
std::unique_ptr<SgProject> reparse(const SgProject& project, const std::string& text,
                                   const std::string& prelude, const std::string* shown = nullptr);

#endif
