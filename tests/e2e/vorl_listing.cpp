#include "tests/e2e/vorl_listing.h"

#include <algorithm>
#include <cctype>
#include <regex>
#include <sstream>

#include "tests/e2e/annotated_source.h"

namespace e2e {

AffineText::AffineText(const std::string& text) : text_(text)
{
  text_.erase(std::remove_if(text_.begin(), text_.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); }),
              text_.end());
  size_t at = 0;
  root_ = parse_sum(at);
  if (at != text_.size())
    throw CheckError("schedule component '" + text + "': unexpected '" + text_.substr(at) + "'");
}

int AffineText::add(Node n)
{
  nodes_.push_back(std::move(n));
  return static_cast<int>(nodes_.size()) - 1;
}

int AffineText::parse_sum(size_t& at)
{
  int left = parse_product(at);
  while (at < text_.size() && (text_[at] == '+' || text_[at] == '-')) {
    char op = text_[at++];
    left = add({op, 0, "", left, parse_product(at)});
  }
  return left;
}

int AffineText::parse_product(size_t& at)
{
  int left = parse_factor(at);
  while (at < text_.size() && text_[at] == '*') {
    at++;
    left = add({'*', 0, "", left, parse_factor(at)});
  }
  return left;
}

int AffineText::parse_factor(size_t& at)
{
  if (at >= text_.size())
    throw CheckError("schedule component '" + text_ + "' ends early");
  char c = text_[at];
  if (c == '-') {
    at++;
    return add({'n', 0, "", parse_factor(at), -1});
  }
  if (c == '(') {
    at++;
    int inner = parse_sum(at);
    if (at >= text_.size() || text_[at] != ')')
      throw CheckError("schedule component '" + text_ + "': missing ')'");
    at++;
    return inner;
  }
  size_t end = at;
  while (end < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[end])) || text_[end] == '_'))
    end++;
  if (end == at)
    throw CheckError("schedule component '" + text_ + "': unexpected '" + text_.substr(at) + "'");
  std::string word = text_.substr(at, end - at);
  at = end;
  if (std::isdigit(static_cast<unsigned char>(word[0]))) {
    if (!std::all_of(word.begin(), word.end(), [](char d) { return std::isdigit(static_cast<unsigned char>(d)); }))
      throw CheckError("schedule component '" + text_ + "': bad number " + word);
    return add({'c', std::stol(word), "", -1, -1});
  }
  return add({'v', 0, word, -1, -1});
}

long AffineText::evaluate(const std::function<long(const std::string&)>& value_of) const
{
  return evaluate(root_, value_of);
}

long AffineText::evaluate(int node, const std::function<long(const std::string&)>& value_of) const
{
  const Node& n = nodes_[node];
  switch (n.op) {
    case '+': return evaluate(n.left, value_of) + evaluate(n.right, value_of);
    case '-': return evaluate(n.left, value_of) - evaluate(n.right, value_of);
    case '*': return evaluate(n.left, value_of) * evaluate(n.right, value_of);
    case 'n': return -evaluate(n.left, value_of);
    case 'c': return n.value;
    default: return value_of(n.name);
  }
}

std::vector<std::string> AffineText::names() const
{
  std::vector<std::string> r;
  for (const Node& n : nodes_)
    if (n.op == 'v' && std::find(r.begin(), r.end(), n.name) == r.end())
      r.push_back(n.name);
  return r;
}

namespace {

// "e0,e1,..." (or "e0][e1][...", as index functions print) split at the
// separators outside parentheses.
Schedule read_schedule(std::string list)
{
  for (size_t at; (at = list.find("][")) != std::string::npos;)
    list.replace(at, 2, ",");
  Schedule r;
  int depth = 0;
  size_t from = 0;
  for (size_t i = 0; i <= list.size(); i++) {
    if (i == list.size() || (list[i] == ',' && depth == 0)) {
      if (i > from || !r.empty() || i < list.size())
        r.emplace_back(list.substr(from, i - from));
      from = i + 1;
    } else {
      depth += (list[i] == '(') - (list[i] == ')');
    }
  }
  return r;
}

template <class T>
void put(std::vector<T>& by_rank, size_t rank, T value, const std::string& what)
{
  if (rank != by_rank.size())
    throw CheckError(what + ": statement #" + std::to_string(rank) + " out of order");
  by_rank.push_back(std::move(value));
}

}  // namespace

VorlListing read_listing(const std::string& error_stream)
{
  // An empty schedule prints as "[]" or as nothing at all.
  static const std::regex schedule(R"(  Statement #(\d+): (?:\[(.*)\])?)");
  static const std::regex piece(R"(  Statement #(\d+): statement #(\d+) beyond the red limit at level (\d+))");
  VorlListing r;
  enum { before, red, green } section = before;
  std::istringstream in(error_stream);
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (line.rfind("Step 2.", 0) == 0)
      section = red;
    else if (line.rfind("Step 3.", 0) == 0)
      section = green;
    else if (line.rfind("Step 4.", 0) == 0)
      break;
    else if (section == green && std::regex_match(line, m, piece))
      put(r.pieces, std::stoul(m[1]), Piece{std::stoi(m[2]), std::stoi(m[3])}, "pieces");
    else if (section != before && std::regex_match(line, m, schedule))
      put(section == red ? r.red : r.green, std::stoul(m[1]), read_schedule(m[2]),
          section == red ? "red schedules" : "green schedules");
  }
  if (section != green)
    throw CheckError("no \"Step 3.\" listing in vorl's error stream (run with -verbose)");
  if (r.pieces.size() != r.green.size())
    throw CheckError(std::to_string(r.green.size()) + " green schedules for " + std::to_string(r.pieces.size()) +
                     " pieces of the filtered program");
  for (const Piece& p : r.pieces)
    if (p.statement < 0 || static_cast<size_t>(p.statement) >= r.red.size() || p.level < 0 ||
        static_cast<size_t>(p.level) >= r.red[p.statement].size())
      throw CheckError("a piece of statement #" + std::to_string(p.statement) + " at level " +
                       std::to_string(p.level) + ", beyond its red schedule");
  return r;
}

}  // namespace e2e
