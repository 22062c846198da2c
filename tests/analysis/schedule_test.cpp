// Textual schedules of small programs and the helpers over schedule vectors.
#include <gtest/gtest.h>

#include <optional>

#include "analysis/schedule.h"
#include "algebra/expression.h"
#include "algebra/index_function.h"
#include "polyhedra/operation.h"
#include "support/ownership.h"
#include "tests/program/program_test_support.h"
#include "tests/expect_failure.h"

namespace {

class ScheduleTest : public ProgramTest {
 protected:
  void TearDown() override
  {
    schedules.clear();
    ProgramTest::TearDown();
  }

  // The textual schedules of the statements of body, printed.
  std::vector<std::string> dates(const std::string& body)
  {
    schedules.clear();
    program_scope_.reset();
    program_scope_.emplace();  // a context of its own for each program
    program = extract("int N, i, j, k;\ndouble a[9][9], x;\nvoid f(void) {\n" + body + "\n}\n");
    schedules = Schedule::from_Program(program.get());
    std::vector<std::string> printed;
    for (const auto& s : schedules)
      printed.push_back(text(*s));
    return printed;
  }

  std::optional<AnalysisScope> program_scope_;
  std::unique_ptr<Program> program;
  std::vector<std::unique_ptr<Schedule>> schedules;
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

  std::vector<std::unique_ptr<Schedule>> three;
  for (int d : {3, 5, 1}) {
    std::vector<std::unique_ptr<Expression>> components;
    for (int c = 0; c < d; c++)
      components.push_back(v(c));
    three.push_back(std::make_unique<Schedule>(view(components)));
  }
  EXPECT_EQ(Schedule::max_dimension(view(three)), 5);
  std::unique_ptr<Schedule> none = three[1]->keep_first(0), first = three[1]->keep_first(2),
                            last = three[1]->keep_last(1);
  EXPECT_TRUE(none->dim() == 0 && three[1]->dim() == 5);
  EXPECT_EQ(text(*first) + text(*last), "[0][1][4]");
}


}  // namespace
