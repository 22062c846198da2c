// Textual schedules of small programs, the helpers over schedule vectors, the
// printers, and dates of instances.
#include <gtest/gtest.h>

#include <optional>

#include "analysis/schedule.h"
#include "algebra/expression.h"
#include "algebra/index_function.h"
#include "polyhedra/operation.h"
#include "tests/program/program_test_support.h"
#include "tests/expect_failure.h"

namespace {

class ScheduleTest : public ProgramTest {
 protected:
  void TearDown() override
  {
    del(schedules);
    ProgramTest::TearDown();
  }

  // The textual schedules of the statements of body, printed.
  std::vector<std::string> dates(const std::string& body)
  {
    del(schedules);
    program_scope_.reset();
    program_scope_.emplace();  // a context of its own for each program
    program = extract("int N, i, j, k;\ndouble a[9][9], x;\nvoid f(void) {\n" + body + "\n}\n");
    schedules = Schedule::from_Program(program.get());
    std::vector<std::string> printed;
    for (const Schedule* s : schedules)
      printed.push_back(text(*s));
    return printed;
  }

  std::optional<AnalysisScope> program_scope_;
  std::unique_ptr<Program> program;
  std::vector<Schedule*> schedules;
};

using Dates = std::vector<std::string>;

TEST_F(ScheduleTest, TextualSchedulesFollowTheProgramText)
{
  const std::string loop_i = "for (i = 0; i < N; i++) ";
  const std::string loop_j = "for (j = 0; j < N; j++) ";
  EXPECT_EQ(dates(loop_i + "{ a[i][0] = 0; a[i][1] = 1; }"), Dates({"[0][i][1]", "[0][i][2]"}));
  EXPECT_EQ(dates(loop_i + "a[i][0] = 0;\n" + loop_j + "a[j][1] = 1;"),
            Dates({"[0][i][1]", "[1][j][0]"}));
  EXPECT_EQ(dates(loop_i + "{ " + loop_j + "a[i][j] = 0; a[i][0] = 1; }"),
            Dates({"[0][i][0][j][1]", "[0][i][1]"}));
  EXPECT_EQ(schedules[0]->index_function->surrounding_counters, std::vector<int>({0, 1}));
  // Two inner loops of one outer loop: the second is later at the outer level.
  EXPECT_EQ(dates(loop_i + "{ " + loop_j + "a[i][j] = 0; for (k = 0; k < N; k++) a[k][i] = 1; }"),
            Dates({"[0][i][0][j][1]", "[0][i][1][k][0]"}));
  // Statements outside every loop, the first included, move the top level on.
  EXPECT_EQ(dates("x = 0;\n" + loop_i + "a[i][0] = x;\nx = 1;"),
            Dates({"[1]", "[2][i][0]", "[3]"}));
  EXPECT_EQ(dates(""), Dates());
}

TEST_F(ScheduleTest, CommonNestMaxDimensionAndTruncation)
{
  using S = Schedule;
  EXPECT_TRUE(S::common_nest({3, 5}, {3, 6}) == 0 && S::common_nest({1, 2}, {1, 2, 3}) == 1);
  EXPECT_TRUE(S::common_nest({3}, {4}) == -1 && S::common_nest({}, {3}) == -1);
  EXPECT_EQ(S::common_nest({1, 2, 3}, {1, 2, 3}), 2);

  std::vector<Schedule*> three;
  for (int d : {3, 5, 1}) {
    std::vector<Expression*> components;
    for (int c = 0; c < d; c++)
      components.push_back(new Expression(c));
    three.push_back(new Schedule(components));
    del(components);
  }
  EXPECT_EQ(Schedule::max_dimension(three), 5);
  std::unique_ptr<Schedule> none(three[1]->keep_first(0)), first(three[1]->keep_first(2)),
      last(three[1]->keep_last(1));
  EXPECT_TRUE(none->dim() == 0 && three[1]->dim() == 5);
  EXPECT_EQ(text(*first) + text(*last), "[0][1][4]");
  del(three);
}

TEST_F(ScheduleTest, Printers)
{
  std::ostringstream empty, two;
  Schedule::print_iscc(empty, {});
  EXPECT_EQ(empty.str(), "[] -> { }");
  dates("for (i = 0; i < N; i++) { a[i][0] = 0; a[i][1] = 1; }");
  Schedule::print_iscc(two, schedules);
  EXPECT_EQ(two.str(), "[] -> {S0[i] -> [0,i,1]; S1[i] -> [0,i,2] }");
  EXPECT_EQ(text(schedules), "SCHEDULES\n\nStatement #0: [0][i][1]\nStatement #1: [0][i][2]\n");
}

TEST_F(ScheduleTest, DateOfAnInstance)
{
  dates("for (i = 0; i < N; i++) for (j = i; j < N; j++) a[i][j] = 0;");
  auto [op, ranks] = program->statement[0]->instance(2);
  std::unique_ptr<Operation> instance(op);
  std::unique_ptr<IndexFunction> date(schedules[0]->apply(instance.get()));
  EXPECT_EQ(text(*date), "[0][new_counter_0_2][0][new_counter_1_2][1]");
  EXPECT_EQ(text(*schedules[0]), "[0][i][0][j][1]");

  std::vector<Expression*> components{new Expression(3), new Expression(4)};
  IndexFunction point(components);
  del(components);
  std::unique_ptr<IndexFunction> at(schedules[0]->apply(&point));
  EXPECT_EQ(text(*at), "[0][3][0][4][1]");
}

using ScheduleFailureTest = ScheduleTest;

TEST_F(ScheduleFailureTest, MaxDimensionOfNoStatementStops)
{
  EXPECT_FAILURE(Schedule::max_dimension({}), 1, "^Schedule::max_dim: 0 statements\n$");
}

}  // namespace
