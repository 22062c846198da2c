// What the end-to-end checker reads of vorl's error stream (run with
// -verbose): the red schedules listed after "Step 2.", the pieces of the
// filtered program and their green schedules after "Step 3.". Schedule
// components are integer expressions over counters and parameters with +, -,
// * and parentheses, which AffineText parses and evaluates.
// Ownership: values only.
#ifndef VORL_TESTS_E2E_VORL_LISTING_H
#define VORL_TESTS_E2E_VORL_LISTING_H

#include <functional>
#include <string>
#include <vector>

namespace e2e {

/// One schedule component, parsed from its text.
class AffineText {
 public:
  /// Throws CheckError on text that is not such an expression.
  explicit AffineText(const std::string& text);

  /// The value for the given values of the names (value_of may throw).
  long evaluate(const std::function<long(const std::string&)>& value_of) const;
  /// The names the expression reads, each once, in order of appearance.
  std::vector<std::string> names() const;
  const std::string& text() const { return text_; }

 private:
  struct Node {
    char op;  // '+', '-', '*', 'n' (negation), 'c' (constant), 'v' (name)
    long value;
    std::string name;
    int left, right;
  };
  int parse_sum(size_t& at);
  int parse_product(size_t& at);
  int parse_factor(size_t& at);
  int add(Node n);
  long evaluate(int node, const std::function<long(const std::string&)>& value_of) const;

  std::string text_;
  std::vector<Node> nodes_;
  int root_ = -1;
};

using Schedule = std::vector<AffineText>;

/// A statement of the filtered program: the instances of `statement` whose
/// red date passes the red limit at `level`.
struct Piece {
  int statement = 0, level = 0;
};

struct VorlListing {
  std::vector<Schedule> red;    ///< by statement
  std::vector<Schedule> green;  ///< by statement of the filtered program
  std::vector<Piece> pieces;    ///< by statement of the filtered program
};

/// Reads the listing from vorl's error stream; throws CheckError when a
/// section or a statement is missing or malformed.
VorlListing read_listing(const std::string& error_stream);

}  // namespace e2e

#endif
