#include "tests/e2e/instances.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <unordered_map>

#include "tests/e2e/annotated_source.h"

namespace e2e {

std::vector<Instance> read_trace(const std::string& text)
{
  std::vector<Instance> r;
  std::istringstream in(text);
  bool finished = false;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "S") {
      r.emplace_back();
      words >> r.back().statement;
      for (long v; words >> v;)
        r.back().values.push_back(v);
    } else if ((kind == "R" || kind == "W") && !r.empty()) {
      std::string cell;
      words >> cell;
      (kind == "R" ? r.back().reads : r.back().writes).push_back(std::stoull(cell, nullptr, 16));
    } else if (kind == "E") {
      finished = true;
    } else {
      throw CheckError("trace: unexpected line '" + line + "'");
    }
  }
  if (!finished)
    throw CheckError("trace: the instrumented program did not finish");
  return r;
}

std::vector<Dependence> dependences(const std::vector<Instance>& instances, const std::vector<bool>& kept)
{
  struct Cell {
    std::optional<size_t> writer;
    std::vector<size_t> readers;  // since the last write
  };
  std::unordered_map<std::uintptr_t, Cell> cells;
  std::vector<Dependence> r;
  for (size_t x = 0; x < instances.size(); x++) {
    if (!kept.empty() && !kept[x])
      continue;
    size_t first = r.size();
    // An assignment reads its operands before it writes.
    for (std::uintptr_t c : instances[x].reads) {
      Cell& cell = cells[c];
      if (cell.writer && *cell.writer != x)
        r.push_back({*cell.writer, x});
      if (cell.readers.empty() || cell.readers.back() != x)
        cell.readers.push_back(x);
    }
    for (std::uintptr_t c : instances[x].writes) {
      Cell& cell = cells[c];
      if (cell.writer && *cell.writer != x)
        r.push_back({*cell.writer, x});
      for (size_t reader : cell.readers)
        if (reader != x)
          r.push_back({reader, x});
      cell.writer = x;
      cell.readers.clear();
    }
    // One dependence per pair of instances, whatever the cells.
    std::sort(r.begin() + first, r.end(), [](const Dependence& a, const Dependence& b) { return a.from < b.from; });
    r.erase(std::unique(r.begin() + first, r.end(),
                        [](const Dependence& a, const Dependence& b) { return a.from == b.from; }),
            r.end());
  }
  return r;
}

bool respects(const Date& from, const Date& to, long latency)
{
  for (size_t d = 0; d < from.size() && d < to.size(); d++) {
    if (from[d] - to[d] >= latency)
      return true;
    if (from[d] < to[d])
      return false;
  }
  return false;
}

std::optional<Date> first_date_with(const std::vector<Date>& dates, long threshold)
{
  std::map<Date, long> count;
  for (const Date& d : dates)
    count[d]++;
  for (const auto& [date, n] : count)
    if (n >= threshold)
      return date;
  return std::nullopt;
}

std::string limit_line(const std::optional<Date>& limit, const std::string& colour)
{
  if (!limit)
    return colour + "_bottom_level(): not found";
  std::string line;
  for (long v : *limit)
    line += std::to_string(v) + " ";
  return line;
}

Date padded(Date date, size_t length)
{
  date.resize(std::max(date.size(), length), 0);
  return date;
}

}  // namespace e2e
