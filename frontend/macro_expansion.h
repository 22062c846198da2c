// Expanding the calls of the function-like macros an input file defines.
//
// The tree is read from the operators written in the file; an operator that
// only a macro body spells has no position of its own there. The calls of the
// file's own function-like macros (max_score(a, b), match(b1, b2)) are
// therefore replaced, before the tree is built, by their expansion: the body
// with the arguments put in place of the parameters (# makes a string, ##
// pastes two tokens, __VA_ARGS__ stands for the extra arguments), expanded
// again for the calls it holds, as C does; a macro is not expanded inside its
// own expansion. Macros of other files are left to the parser.
//
// Ownership: plain values throughout.
#ifndef VORL_FRONTEND_MACRO_EXPANSION_H
#define VORL_FRONTEND_MACRO_EXPANSION_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// A token as written, and whether blank space or a comment comes before it.
struct MacroToken {
  std::string spelling;
  bool space_before = false;
};

// One function-like macro of the file, defined at offset.
struct FunctionMacro {
  std::string name;
  std::vector<std::string> parameters;  // "__VA_ARGS__" last for "..."
  bool variadic = false;
  std::vector<MacroToken> body;
  std::size_t offset = 0;
};

class MacroExpander {
public:
  explicit MacroExpander(std::vector<FunctionMacro> macros) : macros_(std::move(macros)) {}

  // The expansion of the call whose tokens are given (the macro's name
  // through its closing parenthesis), written at offset, as one line of C.
  // False when the tokens are no call of a known macro with the right number
  // of arguments.
  bool expand_call(const std::vector<MacroToken>& call, std::size_t offset, std::string& text) const;

private:
  const FunctionMacro* defined_at(const std::string& name, std::size_t offset) const;
  std::vector<MacroToken> expand(const std::vector<MacroToken>& tokens, std::size_t offset,
                                 std::vector<std::string>& active, int depth) const;
  bool expand_at(const std::vector<MacroToken>& tokens, std::size_t i, std::size_t offset,
                 std::vector<std::string>& active, int depth, std::vector<MacroToken>& out,
                 std::size_t& next) const;
  bool read_arguments(const std::vector<MacroToken>& tokens, std::size_t open,
                      std::vector<std::vector<MacroToken>>& arguments, std::size_t& close) const;
  std::vector<MacroToken> substitute(const FunctionMacro& macro,
                                     const std::vector<std::vector<MacroToken>>& arguments,
                                     std::size_t offset, std::vector<std::string>& active,
                                     int depth) const;

  std::vector<FunctionMacro> macros_;
};

// The tokens as one line of text, a blank where the source had space.
std::string join_tokens(const std::vector<MacroToken>& tokens);

#endif
