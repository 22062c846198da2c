// The text of out.c, section by section, against texts written out by hand:
// one from an analysis result built here piece by piece, one from the whole
// pipeline on a small program (there, the conditions that the polyhedral
// library shapes are matched as "@@").
#include <gtest/gtest.h>

#include <regex>

#include "analysis/schedule.h"
#include "codegen/bottom_limit.h"
#include "codegen/code_generation.h"
#include "driver/preprocessor.h"
#include "polyhedra/enumeration_expression.h"
#include "algebra/expression.h"
#include "algebra/inequation.h"
#include "tests/codegen/codegen_test_support.h"

namespace {

using E = std::unique_ptr<Expression>;

using Section = std::pair<std::string, std::vector<std::string>>;

// The text cut before every "//", "// title", "//" triple that starts a line.
std::vector<Section> sections(const std::string& text)
{
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  std::vector<Section> r{{"(header)", {}}};
  for (size_t k = 0; k < lines.size(); k++) {
    if (lines[k] == "//" && k + 2 < lines.size() && lines[k + 1].rfind("// ", 0) == 0 &&
        lines[k + 2] == "//")
      r.push_back({lines[k + 1], {}});
    r.back().second.push_back(lines[k]);
  }
  return r;
}

// The sections of `expected`, line by line, against the sections of that
// title in `got`, which holds them in the same order; "@@" in an expected
// line stands for any non-empty text.
void expect_sections(const std::string& got, const std::string& expected)
{
  std::vector<Section> g = sections(got), e = sections(expected);
  size_t at = 0;
  for (const Section& want : e) {
    if (want.first == "(header)" && want.second.empty())
      continue;
    SCOPED_TRACE(want.first);
    while (at < g.size() && g[at].first != want.first)
      at++;
    ASSERT_LT(at, g.size()) << "no such section, or out of order";
    const std::vector<std::string>& gl = g[at].second;
    const std::vector<std::string>& el = want.second;
    for (size_t k = 0; k < std::min(gl.size(), el.size()); k++) {
      std::string pattern, rest = el[k];
      for (size_t p; (p = rest.find("@@")) != std::string::npos; rest = rest.substr(p + 2))
        pattern += ::quoted(rest.substr(0, p)) + ".+";
      pattern += ::quoted(rest);
      if (el[k].find("@@") != std::string::npos)
        EXPECT_TRUE(std::regex_match(gl[k], std::regex(pattern))) << gl[k] << "\nvs\n" << el[k];
      else
        EXPECT_EQ(gl[k], el[k]) << "line " << k;
    }
    EXPECT_EQ(gl.size(), el.size());
  }
}

// What the program of dir/out.c prints (its standard output, then its error
// stream) and its status, once compiled cleanly by gcc and clang.
std::string run_generated(const std::string& dir, const std::string& arguments, int* status)
{
  EXPECT_EQ(compile_generated(dir), "");
  *status = shell("cd '" + dir + "' && ./out " + arguments + " > out.txt 2> err.txt");
  return slurp(dir + "/out.txt") + slurp(dir + "/err.txt");
}

class GoldenTest : public CodegenTest {
 protected:
  static E parameter(const std::string& name) { return E(new Expression(name)); }
  static E counter(const std::string& name)
  {
    return E(Expression::from_counter_rank(get_counter_rank(name)));
  }
  // The polyhedron of the constraints, which it deletes.
  static Polyhedron* poly(std::initializer_list<Inequation*> constraints)
  {
    Polyhedron* p = new Polyhedron();
    for (Inequation* c : constraints) {
      p->add_constraint(c);
      delete c;
    }
    return p;
  }
  static Inequation* ge(const E& a, const E& b) { return new Inequation(PRED_GE, a.get(), b.get()); }
  static Inequation* le(const E& a, const E& b) { return new Inequation(PRED_LE, a.get(), b.get()); }
  static Schedule* schedule(const E& e) { return new Schedule(std::vector<Expression*>{e.get()}); }
};

TEST_F(GoldenTest, TwoStatementsWithOneDimensionalSchedules)
{
  std::unique_ptr<Program> program = extract(
      "int N = 4;\ndouble a[4], b[4];\nint main(void) {\n  int i;\n"
      "  for (i = 0; i < N; i++) {\n    a[i] = 0;\n    b[i] = a[i];\n  }\n  return 0;\n}\n");
  ASSERT_EQ(program->statement.size(), 2u);
  program->variable_declaration = {"int N = 4;", "double a[4], b[4];"};
  E N = parameter("N"), i = counter("i"), zero(new Expression(0)), one(new Expression(1));
  auto [t_red_rank, t_red] = create_parameter("t_red", 0);
  auto [t_rank, t] = create_parameter("t", 0);
  auto [t_counter_rank, t_counter] = create_counter("t_counter", 0);
  E T_red(t_red), T(t), C(t_counter);
  E N_minus_1(*N - 1), red0(*N - *i), red1(*N_minus_1 - *i), green_end(*N_minus_1 - *T_red);
  E green0(*red1 - *T_red);

  LimitAnalysis a;
  a.program = program.get();
  std::unique_ptr<Program> filtered(new Program(program->nb_counters, program->nb_parameters + 1,
                                                {program->statement[0]->clone()}));
  a.filtered = filtered.get();
  a.red_schedules = {schedule(red0), schedule(red1)};
  a.green_schedules = {schedule(green0)};
  E polynomial(new EnumerationExpression(
      std::vector<Expression*>{zero.get(), E(new Expression(1, 2)).get()}, N.get()));
  a.red_front_volumes = {{{poly({ge(T, one), le(T, N)}), one->clone()}},
                         {{poly({ge(T, zero), le(T, N_minus_1)}), polynomial->clone()}}};
  a.green_front_volumes = {{{poly({ge(T, zero), le(T, green_end)}), one->clone()}}};
  a.red_level_parameters = a.green_level_parameters = {t_rank};
  a.red_level_counters = a.green_level_counters = {t_counter_rank};
  a.red_date_sets = {poly({ge(C, one), le(C, N)}), poly({ge(C, zero), le(C, N_minus_1)})};
  a.green_date_sets = {poly({ge(C, zero), le(C, green_end)})};
  a.red_level_domain = poly({ge(C, zero), le(C, N)});
  a.green_level_domain = poly({ge(C, zero), le(C, green_end)});
  a.nb_cpu = 2;
  a.nb_gpu = 4;

  // The declarations and the parameter table, the counts in exact integer
  // arithmetic, the red search and the checks of each statement; the green
  // sections are made alike, the others are fixed text.
  const std::string expected = R"(//
// Program declarations
//
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wbuiltin-declaration-mismatch"
#endif
int N = 4;
double a[4], b[4];
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

//
// Program parameters: the values of the program, replaced by NAME=VALUE arguments
//
struct vorl_parameter { const char* vorl_name; int vorl_value; int vorl_known; int vorl_used; };
static struct vorl_parameter vorl_parameters[] = {
#ifdef N
  {"N", (N), 1, 1},
#else
  {"N", 4, 1, 1},
#endif
  {0, 0, 0, 0}
};
#undef N
#define N (vorl_parameters[0].vorl_value)

//
// Red front volume for each bottom level
//
long long red_front_volume(int t_0)
{
  int is_defined_0,is_defined_1;
  long long volume_stmt_0,volume_stmt_1;
  long long volume_total_0;

  //
  // Front volume for statement #0
  //
  is_defined_0 = false;
  if((t_0 >= 1) && (t_0 <= N))
    {
      volume_stmt_0 = 1;
      is_defined_0 = true;
    }
  if(!is_defined_0)
    {
      volume_stmt_0 = 0;
    }

  //
  // Front volume for statement #1
  //
  is_defined_1 = false;
  if((t_0 >= 0) && (t_0 <= N-1))
    {
      volume_stmt_1 = vorl_count(N, 2);
      is_defined_1 = true;
    }
  if(!is_defined_1)
    {
      volume_stmt_1 = 0;
    }

  //
  // Sum the volumes obtained for each statement
  //
  volume_total_0 = vorl_count(vorl_add(volume_stmt_0, volume_stmt_1), 1);

  return volume_total_0;
}


//
// First level executing #GPU kernels in parallel
//
int* make_red_date(int t_counter_0)
{
  int* result_date = (int*)malloc(1*sizeof(int));
  result_date[0] = t_counter_0;
  return result_date;
}

void print_red_date(int* date)
{
  printf("%d ",date[0]);
  printf("\n");
}

int* red_bottom_level(void)
{
  int t_counter_0;
  for(t_counter_0 = 0; t_counter_0 <= N; t_counter_0++)
    if(((t_counter_0 >= 1) && (t_counter_0 <= N)) || ((t_counter_0 >= 0) && (t_counter_0 <= N-1)))
    //valid date?
      if(red_front_volume(t_counter_0) >= 4)
        return make_red_date(t_counter_0);
  printf("red_bottom_level(): not found\n");
  exit(1);
}


//
// Red level checking (per statement)
//
int below_red_stmt0(int* red_bottom_level, int i)
{
  return ((N-i < red_bottom_level[0])) || ((N-i == red_bottom_level[0]));
}

int below_red_stmt1(int* red_bottom_level, int i)
{
  return (((N-1)-i < red_bottom_level[0])) || (((N-1)-i == red_bottom_level[0]));
}


)";
  std::string text = generate_program(a);
  expect_sections(text, expected);
  EXPECT_EQ(text.find("#include"), std::string::npos);
  write("out.c", text);
  int status = 0;
  // N = 4: at most 1 + 4 / 2 instances at a date, fewer than 4 GPUs; N = 8:
  // 1 + 8 / 2 at date 0, then one green instance per date.
  EXPECT_EQ(run_generated(dir_, "", &status), "red_bottom_level(): not found\n");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(run_generated(dir_, "N=8", &status), "0 \ngreen_bottom_level(): not found\n");
  EXPECT_EQ(status, 1);

  // The default of a size: the value of its macro, which the copied
  // declarations use; the model's initial value; none, and the size must
  // be given.
  program->macro_definitions = {"#define N (2 * 4)"};
  program->variable_declaration = {"double a[N], b[N];"};
  write("out.c", generate_program(a));
  EXPECT_EQ(run_generated(dir_, "", &status), "0 \ngreen_bottom_level(): not found\n");
  EXPECT_EQ(run_generated(dir_, "N=4", &status), "red_bottom_level(): not found\n");
  program->macro_definitions.clear();
  program->variable_declaration.clear();
  program->initial_values = {{"N", 8}};
  write("out.c", generate_program(a));
  EXPECT_EQ(run_generated(dir_, "", &status), "0 \ngreen_bottom_level(): not found\n");
  program->initial_values.clear();
  write("out.c", generate_program(a));
  EXPECT_EQ(run_generated(dir_, "", &status), "./out: no value for the parameter N: give it as N=VALUE\n");
  EXPECT_EQ(status, 1);
}

// A statement without dependence has an empty schedule: no level counter at
// all, every instance at the one empty date, and no instance beyond it.
TEST_F(GoldenTest, IndependentStatementThroughThePipeline)
{
  std::string path = write("p.c",
                           "int N = 5;\ndouble a[8], b[8];\n\nint main(void)\n{\n  int i;\n"
                           "#pragma resource [1][2]\n  for (i = 0; i < N; i++) {\n"
                           "#pragma latency [3][1]\n    a[i] = b[i];\n  }\n  return 0;\n}\n");
  std::unique_ptr<SgProject> first(frontend(std::vector<std::string>{"vorl", path}));
  std::unique_ptr<SgProject> second(preprocess_latency(first.get()));
  std::unique_ptr<Program> program(Program::from_Sage(second.get()));
  auto [maps, resources] = extract_latency(program.get());
  std::ostringstream progress;
  std::streambuf* err = std::cerr.rdbuf(progress.rdbuf());
  std::string text = bottom_limit_program(program.get(), maps[0], maps[1], maps[2], resources);
  std::cerr.rdbuf(err);

  // No level counter: the functions of a date take nothing; no parameter
  // of a check is used; the green program is empty, its search finds
  // nothing.
  for (const char* piece :
       {"long long red_front_volume(void)\n{\n", "int* make_red_date(void)\n{\n",
        "void print_red_date(int* date)\n{\n  (void)date;\n  printf(\"\\n\");\n}\n",
        "int below_red_stmt0(int* red_bottom_level, int i)\n{\n  (void)red_bottom_level;\n"
        "  (void)i;\n  return (true);\n}\n",
        "long long green_front_volume(int* red_limit)\n{\n  long long volume_total_0;\n"
        "  (void)red_limit;\n"})
    EXPECT_NE(text.find(piece), std::string::npos) << piece << "\nnot in\n" << text;
  write("out.c", text);
  int status = 0;
  EXPECT_EQ(run_generated(dir_, "", &status), "\ngreen_bottom_level(): not found\n");
  EXPECT_EQ(status, 1);
}

// Two level counters: the search nests two loops, skips the dates of the
// domain that lie in no date set, and prints both components of the limit.
TEST_F(GoldenTest, TwoLevelSearchSkipsDatesOutsideTheDateSets)
{
  std::unique_ptr<Program> program = extract(
      "int N = 3;\ndouble a[3][4];\nint main(void) {\n  int i, j;\n  for (i = 0; i < N; i++)\n"
      "    for (j = 0; j < 4; j++)\n      a[i][j] = 0;\n  return 0;\n}\n");
  program->variable_declaration = {"int N = 3;"};
  E i = counter("i"), j = counter("j"), zero(new Expression(0));
  std::vector<int> parameters, counters;
  std::vector<E> c;
  for (int k = 0; k < 2; k++) {
    delete create_parameter("t_red", k).second;
    auto [p, t] = create_parameter("t", k);
    auto [r, t_counter] = create_counter("t_counter", k);
    parameters.push_back(p);
    counters.push_back(r);
    c.emplace_back(t_counter);
    delete t;
  }
  E second(new Expression("t_1"));
  LimitAnalysis a;
  a.program = program.get();
  std::unique_ptr<Program> filtered(new Program());
  a.filtered = filtered.get();
  a.red_schedules = {new Schedule(std::vector<Expression*>{i.get(), j.get()})};
  a.red_front_volumes = {{{poly({ge(second, zero)}), second->clone()}}};
  a.red_level_parameters = parameters;
  a.red_level_counters = counters;
  // Dates from (0, 0) to (2, 3); the first row is in no date set.
  a.red_level_domain = poly({ge(c[0], zero), le(c[0], E(new Expression(2))), ge(c[1], zero),
                             le(c[1], E(new Expression(3)))});
  a.red_date_sets = {poly({ge(c[0], E(new Expression(1))), le(c[0], E(new Expression(2))),
                           ge(c[1], zero), le(c[1], E(new Expression(3)))})};
  a.green_level_domain = empty();
  a.nb_cpu = 1;
  a.nb_gpu = 2;
  std::string text = generate_program(a);
  for (const char* piece :
       {"int* make_red_date(int t_counter_0, int t_counter_1)\n",
        "  int t_counter_0,t_counter_1;\n  for(t_counter_0 = 0; t_counter_0 <= 2; t_counter_0++)\n"
        "    for(t_counter_1 = 0; t_counter_1 <= 3; t_counter_1++)\n    if(((t_counter_0 >= 1) && ",
        "      if(red_front_volume(t_counter_0,t_counter_1) >= 2)\n"})
    EXPECT_NE(text.find(piece), std::string::npos) << piece << "\nnot in\n" << text;
  write("out.c", text);
  int status = 0;
  EXPECT_EQ(run_generated(dir_, "", &status), "1 2 \ngreen_bottom_level(): not found\n");
  EXPECT_EQ(status, 1);
  // The profile: the dates of the date set only, the limit where the
  // volume (the second component) first reaches 2.
  EXPECT_EQ(run_generated(dir_, "--profile", &status),
            "series,date,volume,threshold,is_limit\n"
            "red,1 0,0,2,0\nred,1 1,1,2,0\nred,1 2,2,2,1\nred,1 3,3,2,0\n"
            "red,2 0,0,2,0\nred,2 1,1,2,0\nred,2 2,2,2,0\nred,2 3,3,2,0\n"
            "green_bottom_level(): not found\n");
  EXPECT_EQ(status, 1);
}

}  // namespace
