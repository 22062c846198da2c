// out.c from analysis results built here piece by piece, and from the whole
// pipeline on a small program: the pieces of its interface, and what it
// prints once compiled.
#include <gtest/gtest.h>

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
    return Expression::from_counter_rank(get_counter_rank(name));
  }
  // The polyhedron of the constraints, which it deletes.
  static std::unique_ptr<Polyhedron> poly(std::initializer_list<Inequation*> constraints)
  {
    auto p = std::make_unique<Polyhedron>();
    for (Inequation* c : constraints) {
      p->add_constraint(c);
      delete c;
    }
    return p;
  }
  template <class T, class... More>
  static std::vector<std::unique_ptr<T>> owned(std::unique_ptr<T> first, More... more)
  {
    std::vector<std::unique_ptr<T>> v;
    v.push_back(std::move(first));
    (v.push_back(std::move(more)), ...);
    return v;
  }
  // One piece: the polyhedron, with the value, both taken.
  static std::vector<OwnedPieces<Expression>> pieces(std::unique_ptr<Polyhedron> p, E value)
  {
    std::vector<OwnedPieces<Expression>> v(1);
    v[0].insert(std::move(p), std::move(value));
    return v;
  }
  static Inequation* ge(const E& a, const E& b) { return new Inequation(PRED_GE, a.get(), b.get()); }
  static Inequation* le(const E& a, const E& b) { return new Inequation(PRED_LE, a.get(), b.get()); }
  static std::unique_ptr<Schedule> schedule(const E& e)
  {
    return std::make_unique<Schedule>(std::vector<Expression*>{e.get()});
  }
};

TEST_F(GoldenTest, TwoStatementsWithOneDimensionalSchedules)
{
  std::unique_ptr<Program> program = extract(
      "int N = 4;\ndouble a[4], b[4];\nint main(void) {\n  int i;\n"
      "  for (i = 0; i < N; i++) {\n    a[i] = 0;\n    b[i] = a[i];\n  }\n  return 0;\n}\n");
  ASSERT_EQ(program->statement.size(), 2u);
  program->variable_declaration = {"int N = 4;", "double a[4], b[4];"};
  E N = parameter("N"), i = counter("i"), zero(new Expression(0)), one(new Expression(1));
  auto [t_red_rank, T_red] = create_parameter("t_red", 0);
  auto [t_rank, T] = create_parameter("t", 0);
  auto [t_counter_rank, C] = create_counter("t_counter", 0);
  E N_minus_1(*N - 1), red0(*N - *i), red1(*N_minus_1 - *i), green_end(*N_minus_1 - *T_red);
  E green0(*red1 - *T_red);

  LimitAnalysis a;
  a.program = program.get();
  std::vector<std::unique_ptr<Statement>> first;
  first.emplace_back(program->statement[0]->clone());
  a.filtered = std::make_unique<Program>(program->nb_counters, program->nb_parameters + 1, std::move(first));
  a.red_schedules = owned(schedule(red0), schedule(red1));
  a.green_schedules = owned(schedule(green0));
  E polynomial(new EnumerationExpression(
      std::vector<Expression*>{zero.get(), E(new Expression(1, 2)).get()}, N.get()));
  a.red_front_volumes = pieces(poly({ge(T, one), le(T, N)}), one->clone());
  a.red_front_volumes.push_back(
      std::move(pieces(poly({ge(T, zero), le(T, N_minus_1)}), polynomial->clone())[0]));
  a.green_front_volumes = pieces(poly({ge(T, zero), le(T, green_end)}), one->clone());
  a.red_level_parameters = a.green_level_parameters = {t_rank};
  a.red_level_counters = a.green_level_counters = {t_counter_rank};
  a.red_date_sets = owned(poly({ge(C, one), le(C, N)}), poly({ge(C, zero), le(C, N_minus_1)}));
  a.green_date_sets = owned(poly({ge(C, zero), le(C, green_end)}));
  a.red_level_domain = poly({ge(C, zero), le(C, N)});
  a.green_level_domain = poly({ge(C, zero), le(C, green_end)});
  a.nb_cpu = 2;
  a.nb_gpu = 4;

  // The parameter table (NAME=VALUE replaces the values, a macro of the
  // same name gives the default) and the red search at the threshold of
  // the GPUs; the rest of out.c is checked by running it.
  std::string text = generate_program(a);
  for (const char* piece :
       {"#ifdef N\n  {\"N\", (N), 1, 1},\n#else\n  {\"N\", 4, 1, 1},\n#endif\n  {0, 0, 0, 0}\n};\n"
        "#undef N\n#define N ((long long)vorl_parameters[0].vorl_value)\n",
        "      if(red_front_volume(t_counter_0) >= 4)\n        return make_red_date(t_counter_0);\n"
        "  printf(\"red_bottom_level(): not found\\n\");\n  exit(1);\n"})
    EXPECT_NE(text.find(piece), std::string::npos) << piece << "\nnot in\n" << text;
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
    create_parameter("t_red", k);
    parameters.push_back(create_parameter("t", k).first);
    auto [r, t_counter] = create_counter("t_counter", k);
    counters.push_back(r);
    c.push_back(std::move(t_counter));
  }
  E second(new Expression("t_1"));
  LimitAnalysis a;
  a.program = program.get();
  a.filtered = std::make_unique<Program>();
  a.red_schedules = owned(std::make_unique<Schedule>(std::vector<Expression*>{i.get(), j.get()}));
  a.red_front_volumes = pieces(poly({ge(second, zero)}), second->clone());
  a.red_level_parameters = parameters;
  a.red_level_counters = counters;
  // Dates from (0, 0) to (2, 3); the first row is in no date set.
  a.red_level_domain = poly({ge(c[0], zero), le(c[0], E(new Expression(2))), ge(c[1], zero),
                             le(c[1], E(new Expression(3)))});
  a.red_date_sets = owned(poly({ge(c[0], E(new Expression(1))), le(c[0], E(new Expression(2))),
                               ge(c[1], zero), le(c[1], E(new Expression(3)))}));
  a.green_level_domain = empty();
  a.nb_cpu = 1;
  a.nb_gpu = 2;
  std::string text = generate_program(a);
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
