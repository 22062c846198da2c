// The failure every "ends the process" path goes through, and the order in
// which the registry turns parameters into counters.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "algebra/analysis_context.h"
#include "algebra/expression.h"
#include "support/current_step.h"
#include "support/failure.h"
#include "algebra/rank.h"
#include "tests/expect_failure.h"

namespace {

class RankTest : public testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
};

TEST(FailureTest, CarriesTheMessageItsStreamStatusStepAndPlace)
{
  EXPECT_EQ(cat("rank ", 3, ' ', -1.5), "rank 3 -1.5");
  EXPECT_FAILURE(fail(Stream::Err, "Layer::op: broken"), 1, "^Layer::op: broken\n$");
  EXPECT_FAILURE(fail(Stream::Err, "stop", 0), 0, "^stop\n$");
  EXPECT_FAILURE(fail(Stream::Err, "stop", 7), 7, "stop");
  set_current_step("counting");
  struct Case {
    Stream stream;
    std::string message;
    std::string report;
    SourcePlace place;
  };
  for (const Case& c : std::vector<Case>{
           {Stream::Out, "on stdout", "vorl: analysis failed while counting: on stdout", {}},
           {Stream::Err, "prog.c:7:12: i != 2: not affine", "prog.c:7:12: i != 2: not affine",
            {"prog.c", 7, 12}},
           {Stream::Err, "a:b:c: x", "vorl: analysis failed while counting: a:b:c: x", {}}}) {
    try {
      fail(c.stream, c.message);
      ADD_FAILURE() << "no failure";
    } catch (const Failure& e) {
      EXPECT_EQ(e.stream(), c.stream);
      EXPECT_EQ(e.what(), c.message);
      EXPECT_EQ(e.step(), "counting");
      EXPECT_EQ(e.report(), c.report);
      EXPECT_EQ(e.place().file, c.place.file);
      EXPECT_EQ(e.place().line, c.place.line);
      EXPECT_EQ(e.place().column, c.place.column);
    }
  }
  set_current_step("starting");
}

TEST_F(RankTest, RanksAreNumberedPerKindInRegistrationOrder)
{
  create_counter_rank("i");
  create_parameter_rank("N");
  create_counter_rank("j");
  create_extra_counter_rank("t");
  declare_variable("u");
  declare_parameter("M");
  create_extra_counter_rank("t");  // known names keep their rank
  create_parameter_rank("N");
  EXPECT_TRUE(get_counter_rank("j") == 1 && get_counter_rank("u") == 3);
  EXPECT_EQ(get_parameter_rank("M"), 1);
  EXPECT_TRUE(get_nb_counters() == 4 && get_nb_true_counters() == 2 && get_nb_parameters() == 2);
  EXPECT_TRUE(is_a_counter("t") && !is_a_counter("N"));
  EXPECT_TRUE(is_a_parameter("M") && !is_a_parameter("i"));
  EXPECT_EQ(get_counter_string(1) + get_counter_string(3), "ju");
  EXPECT_EQ(get_parameter_string(1) + get_parameter_string(5), "M");

  // Sibling loops with one counter name: two ranks, the name resolves to the later.
  create_counter_rank("i");
  EXPECT_EQ(get_counter_rank("i"), 4);
  EXPECT_EQ(get_counter_string(0), "i");
  EXPECT_EQ(get_nb_true_counters(), 3);

  get_new_counter("i");
  new_variable("v", TYPE_INT);
  registry().actual_parameter[0] = 0;
  {
    AnalysisScope fresh;  // an empty registry while it lasts
    EXPECT_EQ(get_nb_counters() + get_nb_true_counters() + get_nb_parameters(), 0);
    EXPECT_FALSE(is_a_counter("i"));
    EXPECT_TRUE(registry().actual_parameter.empty());
    EXPECT_EQ(get_new_counter("i"), "i_0");
    EXPECT_EQ(new_variable("v", TYPE_INT), "v_0");
    create_counter_rank("k");
  }
  // Then the registry of before, untouched.
  EXPECT_EQ(get_counter_rank("i"), 4);
  EXPECT_FALSE(is_a_counter("k"));
  EXPECT_EQ(registry().actual_parameter.size(), 1u);
  EXPECT_EQ(get_new_counter("i"), "i_1");
  EXPECT_EQ(new_variable("v", TYPE_INT), "v_1");
}

TEST_F(RankTest, TurnParametersToCountersWalksNamesInOrder)
{
  create_counter_rank("i");
  create_parameter_rank("N");
  create_parameter_rank("M");
  std::map<int, int> m = turn_parameters_to_counters();
  EXPECT_EQ(m, (std::map<int, int>{{1, 1}, {0, 2}}));  // M first by name
  EXPECT_EQ(get_counter_rank("M_counter"), 1);
  EXPECT_EQ(turn_parameters_to_counters(), m);
  EXPECT_EQ(get_nb_counters(), 3);
}

}  // namespace
