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
#include "poly/enumeration_expression.h"
#include "poly/expression.h"
#include "poly/inequation.h"
#include "tests/codegen/codegen_test_support.h"

namespace {

using E = std::unique_ptr<Expression>;

const char* const kHeader = R"(#include <math.h>
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h> //for exit()

#define true 1
#define false 0

//Correct euclidian division with negative integers
#define floord(n,d) (int)(floor(((double)(n))/((double)(d))))
#define ceild(n,d) (int)(ceil(((double)(n))/((double)(d))))
#define min(x,y) ((x)<(y)?(x):(y))
#define max(x,y) ((x)<(y)?(y):(x))
#define ceild(n,d) (int)(ceil(((double)(n))/((double)(d))))
#define div(a,b) ((a)>=0?(a)/(b):((a)-(ceild(-(a),(b))*(b)+(a))%(b))/(b))

)";

const char* const kMain = R"(
int main(int argc, char** argv)
{
  //Find the red limit
  int* red_limit = red_bottom_level();
  print_red_date(red_limit);

  //Find the green limit
  int* green_limit = green_bottom_level(red_limit);
  print_green_date(green_limit);

  //KERNEL CODE HERE, with
  //  if(below_red_stmtk(red_limit,iteration)) --stmtk for GPU-- )
  //  if(below_green_stmtk(green_limit,red_limit,iteration)) --stmtk for CPU+GPU-- )

  free(red_limit);
  free(green_limit);
  return 0;
}
)";

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

// Line by line; "@@" in an expected line stands for any non-empty text.
void expect_same_sections(const std::string& got, const std::string& expected)
{
  std::vector<Section> g = sections(got), e = sections(expected);
  ASSERT_EQ(g.size(), e.size()) << got;
  for (size_t s = 0; s < e.size(); s++) {
    SCOPED_TRACE(e[s].first);
    EXPECT_EQ(g[s].first, e[s].first);
    const std::vector<std::string>& gl = g[s].second;
    const std::vector<std::string>& el = e[s].second;
    for (size_t k = 0; k < std::min(gl.size(), el.size()); k++) {
      std::string pattern, rest = el[k];
      for (size_t at; (at = rest.find("@@")) != std::string::npos; rest = rest.substr(at + 2))
        pattern += ::quoted(rest.substr(0, at)) + ".+";
      pattern += ::quoted(rest);
      if (el[k].find("@@") != std::string::npos)
        EXPECT_TRUE(std::regex_match(gl[k], std::regex(pattern))) << gl[k] << "\nvs\n" << el[k];
      else
        EXPECT_EQ(gl[k], el[k]) << "line " << k;
    }
    EXPECT_EQ(gl.size(), el.size());
  }
  EXPECT_TRUE(!got.empty() && got.back() == '\n');
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

  const std::string declarations =
      "  double X_0;\n  double a_i_0;\n  double double_result_0;\n  int is_defined_0,is_defined_1;\n"
      "  int volume_stmt_0,volume_stmt_1;\n  int volume_total_0;\n";
  const std::string one_count = R"(
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
)";
  std::string expected = std::string(kHeader) + R"(//
// Program declarations
//
int N = 4;
double a[4], b[4];

//
// Red front volume for each bottom level
//
int red_front_volume(int t_0)
{
)" + declarations + one_count + R"(
  //
  // Front volume for statement #1
  //
  is_defined_1 = false;
  if((t_0 >= 0) && (t_0 <= N-1))
    {
      double_result_0 = 0;
      X_0 = 1;

      //Degree 0 term
      a_i_0 = 0.0;
      double_result_0 += a_i_0*(X_0);
      X_0 = X_0*(N);

      //Degree 1 term
      a_i_0 = 1.0/2.0;
      double_result_0 += a_i_0*(X_0);
      volume_stmt_1 = (int)floor(double_result_0 + 0.5);
      is_defined_1 = true;
    }
  if(!is_defined_1)
    {
      volume_stmt_1 = 0;
    }

  //
  // Sum the volumes obtained for each statement
  //
  volume_total_0 = volume_stmt_0 + volume_stmt_1;

  return volume_total_0;
}


//
// Green front volume for each bottom level
//
int green_front_volume(int* red_limit, int t_0)
{
)" + declarations + "  int t_red_0 = red_limit[0]; \n" +
      std::regex_replace(one_count, std::regex(R"(\(t_0 >= 1\) && \(t_0 <= N\))"),
                         "(t_0 >= 0) && (t_0 <= (N-1)-t_red_0)") +
      R"(
  //
  // Sum the volumes obtained for each statement
  //
  volume_total_0 = volume_stmt_0;

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

int* red_bottom_level()
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


//
// First level (before red level) executing #CPU+#GPU kernels in parallel
//
int* make_green_date(int t_counter_0)
{
  int* result_date = (int*)malloc(1*sizeof(int));
  result_date[0] = t_counter_0;
  return result_date;
}

void print_green_date(int* date)
{
  printf("%d ",date[0]);
  printf("\n");
}

int* green_bottom_level(int* red_limit)
{
  int t_counter_0;
  int t_red_0 = red_limit[0]; 
  for(t_counter_0 = 0; t_counter_0 <= (-1+N)+(-1*t_red_0); t_counter_0++)
    if(((t_counter_0 >= 0) && (t_counter_0 <= (N-1)-t_red_0)))
    //valid date?
      if(green_front_volume(red_limit,t_counter_0) >= 6)
        return make_green_date(t_counter_0);
  printf("green_bottom_level(): not found\n");
  exit(1);
}


//
// Green level checking (per statement)
//
int below_green_stmt0(int* green_bottom_level, int* red_limit, int i)
{
  int t_red_0 = red_limit[0]; 
  return ((((N-1)-i)-t_red_0 < green_bottom_level[0])) || ((((N-1)-i)-t_red_0 == green_bottom_level[0]));
}

)" + kMain;
  std::string text = generate_program(a);
  expect_same_sections(text, expected);
  write("out.c", text);
  EXPECT_EQ(shell("cc -fsyntax-only -Wall -Wno-unused-variable -Werror out.c"), 0);
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

  const std::string declarations =
      "  double X_0;\n  double a_i_0;\n  double double_result_0;\n  int is_defined_0;\n"
      "  int volume_stmt_0;\n  int volume_total_0;\n";
  std::string expected = std::string(kHeader) + R"(//
// Program declarations
//
int N = 5;
double a[8], b[8];
int i;

//
// Red front volume for each bottom level
//
int red_front_volume()
{
)" + declarations + R"(
  //
  // Front volume for statement #0
  //
  is_defined_0 = false;
  if(@@)
    {
      double_result_0 = 0;
      X_0 = 1;

      //Degree 0 term
      a_i_0 = 0.0;
      double_result_0 += a_i_0*(X_0);
      X_0 = X_0*(N);

      //Degree 1 term
      a_i_0 = 1.0;
      double_result_0 += a_i_0*(X_0);
      volume_stmt_0 = (int)floor(double_result_0 + 0.5);
      is_defined_0 = true;
    }
  if(!is_defined_0)
    {
      volume_stmt_0 = 0;
    }

  //
  // Sum the volumes obtained for each statement
  //
  volume_total_0 = volume_stmt_0;

  return volume_total_0;
}


//
// Green front volume for each bottom level
//
int green_front_volume(int* red_limit)
{
)" + declarations + R"(  

  //
  // Sum the volumes obtained for each statement
  //
  volume_total_0 = 0;

  return volume_total_0;
}


//
// First level executing #GPU kernels in parallel
//
int* make_red_date()
{
  int* result_date = (int*)malloc(0*sizeof(int));
  return result_date;
}

void print_red_date(int* date)
{
  printf("\n");
}

int* red_bottom_level()
{
    if((@@))
    //valid date?
      if(red_front_volume() >= 2)
        return make_red_date();
  printf("red_bottom_level(): not found\n");
  exit(1);
}


//
// Red level checking (per statement)
//
int below_red_stmt0(int* red_bottom_level, int i)
{
  return (true);
}


//
// First level (before red level) executing #CPU+#GPU kernels in parallel
//
int* make_green_date()
{
  int* result_date = (int*)malloc(0*sizeof(int));
  return result_date;
}

void print_green_date(int* date)
{
  printf("\n");
}

int* green_bottom_level(int* red_limit)
{
  
    if(false)
    //valid date?
      if(green_front_volume(red_limit) >= 3)
        return make_green_date();
  printf("green_bottom_level(): not found\n");
  exit(1);
}


//
// Green level checking (per statement)
//
)" + kMain;
  expect_same_sections(text, expected);
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
        "      if(red_front_volume(t_counter_0,t_counter_1) >= 2)\n",
        "int* green_bottom_level(int* red_limit)\n{\n  int t_red_0 = red_limit[0]; int t_red_1 = "
        "red_limit[1]; \n"})
    EXPECT_NE(text.find(piece), std::string::npos) << piece << "\nnot in\n" << text;
  write("out.c", text);
  ASSERT_EQ(shell("cc -o out out.c -lm"), 0);
  EXPECT_EQ(shell("./out > out.txt"), 1);
  EXPECT_EQ(slurp("out.txt"), "1 2 \ngreen_bottom_level(): not found\n");
}

}  // namespace
