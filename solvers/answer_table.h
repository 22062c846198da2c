// Answers of a pure computation by their question, a sequence of integers
// (the sizes and the rows of a problem, flattened). The analysis asks the
// same question many times: the pairs of references of one array at every
// level, the same pairs for the red and the green limits, the edges of one
// statement pair that meet the same cells, the statement pieces of the green
// limit that repeat a statement. An answer depends on its question alone.
// Emptied when it grows beyond a bound.
//
// Ownership: record() takes the question and the answer; find() gives a
// pointer that the table keeps, valid until the next record().
#ifndef VORL_SOLVERS_ANSWER_TABLE_H
#define VORL_SOLVERS_ANSWER_TABLE_H

#include <cstddef>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

template <typename Answer>
class AnswerTable {
 public:
  using Question = std::vector<long>;

  const Answer* find(const Question& q) const
  {
    auto found = answers_.find(q);
    return found == answers_.end() ? nullptr : &found->second;
  }
  void record(Question q, Answer a)
  {
    if (answers_.size() >= kMaxAnswers)
      answers_.clear();
    answers_.emplace(std::move(q), std::move(a));
  }

 private:
  struct Hash {
    std::size_t operator()(const Question& q) const
    {
      std::size_t h = q.size();
      for (long v : q)
        h = h * 1000003u ^ std::hash<long>()(v);
      return h;
    }
  };
  static const std::size_t kMaxAnswers = 1 << 16;
  std::unordered_map<Question, Answer, Hash> answers_;
};

#endif
