// The command line of the front-end: which argument is the source, which
// switches reach the parser, what the project records, and how bad input ends
// the process.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "frontend/sg_project.h"
#include "frontend_test_support.h"
#include "tests/expect_failure.h"

namespace {

using CommandLineTest = FrontendTest;

int value_of_first_int(SgProject* project)
{
  SgIntVal* value = first_of<SgIntVal>(project);
  return value != nullptr ? value->get_value() : -1;
}

const char* const kUsesN = "int a[4];\nvoid f(void) { a[0] = N; }\n";

TEST_F(CommandLineTest, DefineJoinedAndSeparateReachTheParser)
{
  auto joined = parse(kUsesN, {"-DN=100"});
  EXPECT_EQ(value_of_first_int(joined.get()), 0);  // the subscript
  EXPECT_EQ(nodes_of<SgIntVal>(joined.get()).back()->get_value(), 100);

  auto separate = parse(kUsesN, {"-D", "N=7"});
  EXPECT_EQ(nodes_of<SgIntVal>(separate.get()).back()->get_value(), 7);
  EXPECT_EQ(separate->get_preprocessor_switches(), std::vector<std::string>({"-DN=7"}));
}

TEST_F(CommandLineTest, OriginalArgumentsAreRecordedUnchanged)
{
  std::string path = write("prog.c", kUsesN);
  std::vector<std::string> arguments = {"vorl", "-verbose", "-D", "N=1", path, "-asap"};
  std::unique_ptr<SgProject> project(frontend(arguments));
  std::list<std::string> expected(arguments.begin(), arguments.end());
  EXPECT_EQ(project->get_originalCommandLineArgumentList(), expected);
  EXPECT_EQ(project->numberOfFiles(), 1);
  EXPECT_EQ(project->get_file(0)->getFileName(), path);
}

TEST_F(CommandLineTest, ArgcArgvOverloadReadsTheSameWay)
{
  std::string path = write("prog.c", kUsesN);
  std::vector<std::string> arguments = {"vorl", "-DN=3", path};
  std::vector<char*> argv;
  for (std::string& argument : arguments)
    argv.push_back(&argument[0]);
  std::unique_ptr<SgProject> project(frontend(static_cast<int>(argv.size()), argv.data()));
  ASSERT_EQ(project->numberOfFiles(), 1);
  EXPECT_EQ(nodes_of<SgIntVal>(project.get()).back()->get_value(), 3);
  EXPECT_EQ(project->get_originalCommandLineArgumentList().front(), "vorl");
}

TEST_F(CommandLineTest, IncludeDirectoryJoinedAndSeparate)
{
  write("inc/defs.h", "#define N 42\n");
  std::string program = "#include \"defs.h\"\n" + std::string(kUsesN);
  auto separate = parse(program, {"-I", dir_ + "/inc"});
  EXPECT_EQ(nodes_of<SgIntVal>(separate.get()).back()->get_value(), 42);
  auto joined = parse(program, {"-I" + dir_ + "/inc"});
  EXPECT_EQ(nodes_of<SgIntVal>(joined.get()).back()->get_value(), 42);
  EXPECT_EQ(joined->get_preprocessor_switches(), std::vector<std::string>({"-I" + dir_ + "/inc"}));
}

TEST_F(CommandLineTest, UndefineRemovesAnEarlierDefine)
{
  const char* program = "#ifdef FOO\n#error FOO is defined\n#endif\nint x;\n";
  auto project = parse(program, {"-DFOO=1", "-U", "FOO"});
  EXPECT_EQ(project->numberOfFiles(), 1);
  EXPECT_EQ(project->get_preprocessor_switches(), std::vector<std::string>({"-DFOO=1", "-UFOO"}));
}

TEST_F(CommandLineTest, DefaultStandardIsGnu99AndStdReplacesIt)
{
  const char* wants_gnu99 = "#if __STDC_VERSION__ != 199901L\n#error not C99\n#endif\n"
                            "typeof(1) x;\n";
  EXPECT_EQ(parse(wants_gnu99)->numberOfFiles(), 1);
  const char* wants_c11 = "#if __STDC_VERSION__ != 201112L\n#error not C11\n#endif\nint x;\n";
  auto project = parse(wants_c11, {"-std=c11"});
  EXPECT_EQ(project->numberOfFiles(), 1);
  EXPECT_EQ(project->get_preprocessor_switches(), std::vector<std::string>({"-std=c11"}));
  EXPECT_FAILURE(parse(wants_c11), 1, "prog\\.c:2:2: #error not C11: error: not C11");
}

TEST_F(CommandLineTest, UnknownSwitchesAreIgnored)
{
  auto project = parse("int x;\n", {"-verbose", "-asap", "-alap", "-?", "-Werror", "-O2"});
  EXPECT_EQ(project->numberOfFiles(), 1);
  EXPECT_TRUE(project->get_preprocessor_switches().empty());
}

TEST_F(CommandLineTest, NoSourceFileGivesAnEmptyProject)
{
  std::unique_ptr<SgProject> alone(frontend(std::vector<std::string>{"vorl"}));
  EXPECT_EQ(alone->numberOfFiles(), 0);
  EXPECT_EQ(alone->get_file(0), nullptr);
  EXPECT_EQ(alone->unparseToCompleteString(), "");

  // Neither a header nor a switch value counts as a source file.
  std::unique_ptr<SgProject> other(
      frontend(std::vector<std::string>{"vorl", "-verbose", "prog.h", "-D", "X.c", ".c"}));
  EXPECT_EQ(other->numberOfFiles(), 0);
  EXPECT_EQ(other->get_preprocessor_switches(), std::vector<std::string>({"-DX.c"}));
  EXPECT_EQ(other->get_originalCommandLineArgumentList().size(), 6u);
}

TEST_F(CommandLineTest, TheProgramNameIsNeverTheSource)
{
  std::unique_ptr<SgProject> project(frontend(std::vector<std::string>{"tool.c"}));
  EXPECT_EQ(project->numberOfFiles(), 0);
}

TEST_F(CommandLineTest, MissingFileEndsWithStatusOne)
{
  std::string path = dir_ + "/absent.c";
  EXPECT_FAILURE(frontend(std::vector<std::string>{"vorl", path}), 1, "cannot read source file '.*absent\\.c': No such file or directory");
}

TEST_F(CommandLineTest, DirectoryNamedLikeASourceEndsWithStatusOne)
{
  std::filesystem::create_directories(dir_ + "/folder.c");
  EXPECT_FAILURE(frontend(std::vector<std::string>{"vorl", dir_ + "/folder.c"}), 1, "cannot read source file '.*folder\\.c'");
}

TEST_F(CommandLineTest, ParseErrorsShowTheFirstAtItsLineAndEndWithStatusOne)
{
  // One line: the first error, its source line, and how many others follow.
  const char* broken = "int f(void) {\n  int x = ;\n  return y;\n}\n";
  EXPECT_FAILURE(parse(broken), 1, "^[^ ]*prog\\.c:2:11: int x = ;: error: expected expression \\(and 1 more error\\)\n$");
}

TEST_F(CommandLineTest, MissingHeaderIsAParseError)
{
  EXPECT_FAILURE(parse("#include \"nowhere.h\"\nint x;\n"), 1, "prog\\.c:1:10: #include \"nowhere\\.h\": fatal error: 'nowhere\\.h' file not found");
}

TEST_F(CommandLineTest, SwitchWithoutItsValueIsRejected)
{
  EXPECT_FAILURE(frontend(std::vector<std::string>{"vorl", "prog.c", "-I"}), 1, "missing value after '-I'");
}

TEST_F(CommandLineTest, TwoSourceFilesAreRejected)
{
  std::string first = write("a.c", "int a;\n");
  std::string second = write("b.c", "int b;\n");
  EXPECT_FAILURE(frontend(std::vector<std::string>{"vorl", first, second}), 1, "more than one source file");
}

TEST_F(CommandLineTest, ParserRejectingTheSwitchesIsReported)
{
  EXPECT_FAILURE(parse("int x;\n", {"-std=c++11"}), 1, "the C parser rejected .*-std=c\\+\\+11");
}

}  // namespace
