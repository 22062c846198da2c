// vorl on every input of the fuzz corpus (tests/fuzz/corpus, listed with the
// outcome each must have in tests/fuzz/corpus.tsv), each run in a fresh
// folder with a time limit. A run must end either with status 0 and an
// out.c that compiles, or with status 1 and exactly one line beside the
// progress lines, which starts with the input's name and a line number and
// shows the pragmas as written (never their rewriting); never with a signal,
// a sanitizer report, a file left in the folder, or after the time limit.
// The inputs whose analysis still fails (outcome "failed") must end with
// the one line of that failure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>

#include "tests/driver/vorl_process.h"

namespace fs = std::filesystem;

namespace {

const char* const kCorpus = VORL_SOURCE_DIR "/tests/fuzz/corpus";
// Generous for the sanitizer build; no input of the corpus comes near it.
const int kTimeLimit = 120;

struct Entry {
  std::string name;     // the input's file name in the corpus
  std::string outcome;  // "accepted", "refused" or "failed"
};

void PrintTo(const Entry& e, std::ostream* os) { *os << e.name; }

// The corpus as corpus.tsv lists it: name, outcome, then what the input
// found when it joined the corpus (not read here).
std::vector<Entry> corpus()
{
  std::vector<Entry> entries;
  std::istringstream table(vorl_process::slurp(VORL_SOURCE_DIR "/tests/fuzz/corpus.tsv"));
  std::string line;
  while (std::getline(table, line)) {
    if (line.empty() || line[0] == '#')
      continue;
    std::istringstream fields(line);
    Entry e;
    std::getline(fields, e.name, '\t');
    std::getline(fields, e.outcome, '\t');
    entries.push_back(e);
  }
  return entries;
}

// The lines of a run's streams that are not progress: the steps ("Step 2.
// ..."), their indented details and the warning on the dimensions.
std::vector<std::string> message_lines(const std::string& text)
{
  static const std::regex progress("^(Step [0-9]+\\. |WARNING: Some bottom-level|  ).*");
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    if (!line.empty() && !std::regex_match(line, progress))
      lines.push_back(line);
  return lines;
}

class FuzzCorpusTest : public ::testing::TestWithParam<Entry> {
 protected:
  void SetUp() override
  {
    std::string pattern = ::testing::TempDir() + "vorl_fuzz_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::create_directory(dir_ + "/run");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string dir_;
};

TEST_P(FuzzCorpusTest, EndsWithOutCOrOneLineAtTheInput)
{
  const Entry& entry = GetParam();
  std::string run = dir_ + "/run";
  fs::copy_file(std::string(kCorpus) + "/" + entry.name, run + "/" + entry.name);
  vorl_process::Ending end =
      vorl_process::run(VORL_BINARY, run, {"--time-limit", std::to_string(kTimeLimit), entry.name},
                        dir_ + "/", kTimeLimit + 60);
  ASSERT_FALSE(end.timed_out);
  ASSERT_EQ(end.signal, 0) << end.err;
  EXPECT_EQ(end.err.find("Sanitizer"), std::string::npos) << end.err;
  EXPECT_EQ(end.err.find("runtime error:"), std::string::npos) << end.err;
  std::vector<std::string> lines = message_lines(end.out + end.err);
  std::set<std::string> files = vorl_process::files_in(run);
  if (entry.outcome == "accepted") {
    ASSERT_EQ(end.status, 0) << end.out << end.err;
    EXPECT_TRUE(lines.empty()) << lines.front();
    EXPECT_EQ(files, (std::set<std::string>{entry.name, "out.c"}));
    std::string compile = "cc -fsyntax-only -Werror -Wall '" + run + "/out.c' 2> '" + dir_ + "/cc.txt'";
    EXPECT_EQ(std::system(compile.c_str()), 0) << vorl_process::slurp(dir_ + "/cc.txt");
  } else {
    ASSERT_EQ(end.status, 1) << end.out << end.err;
    ASSERT_EQ(lines.size(), 1u) << end.out << end.err;
    std::string start = entry.outcome == "refused" ? entry.name + ":" : "vorl: analysis failed while ";
    EXPECT_EQ(lines[0].rfind(start, 0), 0u) << lines[0];
    if (entry.outcome == "refused") {
      EXPECT_TRUE(std::regex_search(lines[0].substr(start.size()), std::regex("^[0-9]+:[0-9]+: "))) << lines[0];
    }
    EXPECT_EQ(lines[0].find("__vorl_"), std::string::npos) << lines[0];
    // A known limit of the analysis says which: the range of its integers.
    if (entry.outcome == "failed") {
      EXPECT_TRUE(lines[0].find("latencies and trip counts of this program are too large") != std::string::npos ||
                  lines[0].find("PolyLib failed (integer overflow") != std::string::npos)
          << lines[0];
    }
    EXPECT_EQ(files, std::set<std::string>{entry.name});
  }
}

TEST(FuzzCorpusTableTest, ListsEveryInputOnce)
{
  std::set<std::string> listed, inputs;
  for (const Entry& e : corpus()) {
    EXPECT_TRUE(listed.insert(e.name).second) << e.name;
    EXPECT_TRUE(e.outcome == "accepted" || e.outcome == "refused" || e.outcome == "failed") << e.name;
  }
  for (const auto& file : fs::directory_iterator(kCorpus))
    inputs.insert(file.path().filename().string());
  EXPECT_EQ(listed, inputs);
}

INSTANTIATE_TEST_SUITE_P(Corpus, FuzzCorpusTest, ::testing::ValuesIn(corpus()),
                         [](const ::testing::TestParamInfo<Entry>& info) {
                           std::string name = info.param.name.substr(0, info.param.name.rfind('.'));
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c)))
                               c = '_';
                           return name;
                         });

}  // namespace
