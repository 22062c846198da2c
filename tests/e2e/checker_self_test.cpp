// Self-tests of the end-to-end checker: a broken checker would pass wrong
// schedules and wrong limits. Hand-made dates, traces and listings with known
// answers; the instrumentation against instance counts worked out by hand.
#include <gtest/gtest.h>

#include <set>

#include "tests/e2e/checker.h"
#include "tests/e2e/vorl_listing.h"

namespace {

using e2e::Date;

struct Respect {
  Date from, to;
  long latency;
  bool respected;
};

void PrintTo(const Respect& r, std::ostream* os)
{
  *os << "latency " << r.latency << (r.respected ? " respected" : " not respected");
}

class RespectTest : public ::testing::TestWithParam<Respect> {};

TEST_P(RespectTest, LaterInstanceLiesLatencyBelowOnSomeDimension)
{
  const Respect& r = GetParam();
  EXPECT_EQ(e2e::respects(r.from, r.to, r.latency), r.respected);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, RespectTest,
    ::testing::Values(Respect{{5}, {3}, 2, true}, Respect{{5}, {3}, 3, false}, Respect{{3}, {5}, 0, false},
                      Respect{{4, 9}, {4, 7}, 2, true}, Respect{{4, 0}, {4, 7}, 1, false},
                      Respect{{5, 0}, {4, 9}, 1, true}, Respect{{4, 4}, {4, 4}, 0, true},
                      Respect{{4, 4}, {4, 4}, 1, false}, Respect{{}, {}, 0, false},
                      // A later dimension does not make up for an inverted earlier one.
                      Respect{{3, 9}, {4, 0}, 1, false}));

std::set<std::pair<size_t, size_t>> pairs(const std::vector<e2e::Dependence>& ds)
{
  std::set<std::pair<size_t, size_t>> r;
  for (const e2e::Dependence& d : ds)
    r.insert({d.from, d.to});
  return r;
}

TEST(DependenceTest, WritesReachReadsAndNextWriteReadsReachNextWrite)
{
  // 0: a = ..; 1: b = a; 2: .. = a; 3: a = ..; 4: .. = a + b
  std::vector<e2e::Instance> xs(5);
  xs[0].writes = {0xa0};
  xs[1].reads = {0xa0};
  xs[1].writes = {0xb0};
  xs[2].reads = {0xa0};
  xs[3].writes = {0xa0};
  xs[4].reads = {0xa0, 0xb0};
  using P = std::set<std::pair<size_t, size_t>>;
  EXPECT_EQ(pairs(e2e::dependences(xs)), (P{{0, 1}, {0, 2}, {1, 3}, {2, 3}, {0, 3}, {3, 4}, {1, 4}}));
  EXPECT_EQ(pairs(e2e::dependences(xs, {true, true, true, false, true})), (P{{0, 1}, {0, 2}, {0, 4}, {1, 4}}));
  // An instance that reads and writes a cell does not depend on itself.
  std::vector<e2e::Instance> update(2);
  update[0].reads = update[0].writes = update[1].reads = update[1].writes = {0xc0};
  EXPECT_EQ(e2e::dependences(update).size(), 1u);  // flow and output: one pair
}

TEST(LimitTest, FirstDateWithEnoughInstances)
{
  std::vector<Date> dates{{2, 0}, {1, 5}, {1, 5}, {2, 0}, {2, 0}};
  EXPECT_EQ(e2e::first_date_with(dates, 2), (Date{1, 5}));
  EXPECT_EQ(e2e::first_date_with(dates, 3), (Date{2, 0}));
  EXPECT_EQ(e2e::first_date_with(dates, 0), (Date{1, 5}));
  EXPECT_FALSE(e2e::first_date_with(dates, 4));
  EXPECT_EQ(e2e::limit_line(Date{1, 5}, "red"), "1 5 ");
  EXPECT_EQ(e2e::limit_line(std::nullopt, "green"), "green_bottom_level(): not found");
  EXPECT_EQ(e2e::padded({3}, 3), (Date{3, 0, 0}));
}

TEST(ListingTest, SchedulesAndPiecesOfTheVerboseStream)
{
  e2e::VorlListing l = e2e::read_listing(
      "Step 1. Compute\nStep 2. Compute\nStatement #0\n(-5+(-3*k))+(3*N)\n"
      "  Statement #0: [(-5+(-3*k))+(3*N)]\n  Statement #1: \n  Statement #2: [i][2*(j-1)]\n  Latency: [3*N]\n"
      "Step 3. Compute\n  Filter program iterations beyond red limit\n"
      "  Statement #0: statement #0 beyond the red limit at level 0\n"
      "  Statement #1: statement #2 beyond the red limit at level 1\n  Compute bottom-level by statement\n"
      "  Statement #0: [-(k)+t_red_0]\n  Statement #1: [i-t_red_1]\n  Latency: [4*N]\nStep 4. Compute\n"
      "  Statement #0\n");
  ASSERT_EQ(l.red.size(), 3u);
  EXPECT_EQ(l.red[1].size(), 0u);
  ASSERT_EQ(l.red[2].size(), 2u);
  auto values = [](const std::string& n) { return n == "k" ? 2L : n == "N" ? 6L : n == "j" ? 4L : 7L; };
  EXPECT_EQ(l.red[0][0].evaluate(values), 7);
  EXPECT_EQ(l.red[2][1].evaluate(values), 6);
  EXPECT_EQ(l.green[0][0].evaluate(values), 5);
  EXPECT_EQ(l.red[2][1].names(), (std::vector<std::string>{"j"}));
  EXPECT_EQ(e2e::read_listing("Step 2.\n  Statement #0: [i,2*(j-1)]\nStep 3.\n").red[0].size(), 2u);
  ASSERT_EQ(l.pieces.size(), 2u);
  EXPECT_EQ(l.pieces[1].statement, 2);
  EXPECT_EQ(l.pieces[1].level, 1);
}

TEST(ListingTest, MalformedListingsAreRefused)
{
  EXPECT_THROW(e2e::read_listing("Step 2. x\n  Statement #0: [i]\n"), e2e::CheckError);
  EXPECT_THROW(e2e::read_listing("Step 2. x\n  Statement #1: [i]\nStep 3. x\n"), e2e::CheckError);
  EXPECT_THROW(e2e::read_listing("Step 2. x\n  Statement #0: [i]\nStep 3. x\n  Statement #0: [i]\n"),
               e2e::CheckError);
  EXPECT_THROW(e2e::read_listing("Step 2. x\n  Statement #0: [i]\nStep 3. x\n"
                                 "  Statement #0: statement #0 beyond the red limit at level 1\n"
                                 "  Statement #0: [i]\n"),
               e2e::CheckError);
  for (const char* bad : {"i/2", "2*", "(i", "i)", "floord(i,2)"})
    EXPECT_THROW(e2e::AffineText{bad}, e2e::CheckError) << bad;
}

TEST(SourceTest, PragmasParametersAndSizes)
{
  std::string text =
      "int NI = 6, NJ = 7;\nint M = 3;\ndouble a[9], s;\nint main(void)\n{\n  int i;\n#pragma resource [2][4]\n"
      "  for (i = 0; i < NI; i++)\n#pragma latency [3][1]\n#pragma input [1]\n#pragma output [0]\n"
      "    s = a[i] + s;\n  return 0;\n}\n";
  e2e::AnnotatedSource s = e2e::read_annotated_source(text);
  EXPECT_EQ(s.cpus, 2);
  EXPECT_EQ(s.gpus, 4);
  EXPECT_EQ(s.parameters, (std::map<std::string, long>{{"NI", 6}, {"NJ", 7}, {"M", 3}}));
  ASSERT_EQ(s.statements.size(), 1u);
  EXPECT_EQ(text.substr(s.statements[0].start, 6), "s = a[");
  EXPECT_EQ(s.statements[0].inputs, std::vector<int>{1});
  EXPECT_EQ(s.statements[0].outputs, std::vector<int>{0});
  EXPECT_EQ(e2e::read_annotated_source(e2e::with_parameter_values(text, {{"NJ", 11}})).parameters.at("NJ"), 11);
  EXPECT_THROW(e2e::with_parameter_values(text, {{"i", 1}}), e2e::CheckError);
}

TEST(SourceTest, MisplacedPragmasAreRefused)
{
  const char* const bad[] = {
      "int main(void) {\n#pragma latency [1][1]\n  a = 1;\n}\n",  // no resource
      "int main(void) {\n#pragma resource [1][1]\n#pragma latency [1][1]\n#pragma latency [1][1]\n  a = 1;\n}\n",
      "int main(void) {\n#pragma resource [1][1]\n#pragma latency [1]\n  a = 1;\n}\n",
      "int main(void) {\n#pragma resource [1][1]\n#pragma input [0]\n  a = 1;\n}\n",
      "int main(void) {\n#pragma resource [1][1]\n#pragma latency [1][1]\n#pragma output [0]\n#pragma input [0]\n"
      "  a = b;\n}\n",
      "int main(void) {\n#pragma resource [1][1]\n  a = 1;\n#pragma latency [1][1]\n}\n"};
  for (const char* text : bad)
    EXPECT_THROW(e2e::read_annotated_source(text), e2e::CheckError) << text;
}

// Instance counts worked out by hand, against the instrumented kernels:
// brace-less bodies, a down-counting loop, function-like macros and else.
struct Counted {
  std::string kernel;
  std::vector<size_t> instances;  // per statement
};

void PrintTo(const Counted& c, std::ostream* os) { *os << c.kernel; }

class InstrumentationTest : public ::testing::TestWithParam<Counted> {};

TEST_P(InstrumentationTest, EveryInstanceIsRecordedOnce)
{
  e2e::AnnotatedSource source =
      e2e::read_annotated_source(e2e::slurp(VORL_SOURCE_DIR "/examples/polybench/" + GetParam().kernel + ".c"));
  e2e::ScratchFolder folder;
  std::vector<size_t> count(source.statements.size());
  for (const e2e::Instance& x : e2e::traced_instances(folder.path(), source, {}))
    count.at(x.statement)++;
  EXPECT_EQ(count, GetParam().instances);
}

// gemm: NI = 6, NJ = 7, NK = 5. nussinov, N = 7: 21 pairs i < j, 15 of them
// with j > i + 1, and sum over the pairs of j - i - 1 = 35 values of k.
// ludcmp, N = 7: 21 pairs j < i, 28 pairs j >= i, 35 and 56 values of k.
INSTANTIATE_TEST_SUITE_P(Kernels, InstrumentationTest,
                         ::testing::Values(Counted{"gemm", {42, 210}}, Counted{"nussinov", {21, 21, 15, 6, 35}},
                                           Counted{"ludcmp", {21, 35, 21, 28, 56, 28, 7, 21, 7, 7, 21, 7}}),
                         [](const ::testing::TestParamInfo<Counted>& info) { return info.param.kernel; });

// A recurrence with N = 5: instances i = 1..4, each depending on the one
// before. With a GPU latency of 1, [N-1-i] gives the dates 3, 2, 1, 0: the
// red limit is 0 (one GPU); the three instances beyond it, rescheduled with
// the averaged latency (1 * 1 + 1 * 2) / 2 = 1 by [N-2-i], have the dates 2,
// 1, 0, none shared by two instances: no green limit for two processors.
const char kRecurrence[] =
    "int N = 5;\ndouble a[8], b[8];\nint main(void)\n{\n  int i;\n#pragma resource [1][1]\n"
    "  for (i = 1; i < N; i++)\n#pragma latency [2][1]\n    a[i] = a[i - 1] + b[i];\n  return 0;\n}\n";

std::string listing(const std::string& red, const std::string& pieces, const std::string& green)
{
  return "Step 2. Compute\n  Statement #0: [" + red + "]\n  Latency: [N]\nStep 3. Compute\n" + pieces +
         (green.empty() ? "" : "  Statement #0: [" + green + "]\n") + "Step 4. Compute\n";
}

const char kPiece[] = "  Statement #0: statement #0 beyond the red limit at level 0\n";
const char kLimits[] = "0 \ngreen_bottom_level(): not found\n";

struct Judged {
  std::string name, listing, printed;
  int status;
  std::set<std::string> checks;  // that find fault
};

void PrintTo(const Judged& j, std::ostream* os) { *os << j.name; }

class JudgeTest : public ::testing::TestWithParam<Judged> {};

TEST_P(JudgeTest, FindsTheFaultsOfListingAndOutput)
{
  const Judged& j = GetParam();
  e2e::ScratchFolder folder;
  std::set<std::string> checks;
  std::string details;
  for (const e2e::Finding& f :
       e2e::judge(folder.path(), e2e::read_annotated_source(kRecurrence), j.listing, j.printed, j.status)) {
    checks.insert(f.check);
    details += f.check + ": " + f.detail + "\n";
  }
  EXPECT_EQ(checks, j.checks) << details;
}

INSTANTIATE_TEST_SUITE_P(
    Recurrence, JudgeTest,
    ::testing::Values(
        Judged{"Correct", listing("N-1-i", kPiece, "N-2-i"), kLimits, 1, {}},
        Judged{"ShiftedGreenDatesAreStillValid", listing("N-1-i", kPiece, "N-2-i+t_red_0+1"), kLimits, 1, {}},
        // Dates 1..4: the red limit is 1, beyond it the green dates 1, 0, -1.
        Judged{"InvertedRedSchedule", listing("i", kPiece, "N-2-i"), "1 \ngreen_bottom_level(): not found\n", 1,
               {"red dependences"}},
        // Every date 0: nothing beyond the red limit.
        Judged{"RedLatencyNotMet", listing("0", kPiece, "N-2-i"), kLimits, 1, {"red dependences"}},
        Judged{"GreenLatencyNotMet", listing("N-1-i", kPiece, "0"), "0 \n0 \n", 0, {"green dependences"}},
        Judged{"WrongRedLimit", listing("N-1-i", kPiece, "N-2-i"), "1 \ngreen_bottom_level(): not found\n", 1,
               {"red limit"}},
        Judged{"WrongGreenLimit", listing("N-1-i", kPiece, "N-2-i"), "0 \n0 \n", 0, {"green limit", "out.c status"}},
        Judged{"NoPieces", listing("N-1-i", "", ""), kLimits, 1, {"pieces"}},
        Judged{"UnknownName", listing("N-1-x", kPiece, "N-2-i"), kLimits, 1, {"checker"}}),
    [](const ::testing::TestParamInfo<Judged>& info) { return info.param.name; });

// The input and output pragmas decide which cells a statement reads and
// writes: with every instance at the same date, the checker finds fault
// exactly when they leave a dependence.
struct Pragmas {
  std::string name, pragmas;
  bool dependent;
};

void PrintTo(const Pragmas& p, std::ostream* os) { *os << p.name; }

class PragmaTest : public ::testing::TestWithParam<Pragmas> {};

TEST_P(PragmaTest, ListedReferencesMakeTheDependences)
{
  std::string text = "int N = 4;\ndouble a[8], b[8], c[8];\nint main(void)\n{\n  int i;\n#pragma resource [1][1]\n"
                     "  for (i = 0; i < N; i++)\n#pragma latency [1][1]\n" +
                     GetParam().pragmas + "    b[i] = b[i + 1] + c[i] + a[0];\n  return 0;\n}\n";
  e2e::ScratchFolder folder;
  bool dependent = false;
  for (const e2e::Finding& f : e2e::judge(folder.path(), e2e::read_annotated_source(text),
                                          listing("", "", ""), "\n", 1))
    dependent = dependent || f.check == "red dependences";
  EXPECT_EQ(dependent, GetParam().dependent);
}

INSTANTIATE_TEST_SUITE_P(
    Pragmas, PragmaTest,
    ::testing::Values(Pragmas{"AllReadByDefault", "", true},              // b[i+1] read, then written
                      Pragmas{"OnlyCRead", "#pragma input [1]\n", false},  // no dependence left
                      Pragmas{"ConstantCellWritten", "#pragma input [1]\n#pragma output [2]\n", true},
                      Pragmas{"OutputAloneReadsNothing", "#pragma output [1]\n", false}),
    [](const ::testing::TestParamInfo<Pragmas>& info) { return info.param.name; });

}  // namespace
