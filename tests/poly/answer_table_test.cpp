#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <vector>

#include "solvers/answer_table.h"

namespace {

// Every question of up to 7 entries in {-1, 0, 1, 2}: distinct questions
// are kept in distinct forms (a table never answers one question with the
// answer of another), and each finds its own answer.
TEST(AnswerTableTest, EveryQuestionFindsItsOwnAnswer)
{
  AnswerTable<int> table;
  std::map<std::vector<long>, std::vector<long>> question_of;
  int count = 0;
  for (int length = 0; length <= 7; length++) {
    int total = 1;
    for (int i = 0; i < length; i++)
      total *= 4;
    for (int code = 0; code < total; code++) {
      std::vector<long> q;
      for (int i = 0, c = code; i < length; i++, c /= 4)
        q.push_back(c % 4 - 1);
      std::vector<long> form = AnswerTable<int>::compact(q);
      ASSERT_TRUE(question_of.emplace(form, q).second) << "two questions kept in one form";
      EXPECT_LE(form.size(), q.size() * 2);
      table.record(q, count++);
    }
  }
  count = 0;
  for (int length = 0; length <= 7; length++) {
    int total = 1;
    for (int i = 0; i < length; i++)
      total *= 4;
    for (int code = 0; code < total; code++, count++) {
      std::vector<long> q;
      for (int i = 0, c = code; i < length; i++, c /= 4)
        q.push_back(c % 4 - 1);
      std::optional<int> answer = table.find(q);
      ASSERT_TRUE(answer.has_value());
      EXPECT_EQ(*answer, count);
    }
  }
  // A wide row of zeros is kept in a few entries.
  std::vector<long> wide(1000, 0);
  wide[500] = 3;
  EXPECT_EQ(AnswerTable<int>::compact(wide), (std::vector<long>{0, 500, 3, 0, 499}));
}

}  // namespace
