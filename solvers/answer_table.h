// Answers of a pure computation by their question: a sequence of integers
// (the sizes and the rows of a problem, flattened) or a text. The analysis
// asks the same question many times: the pairs of references of one array
// at every level, the same pairs for the red and the green limits, the edges
// of one statement pair that meet the same cells, the statement pieces of
// the green limit that repeat a statement, the counts of domains of one
// shape. An answer depends on its question alone, so it holds for every
// analysis of the process. The table is emptied when it grows beyond its
// bound. Threads may ask and record at once (support/side_task.h).
//
// Ownership: record() keeps a copy of the question and takes the answer;
// find() gives a copy of the answer.
#ifndef VORL_SOLVERS_ANSWER_TABLE_H
#define VORL_SOLVERS_ANSWER_TABLE_H

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

template <typename Answer, typename Question = std::vector<long>>
class AnswerTable {
 public:
  explicit AnswerTable(std::size_t bound = std::size_t(1) << 16) : bound_(bound) {}

  std::optional<Answer> find(const Question& q) const
  {
    auto form = compact(q);
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = answers_.find(form);
    return found == answers_.end() ? std::nullopt : std::optional<Answer>(found->second);
  }
  void record(const Question& q, Answer a)
  {
    auto form = compact(q);
    std::lock_guard<std::mutex> lock(mutex_);
    if (answers_.size() >= bound_)
      answers_.clear();
    answers_.insert_or_assign(std::move(form), std::move(a));
  }

  // The form a question is kept in: the rows of the problems are wide and
  // mostly zeros (the registry's width), so every run of zeros is written as
  // a zero and its length. One question has one form, and one form comes
  // from one question.
  static std::vector<long> compact(const std::vector<long>& q)
  {
    std::vector<long> form;
    for (std::size_t i = 0; i < q.size();) {
      form.push_back(q[i]);
      if (q[i++] != 0)
        continue;
      long run = 1;
      for (; i < q.size() && q[i] == 0; i++)
        run++;
      form.push_back(run);
    }
    return form;
  }
  static const std::string& compact(const std::string& q) { return q; }

 private:
  struct Hash {
    std::size_t operator()(const std::vector<long>& q) const
    {
      std::size_t h = q.size();
      for (long v : q)
        h = h * 1000003u ^ std::hash<long>()(v);
      return h;
    }
    std::size_t operator()(const std::string& q) const { return std::hash<std::string>()(q); }
  };
  std::size_t bound_;
  mutable std::mutex mutex_;
  std::unordered_map<Question, Answer, Hash> answers_;
};

#endif
