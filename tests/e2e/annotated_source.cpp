#include "tests/e2e/annotated_source.h"

#include <algorithm>
#include <cctype>
#include <regex>
#include <set>

namespace e2e {
namespace {

// ---------------------------------------------------------------------------
// Tokens of the C text: enough to find declarations, statements and
// references; comments and white space are dropped, a preprocessor line is one
// token.

enum class Kind { identifier, number, punctuator, directive };

struct Token {
  Kind kind;
  size_t begin, end;
  std::string text;
};

bool is_identifier_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

size_t skip_directive(const std::string& s, size_t i)
{
  while (i < s.size() && s[i] != '\n') {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '\n')
      i++;
    i++;
  }
  return i;
}

std::vector<Token> tokenize(const std::string& s)
{
  static const char* const kLong[] = {"<<=", ">>=", "->", "++", "--", "<<", ">>", "<=", ">=", "==",
                                      "!=",  "&&",  "||", "+=", "-=", "*=", "/=", "%=", "&=", "|=",
                                      "^="};
  std::vector<Token> tokens;
  bool line_start = true;
  size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    if (c == '\n') {
      line_start = true;
      i++;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      i++;
    } else if (s.compare(i, 2, "//") == 0) {
      i = s.find('\n', i);
      i = i == std::string::npos ? s.size() : i;
    } else if (s.compare(i, 2, "/*") == 0) {
      size_t end = s.find("*/", i + 2);
      if (end == std::string::npos)
        throw CheckError("unterminated comment");
      i = end + 2;
    } else if (c == '#' && line_start) {
      size_t end = skip_directive(s, i);
      tokens.push_back({Kind::directive, i, end, s.substr(i, end - i)});
      i = end;
    } else {
      line_start = false;
      size_t end = i + 1;
      Kind kind = Kind::punctuator;
      if (is_identifier_char(c)) {
        kind = std::isdigit(static_cast<unsigned char>(c)) ? Kind::number : Kind::identifier;
        while (end < s.size() && (is_identifier_char(s[end]) || (kind == Kind::number && s[end] == '.')))
          end++;
      } else if (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1]))) {
        kind = Kind::number;
        while (end < s.size() && (is_identifier_char(s[end]) || s[end] == '.'))
          end++;
      } else if (c == '"' || c == '\'') {
        while (end < s.size() && s[end] != c)
          end += s[end] == '\\' ? 2 : 1;
        end = std::min(end + 1, s.size());
      } else {
        for (const char* p : kLong)
          if (s.compare(i, std::char_traits<char>::length(p), p) == 0) {
            end = i + std::char_traits<char>::length(p);
            break;
          }
      }
      tokens.push_back({kind, i, end, s.substr(i, end - i)});
      i = end;
    }
  }
  return tokens;
}

bool is(const std::vector<Token>& t, size_t k, const char* text) { return k < t.size() && t[k].text == text; }

// The index just past the bracket group opening at k.
size_t past_group(const std::vector<Token>& t, size_t k)
{
  int depth = 0;
  for (; k < t.size(); k++) {
    const std::string& x = t[k].text;
    if (x == "(" || x == "[" || x == "{")
      depth++;
    else if ((x == ")" || x == "]" || x == "}") && --depth == 0)
      return k + 1;
  }
  throw CheckError("unbalanced brackets");
}

size_t token_at(const std::vector<Token>& t, size_t offset)
{
  for (size_t k = 0; k < t.size(); k++)
    if (t[k].begin == offset)
      return k;
  throw CheckError("no token at offset " + std::to_string(offset));
}

// ---------------------------------------------------------------------------
// Declarations of variables of type int, float or double: at file scope or at
// the top of a block.

struct Declarator {
  std::string name;
  size_t name_token;
  bool array = false;
  size_t init_begin = 0, init_end = 0;  // tokens of the initialiser, after '='
};

struct Declaration {
  size_t type_token;
  int depth;  // brace depth
  std::vector<Declarator> declarators;
};

std::vector<Declaration> declarations(const std::vector<Token>& t)
{
  std::vector<Declaration> found;
  int depth = 0;
  for (size_t k = 0; k < t.size(); k++) {
    const std::string& x = t[k].text;
    if (x == "{")
      depth++;
    else if (x == "}")
      depth--;
    if (x != "int" && x != "double" && x != "float")
      continue;
    size_t before = k;
    while (before > 0 && (t[before - 1].text == "static" || t[before - 1].text == "const"))
      before--;
    size_t previous = before;
    while (previous > 0 && t[previous - 1].kind == Kind::directive)
      previous--;
    if (previous > 0 && !is(t, previous - 1, ";") && !is(t, previous - 1, "{") && !is(t, previous - 1, "}"))
      continue;
    Declaration d{k, depth, {}};
    size_t p = k + 1;
    bool variables = true;
    while (variables && p < t.size()) {
      while (is(t, p, "*"))
        p++;
      if (p >= t.size() || t[p].kind != Kind::identifier) {
        variables = false;
        break;
      }
      Declarator v{t[p].text, p};
      p++;
      if (is(t, p, "(")) {
        variables = false;  // a function
        break;
      }
      while (is(t, p, "[")) {
        v.array = true;
        p = past_group(t, p);
      }
      if (is(t, p, "=")) {
        v.init_begin = ++p;
        while (p < t.size() && !is(t, p, ",") && !is(t, p, ";"))
          p = (is(t, p, "(") || is(t, p, "{") || is(t, p, "[")) ? past_group(t, p) : p + 1;
        v.init_end = p;
      }
      d.declarators.push_back(v);
      if (is(t, p, ";"))
        break;
      if (!is(t, p, ","))
        variables = false;
      p++;
    }
    if (variables && !d.declarators.empty())
      found.push_back(d);
    k = std::max(k, p > 0 ? p - 1 : k);
  }
  return found;
}

// ---------------------------------------------------------------------------
// Pragmas

std::vector<int> subscripts(const std::string& list)
{
  std::vector<int> r;
  std::regex number(R"(\[\s*(\d+)\s*\])");
  for (std::sregex_iterator m(list.begin(), list.end(), number), end; m != end; ++m)
    r.push_back(std::stoi((*m)[1]));
  return r;
}

std::string line_of(const std::string& text, size_t offset)
{
  return std::to_string(std::count(text.begin(), text.begin() + offset, '\n') + 1);
}

// ---------------------------------------------------------------------------
// One annotated assignment as the instrumentation sees it.

const char* const kAssignments[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="};

struct Assignment {
  size_t first = 0, operator_token = 0, end = 0;  // tokens: start, operator, ';'
  bool compound = false, increment = false;
  std::string lhs;                    // text of the left-hand side
  std::string lhs_base;               // its array or scalar name
  bool lhs_subscripted = false;
  std::vector<std::string> references;  // right-hand-side references, in source order
};

bool is_keyword(const std::string& x)
{
  static const std::set<std::string> k{"double", "float", "int", "long", "short", "char", "unsigned",
                                       "signed", "sizeof", "const"};
  return k.count(x) > 0;
}

Assignment read_assignment(const std::string& text, const std::vector<Token>& t, size_t first)
{
  Assignment a;
  a.first = a.end = first;
  while (a.end < t.size() && !is(t, a.end, ";"))
    a.end++;
  if (a.end == t.size())
    throw CheckError("line " + line_of(text, t[first].begin) + ": no ';' after the annotated assignment");
  int depth = 0;
  for (size_t k = first; k < a.end && !a.operator_token; k++) {
    const std::string& x = t[k].text;
    depth += (x == "(" || x == "[") - (x == ")" || x == "]");
    if (depth == 0 && (x == "++" || x == "--")) {
      a.operator_token = k;
      a.increment = true;
    }
    for (const char* op : kAssignments)
      if (depth == 0 && x == op) {
        a.operator_token = k;
        a.compound = x != "=";
      }
  }
  if (!a.operator_token && !a.increment)
    throw CheckError("line " + line_of(text, t[first].begin) + ": the annotated statement is no assignment");
  size_t lhs_first = a.increment && a.operator_token == first ? first + 1 : first;
  size_t lhs_end = a.increment && a.operator_token == first ? a.end : a.operator_token;
  a.lhs = text.substr(t[lhs_first].begin, t[lhs_end - 1].end - t[lhs_first].begin);
  a.lhs_base = t[lhs_first].text;
  a.lhs_subscripted = is(t, lhs_first + 1, "[");
  if (a.compound || a.increment)
    a.references.push_back(a.lhs);
  if (a.increment)
    return a;
  for (size_t k = a.operator_token + 1; k < a.end; k++) {
    if (t[k].kind != Kind::identifier || is_keyword(t[k].text) || is(t, k + 1, "("))
      continue;
    size_t last = k + 1;
    while (is(t, last, "["))
      last = past_group(t, last);
    a.references.push_back(text.substr(t[k].begin, t[last - 1].end - t[k].begin));
    k = last - 1;
  }
  return a;
}

std::string joined(const std::vector<std::string>& items)
{
  std::string r;
  for (const std::string& s : items)
    r += (r.empty() ? "" : ", ") + s;
  return r;
}

// The call that starts an instance of statement k, placed before it.
std::string instance_start(int k, const AnnotatedStatement& s, const Assignment& a,
                           const std::vector<std::string>& names)
{
  std::vector<std::string> values;
  for (const std::string& n : names)
    values.push_back("(long)(" + n + ")");
  std::string call = "{" + joined(values) + "}";
  if (!s.has_input && !s.has_output)
    return "vorl_trace::begin(" + std::to_string(k) + ", " + call + "), ";
  auto addresses = [&](const std::vector<int>& positions, std::vector<std::string> r) {
    for (int p : positions) {
      if (p < 0 || static_cast<size_t>(p) >= a.references.size())
        throw CheckError("statement #" + std::to_string(k) + ": pragma position " + std::to_string(p) +
                         " beyond its " + std::to_string(a.references.size()) + " references");
      r.push_back("vorl_trace::address(" + a.references[p] + ")");
    }
    return "{" + joined(r) + "}";
  };
  return "vorl_trace::begin_listed(" + std::to_string(k) + ", " + call + ", " + addresses(s.inputs, {}) +
         ", " + addresses(s.outputs, {"vorl_trace::address(" + a.lhs + ")"}) + "), ";
}

struct Edit {
  size_t begin, end;
  std::string replacement;
};

std::string apply(std::string text, std::vector<Edit> edits)
{
  std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.begin > b.begin; });
  for (const Edit& e : edits)
    text.replace(e.begin, e.end - e.begin, e.replacement);
  return text;
}

}  // namespace

AnnotatedSource read_annotated_source(const std::string& text)
{
  AnnotatedSource r;
  r.text = text;
  std::vector<Token> t = tokenize(text);
  std::regex pragma(R"(#\s*pragma\s+(latency|input|output|resource)\s*((\s*\[\s*\d+\s*\])*)\s*)");
  bool resource = false;
  std::string pending;  // pragmas read since the last annotated assignment
  for (const Token& token : t) {
    std::smatch m;
    if (token.kind == Kind::directive && !std::regex_match(token.text, m, pragma))
      continue;
    if (token.kind != Kind::directive) {
      if (!pending.empty() && token.kind != Kind::identifier && token.text != "++" && token.text != "--" &&
          token.text != "*" && token.text != "(")
        throw CheckError("line " + line_of(text, token.begin) + ": no assignment after the latency pragma");
      if (!pending.empty())
        r.statements.back().start = token.begin;
      pending.clear();
      continue;
    }
    std::string where = "line " + line_of(text, token.begin) + ": ";
    std::vector<int> values = subscripts(m[2]);
    if (m[1] == "resource") {
      if (resource || values.size() != 2)
        throw CheckError(where + "expect one resource pragma with two numbers");
      resource = true;
      r.cpus = values[0];
      r.gpus = values[1];
    } else if (m[1] == "latency") {
      if (!pending.empty() || values.size() != 2)
        throw CheckError(where + "expect two latencies, once before each assignment");
      r.statements.emplace_back();
      r.statements.back().cpu_latency = values[0];
      r.statements.back().gpu_latency = values[1];
      pending = "latency";
    } else if (m[1] == "input") {
      if (pending != "latency")
        throw CheckError(where + "an input pragma follows the latency pragma directly");
      r.statements.back().has_input = true;
      r.statements.back().inputs = values;
      pending = "input";
    } else {
      if (pending != "latency" && pending != "input")
        throw CheckError(where + "an output pragma follows the latency or input pragma directly");
      r.statements.back().has_output = true;
      r.statements.back().outputs = values;
      pending = "output";
    }
  }
  if (!pending.empty())
    throw CheckError("a latency pragma without an assignment after it");
  if (!resource)
    throw CheckError("no resource pragma");
  for (const Declaration& d : declarations(t))
    if (d.depth == 0 && t[d.type_token].text == "int")
      for (const Declarator& v : d.declarators)
        if (!v.array && v.init_end == v.init_begin + 1 && t[v.init_begin].kind == Kind::number)
          r.parameters[v.name] = std::stol(t[v.init_begin].text);
  return r;
}

std::string with_parameter_values(const std::string& text, const std::map<std::string, long>& values)
{
  std::vector<Token> t = tokenize(text);
  std::vector<Edit> edits;
  std::set<std::string> done;
  for (const Declaration& d : declarations(t))
    if (d.depth == 0 && t[d.type_token].text == "int")
      for (const Declarator& v : d.declarators) {
        auto value = values.find(v.name);
        if (value != values.end() && v.init_end == v.init_begin + 1) {
          edits.push_back({t[v.init_begin].begin, t[v.init_begin].end, std::to_string(value->second)});
          done.insert(v.name);
        }
      }
  for (const auto& [name, value] : values)
    if (!done.count(name))
      throw CheckError("no file-scope initialiser int " + name + " = ...;");
  return apply(text, edits);
}

std::vector<std::vector<std::string>> counters_mentioned(const AnnotatedSource& source)
{
  std::vector<Token> t = tokenize(source.text);
  std::vector<std::string> counters;
  for (const Declaration& d : declarations(t))
    if (d.depth > 0 && t[d.type_token].text == "int")
      for (const Declarator& v : d.declarators)
        if (!v.array && std::find(counters.begin(), counters.end(), v.name) == counters.end())
          counters.push_back(v.name);
  std::vector<std::vector<std::string>> r;
  for (const AnnotatedStatement& s : source.statements) {
    std::set<std::string> used;
    for (size_t k = token_at(t, s.start); k < t.size() && !is(t, k, ";"); k++)
      used.insert(t[k].text);
    r.emplace_back();
    for (const std::string& c : counters)
      if (used.count(c))
        r.back().push_back(c);
  }
  return r;
}

std::string instrumented_program(const AnnotatedSource& source,
                                 const std::vector<std::vector<std::string>>& recorded_names)
{
  const std::string& text = source.text;
  std::vector<Token> t = tokenize(text);
  std::vector<Edit> edits;
  std::string includes;
  for (const Token& token : t)
    if (token.kind == Kind::directive && std::regex_match(token.text, std::regex(R"(#\s*(pragma|include)\b(.|\n)*)"))) {
      if (token.text.find("include") != std::string::npos)
        includes += token.text + "\n";
      edits.push_back({token.begin, token.end, ""});
    } else if (token.text == "main" && is(t, &token - &t[0] + 1, "(")) {
      edits.push_back({token.begin, token.end, "vorl_kernel_main"});
    }
  // Statement starts, and the names of the scalars the statements write.
  std::set<std::string> written_scalars;
  for (size_t k = 0; k < source.statements.size(); k++) {
    const AnnotatedStatement& s = source.statements[k];
    Assignment a = read_assignment(text, t, token_at(t, s.start));
    if (!a.lhs_subscripted)
      written_scalars.insert(a.lhs_base);
    for (int p : s.outputs)
      if (p >= 0 && static_cast<size_t>(p) < a.references.size())
        written_scalars.insert(a.references[p].substr(0, a.references[p].find('[')));
    static const std::vector<std::string> none;
    edits.push_back({s.start, s.start, instance_start(static_cast<int>(k), s, a,
                                                      k < recorded_names.size() ? recorded_names[k] : none)});
  }
  // Every array, and the written scalars, become traced cells.
  for (const Declaration& d : declarations(t)) {
    bool traced = false;
    for (const Declarator& v : d.declarators)
      traced = traced || v.array || written_scalars.count(v.name);
    if (!traced)
      continue;
    const Token& type = t[d.type_token];
    edits.push_back({type.begin, type.end, "vorl_trace::Traced<" + type.text + ">"});
    for (const Declarator& v : d.declarators) {
      if (v.init_end == v.init_begin)
        continue;
      if (is(t, v.init_begin, "{"))
        throw CheckError("line " + line_of(text, type.begin) + ": traced " + v.name + " has a brace initialiser");
      size_t from = t[v.name_token].end, to = t[v.init_end - 1].end;
      edits.push_back({from, to, "(" + text.substr(t[v.init_begin].begin, to - t[v.init_begin].begin) + ")"});
    }
  }
  return "#include \"trace_runtime.h\"\n" + includes + "namespace vorl_kernel {\nVORL_TRACE_KERNEL_FUNCTIONS\n" +
         "#line 1\n" + apply(text, edits) +
         "\n}  // namespace vorl_kernel\n\n"
         "int main()\n{\n  int status = vorl_kernel::vorl_kernel_main();\n  vorl_trace::finish();\n"
         "  return status;\n}\n";
}

}  // namespace e2e
