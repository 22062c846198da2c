// The project, the command line and the entry point of the front-end.
#include "frontend/sg_project.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "frontend/clang_reader.h"
#include "frontend/fatal_error.h"

void frontend_fatal(const std::string& message) { throw FrontendError(message); }

namespace {

bool starts_with(const std::string& text, const std::string& prefix)
{
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool ends_with(const std::string& text, const std::string& suffix)
{
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// What the front-end takes from a command line.
struct CommandLine {
  std::vector<std::string> switches;  // joined form, command-line order
  std::vector<std::string> sources;
};

CommandLine read_command_line(const std::vector<std::string>& arguments)
{
  CommandLine line;
  // The program name comes first and is not looked at.
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "-D" || argument == "-U" || argument == "-I") {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty())
        frontend_fatal("frontend: error: missing value after '" + argument + "'");
      line.switches.push_back(argument + arguments[++i]);
    } else if (starts_with(argument, "-D") || starts_with(argument, "-U") ||
               starts_with(argument, "-I")) {
      line.switches.push_back(argument);
    } else if (starts_with(argument, "-std=")) {
      line.switches.push_back(argument);
    } else if (starts_with(argument, "-")) {
      // Another switch: the tool's own affair.
    } else if (argument.size() > 2 && ends_with(argument, ".c")) {
      line.sources.push_back(argument);
    }
  }
  return line;
}

}  // namespace

SgProject::SgProject(const std::vector<std::string>& arguments,
                     const std::vector<std::string>& switches)
    : arguments_(arguments.begin(), arguments.end()), switches_(switches)
{
}

SgProject::~SgProject() = default;

int SgProject::numberOfFiles() const
{
  return static_cast<int>(get_traversalSuccessorContainer().size());
}

SgSourceFile* SgProject::get_file(int index) const
{
  std::vector<SgSourceFile*> files = get_fileList();
  if (index < 0 || index >= static_cast<int>(files.size()))
    return nullptr;
  return files[static_cast<std::size_t>(index)];
}

std::vector<SgSourceFile*> SgProject::get_fileList() const
{
  std::vector<SgSourceFile*> files;
  for (SgNode* child : get_traversalSuccessorContainer())
    files.push_back(static_cast<SgSourceFile*>(child));
  return files;
}

std::string SgProject::unparseToCompleteString() const
{
  std::string text;
  for (SgSourceFile* file : get_fileList())
    text += file->get_text();
  return text;
}

SgType* SgProject::type_named(const std::string& spelling)
{
  auto found = types_.find(spelling);
  if (found != types_.end())
    return found->second;
  SgType* type = spelling == "_Bool" ? static_cast<SgType*>(adopt(new SgTypeBool()))
                                     : static_cast<SgType*>(adopt(new SgTypeDefault(spelling)));
  types_[spelling] = type;
  return type;
}

std::unique_ptr<SgProject> frontend(int argc, char** argv)
{
  std::vector<std::string> arguments;
  for (int i = 0; i < argc && argv != nullptr; ++i)
    arguments.push_back(argv[i] != nullptr ? argv[i] : "");
  return frontend(arguments);
}

namespace {

// The parser's arguments for the preprocessor switches of a command line.
std::vector<std::string> parser_arguments(const std::vector<std::string>& switches)
{
  std::vector<std::string> arguments = {"-x", "c"};
  bool has_standard = false;
  for (const std::string& option : switches)
    has_standard = has_standard || starts_with(option, "-std=");
  if (!has_standard)
    arguments.push_back("-std=gnu99");
  arguments.push_back("-ferror-limit=0");
  arguments.push_back("-Wno-implicit-function-declaration");
  arguments.insert(arguments.end(), switches.begin(), switches.end());
  return arguments;
}

// The project of the command line, its source read from its file, or given.
std::unique_ptr<SgProject> read_project(const std::vector<std::string>& arguments, const std::string* text)
{
  CommandLine line = read_command_line(arguments);
  if (line.sources.size() > 1) {
    std::string names;
    for (const std::string& source : line.sources)
      names += (names.empty() ? "'" : ", '") + source + "'";
    frontend_fatal("frontend: error: more than one source file on the command line: " + names);
  }
  auto project = std::make_unique<SgProject>(arguments, line.switches);
  if (line.sources.empty())
    return project;
  if (text != nullptr)
    read_c_text(project.get(), line.sources.front(), *text, parser_arguments(line.switches), "", *text);
  else
    read_c_file(project.get(), line.sources.front(), parser_arguments(line.switches));
  return project;
}

}  // namespace

std::unique_ptr<SgProject> frontend(const std::vector<std::string>& arguments)
{
  return read_project(arguments, nullptr);
}

std::unique_ptr<SgProject> frontend(const std::vector<std::string>& arguments, const std::string& text)
{
  return read_project(arguments, &text);
}

std::unique_ptr<SgProject> reparse(const SgProject& project, const std::string& text,
                                   const std::string& prelude, const std::string* shown)
{
  const std::list<std::string>& given = project.get_originalCommandLineArgumentList();
  auto result = std::make_unique<SgProject>(std::vector<std::string>(given.begin(), given.end()),
                                            project.get_preprocessor_switches());
  SgSourceFile* file = project.get_file(0);
  if (file != nullptr)
    read_c_text(result.get(), file->getFileName(), text, parser_arguments(project.get_preprocessor_switches()),
                prelude, shown != nullptr ? *shown : text);
  return result;
}
