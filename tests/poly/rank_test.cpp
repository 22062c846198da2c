// The failure every "ends the process" path goes through, and the order in
// which the registry turns parameters into counters.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "poly/expression.h"
#include "poly/current_step.h"
#include "poly/failure.h"
#include "poly/rank.h"
#include "tests/expect_failure.h"

namespace {

class RankTest : public testing::Test {
 protected:
  void SetUp() override { reset_registry(); }
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
