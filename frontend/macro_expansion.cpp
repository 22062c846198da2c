// Expanding the calls of the file's function-like macros, token by token.
#include "frontend/macro_expansion.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

// Expansions nested deeper than this are left as written.
const int kMaxExpansionDepth = 64;

bool is_word_char(char c)
{
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool is_identifier(const std::string& spelling)
{
  return !spelling.empty() && (std::isalpha(static_cast<unsigned char>(spelling[0])) != 0 ||
                               spelling[0] == '_');
}

bool is_separator(const std::string& spelling)
{
  return spelling == "(" || spelling == ")" || spelling == "[" || spelling == "]" ||
         spelling == "," || spelling == ";" || spelling == "{" || spelling == "}";
}

// Whether two tokens written side by side could read as other tokens.
bool needs_space(const MacroToken& previous, const MacroToken& next)
{
  if (next.space_before)
    return true;
  const std::string& a = previous.spelling;
  const std::string& b = next.spelling;
  if (a.empty() || b.empty())
    return false;
  bool word_a = is_word_char(a.back()), word_b = is_word_char(b.front());
  if (word_a && word_b)
    return true;
  if ((word_a && b.front() == '.') || (a.back() == '.' && word_b))
    return true;
  return !word_a && !word_b && !is_separator(a) && !is_separator(b);
}

// The C string literal of a token sequence (the # operator).
MacroToken stringized(const std::vector<MacroToken>& tokens, bool space_before)
{
  std::string text;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (i > 0 && tokens[i].space_before)
      text += ' ';
    for (char c : tokens[i].spelling) {
      if (c == '"' || c == '\\')
        text += '\\';
      text += c;
    }
  }
  return {"\"" + text + "\"", space_before};
}

}  // namespace

std::string join_tokens(const std::vector<MacroToken>& tokens)
{
  std::string text;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (i > 0 && needs_space(tokens[i - 1], tokens[i]))
      text += ' ';
    text += tokens[i].spelling;
  }
  return text;
}

bool MacroExpander::expand_call(const std::vector<MacroToken>& call, std::size_t offset,
                                std::string& text) const
{
  std::vector<std::string> active;
  std::vector<MacroToken> expanded;
  std::size_t next = 0;
  if (!expand_at(call, 0, offset, active, 0, expanded, next) || next != call.size())
    return false;
  if (!expanded.empty())
    expanded.front().space_before = false;
  text = join_tokens(expanded);
  return true;
}

const FunctionMacro* MacroExpander::defined_at(const std::string& name, std::size_t offset) const
{
  const FunctionMacro* found = nullptr;
  for (const FunctionMacro& macro : macros_)
    if (macro.name == name && macro.offset < offset && (found == nullptr || macro.offset > found->offset))
      found = &macro;
  return found;
}

// The arguments of the call whose "(" is at open, split at the commas outside
// brackets; close is the index of the ")". False without a closing one.
bool MacroExpander::read_arguments(const std::vector<MacroToken>& tokens, std::size_t open,
                                   std::vector<std::vector<MacroToken>>& arguments,
                                   std::size_t& close) const
{
  arguments.assign(1, {});
  int depth = 0;
  for (std::size_t i = open + 1; i < tokens.size(); ++i) {
    const std::string& s = tokens[i].spelling;
    if (depth == 0 && s == ")") {
      close = i;
      return true;
    }
    if (s == "(" || s == "[" || s == "{")
      ++depth;
    else if (s == ")" || s == "]" || s == "}")
      --depth;
    if (depth == 0 && s == ",") {
      arguments.emplace_back();
      continue;
    }
    arguments.back().push_back(tokens[i]);
  }
  return false;
}

std::vector<MacroToken> MacroExpander::expand(const std::vector<MacroToken>& tokens,
                                              std::size_t offset, std::vector<std::string>& active,
                                              int depth) const
{
  if (depth > kMaxExpansionDepth)
    return tokens;
  std::vector<MacroToken> out;
  for (std::size_t i = 0; i < tokens.size();) {
    std::size_t next = i + 1;
    if (!expand_at(tokens, i, offset, active, depth, out, next))
      out.push_back(tokens[i]);
    i = next;
  }
  return out;
}

// Appends to out the expansion of the call starting at tokens[i] and sets
// next past its ")"; false, with nothing appended, when tokens[i] starts no
// call of a macro (not being expanded) with the right number of arguments.
bool MacroExpander::expand_at(const std::vector<MacroToken>& tokens, std::size_t i,
                              std::size_t offset, std::vector<std::string>& active, int depth,
                              std::vector<MacroToken>& out, std::size_t& next) const
{
  const MacroToken& token = tokens[i];
  if (depth > kMaxExpansionDepth || !is_identifier(token.spelling) ||
      std::find(active.begin(), active.end(), token.spelling) != active.end())
    return false;
  const FunctionMacro* macro = defined_at(token.spelling, offset);
  std::vector<std::vector<MacroToken>> arguments;
  std::size_t close = 0;
  if (macro == nullptr || i + 1 >= tokens.size() || tokens[i + 1].spelling != "(" ||
      !read_arguments(tokens, i + 1, arguments, close))
    return false;
  std::size_t named = macro->parameters.size() - (macro->variadic ? 1 : 0);
  if (arguments.size() == 1 && arguments[0].empty() && macro->parameters.empty())
    arguments.clear();
  if (macro->variadic && arguments.size() > named) {
    // The extra arguments, commas included, make the variadic one.
    std::vector<MacroToken> rest;
    for (std::size_t k = named; k < arguments.size(); ++k) {
      if (k > named)
        rest.push_back({",", false});
      rest.insert(rest.end(), arguments[k].begin(), arguments[k].end());
    }
    arguments.resize(named);
    arguments.push_back(rest);
  } else if (macro->variadic && arguments.size() == named) {
    arguments.emplace_back();
  }
  if (arguments.size() != macro->parameters.size())
    return false;
  std::vector<MacroToken> replaced = substitute(*macro, arguments, offset, active, depth);
  active.push_back(macro->name);
  std::vector<MacroToken> expanded = expand(replaced, offset, active, depth + 1);
  active.pop_back();
  if (!expanded.empty())
    expanded.front().space_before = token.space_before;
  out.insert(out.end(), expanded.begin(), expanded.end());
  next = close + 1;
  return true;
}

std::vector<MacroToken> MacroExpander::substitute(
    const FunctionMacro& macro, const std::vector<std::vector<MacroToken>>& arguments,
    std::size_t offset, std::vector<std::string>& active, int depth) const
{
  auto parameter = [&macro](const std::string& spelling) {
    auto it = std::find(macro.parameters.begin(), macro.parameters.end(), spelling);
    return it == macro.parameters.end() ? -1 : static_cast<int>(it - macro.parameters.begin());
  };
  std::vector<MacroToken> out;
  bool paste = false;
  auto emit = [&out, &paste](std::vector<MacroToken> tokens, bool space_before) {
    if (tokens.empty())
      return;
    tokens.front().space_before = space_before;
    std::size_t from = 0;
    if (paste && !out.empty()) {
      out.back().spelling += tokens.front().spelling;
      from = 1;
    }
    paste = false;
    out.insert(out.end(), tokens.begin() + static_cast<std::ptrdiff_t>(from), tokens.end());
  };
  const std::vector<MacroToken>& body = macro.body;
  for (std::size_t k = 0; k < body.size(); ++k) {
    const MacroToken& b = body[k];
    if (b.spelling == "#" && k + 1 < body.size() && parameter(body[k + 1].spelling) >= 0) {
      emit({stringized(arguments[static_cast<std::size_t>(parameter(body[k + 1].spelling))], false)},
           b.space_before);
      ++k;
      continue;
    }
    if (b.spelling == "##") {
      paste = true;
      continue;
    }
    int p = parameter(b.spelling);
    if (p < 0) {
      emit({b}, b.space_before);
      continue;
    }
    const std::vector<MacroToken>& raw = arguments[static_cast<std::size_t>(p)];
    bool pasted = paste || (k + 1 < body.size() && body[k + 1].spelling == "##");
    if (pasted)
      emit(raw, b.space_before);
    else
      emit(expand(raw, offset, active, depth + 1), b.space_before);
    paste = false;
  }
  return out;
}
