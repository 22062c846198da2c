#include "driver/preprocessor.h"

#include <cctype>
#include <string>

#include "frontend/sg_project.h"
#include "frontend/source_text.h"
#include "algebra/expression.h"
#include "support/failure.h"
#include "algebra/index_function.h"
#include "program/array.h"
#include "program/extraction.h"
#include "program/program.h"
#include "program/statement.h"
#include "support/ownership.h"

const char* const kReservedDeclarations =
    "int****************** __vorl_latency;\n"
    "int****************** __vorl_resource;\n"
    "int****************** __vorl_input;\n"
    "int****************** __vorl_output;\n";

namespace {

const std::size_t npos = std::string::npos;

[[noreturn]] void refuse(const std::string& message) { fail(Stream::Out, message); }

// ---------------------------------------------------------------------------
// The lines of the text, as far as the rewriting needs them

struct Line {
  std::size_t begin = 0, end = 0;  // [begin, end) without the end of line
  bool directive = false;          // a preprocessor line or its continuation
  std::size_t code = npos;         // first character of code (not a directive)
  int depth = 0;                   // braces open at its start
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

bool is_word_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_'; }

bool is_word_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// Splits the text into lines, following comments, literals and braces.
std::vector<Line> scan(const std::string& text)
{
  std::vector<Line> lines;
  bool in_comment = false, continued = false;
  int depth = 0;
  for (std::size_t begin = 0; begin <= text.size();) {
    Line line;
    line.begin = begin;
    line.end = text.find('\n', begin);
    if (line.end == npos)
      line.end = text.size();
    line.depth = depth;
    line.directive = continued;
    if (!in_comment && !continued) {
      std::size_t k = begin;
      while (k < line.end && is_blank(text[k]))
        ++k;
      line.directive = k < line.end && text[k] == '#';
    }
    for (std::size_t i = begin; i < line.end; ++i) {
      char c = text[i];
      char next = i + 1 < line.end ? text[i + 1] : '\0';
      if (in_comment) {
        if (c == '*' && next == '/') {
          in_comment = false;
          ++i;
        }
        continue;
      }
      if (c == '/' && next == '/')
        break;
      if (c == '/' && next == '*') {
        in_comment = true;
        ++i;
        continue;
      }
      if (is_blank(c))
        continue;
      if (!line.directive && line.code == npos)
        line.code = i;
      if (c == '"' || c == '\'') {
        for (++i; i < line.end && text[i] != c; ++i)
          if (text[i] == '\\')
            ++i;
        continue;
      }
      if (!line.directive && c == '{')
        ++depth;
      if (!line.directive && c == '}')
        --depth;
    }
    std::size_t last = line.end;
    while (last > begin && is_blank(text[last - 1]))
      --last;
    continued = line.directive && last > begin && text[last - 1] == '\\';
    lines.push_back(line);
    begin = line.end + 1;
  }
  return lines;
}

// An annotation pragma: "#pragma <kind> [..]..." on a line of its own.
struct Pragma {
  std::string kind;           // latency, input, output or resource
  std::size_t hash = 0;       // where "#" is
  std::size_t subscripts = 0; // where the text after the kind starts
};

// The word at k of the text, moving k past it.
std::string word(const std::string& text, std::size_t& k, std::size_t end)
{
  std::size_t from = k;
  while (k < end && is_word_char(text[k]))
    ++k;
  return text.substr(from, k - from);
}

bool read_pragma(const std::string& text, const Line& line, Pragma& found)
{
  Pragma pragma;
  std::size_t k = line.begin;
  while (k < line.end && is_blank(text[k]))
    ++k;
  if (k >= line.end || text[k] != '#')
    return false;
  pragma.hash = k++;
  while (k < line.end && is_blank(text[k]))
    ++k;
  if (word(text, k, line.end) != "pragma")
    return false;
  while (k < line.end && is_blank(text[k]))
    ++k;
  pragma.kind = word(text, k, line.end);
  if (pragma.kind != "latency" && pragma.kind != "input" && pragma.kind != "output" &&
      pragma.kind != "resource")
    return false;
  // "#pragma latencyX" is another pragma; "#pragma latency/*...*/" is one.
  if (k < line.end && !is_blank(text[k]) && text[k] != '[' && text[k] != '/')
    return false;
  pragma.subscripts = k;
  found = pragma;
  return true;
}

// The end of the subscripts "[..][..]" of a pragma, which must be followed by
// nothing but blanks and a comment; npos when they are not of that form.
std::size_t subscripts_end(const std::string& text, std::size_t k, std::size_t end)
{
  std::size_t last = npos;
  while (true) {
    while (k < end && is_blank(text[k]))
      ++k;
    if (k >= end || text[k] != '[')
      break;
    int depth = 0;
    for (; k < end; ++k) {
      char c = text[k];
      if (c == '[' || c == '(')
        ++depth;
      else if ((c == ']' || c == ')') && --depth == 0)
        break;
      else if (c == '\\' || c == ';' || c == '{' || c == '}' || c == '"' || c == '\'')
        return npos;
    }
    if (k >= end || text[k] != ']')
      return npos;
    last = ++k;
  }
  bool rest_is_comment = k >= end || text.compare(k, 2, "//") == 0 || text.compare(k, 2, "/*") == 0;
  return rest_is_comment ? last : npos;
}

// C keywords that cannot start an expression statement.
bool is_statement_keyword(const std::string& w)
{
  static const char* const keywords[] = {
      "auto",     "break",  "case",     "char",   "const",    "continue", "default",
      "do",       "double", "else",     "enum",   "extern",   "float",    "for",
      "goto",     "if",     "inline",   "int",    "long",     "register", "restrict",
      "return",   "short",  "signed",   "static", "struct",   "switch",   "typedef",
      "union",    "unsigned", "void",   "volatile", "while",  "_Bool",    "_Complex",
      "_Static_assert"};
  for (const char* k : keywords)
    if (w == k)
      return true;
  return false;
}

// Whether code at k can start an expression statement (the assignment an
// annotation belongs to).
bool starts_expression(const std::string& text, std::size_t k, std::size_t end)
{
  char c = text[k];
  if (is_word_start(c))
    return !is_statement_keyword(word(text, k, end));
  if (c == '(' || c == '*')
    return true;
  return text.compare(k, 2, "++") == 0 || text.compare(k, 2, "--") == 0;
}

class Rewriter {
 public:
  Rewriter(const std::string& text, const std::string& file) : text_(text), file_(file) {}

  std::string run()
  {
    lines_ = scan(text_);
    pragmas_.assign(lines_.size(), Pragma());
    for (std::size_t l = 0; l < lines_.size(); ++l)
      if (lines_[l].directive && (l == 0 || !continues(l)))
        read_pragma(text_, lines_[l], pragmas_[l]);
    std::string result;
    for (std::size_t l = 0; l < lines_.size(); ++l) {
      if (l > 0)
        result += '\n';
      result += pragmas_[l].kind.empty() ? line_text(l) : rewritten(l);
    }
    return result;
  }

 private:
  bool continues(std::size_t l) const
  {
    // A directive line whose predecessor is a directive ending with "\".
    const Line& previous = lines_[l - 1];
    std::size_t last = previous.end;
    while (last > previous.begin && is_blank(text_[last - 1]))
      --last;
    return previous.directive && last > previous.begin && text_[last - 1] == '\\';
  }

  std::string line_text(std::size_t l) const
  {
    return text_.substr(lines_[l].begin, lines_[l].end - lines_[l].begin);
  }

  bool annotates(std::size_t l) const
  {
    return pragmas_[l].kind == "latency" || pragmas_[l].kind == "input" || pragmas_[l].kind == "output";
  }

  [[noreturn]] void refuse_pragma(std::size_t l, const std::string& message) const
  {
    SourcePosition at{file_, static_cast<int>(l) + 1,
                      static_cast<int>(pragmas_[l].hash - lines_[l].begin) + 1,
                      one_line(line_text(l))};
    refuse(at.prefix() + "Preprocessor::preprocess_latency: " + message);
  }

  // Whether the assignment follows an annotation pragma: code that starts an
  // expression, after blank lines, comments and other annotations.
  bool followed_by_assignment(std::size_t l) const
  {
    for (std::size_t j = l + 1; j < lines_.size(); ++j) {
      if (!pragmas_[j].kind.empty())
        return annotates(j);
      if (lines_[j].directive)
        return false;
      if (lines_[j].code != npos)
        return starts_expression(text_, lines_[j].code, lines_[j].end);
    }
    return false;
  }

  std::string rewritten(std::size_t l) const
  {
    const Line& line = lines_[l];
    const Pragma& pragma = pragmas_[l];
    if (line.depth <= 0)
      refuse_pragma(l, "a pragma outside a function annotates nothing: put it inside the function, "
                       "before the assignment it annotates");
    std::size_t end = subscripts_end(text_, pragma.subscripts, line.end);
    if (end == npos)
      refuse_pragma(l, "expect constant subscripts after the pragma, as in #pragma " + pragma.kind +
                           " [2][1]");
    if (annotates(l) && !followed_by_assignment(l))
      refuse_pragma(l, "expect the assignment it annotates right after the pragma");
    // The array's name takes the place of "#pragma <kind>", padded so that
    // the subscripts keep their columns.
    std::string name = std::string("__vorl_") + pragma.kind;
    std::size_t width = pragma.subscripts - pragma.hash;
    name.resize(width > name.size() ? width : name.size() + 1, ' ');
    return text_.substr(line.begin, pragma.hash - line.begin) + name +
           text_.substr(pragma.subscripts, end - pragma.subscripts) + " = 0" +
           (annotates(l) ? "," : ";") + text_.substr(end, line.end - end);
  }

  const std::string& text_;
  const std::string& file_;
  std::vector<Line> lines_;
  std::vector<Pragma> pragmas_;
};

// ---------------------------------------------------------------------------
// Reading the pseudo-statements back

// The constant subscripts of a pseudo-statement; *bad is the first that is
// not a constant (null when all are).
std::vector<int> constants(const Statement* s, const Expression** bad)
{
  std::vector<int> values;
  *bad = nullptr;
  for (const Expression* e : s->lhs_index->index_mapping) {
    if (!e->is_constant()) {
      *bad = e;
      return values;
    }
    values.push_back(static_cast<int>(e->val));  // the reader caps numbers at 10^9
  }
  return values;
}

bool writes(const std::vector<Statement*>& statements, size_t p, const char* array)
{
  return p < statements.size() && statements[p]->lhs_id == array;
}

// The pragma a pseudo-statement stands for, as the user wrote it.
SourcePosition pragma_of(const Statement* s)
{
  SourcePosition at = s->position;
  at.text = pragma_text(at.text);
  return at;
}

void check_values(const std::vector<int>& values, const SourcePosition& at, const std::string& what)
{
  for (int v : values)
    if (v > kLargestPragmaValue || v < -kLargestPragmaValue)
      refuse(cat(at.prefix(), "Preprocessor::extract_latency: ", what, " ", v, " is beyond ",
                 kLargestPragmaValue, ", the largest the analysis takes"));
}

// The positions listed by an input or output pragma must name right-hand-side
// references of the assignment.
void check_positions(const std::vector<int>& positions, const Statement* s, const SourcePosition& at,
                     const std::string& what)
{
  int n = s->nb_rhs_references();
  for (int k : positions)
    if (k < 0 || k >= n)
      refuse(cat(at.prefix(), "Statement::nth: bad rank: ", what, " index ", k,
                 " but the right-hand side has ", n, n == 1 ? " reference" : " references"));
}

}  // namespace

std::string rewrite_pragmas(const std::string& text, const std::string& file_name)
{
  return Rewriter(text, file_name).run();
}

std::unique_ptr<SgProject> preprocess_latency(SgProject* project)
{
  SgSourceFile* file = project->get_file(0);
  std::string name = file != nullptr ? file->getFileName() : "";
  // Errors of the parse quote the lines as the user wrote them.
  std::string text = project->unparseToCompleteString();
  return reparse(*project, rewrite_pragmas(text, name), kReservedDeclarations, &text);
}

std::pair<LatencyMaps, std::vector<int>> extract_latency(Program* program)
{
  LatencyMaps maps(3);
  std::map<int, std::vector<int>>& latencies = maps[0];
  std::map<int, std::vector<int>>& inputs = maps[1];
  std::map<int, std::vector<int>>& outputs = maps[2];
  std::map<int, SourcePosition> latency_at, input_at, output_at;
  std::vector<int> resources;
  SourcePosition resource_at;
  const std::vector<Statement*> st = view(program->statement);  // until the pragmas are dropped
  int A = 0, L = 0, R = -1;
  const Expression* bad = nullptr;
  for (size_t p = 0; p < st.size(); p++) {
    if (writes(st, p, resource_array)) {
      SourcePosition at = pragma_of(st[p]);
      std::vector<int> values = constants(st[p], &bad);
      if (bad)
        refuse(at.prefix() + "Preprocessor::extract_latency: expect constants");
      if (R != -1)
        refuse(at.prefix() + "Preprocessor::extract_latency: expect a single resource pragma");
      if (p != 0)
        refuse(at.prefix() + "Preprocessor::extract_latency: expect the resource pragma before the "
                             "first assignment");
      check_values(values, at, "the number of processors");
      resources.insert(resources.end(), values.begin(), values.end());
      R = static_cast<int>(p);
      resource_at = at;
    }
    if (writes(st, p, latency_array)) {
      SourcePosition at = pragma_of(st[p]);
      std::vector<int> values = constants(st[p], &bad);
      if (bad)
        refuse(cat(at.prefix(), "Preprocessor::extract_latency: expect a constant latency for assignment #",
                   A + 1));
      if (L != A)
        refuse(cat(at.prefix(), "Preprocessor::extract_latency: several latencies for assignment #", A + 1));
      check_values(values, at, cat("the latency of assignment #", A + 1, ":"));
      std::vector<int>& entry = latencies[A];
      entry.insert(entry.end(), values.begin(), values.end());
      latency_at[A] = at;
      if (writes(st, p + 1, input_array)) {
        at = pragma_of(st[p + 1]);
        values = constants(st[p + 1], &bad);
        if (bad)
          refuse(cat(at.prefix(), "Preprocessor::extract_latency: expect a constant input for assignment #",
                     A + 1));
        std::vector<int>& in = inputs[A];
        in.insert(in.end(), values.begin(), values.end());
        input_at[A] = at;
        p++;
      }
      if (writes(st, p + 1, output_array)) {
        at = pragma_of(st[p + 1]);
        values = constants(st[p + 1], &bad);
        if (bad)
          refuse(cat(at.prefix(), "Preprocessor::extract_latency: expect a constant output for assignment #",
                     A + 1, " (found: ", *bad, ")"));
        std::vector<int>& out = outputs[A];
        out.insert(out.end(), values.begin(), values.end());
        output_at[A] = at;
        p++;
      }
      L++;
    }
    // Every real assignment counts, the first statement too (else its
    // latency-less assignment would go unnoticed and shift the keys of the
    // others); a resource pragma in first place does not.
    bool leading_resource = p == 0 && writes(st, p, resource_array);
    if (!leading_resource && !writes(st, p, latency_array) && !writes(st, p, input_array) &&
        !writes(st, p, output_array)) {
      A++;
      if (A != L)
        refuse(cat(st[p]->position.prefix(), "Preprocessor::extract_latency: missing latency for assignment #",
                   A));
    }
  }
  std::vector<std::unique_ptr<Statement>> kept;
  for (const Statement* s : st) {
    if (is_reserved_array(s->lhs_id))
      continue;
    std::unique_ptr<Statement> c(s->clone());
    c->stmt_rank = static_cast<int>(kept.size());
    auto at = latency_at.find(c->stmt_rank);
    if (at != latency_at.end())
      c->latency_pragma = at->second;
    kept.push_back(std::move(c));
  }
  for (const auto& s : kept) {
    int r = s->stmt_rank;
    if (inputs.count(r))
      check_positions(inputs[r], s.get(), input_at[r], "input");
    if (outputs.count(r))
      check_positions(outputs[r], s.get(), output_at[r], "output");
  }
  // Without a resource pragma, the messages about the machine name the first
  // assignment, before which the pragma belongs.
  if (R == -1 && !kept.empty())
    resource_at = kept.front()->position;
  program->resource_pragma = resource_at;
  program->statement = std::move(kept);
  for (const auto& s : program->statement) {
    int r = s->stmt_rank;
    int n = s->nb_rhs_references();
    if (inputs.count(r) || outputs.count(r) || n == 0)
      continue;
    for (int k = 0; k < n; k++)
      inputs[r].push_back(k);
  }
  check_dependence_subscripts(program, inputs, outputs);
  remove_reserved_arrays();
  return {maps, resources};
}
