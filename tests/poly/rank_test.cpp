// The variable registry: ranks, fresh names, typed C variables, and the
// failure helper every "ends the process" path goes through.
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

// Sends standard output to the error stream, where a death test can match it.
template <typename F>
void on_stderr(F f) { std::cout.rdbuf(std::cerr.rdbuf()); f(); }

class RankTest : public testing::Test {
 protected:
  // Empty registries, options and switches for each test.
  AnalysisScope scope_;
};
using RankFailureTest = RankTest;

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

TEST_F(RankTest, FreshNamesUseSeparateSuffixTables)
{
  EXPECT_EQ(get_new_counter("i"), "i_0");
  EXPECT_EQ(get_new_counter("i"), "i_1");
  EXPECT_EQ(get_new_counter("N"), "N_0");
  EXPECT_EQ(get_new_parameter("N"), "N_0");
  EXPECT_EQ(get_new_parameter("N"), "N_1");
  EXPECT_EQ(get_nb_counters() + get_nb_parameters(), 0);  // nothing registered
  EXPECT_EQ(get_new_counter(2, 5), "new_counter_2_5");
  EXPECT_EQ(get_new_counter_parameter(3), "counter_3_number_1");
  EXPECT_EQ(get_new_counter_parameter(3), "counter_3_number_2");
  EXPECT_EQ(get_counter_for_parameter("N"), "N_counter");
  EXPECT_EQ(get_counter_parameter(4), "c_4");
  EXPECT_EQ(std::string("x") + 12, "x12");
  EXPECT_EQ(concat("x", -3), "x-3");
}

TEST_F(RankTest, CreatedVariablesAreRegisteredWithALeaf)
{
  create_counter_rank("i");
  create_counter_rank("j");
  auto [r0, l0] = create_counter("i");
  auto [r1, l1] = create_counter("t", -1);
  auto [r2, l2] = create_counter("t", -1);
  auto [r3, l3] = create_counter("t", 4);
  EXPECT_EQ(get_counter_string(r0), "i_0");
  EXPECT_TRUE(r1 == 3 && r2 == 3);
  EXPECT_EQ(get_counter_string(r3), "t_4");
  EXPECT_TRUE(l0->is__counter(r0) && l2->is__counter(r1) && l3->is__counter(r3));
  EXPECT_EQ(get_nb_true_counters(), 2);

  auto [p0, q0] = create_parameter("N");
  auto [p1, q1] = create_parameter("M", -1);
  auto [p2, q2] = create_parameter("M", 2);
  EXPECT_EQ(get_parameter_string(p0) + get_parameter_string(p1) + get_parameter_string(p2),
            "N_0MM_2");
  EXPECT_TRUE(q0->is__parameter(0) && q1->is__parameter(1) && q2->is__parameter(2));
  for (Expression* e : {l0, l1, l2, l3, q0, q1, q2})
    delete e;

  std::map<int, int> fresh = create_counters(std::vector<int>{1, 0});
  EXPECT_EQ(fresh, (std::map<int, int>{{1, 5}, {0, 6}}));
  EXPECT_EQ(get_counter_string(5) + get_counter_string(6), "j_0i_1");
  std::map<int, int> fixed = create_counters(std::set<int>{0, 1}, 7);
  EXPECT_EQ(fixed, (std::map<int, int>{{0, 7}, {1, 8}}));
  EXPECT_EQ(create_counters(std::set<int>{0, 1}, 7), fixed);  // idempotent
  EXPECT_EQ(get_counter_string(8), "j_7");
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

TEST_F(RankTest, TypedVariablesAndTheirDeclarations)
{
  EXPECT_EQ(new_variable("v", TYPE_INT), "v_0");
  EXPECT_EQ(new_variable("v", TYPE_INT), "v_1");
  EXPECT_EQ(new_variable("v", TYPE_DOUBLE), "v_2");
  EXPECT_EQ(new_variable("a", TYPE_DOUBLE), "a_0");
  free_variable("a");
  EXPECT_EQ(new_variable("a", TYPE_DOUBLE), "a_0");
  EXPECT_EQ(get_variable_type("v_2"), TYPE_DOUBLE);
  EXPECT_EQ(get_variable_type("v_1"), TYPE_INT);
  std::ostringstream os;
  print_variable_declaration(os, "  ");
  EXPECT_EQ(os.str(), "  double a_0;\n  int v_0,v_1;\n  double v_2;\n");

  reset_variables();  // the suffixes restart, the declarations stay
  EXPECT_EQ(new_variable("v", TYPE_INT), "v_0");
  std::ostringstream again;
  print_variable_declaration(again, "");
  EXPECT_EQ(again.str(), "double a_0;\nint v_0,v_1;\ndouble v_2;\n");

  std::ostringstream types;
  print_variable_type(types, TYPE_INT);
  print_variable_type(types, 1);
  EXPECT_EQ(types.str(), "intdouble");
}

TEST_F(RankTest, PrintsTheRegistryAndRankLists)
{
  create_counter_rank("j");
  create_counter_rank("i");
  create_parameter_rank("N");
  testing::internal::CaptureStdout();
  print_counters();
  print_parameters();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "#counters: 2 #true_counters: 2\ncounters = {\n i -> 1\n j -> 0\n}\n"
            "parameters = {\n N -> 0\n}\n");
  std::ostringstream os;
  print_variable_list(os, std::vector<int>{1, 0}, ", ", 1);
  os << "|";
  print_variable_list(os, std::set<int>{1, 0}, ",", 1);
  os << "|";
  print_variable_list(os, std::vector<int>{0}, ",", 0);
  print_variable_list(os, std::set<int>{}, ",", 0);
  EXPECT_EQ(os.str(), "i, j|j,i|N");
}

TEST_F(RankFailureTest, LookupsOfUnknownVariablesStop)
{
  create_counter_rank("i");
  EXPECT_FAILURE(on_stderr([] { get_counter_rank("k"); }), 1, "^get_counter_rank: k not found.\n$");
  EXPECT_FAILURE(on_stderr([] { get_parameter_rank("i"); }), 1, "^get_parameter_rank: i not found.\n$");
  EXPECT_FAILURE(on_stderr([] { get_counter_string(1); }), 1, "^Rank::get_counter_string: rank not found: 1\n$");
  EXPECT_FAILURE(get_variable_type("v_0"), 1, "^Rank::get_variable_type: undefined variable\n$");
  std::ostringstream os;
  EXPECT_FAILURE(print_variable_type(os, 3), 1, "^Rank::print_type: undefined type\n$");
}

}  // namespace
