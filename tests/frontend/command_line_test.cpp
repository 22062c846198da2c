// The command line of the front-end: which switches reach the parser, and
// how bad input ends the process.
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

// Bad input ends with status 1 and one message: a missing or unreadable
// source, the first parse error (its source line, and how many others
// follow), a missing header, a switch without its value, two sources, and
// switches the parser rejects.
TEST_F(CommandLineTest, BadInputEndsWithStatusOneAndOneMessage)
{
  using Words = std::vector<std::string>;
  std::filesystem::create_directories(dir_ + "/folder.c");
  EXPECT_FAILURE(frontend(Words{"vorl", dir_ + "/absent.c"}), 1, "cannot read source file '.*absent\\.c': No such file or directory");
  EXPECT_FAILURE(frontend(Words{"vorl", dir_ + "/folder.c"}), 1, "cannot read source file '.*folder\\.c'");
  EXPECT_FAILURE(parse("int f(void) {\n  int x = ;\n  return y;\n}\n"), 1, "^[^ ]*prog\\.c:2:11: int x = ;: error: expected expression \\(and 1 more error\\)\n$");
  EXPECT_FAILURE(parse("#include \"nowhere.h\"\nint x;\n"), 1, "prog\\.c:1:10: #include \"nowhere\\.h\": fatal error: 'nowhere\\.h' file not found");
  EXPECT_FAILURE(frontend(Words{"vorl", "prog.c", "-I"}), 1, "missing value after '-I'");
  EXPECT_FAILURE(frontend(Words{"vorl", write("a.c", "int a;\n"), write("b.c", "int b;\n")}), 1, "more than one source file");
  EXPECT_FAILURE(parse("int x;\n", {"-std=c++11"}), 1, "the C parser rejected .*-std=c\\+\\+11");
}

}  // namespace
