// Reading one C file with libclang into the syntax tree.
//
// libclang (clang 14, C API) exposes the syntax tree as cursors but not the
// kind of an operator: operators are read from the token between their
// operands, in the file tokenised once. A position is trusted only where the
// file text really lies between two operands: both positions written in the
// file outside any macro argument, or both inside the arguments of one macro
// call. An operator that only a macro body spells cannot be read: such a
// node becomes the constant it evaluates to; otherwise, when it may be an
// assignment, the file is rejected, and when it cannot, it is kept as an
// unknown expression over its operands. The parts of a for header are told
// apart by the positions of its ";" and ")" tokens.
//
// Implicit conversions and parentheses are skipped; compound assignments are
// rewritten as x = x op (e). Every number that comes back from libclang is
// checked before use. The calls of the file's own function-like macros are
// expanded in the text, which is parsed again, before the tree is built (see
// macro_expansion.h). The text parsed is held in memory; the declarations of a
// prelude are parsed before it as an included header of no file. Statements
// and expressions nested deeper than a fixed limit are refused.
#include "frontend/clang_reader.h"

#include <clang-c/Index.h>
#include <pthread.h>

#include <exception>
#include <memory>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "frontend/fatal_error.h"
#include "frontend/macro_expansion.h"
#include "frontend/sg_builder.h"
#include "frontend/sg_node.h"
#include "frontend/sg_project.h"
#include "frontend/source_text.h"

namespace {

// The deepest nesting of statements and expressions read: the walks of the
// tree recurse once per level.
const int kMaxNesting = 1000;

// The name under which the declarations put before the file are parsed; no
// file of that name is read.
const char* const kPreludePath = "/__vorl__/prelude.h";

// The text of a libclang string, which is freed.
std::string take(CXString text)
{
  const char* chars = clang_getCString(text);
  std::string result = chars != nullptr ? chars : "";
  clang_disposeString(text);
  return result;
}

std::vector<CXCursor> children_of(CXCursor cursor)
{
  std::vector<CXCursor> children;
  clang_visitChildren(
      cursor,
      [](CXCursor child, CXCursor, CXClientData data) {
        static_cast<std::vector<CXCursor>*>(data)->push_back(child);
        return CXChildVisit_Continue;
      },
      &children);
  return children;
}

std::vector<CXCursor> expression_children_of(CXCursor cursor)
{
  std::vector<CXCursor> result;
  for (CXCursor child : children_of(cursor))
    if (clang_isExpression(clang_getCursorKind(child)))
      result.push_back(child);
  return result;
}

std::string kind_spelling(CXCursor cursor)
{
  return take(clang_getCursorKindSpelling(clang_getCursorKind(cursor)));
}

// The longest source text read: a larger one is refused before parsing (the
// parser's time and memory grow with it, the analysis takes nothing of that
// size).
const std::size_t kLargestSource = 16u << 20;

// Reads the file, up to one byte more than kLargestSource (a device never
// ends); false with errno set when it cannot be read.
bool read_file(const std::string& path, std::string& text)
{
  errno = 0;
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (stream == nullptr)
    return false;
  text.clear();
  char buffer[65536];
  std::size_t count;
  while (text.size() <= kLargestSource && (count = std::fread(buffer, 1, sizeof buffer, stream)) > 0)
    text.append(buffer, count);
  bool failed = std::ferror(stream) != 0;
  int saved = errno;
  std::fclose(stream);
  errno = saved;
  return !failed;
}

// "path:line:1: " for the line holding offset of text.
std::string place_of_offset(const std::string& path, const std::string& text, std::size_t offset)
{
  std::size_t line = 1 + static_cast<std::size_t>(std::count(
                             text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(offset, text.size())), '\n'));
  return path + ":" + std::to_string(line) + ":1: ";
}

// Refuses a text longer than kLargestSource, at the line where it passes it.
void check_size(const std::string& path, const std::string& text)
{
  if (text.size() > kLargestSource)
    frontend_fatal(place_of_offset(path, text, kLargestSource) + "frontend: error: the file is longer than " +
                   std::to_string(kLargestSource >> 20) + " MB, the most vorl reads");
}

// The folders an #include is looked for in: that of the file for a quoted
// name, then those of the -I switches.
std::vector<std::string> include_folders(const std::string& path, bool quoted,
                                         const std::vector<std::string>& parser_arguments)
{
  std::vector<std::string> folders;
  if (quoted) {
    std::size_t slash = path.rfind('/');
    folders.push_back(slash == std::string::npos ? "." : path.substr(0, slash + 1));
  }
  for (std::size_t k = 0; k < parser_arguments.size(); ++k) {
    const std::string& a = parser_arguments[k];
    if (a.compare(0, 2, "-I") == 0)
      folders.push_back(a.size() > 2 ? a.substr(2) : (k + 1 < parser_arguments.size() ? parser_arguments[k + 1] : ""));
  }
  return folders;
}

// Refuses an #include of a file that is no regular file (a device such as
// /dev/zero never ends, a pipe may never answer), at its line: the parser
// would read it without end. Only the directives written as such, with the
// folders of the file and of -I, are looked at.
void check_includes(const std::string& path, const std::string& text,
                    const std::vector<std::string>& parser_arguments)
{
  std::size_t begin = 0;
  for (int line = 1; begin < text.size(); ++line) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos)
      end = text.size();
    std::size_t k = text.find_first_not_of(" \t", begin);
    if (k < end && text[k] == '#') {
      k = text.find_first_not_of(" \t", k + 1);
      if (k < end && text.compare(k, 7, "include") == 0) {
        std::size_t open = text.find_first_not_of(" \t", k + 7);
        char close = open < end && text[open] == '"' ? '"' : open < end && text[open] == '<' ? '>' : 0;
        std::size_t last = close != 0 ? text.find(close, open + 1) : std::string::npos;
        if (last != std::string::npos && last < end) {
          std::string name = text.substr(open + 1, last - open - 1);
          std::vector<std::string> candidates;
          if (!name.empty() && name[0] == '/')
            candidates.push_back(name);
          else
            for (const std::string& folder : include_folders(path, close == '"', parser_arguments))
              candidates.push_back(folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name);
          for (const std::string& candidate : candidates) {
            struct stat status;
            if (stat(candidate.c_str(), &status) != 0)
              continue;
            if (!S_ISREG(status.st_mode))
              frontend_fatal(path + ":" + std::to_string(line) + ":" + std::to_string(open - begin + 1) + ": " +
                             one_line(text.substr(begin, end - begin)) + ": frontend: error: '" + name +
                             "' is not a regular file");
            break;
          }
        }
      }
    }
    begin = end + 1;
  }
}

// Text of a floating value that reads back as a floating constant.
std::string floating_text(double value)
{
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  std::string text = buffer;
  if (text.find_first_of(".eEn") == std::string::npos)
    text += ".0";
  return text;
}

VariantT binary_variant(const std::string& op)
{
  static const std::map<std::string, VariantT> kinds = {
      {"=", V_SgAssignOp},          {"+", V_SgAddOp},          {"-", V_SgSubtractOp},
      {"*", V_SgMultiplyOp},        {"/", V_SgDivideOp},       {"%", V_SgModOp},
      {"<", V_SgLessThanOp},        {"<=", V_SgLessOrEqualOp}, {">", V_SgGreaterThanOp},
      {">=", V_SgGreaterOrEqualOp}, {"==", V_SgEqualityOp},    {"!=", V_SgNotEqualOp},
      {"&&", V_SgAndOp},            {"||", V_SgOrOp},          {"&", V_SgBitAndOp},
      {"|", V_SgBitOrOp},           {"^", V_SgBitXorOp},       {"<<", V_SgLshiftOp},
      {">>", V_SgRshiftOp},         {",", V_SgCommaOpExp}};
  auto found = kinds.find(op);
  return found != kinds.end() ? found->second : V_SgNumVariants;
}

// The operator of a compound assignment ("+=" gives V_SgAddOp).
VariantT compound_variant(const std::string& op)
{
  if (op.size() < 2 || op.back() != '=' || op == "==" || op == "!=" || op == "<=" || op == ">=")
    return V_SgNumVariants;
  VariantT variant = binary_variant(op.substr(0, op.size() - 1));
  switch (variant) {
  case V_SgAddOp: case V_SgSubtractOp: case V_SgMultiplyOp: case V_SgDivideOp: case V_SgModOp:
  case V_SgBitAndOp: case V_SgBitOrOp: case V_SgBitXorOp: case V_SgLshiftOp: case V_SgRshiftOp:
    return variant;
  default:
    return V_SgNumVariants;
  }
}

VariantT prefix_variant(const std::string& op)
{
  static const std::map<std::string, VariantT> kinds = {
      {"-", V_SgMinusOp},        {"+", V_SgUnaryAddOp},      {"!", V_SgNotOp},
      {"~", V_SgBitComplementOp}, {"++", V_SgPlusPlusOp},    {"--", V_SgMinusMinusOp},
      {"&", V_SgAddressOfOp},    {"*", V_SgPointerDerefExp}};
  auto found = kinds.find(op);
  return found != kinds.end() ? found->second : V_SgNumVariants;
}

// A token of the input file, at [begin, end) of its text.
struct FileToken {
  std::size_t begin;
  std::size_t end;
  CXTokenKind kind;
  std::string spelling;
};

// The same file. Files given in memory that exist nowhere on disk (the
// prelude, a source given as text) share one identity for the parser: their
// names tell them apart.
bool is_file(CXFile file, CXFile main_file)
{
  if (file == nullptr || clang_File_isEqual(file, main_file) == 0)
    return false;
  CXString name = clang_getFileName(file), main_name = clang_getFileName(main_file);
  const char* a = clang_getCString(name);
  const char* b = clang_getCString(main_name);
  bool same = a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
  clang_disposeString(name);
  clang_disposeString(main_name);
  return same;
}

// The tokens of the main file (comments left out), in text order.
std::vector<FileToken> tokenize_file(CXTranslationUnit unit, CXFile main_file, std::size_t text_size)
{
  std::vector<FileToken> result;
  CXSourceLocation start = clang_getLocationForOffset(unit, main_file, 0);
  CXSourceLocation stop = clang_getLocationForOffset(unit, main_file, static_cast<unsigned>(text_size));
  CXToken* tokens = nullptr;
  unsigned count = 0;
  clang_tokenize(unit, clang_getRange(start, stop), &tokens, &count);
  if (tokens == nullptr)
    count = 0;
  result.reserve(count);
  for (unsigned i = 0; i < count; ++i) {
    CXSourceRange range = clang_getTokenExtent(unit, tokens[i]);
    CXFile file = nullptr, end_file = nullptr;
    unsigned line, column, begin = 0, end = 0;
    clang_getFileLocation(clang_getRangeStart(range), &file, &line, &column, &begin);
    clang_getFileLocation(clang_getRangeEnd(range), &end_file, &line, &column, &end);
    if (!is_file(file, main_file) || !is_file(end_file, main_file) || begin >= end ||
        end > text_size || clang_getTokenKind(tokens[i]) == CXToken_Comment)
      continue;
    result.push_back({begin, end, clang_getTokenKind(tokens[i]),
                      take(clang_getTokenSpelling(unit, tokens[i]))});
  }
  if (tokens != nullptr)
    clang_disposeTokens(unit, tokens, count);
  std::sort(result.begin(), result.end(),
            [](const FileToken& a, const FileToken& b) { return a.begin < b.begin; });
  return result;
}

SgBinaryOp* new_binary(VariantT variant, SgExpression* lhs, SgExpression* rhs)
{
  switch (variant) {
  case V_SgAssignOp: return new SgAssignOp(lhs, rhs);
  case V_SgAddOp: return new SgAddOp(lhs, rhs);
  case V_SgSubtractOp: return new SgSubtractOp(lhs, rhs);
  case V_SgMultiplyOp: return new SgMultiplyOp(lhs, rhs);
  case V_SgDivideOp: return new SgDivideOp(lhs, rhs);
  case V_SgModOp: return new SgModOp(lhs, rhs);
  case V_SgLessThanOp: return new SgLessThanOp(lhs, rhs);
  case V_SgLessOrEqualOp: return new SgLessOrEqualOp(lhs, rhs);
  case V_SgGreaterThanOp: return new SgGreaterThanOp(lhs, rhs);
  case V_SgGreaterOrEqualOp: return new SgGreaterOrEqualOp(lhs, rhs);
  case V_SgEqualityOp: return new SgEqualityOp(lhs, rhs);
  case V_SgNotEqualOp: return new SgNotEqualOp(lhs, rhs);
  case V_SgAndOp: return new SgAndOp(lhs, rhs);
  case V_SgOrOp: return new SgOrOp(lhs, rhs);
  case V_SgBitAndOp: return new SgBitAndOp(lhs, rhs);
  case V_SgBitOrOp: return new SgBitOrOp(lhs, rhs);
  case V_SgBitXorOp: return new SgBitXorOp(lhs, rhs);
  case V_SgLshiftOp: return new SgLshiftOp(lhs, rhs);
  case V_SgRshiftOp: return new SgRshiftOp(lhs, rhs);
  case V_SgCommaOpExp: return new SgCommaOpExp(lhs, rhs);
  default: return nullptr;
  }
}

SgUnaryOp* new_unary(VariantT variant, SgExpression* operand, SgUnaryOp::Sgop_mode mode)
{
  switch (variant) {
  case V_SgMinusOp: return new SgMinusOp(operand, mode);
  case V_SgUnaryAddOp: return new SgUnaryAddOp(operand, mode);
  case V_SgNotOp: return new SgNotOp(operand, mode);
  case V_SgBitComplementOp: return new SgBitComplementOp(operand, mode);
  case V_SgPlusPlusOp: return new SgPlusPlusOp(operand, mode);
  case V_SgMinusMinusOp: return new SgMinusMinusOp(operand, mode);
  case V_SgAddressOfOp: return new SgAddressOfOp(operand, mode);
  case V_SgPointerDerefExp: return new SgPointerDerefExp(operand, mode);
  default: return nullptr;
  }
}

}  // namespace

// Builds the tree of one translation unit. A friend of SgProject, whose arena
// it fills.
class SgTreeBuilder {
public:
  static SgSourceFile* read(SgProject* project, const std::string& path,
                            const std::vector<std::string>& parser_arguments,
                            const std::string* text, const std::string& prelude,
                            const std::string* shown);

private:
  // A place in the input file.
  struct Position {
    bool valid = false;
    // Written in the file outside every macro argument: the file position and
    // the macro expansion position agree.
    bool plain = false;
    std::size_t offset = 0;     // in the file's text
    std::size_t expansion = 0;  // start of the outermost macro call, or offset
    int line = 0;
    int column = 0;
    int expansion_line = 0;  // of the expansion offset
    int expansion_column = 0;
  };
  struct Extent {
    Position begin;
    Position end;
  };
  using Token = FileToken;

  SgTreeBuilder(SgProject* project, CXTranslationUnit unit, CXFile main_file, SgSourceFile* file)
      : project_(project), unit_(unit), main_file_(main_file), file_(file),
        text_size_(file->get_text().size())
  {
  }

  template <class T>
  T* adopt(T* node)
  {
    return project_->adopt(node);
  }

  // Positions and tokens.
  bool is_main_file(CXFile file) const { return is_file(file, main_file_); }
  Position position(CXSourceLocation location) const;
  Extent extent(CXCursor cursor) const { return extent(clang_getCursorExtent(cursor)); }
  Extent extent(CXSourceRange range) const
  {
    return {position(clang_getRangeStart(range)), position(clang_getRangeEnd(range))};
  }
  bool in_main_file(CXCursor cursor) const;
  void tokenize();
  std::vector<const Token*> tokens_between(std::size_t from, std::size_t to) const;
  std::size_t token_index_at_or_after(std::size_t offset) const;
  const Token* token_at_or_after(std::size_t offset) const;
  std::size_t matching_close(std::size_t index) const;
  std::size_t call_end(std::size_t offset) const;
  std::string operator_between(const Position& after, bool after_is_end, const Position& before,
                               bool before_is_end) const;
  std::string where(const Position& position) const;
  std::string where(CXCursor cursor) const;
  [[noreturn]] void fail(CXCursor cursor, const std::string& message) const;

  // Positions and texts of nodes.
  void place(SgNode* node, CXCursor cursor) const;
  void place(SgNode* node, const Extent& extent) const;
  Position text_start(const Extent& where) const;
  bool text_range(const Extent& where, std::size_t& from, std::size_t& to) const;
  bool within_one_argument(std::size_t from, std::size_t to) const;
  std::string source_text(CXCursor cursor) const;
  void extend_to(SgNode* node, std::size_t end) const;
  void extend_over_children(SgNode* node) const;
  void extend_over_semicolon(SgNode* node) const;
  bool spelled_as_literal(const SgNode* node) const;

  SgType* type_of(CXCursor cursor);
  SgSymbol* symbol_of(CXCursor declaration, const std::string& name, bool function);

  // The tree.
  SgGlobal* build_global(CXCursor unit_cursor);
  SgDeclarationStatement* build_declaration(CXCursor cursor);
  SgVariableDeclaration* build_variable_declaration(const std::vector<CXCursor>& variables);
  SgFunctionDeclaration* build_function(CXCursor cursor);
  SgInitializedName* build_initialized_name(CXCursor cursor);
  SgStatement* build_statement(CXCursor cursor);
  SgStatement* build_statement_unplaced(CXCursor cursor);
  SgExprStatement* build_expression_statement(CXCursor cursor, bool with_semicolon);
  SgStatement* build_declaration_statement(CXCursor cursor);
  SgForStatement* build_for(CXCursor cursor);
  bool classify_for_parts(CXCursor cursor, const std::vector<CXCursor>& parts,
                          std::vector<int>& slots) const;
  SgExpression* build_expression(CXCursor cursor);
  SgExpression* build_expression_unplaced(CXCursor cursor);
  SgExpression* build_binary(CXCursor cursor);
  SgExpression* build_compound_assignment(CXCursor cursor);
  SgExpression* build_unary(CXCursor cursor);
  SgExpression* build_declaration_reference(CXCursor cursor);
  SgExpression* build_member_reference(CXCursor cursor);
  SgExpression* build_call(CXCursor cursor);
  SgExpression* build_integer(CXCursor cursor);
  SgExpression* build_floating(CXCursor cursor);
  SgExpression* build_string(CXCursor cursor);
  SgExpression* unreadable_operator(CXCursor cursor, bool may_write);
  int checked_int(CXEvalResult result, CXCursor cursor, const std::string& what) const;
  SgExprListExp* build_list(CXCursor owner, const std::vector<CXCursor>& items);
  void build_generic_children(SgNode* node, CXCursor cursor);
  std::vector<std::string> macro_definitions(CXCursor unit_cursor) const;

  // One more level of the tree for the life of the guard; past the deepest
  // level the walks of the tree afford, the input is refused.
  class Nesting {
  public:
    Nesting(SgTreeBuilder& builder, CXCursor cursor, const char* what) : depth_(builder.depth_)
    {
      if (++depth_ > kMaxNesting)
        builder.fail(cursor, std::string(what) + " nested deeper than " +
                                 std::to_string(kMaxNesting) + " levels");
    }
    ~Nesting() { --depth_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

  private:
    int& depth_;
  };

  SgProject* project_;
  CXTranslationUnit unit_;
  CXFile main_file_;
  SgSourceFile* file_;
  std::size_t text_size_;
  std::vector<Token> tokens_;
  std::map<std::string, SgSymbol*> symbols_;
  int depth_ = 0;
};

// ---------------------------------------------------------------------------
// Positions and tokens

SgTreeBuilder::Position SgTreeBuilder::position(CXSourceLocation location) const
{
  CXFile file = nullptr;
  unsigned line = 0, column = 0, offset = 0;
  clang_getFileLocation(location, &file, &line, &column, &offset);
  CXFile expansion_file = nullptr;
  unsigned expansion_line = 0, expansion_column = 0, expansion_offset = 0;
  clang_getExpansionLocation(location, &expansion_file, &expansion_line, &expansion_column,
                             &expansion_offset);
  auto usable = [&](CXFile f, unsigned l, unsigned c, unsigned o) {
    return is_main_file(f) && o <= text_size_ && l >= 1 && l <= static_cast<unsigned>(INT_MAX) &&
           c <= static_cast<unsigned>(INT_MAX);
  };
  bool file_ok = usable(file, line, column, offset);
  bool expansion_ok = usable(expansion_file, expansion_line, expansion_column, expansion_offset);
  Position result;
  if (file_ok) {
    result.valid = true;
    result.offset = offset;
    result.plain = expansion_ok && expansion_offset == offset;
    result.line = static_cast<int>(line);
    result.column = static_cast<int>(column);
  } else if (expansion_ok) {
    result.valid = true;
    result.offset = expansion_offset;
    result.line = static_cast<int>(expansion_line);
    result.column = static_cast<int>(expansion_column);
  }
  result.expansion = result.offset;
  result.expansion_line = result.line;
  result.expansion_column = result.column;
  if (file_ok && expansion_ok) {
    result.expansion = expansion_offset;
    result.expansion_line = static_cast<int>(expansion_line);
    result.expansion_column = static_cast<int>(expansion_column);
  }
  return result;
}

bool SgTreeBuilder::in_main_file(CXCursor cursor) const
{
  CXFile file = nullptr;
  unsigned line = 0, column = 0, offset = 0;
  clang_getExpansionLocation(clang_getCursorLocation(cursor), &file, &line, &column, &offset);
  return is_main_file(file);
}

void SgTreeBuilder::tokenize()
{
  tokens_ = tokenize_file(unit_, main_file_, text_size_);
}

std::size_t SgTreeBuilder::token_index_at_or_after(std::size_t offset) const
{
  auto found = std::lower_bound(tokens_.begin(), tokens_.end(), offset,
                                [](const Token& token, std::size_t o) { return token.begin < o; });
  return static_cast<std::size_t>(found - tokens_.begin());
}

const SgTreeBuilder::Token* SgTreeBuilder::token_at_or_after(std::size_t offset) const
{
  std::size_t index = token_index_at_or_after(offset);
  return index < tokens_.size() ? &tokens_[index] : nullptr;
}

std::vector<const SgTreeBuilder::Token*> SgTreeBuilder::tokens_between(std::size_t from,
                                                                      std::size_t to) const
{
  std::vector<const Token*> result;
  auto it = std::lower_bound(tokens_.begin(), tokens_.end(), from,
                             [](const Token& token, std::size_t o) { return token.begin < o; });
  for (; it != tokens_.end() && it->begin < to; ++it)
    result.push_back(&*it);
  return result;
}

// The end of the macro call whose name starts at offset: the end of its
// closing parenthesis; npos when the call cannot be read from the tokens.
std::size_t SgTreeBuilder::call_end(std::size_t offset) const
{
  std::size_t index = token_index_at_or_after(offset);
  if (index >= tokens_.size() || tokens_[index].begin != offset ||
      tokens_[index].kind != CXToken_Identifier)
    return std::string::npos;
  std::size_t close = matching_close(index + 1);
  return close < tokens_.size() && tokens_[close].spelling == ")" ? tokens_[close].end
                                                                  : std::string::npos;
}

// The index of the token closing the bracket that opens at index (the
// number of tokens when there is none).
std::size_t SgTreeBuilder::matching_close(std::size_t index) const
{
  if (index >= tokens_.size() || tokens_[index].spelling != "(")
    return tokens_.size();
  int depth = 0;
  for (std::size_t i = index; i < tokens_.size(); ++i) {
    const std::string& s = tokens_[i].spelling;
    if (s == "(" || s == "[" || s == "{")
      ++depth;
    else if ((s == ")" || s == "]" || s == "}") && --depth == 0)
      return i;
  }
  return tokens_.size();
}

// The single punctuation token of the file between two places (its spelling),
// when the file text there is what the parser saw; empty otherwise.
//
// Inside the arguments of one macro call the file text is what the parser saw,
// except that a comma may separate two arguments. Elsewhere a place inside a
// macro call is widened to the whole call (its name for a start, its closing
// parenthesis for an end): an operator between two whole calls, or a call and
// plain text, is written in the file. An operator spelled only by a macro
// body has no token in between and is not found.
std::string SgTreeBuilder::operator_between(const Position& after, bool after_is_end,
                                            const Position& before, bool before_is_end) const
{
  if (!after.valid || !before.valid)
    return "";
  std::size_t from = after.offset;
  std::size_t to = before.offset;
  bool same_call = !after.plain && !before.plain && after.expansion == before.expansion;
  if (!same_call) {
    if (!after.plain)
      from = after_is_end ? call_end(after.expansion) : after.expansion;
    if (!before.plain)
      to = before_is_end ? call_end(before.expansion) : before.expansion;
  }
  if (from == std::string::npos || to == std::string::npos || from > to)
    return "";
  std::vector<const Token*> between = tokens_between(from, to);
  if (between.size() != 1 || between[0]->end > to || between[0]->kind != CXToken_Punctuation)
    return "";
  if (same_call && between[0]->spelling == ",")
    return "";
  return between[0]->spelling;
}

std::string SgTreeBuilder::where(const Position& position) const
{
  if (!position.valid)
    return file_->getFileName();
  return file_->getFileName() + ":" + std::to_string(position.line) + ":" +
         std::to_string(position.column);
}

std::string SgTreeBuilder::where(CXCursor cursor) const
{
  return where(text_start(extent(cursor)));
}

void SgTreeBuilder::fail(CXCursor cursor, const std::string& message) const
{
  std::string what = one_line(source_text(cursor));
  frontend_fatal(where(cursor) + ": " + (what.empty() ? "" : what + ": ") + "frontend: error: " +
                 message);
}

// ---------------------------------------------------------------------------
// Positions and texts of nodes

void SgTreeBuilder::place(SgNode* node, CXCursor cursor) const
{
  place(node, extent(cursor));
}

void SgTreeBuilder::place(SgNode* node, const Extent& where) const
{
  Position start = text_start(where);
  node->set_position(file_, start.valid ? start.line : 0, start.valid ? start.column : 0);
  std::size_t from = 0, to = 0;
  if (text_range(where, from, to))
    node->set_source_range(from, to);
}

// Where the text of an extent starts: its line and column are those of the
// macro call when the text is widened to it.
SgTreeBuilder::Position SgTreeBuilder::text_start(const Extent& where) const
{
  Position start = where.begin;
  std::size_t from = 0, to = 0;
  if (text_range(where, from, to) && from != start.offset && from == start.expansion) {
    start.line = start.expansion_line;
    start.column = start.expansion_column;
  }
  return start;
}

// The part of the file that shows an extent: the extent itself when it lies
// outside macro calls or inside one argument of a call; otherwise it is
// widened to the macro calls it starts or ends in.
bool SgTreeBuilder::text_range(const Extent& where, std::size_t& from, std::size_t& to) const
{
  const Position& begin = where.begin;
  const Position& end = where.end;
  if (!begin.valid || !end.valid)
    return false;
  bool same_call = !begin.plain && !end.plain && begin.expansion == end.expansion;
  if ((begin.plain && end.plain) || (same_call && within_one_argument(begin.offset, end.offset))) {
    from = begin.offset;
    to = end.offset;
  } else {
    from = begin.plain ? begin.offset : begin.expansion;
    to = end.offset;
    if (!end.plain) {
      std::size_t call = call_end(end.expansion);
      if (call != std::string::npos)
        to = std::max(to, call);
    }
  }
  return from <= to && to <= text_size_;
}

// Whether [from, to) inside a macro call is balanced and holds no comma
// outside brackets, so that it cannot span two arguments.
bool SgTreeBuilder::within_one_argument(std::size_t from, std::size_t to) const
{
  int depth = 0;
  for (const Token* token : tokens_between(from, to)) {
    const std::string& s = token->spelling;
    if (s == "(" || s == "[" || s == "{")
      ++depth;
    else if (s == ")" || s == "]" || s == "}")
      --depth;
    else if (s == "," && depth == 0)
      return false;
    if (depth < 0)
      return false;
  }
  return depth == 0;
}

std::string SgTreeBuilder::source_text(CXCursor cursor) const
{
  std::size_t from = 0, to = 0;
  if (!text_range(extent(cursor), from, to))
    return "";
  return file_->get_text().substr(from, to - from);
}

void SgTreeBuilder::extend_to(SgNode* node, std::size_t end) const
{
  if (node->has_source_range() && end > node->get_source_end())
    node->set_source_range(node->get_source_begin(), end);
}

void SgTreeBuilder::extend_over_children(SgNode* node) const
{
  for (SgNode* child : node->get_traversalSuccessorContainer())
    if (child->has_source_range())
      extend_to(node, child->get_source_end());
}

void SgTreeBuilder::extend_over_semicolon(SgNode* node) const
{
  if (!node->has_source_range())
    return;
  const Token* next = token_at_or_after(node->get_source_end());
  if (next != nullptr && next->spelling == ";")
    extend_to(node, next->end);
}

// Whether the node's text is the literal itself, not a macro standing for it.
bool SgTreeBuilder::spelled_as_literal(const SgNode* node) const
{
  if (!node->has_source_range())
    return false;
  std::vector<const Token*> tokens = tokens_between(node->get_source_begin(), node->get_source_end());
  if (tokens.empty())
    return false;
  for (const Token* token : tokens)
    if (token->kind != CXToken_Literal || token->end > node->get_source_end())
      return false;
  return true;
}

SgType* SgTreeBuilder::type_of(CXCursor cursor)
{
  return project_->type_named(take(clang_getTypeSpelling(clang_getCursorType(cursor))));
}

SgSymbol* SgTreeBuilder::symbol_of(CXCursor declaration, const std::string& name, bool function)
{
  std::string key = take(clang_getCursorUSR(declaration));
  if (key.empty())
    key = "@" + name;
  key += function ? "#function" : "#variable";
  auto found = symbols_.find(key);
  if (found != symbols_.end())
    return found->second;
  SgSymbol* symbol = function ? static_cast<SgSymbol*>(adopt(new SgFunctionSymbol(name)))
                              : static_cast<SgSymbol*>(adopt(new SgVariableSymbol(name)));
  symbol->set_position(file_, 0, 0);
  symbols_[key] = symbol;
  return symbol;
}

// ---------------------------------------------------------------------------
// Parsing

namespace {

// Line number line (from 1) of text, without its end of line; empty when
// there is no such line.
std::string line_numbered(const std::string& text, unsigned line)
{
  std::size_t begin = 0;
  for (unsigned k = 1; k < line; ++k) {
    begin = text.find('\n', begin);
    if (begin == std::string::npos)
      return "";
    ++begin;
  }
  std::size_t end = text.find('\n', begin);
  return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// A place of a parse: its file's name and the line and column there.
struct Place {
  CXFile file = nullptr;
  unsigned line = 0, column = 0;
};

Place place_of(CXSourceLocation location)
{
  Place at;
  unsigned offset = 0;
  clang_getFileLocation(location, &at.file, &at.line, &at.column, &offset);
  return at;
}

std::string describe(const Place& at)
{
  std::string where = at.file != nullptr ? take(clang_getFileName(at.file)) : "";
  if (at.file != nullptr && at.line > 0)
    where += ":" + std::to_string(at.line) + ":" + std::to_string(at.column);
  return where;
}

// The #include line of the main file through which a header was read.
struct Inclusion {
  CXFile header, main_file;
  Place found;
};

void find_inclusion(CXFile included, CXSourceLocation* stack, unsigned depth, CXClientData data)
{
  Inclusion* inclusion = static_cast<Inclusion*>(data);
  if (inclusion->found.file != nullptr || clang_File_isEqual(included, inclusion->header) == 0)
    return;
  for (unsigned k = depth; k-- > 0;) {
    Place at = place_of(stack[k]);
    if (is_file(at.file, inclusion->main_file)) {
      inclusion->found = at;
      return;
    }
  }
}

// Ends the process on the first error of a parse, as one line naming its
// place in the main file and the source line there (the line of the same
// number of shown), and the number of the others. An error in a header is
// placed at the #include line that reads it, and names its own place.
void report_errors(CXTranslationUnit unit, CXFile main_file, const std::string& path,
                   const std::string& shown)
{
  std::string first;
  unsigned errors = 0;
  unsigned count = clang_getNumDiagnostics(unit);
  for (unsigned i = 0; i < count; ++i) {
    CXDiagnostic diagnostic = clang_getDiagnostic(unit, i);
    if (diagnostic == nullptr)
      continue;
    CXDiagnosticSeverity severity = clang_getDiagnosticSeverity(diagnostic);
    if (severity == CXDiagnostic_Error || severity == CXDiagnostic_Fatal) {
      if (errors++ == 0) {
        Place at = place_of(clang_getDiagnosticLocation(diagnostic));
        std::string inner;
        if (!is_file(at.file, main_file)) {
          Inclusion inclusion{at.file, main_file, Place()};
          if (at.file != nullptr)
            clang_getInclusions(unit, find_inclusion, &inclusion);
          inner = describe(at);
          at = inclusion.found;
        }
        // No place at all: an error of the command line.
        std::string where = at.file != nullptr ? path : "";
        if (at.file != nullptr && at.line > 0)
          where += ":" + std::to_string(at.line) + ":" + std::to_string(at.column);
        std::string what = at.file != nullptr && at.line > 0 ? one_line(line_numbered(shown, at.line)) : "";
        first = (where.empty() ? "" : where + ": ") + (what.empty() ? "" : what + ": ") +
                (inner.empty() ? "" : inner + ": ") +
                (severity == CXDiagnostic_Fatal ? "fatal error: " : "error: ") +
                take(clang_getDiagnosticSpelling(diagnostic));
      }
    }
    clang_disposeDiagnostic(diagnostic);
  }
  if (errors > 1)
    first += " (and " + std::to_string(errors - 1) + (errors == 2 ? " more error)" : " more errors)");
  if (errors > 0)
    frontend_fatal(first);
}

// The stack of the thread that runs the C parser. The parser recurses once
// per operator of a chain (a sum of n terms is n calls deep): the 8 MB of
// libclang's own parsing thread are spent near 30000 terms, 512 MB carry
// about two million, more than the text of a source file holds. Only the
// pages the parser touches are used.
const std::size_t kParserStack = 512u << 20;

// libclang's index and translation units, disposed when they go out of scope.
struct IndexDispose {
  void operator()(void* index) const { clang_disposeIndex(index); }
};
using OwnedIndex = std::unique_ptr<void, IndexDispose>;
struct UnitDispose {
  void operator()(CXTranslationUnit unit) const { clang_disposeTranslationUnit(unit); }
};
using OwnedUnit = std::unique_ptr<CXTranslationUnitImpl, UnitDispose>;

// A job for the deep-stack thread and what it threw, if anything.
struct DeepJob {
  std::function<void()> run;
  std::exception_ptr thrown;
};

void* run_job(void* data)
{
  auto* job = static_cast<DeepJob*>(data);
  try {
    job->run();
  } catch (...) {
    job->thrown = std::current_exception();
  }
  return nullptr;
}

// Runs job on a thread of its own with a stack of kParserStack bytes, with
// libclang told to parse on the calling thread (LIBCLANG_NOTHREADS) instead
// of a thread of its own; runs it here, libclang's thread left as it is,
// when no such thread can be made (a small address-space limit). What the
// job throws is thrown again here.
void run_on_deep_stack(std::function<void()> job)
{
  pthread_attr_t attributes;
  pthread_t thread;
  DeepJob deep{std::move(job), nullptr};
  bool made = pthread_attr_init(&attributes) == 0;
  if (made && pthread_attr_setstacksize(&attributes, kParserStack) == 0) {
    setenv("LIBCLANG_NOTHREADS", "1", 1);
    made = pthread_create(&thread, &attributes, run_job, &deep) == 0;
    if (made)
      pthread_join(thread, nullptr);
    unsetenv("LIBCLANG_NOTHREADS");
  } else {
    made = false;
  }
  pthread_attr_destroy(&attributes);
  if (!made)
    deep.run();
  else if (deep.thrown)
    std::rethrow_exception(deep.thrown);
}

// Whether a -std= value names a C standard the parser knows. libclang leaks
// the unsaved files' buffers when it rejects its arguments, so a C++ or
// unknown standard is refused before it is called.
bool is_c_standard(const std::string& standard)
{
  static const char* const known[] = {
      "c89",   "c90",   "c94",   "c99",   "c9x",   "c11",   "c1x",   "c17",   "c18",   "c2x",
      "gnu89", "gnu90", "gnu99", "gnu9x", "gnu11", "gnu1x", "gnu17", "gnu18", "gnu2x",
      "iso9899:1990", "iso9899:199409", "iso9899:1999", "iso9899:199x", "iso9899:2011",
      "iso9899:201x", "iso9899:2017", "iso9899:2018"};
  for (const char* k : known)
    if (standard == k)
      return true;
  return false;
}

// Parses text as the file at path, after the declarations of prelude when it
// is not empty; throws FrontendError on a parse error, quoting the line of shown
// (the text as the user wrote it, whose lines are those of text).
CXTranslationUnit parse_text(CXIndex index, const std::string& path, const std::string& text,
                             const std::vector<std::string>& parser_arguments,
                             const std::string& prelude, const std::string& shown, CXFile& main_file)
{
  std::vector<const char*> arguments;
  std::string given;
  for (const std::string& argument : parser_arguments) {
    arguments.push_back(argument.c_str());
    given += " " + argument;
  }
  for (const std::string& argument : parser_arguments)
    if (argument.rfind("-std=", 0) == 0 && !is_c_standard(argument.substr(5)))
      frontend_fatal("frontend: error: the C parser rejected '" + path + "' with the arguments" + given +
                     " (" + argument + " is not a C standard)");
  std::vector<CXUnsavedFile> unsaved = {{path.c_str(), text.data(), static_cast<unsigned long>(text.size())}};
  if (!prelude.empty()) {
    arguments.push_back("-include");
    arguments.push_back(kPreludePath);
    unsaved.push_back({kPreludePath, prelude.data(), static_cast<unsigned long>(prelude.size())});
  }
  CXTranslationUnit unit = nullptr;
  CXErrorCode status = clang_parseTranslationUnit2(
      index, path.c_str(), arguments.data(), static_cast<int>(arguments.size()), unsaved.data(),
      static_cast<unsigned>(unsaved.size()), CXTranslationUnit_DetailedPreprocessingRecord, &unit);
  if (status != CXError_Success || unit == nullptr) {
    // No diagnostics come with this failure; name what the parser was given.
    frontend_fatal("frontend: error: the C parser rejected '" + path + "' with the arguments" +
                   given + " (libclang error " + std::to_string(static_cast<int>(status)) + ")");
  }
  OwnedUnit owned(unit);
  main_file = clang_getFile(unit, path.c_str());
  if (main_file == nullptr)
    frontend_fatal("frontend: error: cannot find '" + path + "' after parsing it");
  report_errors(unit, main_file, path, shown);
  return owned.release();
}

// [begin, end) of a cursor's extent in the main file; false elsewhere.
bool file_extent(CXCursor cursor, CXFile main_file, std::size_t text_size, std::size_t& begin,
                 std::size_t& end)
{
  CXSourceRange range = clang_getCursorExtent(cursor);
  CXFile first = nullptr, last = nullptr;
  unsigned line, column, from = 0, to = 0;
  clang_getFileLocation(clang_getRangeStart(range), &first, &line, &column, &from);
  clang_getFileLocation(clang_getRangeEnd(range), &last, &line, &column, &to);
  if (!is_file(first, main_file) || !is_file(last, main_file) || from > to || to > text_size)
    return false;
  begin = from;
  end = to;
  return true;
}

// The tokens of [begin, end), with the blanks before them.
std::vector<MacroToken> macro_tokens(const std::vector<FileToken>& tokens, std::size_t begin,
                                     std::size_t end)
{
  std::vector<MacroToken> result;
  std::size_t previous_end = begin;
  for (const FileToken& token : tokens) {
    if (token.begin < begin || token.end > end)
      continue;
    result.push_back({token.spelling, token.begin > previous_end});
    previous_end = token.end;
  }
  return result;
}

// A function-like macro from the tokens of its definition (its name through
// the end of its body).
FunctionMacro function_macro(const std::vector<MacroToken>& tokens, std::size_t offset)
{
  FunctionMacro macro;
  macro.offset = offset;
  if (tokens.size() < 3 || tokens[1].spelling != "(")
    return macro;
  macro.name = tokens[0].spelling;
  std::size_t k = 2;
  for (; k < tokens.size() && tokens[k].spelling != ")"; ++k) {
    const std::string& s = tokens[k].spelling;
    if (s == "...") {
      macro.variadic = true;
      if (macro.parameters.empty() || k == 2 || tokens[k - 1].spelling == ",")
        macro.parameters.push_back("__VA_ARGS__");
    } else if (s != ",") {
      macro.parameters.push_back(s);
    }
  }
  macro.body.assign(tokens.begin() + static_cast<std::ptrdiff_t>(std::min(k + 1, tokens.size())),
                    tokens.end());
  return macro;
}

// The text with every call of the file's own function-like macros replaced by
// its expansion on one line, followed by the line breaks the call spanned, so
// that every line keeps its number. False when there is no such call.
bool expand_own_macros(CXTranslationUnit unit, CXFile main_file, const std::string& text,
                       std::string& expanded)
{
  std::vector<CXCursor> cursors = children_of(clang_getTranslationUnitCursor(unit));
  struct Call {
    std::size_t begin, end;
  };
  std::vector<Call> calls;
  std::vector<CXCursor> definitions;
  for (CXCursor cursor : cursors) {
    CXCursorKind kind = clang_getCursorKind(cursor);
    if (kind == CXCursor_MacroDefinition && clang_Cursor_isMacroFunctionLike(cursor) != 0) {
      definitions.push_back(cursor);
    } else if (kind == CXCursor_MacroExpansion) {
      CXCursor definition = clang_getCursorReferenced(cursor);
      std::size_t begin = 0, end = 0, b = 0, e = 0;
      if (!clang_Cursor_isNull(definition) &&
          clang_getCursorKind(definition) == CXCursor_MacroDefinition &&
          clang_Cursor_isMacroFunctionLike(definition) != 0 &&
          file_extent(definition, main_file, text.size(), b, e) &&
          file_extent(cursor, main_file, text.size(), begin, end))
        calls.push_back({begin, end});
    }
  }
  if (calls.empty())
    return false;
  std::vector<FileToken> tokens = tokenize_file(unit, main_file, text.size());
  std::vector<FunctionMacro> macros;
  for (CXCursor definition : definitions) {
    std::size_t begin = 0, end = 0;
    if (file_extent(definition, main_file, text.size(), begin, end))
      macros.push_back(function_macro(macro_tokens(tokens, begin, end), begin));
  }
  MacroExpander expander(macros);
  std::sort(calls.begin(), calls.end(), [](const Call& a, const Call& b) { return a.begin < b.begin; });
  expanded.clear();
  std::size_t done = 0;
  bool changed = false;
  for (const Call& call : calls) {
    if (call.begin < done)
      continue;  // inside a call already replaced
    std::string replacement;
    if (!expander.expand_call(macro_tokens(tokens, call.begin, call.end), call.end, replacement))
      continue;
    expanded += text.substr(done, call.begin - done) + replacement;
    expanded += std::string(static_cast<std::size_t>(
                                std::count(text.begin() + static_cast<std::ptrdiff_t>(call.begin),
                                           text.begin() + static_cast<std::ptrdiff_t>(call.end), '\n')),
                            '\n');
    done = call.end;
    changed = true;
  }
  expanded += text.substr(done);
  return changed;
}

}  // namespace

SgSourceFile* SgTreeBuilder::read(SgProject* project, const std::string& path,
                                  const std::vector<std::string>& parser_arguments,
                                  const std::string* given, const std::string& prelude,
                                  const std::string* shown)
{
  std::string text;
  if (given != nullptr)
    text = *given;
  else if (!read_file(path, text))
    frontend_fatal("frontend: error: cannot read source file '" + path + "': " +
                   std::strerror(errno));
  // Messages quote the user's lines, also those of a text rewritten from it.
  const std::string user_text = shown != nullptr ? *shown : text;
  check_size(path, text);
  check_includes(path, user_text, parser_arguments);

  // The parser and the library's walks over its tree (constant evaluation
  // among them) recurse as deep as the longest operator chain.
  SgSourceFile* file = nullptr;
  run_on_deep_stack([&] {
    OwnedIndex owned_index(clang_createIndex(0, 0));
    CXIndex index = owned_index.get();
    CXFile main_file = nullptr;
    OwnedUnit owned_unit(parse_text(index, path, text, parser_arguments, prelude, user_text, main_file));
    std::string expanded;
    if (expand_own_macros(owned_unit.get(), main_file, text, expanded)) {
      owned_unit.reset();
      text = expanded;
      owned_unit.reset(parse_text(index, path, text, parser_arguments, prelude, user_text, main_file));
    }
    CXTranslationUnit unit = owned_unit.get();

    file = project->adopt(new SgSourceFile(project, path, text));
    file->set_position(file, 1, 1);
    project->append_child(file);
    {
      SgTreeBuilder builder(project, unit, main_file, file);
      builder.tokenize();
      CXCursor unit_cursor = clang_getTranslationUnitCursor(unit);
      file->set_macro_definitions(builder.macro_definitions(unit_cursor));
      file->set_child_slot(0, builder.build_global(unit_cursor));
    }
  });
  return file;
}

// The object-like macros defined in the file, as "#define NAME BODY" lines.
std::vector<std::string> SgTreeBuilder::macro_definitions(CXCursor unit_cursor) const
{
  std::vector<std::string> result;
  const std::string& text = file_->get_text();
  for (CXCursor cursor : children_of(unit_cursor)) {
    std::size_t begin = 0, end = 0;
    if (clang_getCursorKind(cursor) != CXCursor_MacroDefinition ||
        clang_Cursor_isMacroFunctionLike(cursor) != 0 ||
        !file_extent(cursor, main_file_, text_size_, begin, end))
      continue;
    std::string definition;
    for (std::size_t i = begin; i < end; ++i) {
      if (text[i] == '\\' && (text.compare(i + 1, 1, "\n") == 0 || text.compare(i + 1, 2, "\r\n") == 0)) {
        i = text.find('\n', i);
        continue;
      }
      definition += text[i];
    }
    result.push_back("#define " + definition);
  }
  return result;
}

// ---------------------------------------------------------------------------
// Declarations

SgGlobal* SgTreeBuilder::build_global(CXCursor unit_cursor)
{
  SgGlobal* global = adopt(new SgGlobal());
  global->set_position(file_, 1, 1);
  global->set_source_range(0, text_size_);
  std::vector<CXCursor> declarations;
  for (CXCursor child : children_of(unit_cursor))
    if (in_main_file(child) && clang_isPreprocessing(clang_getCursorKind(child)) == 0)
      declarations.push_back(child);
  for (std::size_t i = 0; i < declarations.size();) {
    CXCursor cursor = declarations[i];
    if (clang_getCursorKind(cursor) != CXCursor_VarDecl) {
      global->append_declaration(build_declaration(cursor));
      ++i;
      continue;
    }
    // int i, j; at file scope gives one cursor per declarator, all starting
    // where the declaration starts.
    Position start = extent(cursor).begin;
    std::vector<CXCursor> group = {cursor};
    for (++i; i < declarations.size() && clang_getCursorKind(declarations[i]) == CXCursor_VarDecl;
         ++i) {
      Position next = extent(declarations[i]).begin;
      if (!start.valid || !next.valid || next.offset != start.offset)
        break;
      group.push_back(declarations[i]);
    }
    SgVariableDeclaration* declaration = build_variable_declaration(group);
    place(declaration, Extent{extent(group.front()).begin, extent(group.back()).end});
    extend_over_semicolon(declaration);
    global->append_declaration(declaration);
  }
  return global;
}

SgVariableDeclaration* SgTreeBuilder::build_variable_declaration(const std::vector<CXCursor>& variables)
{
  SgVariableDeclaration* declaration = adopt(new SgVariableDeclaration());
  for (CXCursor variable : variables)
    declaration->append_variable(build_initialized_name(variable));
  return declaration;
}

SgInitializedName* SgTreeBuilder::build_initialized_name(CXCursor cursor)
{
  SgExpression* initializer = nullptr;
  CXCursor init = clang_getNullCursor();
  if (clang_getCursorKind(cursor) == CXCursor_VarDecl) {
    init = clang_Cursor_getVarDeclInitializer(cursor);
    if (!clang_Cursor_isNull(init) && clang_isExpression(clang_getCursorKind(init)))
      initializer = build_expression(init);
  }
  SgInitializedName* name = adopt(new SgInitializedName(take(clang_getCursorSpelling(cursor)),
                                                        type_of(cursor), initializer));
  if (initializer != nullptr) {
    CXEvalResult result = clang_Cursor_Evaluate(init);
    if (result != nullptr && clang_EvalResult_getKind(result) == CXEval_Int &&
        (clang_EvalResult_isUnsignedInt(result) == 0 ||
         clang_EvalResult_getAsUnsigned(result) <= static_cast<unsigned long long>(LLONG_MAX)))
      name->set_constant_value(clang_EvalResult_getAsLongLong(result));
    if (result != nullptr)
      clang_EvalResult_dispose(result);
  }
  // The text runs from the declarator's name to its end: "c = lb", "a[100]".
  Extent whole = extent(cursor);
  Position at_name = position(clang_getCursorLocation(cursor));
  if (at_name.valid && whole.end.valid && at_name.plain == whole.end.plain &&
      at_name.offset <= whole.end.offset)
    whole.begin = at_name;
  place(name, whole);
  return name;
}

SgDeclarationStatement* SgTreeBuilder::build_declaration(CXCursor cursor)
{
  SgDeclarationStatement* declaration = nullptr;
  std::string name = take(clang_getCursorSpelling(cursor));
  switch (clang_getCursorKind(cursor)) {
  case CXCursor_FunctionDecl:
    return build_function(cursor);
  case CXCursor_VarDecl:
    declaration = build_variable_declaration({cursor});
    break;
  case CXCursor_TypedefDecl:
    declaration = adopt(new SgTypedefDeclaration(name));
    break;
  case CXCursor_StructDecl:
  case CXCursor_UnionDecl:
    declaration = adopt(new SgClassDeclaration(name));
    break;
  case CXCursor_EnumDecl:
    declaration = adopt(new SgEnumDeclaration(name));
    break;
  default:
    declaration = adopt(new SgUnknownDeclaration(kind_spelling(cursor)));
    break;
  }
  place(declaration, cursor);
  extend_over_semicolon(declaration);
  return declaration;
}

SgFunctionDeclaration* SgTreeBuilder::build_function(CXCursor cursor)
{
  SgFunctionParameterList* parameters = adopt(new SgFunctionParameterList());
  Position start = extent(cursor).begin;
  parameters->set_position(file_, start.valid ? start.line : 0, start.valid ? start.column : 0);
  std::vector<CXCursor> declared;
  int count = clang_Cursor_getNumArguments(cursor);
  for (int i = 0; i < count; ++i) {
    CXCursor parameter = clang_Cursor_getArgument(cursor, static_cast<unsigned>(i));
    if (!clang_Cursor_isNull(parameter)) {
      parameters->append_arg(build_initialized_name(parameter));
      declared.push_back(parameter);
    }
  }
  if (!declared.empty())
    place(parameters, Extent{extent(declared.front()).begin, extent(declared.back()).end});
  SgFunctionDefinition* definition = nullptr;
  if (clang_isCursorDefinition(cursor)) {
    for (CXCursor child : children_of(cursor)) {
      if (clang_getCursorKind(child) != CXCursor_CompoundStmt)
        continue;
      SgBasicBlock* body = static_cast<SgBasicBlock*>(build_statement(child));
      definition = adopt(new SgFunctionDefinition(body));
      place(definition, child);
    }
  }
  SgFunctionDeclaration* function = adopt(
      new SgFunctionDeclaration(take(clang_getCursorSpelling(cursor)), parameters, definition));
  place(function, cursor);
  if (definition == nullptr)
    extend_over_semicolon(function);
  return function;
}

// ---------------------------------------------------------------------------
// Statements

SgStatement* SgTreeBuilder::build_statement(CXCursor cursor)
{
  Nesting level(*this, cursor, "statement");
  if (clang_isExpression(clang_getCursorKind(cursor)))
    return build_expression_statement(cursor, true);
  SgStatement* statement = build_statement_unplaced(cursor);
  if (isSgDeclarationStatement(statement) != nullptr)
    return statement;  // placed with its ";" already
  place(statement, cursor);
  extend_over_children(statement);
  switch (statement->variantT()) {
  case V_SgReturnStmt: case V_SgBreakStmt: case V_SgContinueStmt: case V_SgGotoStatement:
  case V_SgDoWhileStmt: case V_SgUnknownStatement:
    extend_over_semicolon(statement);
    break;
  default:
    break;
  }
  return statement;
}

SgExprStatement* SgTreeBuilder::build_expression_statement(CXCursor cursor, bool with_semicolon)
{
  SgExprStatement* statement = adopt(new SgExprStatement(build_expression(cursor)));
  place(statement, cursor);
  if (with_semicolon)
    extend_over_semicolon(statement);
  return statement;
}

SgStatement* SgTreeBuilder::build_statement_unplaced(CXCursor cursor)
{
  std::vector<CXCursor> parts = children_of(cursor);
  switch (clang_getCursorKind(cursor)) {
  case CXCursor_CompoundStmt: {
    SgBasicBlock* block = adopt(new SgBasicBlock());
    for (CXCursor child : parts)
      if (in_main_file(child))
        block->append_statement(build_statement(child));
    return block;
  }
  case CXCursor_DeclStmt:
    return build_declaration_statement(cursor);
  case CXCursor_ForStmt:
    return build_for(cursor);
  case CXCursor_IfStmt:
    if ((parts.size() == 2 || parts.size() == 3) && clang_isExpression(clang_getCursorKind(parts[0]))) {
      SgStatement* conditional = build_expression_statement(parts[0], false);
      SgStatement* true_body = build_statement(parts[1]);
      SgStatement* false_body = parts.size() == 3 ? build_statement(parts[2]) : nullptr;
      return adopt(new SgIfStmt(conditional, true_body, false_body));
    }
    break;
  case CXCursor_WhileStmt:
    if (parts.size() == 2 && clang_isExpression(clang_getCursorKind(parts[0]))) {
      SgStatement* condition = build_expression_statement(parts[0], false);
      return adopt(new SgWhileStmt(condition, build_statement(parts[1])));
    }
    break;
  case CXCursor_DoStmt:
    if (parts.size() == 2 && clang_isExpression(clang_getCursorKind(parts[1]))) {
      SgStatement* body = build_statement(parts[0]);
      return adopt(new SgDoWhileStmt(body, build_expression_statement(parts[1], false)));
    }
    break;
  case CXCursor_SwitchStmt:
    if (parts.size() == 2 && clang_isExpression(clang_getCursorKind(parts[0]))) {
      SgStatement* selector = build_expression_statement(parts[0], false);
      return adopt(new SgSwitchStatement(selector, build_statement(parts[1])));
    }
    break;
  case CXCursor_CaseStmt:
    if (parts.size() == 2 && clang_isExpression(clang_getCursorKind(parts[0]))) {
      SgExpression* key = build_expression(parts[0]);
      return adopt(new SgCaseOptionStmt(key, build_statement(parts[1])));
    }
    break;
  case CXCursor_DefaultStmt:
    if (parts.size() == 1)
      return adopt(new SgDefaultOptionStmt(build_statement(parts[0])));
    break;
  case CXCursor_LabelStmt:
    if (parts.size() == 1) {
      std::string label = take(clang_getCursorSpelling(cursor));
      return adopt(new SgLabelStatement(label, build_statement(parts[0])));
    }
    break;
  case CXCursor_GotoStmt:
    if (parts.size() == 1 && clang_getCursorKind(parts[0]) == CXCursor_LabelRef)
      return adopt(new SgGotoStatement(take(clang_getCursorSpelling(parts[0]))));
    break;
  case CXCursor_ReturnStmt:
    if (parts.empty())
      return adopt(new SgReturnStmt(nullptr));
    if (parts.size() == 1 && clang_isExpression(clang_getCursorKind(parts[0])))
      return adopt(new SgReturnStmt(build_expression(parts[0])));
    break;
  case CXCursor_BreakStmt:
    return adopt(new SgBreakStmt());
  case CXCursor_ContinueStmt:
    return adopt(new SgContinueStmt());
  case CXCursor_NullStmt:
    return adopt(new SgNullStatement());
  default:
    break;
  }
  SgUnknownStatement* unknown = adopt(new SgUnknownStatement(kind_spelling(cursor)));
  build_generic_children(unknown, cursor);
  return unknown;
}

// A declaration inside a function. Its extent ends with its ";".
SgStatement* SgTreeBuilder::build_declaration_statement(CXCursor cursor)
{
  std::vector<CXCursor> parts = children_of(cursor);
  std::vector<CXCursor> variables;
  for (CXCursor part : parts)
    if (clang_getCursorKind(part) == CXCursor_VarDecl)
      variables.push_back(part);
  SgDeclarationStatement* declaration = nullptr;
  if (!variables.empty())
    declaration = build_variable_declaration(variables);
  else if (parts.size() == 1)
    declaration = build_declaration(parts[0]);
  else
    declaration = adopt(new SgUnknownDeclaration(kind_spelling(cursor)));
  place(declaration, cursor);
  return declaration;
}

SgForStatement* SgTreeBuilder::build_for(CXCursor cursor)
{
  std::vector<CXCursor> parts = children_of(cursor);
  std::vector<int> slots;
  if (!classify_for_parts(cursor, parts, slots))
    fail(cursor, "cannot tell the parts of this for loop apart (its header is written in a macro)");
  SgForInitStatement* init = nullptr;
  SgStatement* test = nullptr;
  SgExpression* increment = nullptr;
  SgStatement* body = nullptr;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    CXCursor part = parts[i];
    bool is_expression = clang_isExpression(clang_getCursorKind(part)) != 0;
    switch (slots[i]) {
    case 0:
      init = adopt(new SgForInitStatement());
      if (is_expression)
        init->append_init_stmt(build_expression_statement(part, true));
      else
        init->append_init_stmt(build_statement(part));
      place(init, part);
      extend_over_children(init);
      break;
    case 1:
      if (!is_expression)
        fail(part, "unexpected declaration in the test of a for loop");
      test = build_expression_statement(part, false);
      break;
    case 2:
      if (!is_expression)
        fail(part, "unexpected statement in the increment of a for loop");
      increment = build_expression(part);
      break;
    default:
      body = build_statement(part);
      break;
    }
  }
  return adopt(new SgForStatement(init, test, increment, body));
}

// Which part of "for (init; test; increment) body" each child cursor is:
// 0 init, 1 test, 2 increment, 3 body. Missing parts have no cursor, so the
// children are placed by the ";" and ")" tokens of the header.
bool SgTreeBuilder::classify_for_parts(CXCursor cursor, const std::vector<CXCursor>& parts,
                                       std::vector<int>& slots) const
{
  slots.clear();
  Position start = extent(cursor).begin;
  std::vector<std::size_t> semicolons;
  std::size_t close = 0;
  bool closed = false;
  std::size_t keyword = start.valid && start.plain ? token_index_at_or_after(start.offset) : tokens_.size();
  if (keyword < tokens_.size() && tokens_[keyword].begin == start.offset &&
      tokens_[keyword].spelling == "for") {
    std::size_t open = keyword + 1;
    std::size_t end = matching_close(open);
    if (end < tokens_.size() && tokens_[end].spelling == ")") {
      closed = true;
      close = tokens_[end].begin;
      // The ";" of the header itself, not those of nested braces or brackets.
      int depth = 0;
      for (std::size_t i = open; i < end; ++i) {
        const std::string& s = tokens_[i].spelling;
        if (s == "(" || s == "[" || s == "{")
          ++depth;
        else if (s == ")" || s == "]" || s == "}")
          --depth;
        else if (s == ";" && depth == 1)
          semicolons.push_back(tokens_[i].begin);
      }
    }
  }
  if (closed && semicolons.size() == 2) {
    int previous = -1;
    for (CXCursor part : parts) {
      Position at = extent(part).begin;
      if (!at.valid)
        break;
      int slot = at.offset < semicolons[0] ? 0 : at.offset < semicolons[1] ? 1 : at.offset < close ? 2 : 3;
      if (slot <= previous)
        break;
      slots.push_back(slot);
      previous = slot;
    }
    if (slots.size() == parts.size() && !slots.empty() && slots.back() == 3)
      return true;
    slots.clear();
  }
  // Without the header's tokens the parts are known only when all are there.
  if (parts.size() == 4) {
    slots = {0, 1, 2, 3};
    return true;
  }
  if (parts.size() == 1) {
    slots = {3};
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Expressions

SgExpression* SgTreeBuilder::build_expression(CXCursor cursor)
{
  Nesting level(*this, cursor, "expression");
  CXCursorKind kind = clang_getCursorKind(cursor);
  std::vector<CXCursor> parts = expression_children_of(cursor);
  // Parentheses and implicit conversions have no node: an unexposed
  // expression over one expression with the same extent is a conversion.
  if (kind == CXCursor_ParenExpr && parts.size() == 1)
    return build_expression(parts[0]);
  if (kind == CXCursor_UnexposedExpr && parts.size() == 1 &&
      clang_equalRanges(clang_getCursorExtent(cursor), clang_getCursorExtent(parts[0])))
    return build_expression(parts[0]);

  SgExpression* expression = build_expression_unplaced(cursor);
  if (expression->get_file() == nullptr)
    place(expression, cursor);
  if (expression->get_type() == nullptr)
    expression->set_type(type_of(cursor));
  return expression;
}

SgExpression* SgTreeBuilder::build_expression_unplaced(CXCursor cursor)
{
  std::vector<CXCursor> parts = expression_children_of(cursor);
  switch (clang_getCursorKind(cursor)) {
  case CXCursor_IntegerLiteral:
    return build_integer(cursor);
  case CXCursor_FloatingLiteral:
    return build_floating(cursor);
  case CXCursor_CharacterLiteral: {
    int value = checked_int(clang_Cursor_Evaluate(cursor), cursor, "character constant");
    SgCharVal* node = adopt(new SgCharVal(value));
    place(node, cursor);
    if (!spelled_as_literal(node))
      node->set_text(std::to_string(value));
    return node;
  }
  case CXCursor_StringLiteral:
    return build_string(cursor);
  case CXCursor_CXXBoolLiteralExpr: {
    CXEvalResult result = clang_Cursor_Evaluate(cursor);
    bool value = result != nullptr && clang_EvalResult_getKind(result) == CXEval_Int &&
                 clang_EvalResult_getAsLongLong(result) != 0;
    if (result != nullptr)
      clang_EvalResult_dispose(result);
    return adopt(new SgBoolValExp(value));
  }
  case CXCursor_DeclRefExpr:
    return build_declaration_reference(cursor);
  case CXCursor_MemberRefExpr:
    return build_member_reference(cursor);
  case CXCursor_ArraySubscriptExpr:
    if (parts.size() == 2) {
      SgExpression* array = build_expression(parts[0]);
      return adopt(new SgPntrArrRefExp(array, build_expression(parts[1])));
    }
    break;
  case CXCursor_CallExpr:
    return build_call(cursor);
  case CXCursor_BinaryOperator:
    return build_binary(cursor);
  case CXCursor_CompoundAssignOperator:
    return build_compound_assignment(cursor);
  case CXCursor_UnaryOperator:
    return build_unary(cursor);
  case CXCursor_ConditionalOperator:
    if (parts.size() == 3) {
      SgExpression* conditional = build_expression(parts[0]);
      SgExpression* true_exp = build_expression(parts[1]);
      SgExpression* false_exp = build_expression(parts[2]);
      return adopt(new SgConditionalExp(conditional, true_exp, false_exp));
    }
    break;
  case CXCursor_CStyleCastExpr:
    if (!parts.empty())
      return adopt(new SgCastExp(build_expression(parts.back())));
    break;
  case CXCursor_UnaryExpr: {
    Position start = extent(cursor).begin;
    const Token* first = start.valid && start.plain ? token_at_or_after(start.offset) : nullptr;
    if (first != nullptr && first->begin == start.offset && first->spelling == "sizeof" &&
        parts.size() <= 1)
      return adopt(new SgSizeOfOp(parts.empty() ? nullptr : build_expression(parts[0])));
    break;
  }
  case CXCursor_InitListExpr:
    return adopt(new SgAggregateInitializer(build_list(cursor, parts)));
  case CXCursor_CompoundLiteralExpr:
    if (parts.size() == 1)
      return adopt(new SgCompoundLiteralExp(build_expression(parts[0])));
    break;
  default:
    break;
  }
  SgUnknownExpression* unknown = adopt(new SgUnknownExpression(kind_spelling(cursor)));
  build_generic_children(unknown, cursor);
  return unknown;
}

void SgTreeBuilder::build_generic_children(SgNode* node, CXCursor cursor)
{
  for (CXCursor child : children_of(cursor)) {
    CXCursorKind kind = clang_getCursorKind(child);
    if (clang_isExpression(kind))
      node->append_child(build_expression(child));
    else if (clang_isStatement(kind) && in_main_file(child))
      node->append_child(build_statement(child));
  }
}

SgExprListExp* SgTreeBuilder::build_list(CXCursor owner, const std::vector<CXCursor>& items)
{
  SgExprListExp* list = adopt(new SgExprListExp());
  for (CXCursor item : items)
    list->append_expression(build_expression(item));
  if (items.empty()) {
    list->set_position(file_, extent(owner).begin.line, extent(owner).begin.column);
  } else {
    place(list, Extent{extent(items.front()).begin, extent(items.back()).end});
  }
  return list;
}

SgExpression* SgTreeBuilder::build_binary(CXCursor cursor)
{
  std::vector<CXCursor> parts = expression_children_of(cursor);
  if (parts.size() != 2)
    fail(cursor, "binary operator without two operands");
  VariantT variant =
      binary_variant(operator_between(extent(parts[0]).end, true, extent(parts[1]).begin, false));
  if (variant == V_SgNumVariants) {
    // The left operand of an assignment is an lvalue as written; every other
    // operator converts an lvalue operand (an implicit conversion, which is
    // an unexposed expression), so over any other left operand it writes
    // nothing.
    switch (clang_getCursorKind(parts[0])) {
    case CXCursor_DeclRefExpr: case CXCursor_MemberRefExpr: case CXCursor_ArraySubscriptExpr:
    case CXCursor_UnaryOperator: case CXCursor_ParenExpr: case CXCursor_CompoundLiteralExpr:
    case CXCursor_GenericSelectionExpr:
      return unreadable_operator(cursor, true);
    default:
      return unreadable_operator(cursor, false);
    }
  }
  SgExpression* lhs = build_expression(parts[0]);
  SgExpression* rhs = build_expression(parts[1]);
  return adopt(new_binary(variant, lhs, rhs));
}

// x op= e becomes x = x op (e), with a copy of x on the right.
SgExpression* SgTreeBuilder::build_compound_assignment(CXCursor cursor)
{
  std::vector<CXCursor> parts = expression_children_of(cursor);
  if (parts.size() != 2)
    fail(cursor, "compound assignment without two operands");
  VariantT variant =
      compound_variant(operator_between(extent(parts[0]).end, true, extent(parts[1]).begin, false));
  if (variant == V_SgNumVariants)
    return unreadable_operator(cursor, true);
  SgExpression* target = build_expression(parts[0]);
  SgExpression* value = build_expression(parts[1]);
  SgBinaryOp* operation = adopt(new_binary(variant, copyExpression(target), value));
  operation->set_position(file_, target->get_line(), target->get_column());
  operation->set_type(type_of(cursor));
  return adopt(new SgAssignOp(target, operation));
}

SgExpression* SgTreeBuilder::build_unary(CXCursor cursor)
{
  std::vector<CXCursor> parts = expression_children_of(cursor);
  if (parts.size() != 1)
    fail(cursor, "unary operator without one operand");
  Extent whole = extent(cursor);
  Extent operand = extent(parts[0]);
  VariantT variant = V_SgNumVariants;
  SgUnaryOp::Sgop_mode mode = SgUnaryOp::prefix;
  std::string before = operator_between(whole.begin, false, operand.begin, false);
  if (!before.empty()) {
    variant = prefix_variant(before);
  } else {
    std::string after = operator_between(operand.end, true, whole.end, true);
    if (after == "++" || after == "--") {
      variant = prefix_variant(after);
      mode = SgUnaryOp::postfix;
    }
  }
  if (variant == V_SgNumVariants) {
    // A keyword operator (__extension__, __real__, ...) is kept as such.
    const Token* first = whole.begin.valid && whole.begin.plain ? token_at_or_after(whole.begin.offset) : nullptr;
    if (first != nullptr && first->begin == whole.begin.offset && first->kind == CXToken_Keyword) {
      SgUnknownExpression* unknown = adopt(new SgUnknownExpression("UnaryOperator " + first->spelling));
      build_generic_children(unknown, cursor);
      return unknown;
    }
    return unreadable_operator(cursor, false);
  }
  return adopt(new_unary(variant, build_expression(parts[0]), mode));
}

// An operator that only a macro body spells. A constant expression becomes
// its value. Otherwise an operator that may write (an assignment) ends the
// run, as its statement would be lost; any other becomes an unknown
// expression over its operands, which a reader of expressions rejects by its
// class name.
SgExpression* SgTreeBuilder::unreadable_operator(CXCursor cursor, bool may_write)
{
  CXEvalResult result = clang_Cursor_Evaluate(cursor);
  CXEvalResultKind kind = result != nullptr ? clang_EvalResult_getKind(result) : CXEval_UnExposed;
  if (kind == CXEval_Int) {
    int number = checked_int(result, cursor, "constant expression");
    SgIntVal* folded = adopt(new SgIntVal(number));
    place(folded, cursor);
    folded->set_text(std::to_string(number));
    return folded;
  }
  if (kind == CXEval_Float) {
    double value = clang_EvalResult_getAsDouble(result);
    clang_EvalResult_dispose(result);
    if (!std::isfinite(value))
      fail(cursor, "constant expression with a value that is not finite");
    SgDoubleVal* folded = adopt(new SgDoubleVal(value));
    place(folded, cursor);
    folded->set_text(floating_text(value));
    return folded;
  }
  if (result != nullptr)
    clang_EvalResult_dispose(result);
  if (may_write)
    fail(cursor, "cannot read the operator of '" + source_text(cursor) +
                     "': it is written only in a macro body and may be an assignment; "
                     "write it in the source");
  bool unary = clang_getCursorKind(cursor) == CXCursor_UnaryOperator;
  SgUnknownExpression* unknown = adopt(new SgUnknownExpression(
      unary ? "unary operator in a macro body" : "binary operator in a macro body"));
  build_generic_children(unknown, cursor);
  return unknown;
}

SgExpression* SgTreeBuilder::build_integer(CXCursor cursor)
{
  int number = checked_int(clang_Cursor_Evaluate(cursor), cursor, "integer literal");
  SgIntVal* node = adopt(new SgIntVal(number));
  place(node, cursor);
  if (!spelled_as_literal(node))
    node->set_text(std::to_string(number));
  return node;
}

// The value of an integer evaluation, which is freed; throws FrontendError when
// there is none or it does not fit in an int.
int SgTreeBuilder::checked_int(CXEvalResult result, CXCursor cursor, const std::string& what) const
{
  if (result == nullptr || clang_EvalResult_getKind(result) != CXEval_Int) {
    if (result != nullptr)
      clang_EvalResult_dispose(result);
    fail(cursor, "cannot read the value of this " + what);
  }
  bool is_unsigned = clang_EvalResult_isUnsignedInt(result) != 0;
  unsigned long long magnitude = is_unsigned ? clang_EvalResult_getAsUnsigned(result) : 0;
  long long value = is_unsigned ? 0 : clang_EvalResult_getAsLongLong(result);
  clang_EvalResult_dispose(result);
  if (is_unsigned ? magnitude > static_cast<unsigned long long>(INT_MAX)
                  : value < INT_MIN || value > INT_MAX) {
    std::string shown = is_unsigned ? std::to_string(magnitude) : std::to_string(value);
    fail(cursor, what + " " + shown + " is out of the range of int");
  }
  return is_unsigned ? static_cast<int>(magnitude) : static_cast<int>(value);
}

SgExpression* SgTreeBuilder::build_floating(CXCursor cursor)
{
  CXEvalResult result = clang_Cursor_Evaluate(cursor);
  if (result == nullptr || clang_EvalResult_getKind(result) != CXEval_Float) {
    if (result != nullptr)
      clang_EvalResult_dispose(result);
    fail(cursor, "cannot read the value of this floating literal");
  }
  double value = clang_EvalResult_getAsDouble(result);
  clang_EvalResult_dispose(result);
  SgDoubleVal* node = adopt(new SgDoubleVal(value));
  place(node, cursor);
  if (!std::isfinite(value))
    fail(cursor, "floating literal '" + node->unparseToCompleteString() + "' is not a finite value");
  if (!spelled_as_literal(node))
    node->set_text(floating_text(value));
  return node;
}

SgExpression* SgTreeBuilder::build_string(CXCursor cursor)
{
  // The spelling of a string literal is its joined text with its quotes.
  std::string spelled = take(clang_getCursorSpelling(cursor));
  std::size_t open = spelled.find('"');
  std::size_t close = spelled.rfind('"');
  std::string contents = open != std::string::npos && close > open
                             ? spelled.substr(open + 1, close - open - 1)
                             : std::string();
  SgStringVal* node = adopt(new SgStringVal(contents));
  place(node, cursor);
  if (!spelled_as_literal(node) && !spelled.empty())
    node->set_text(spelled);
  return node;
}

SgExpression* SgTreeBuilder::build_declaration_reference(CXCursor cursor)
{
  CXCursor declaration = clang_getCursorReferenced(cursor);
  std::string name = take(clang_getCursorSpelling(cursor));
  switch (clang_Cursor_isNull(declaration) ? CXCursor_UnexposedDecl : clang_getCursorKind(declaration)) {
  case CXCursor_VarDecl:
  case CXCursor_ParmDecl:
    return adopt(new SgVarRefExp(static_cast<SgVariableSymbol*>(symbol_of(declaration, name, false))));
  case CXCursor_FunctionDecl:
    return adopt(new SgFunctionRefExp(static_cast<SgFunctionSymbol*>(symbol_of(declaration, name, true))));
  case CXCursor_EnumConstantDecl: {
    long long value = clang_getEnumConstantDeclValue(declaration);
    if (value < INT_MIN || value > INT_MAX)
      fail(cursor, "enumeration constant '" + name + "' is out of the range of int");
    return adopt(new SgEnumVal(static_cast<int>(value), name));
  }
  default: {
    SgUnknownExpression* unknown = adopt(new SgUnknownExpression("DeclRefExpr " + name));
    return unknown;
  }
  }
}

// s.m and p->m: the member is an SgVarRefExp on the right.
SgExpression* SgTreeBuilder::build_member_reference(CXCursor cursor)
{
  std::vector<CXCursor> parts = expression_children_of(cursor);
  if (parts.size() != 1) {
    SgUnknownExpression* unknown = adopt(new SgUnknownExpression(kind_spelling(cursor)));
    build_generic_children(unknown, cursor);
    return unknown;
  }
  std::string name = take(clang_getCursorSpelling(cursor));
  bool arrow = clang_getCanonicalType(clang_getCursorType(parts[0])).kind == CXType_Pointer;
  SgExpression* base = build_expression(parts[0]);
  SgVarRefExp* member = adopt(new SgVarRefExp(
      static_cast<SgVariableSymbol*>(symbol_of(clang_getCursorReferenced(cursor), name, false))));
  Position at = position(clang_getCursorLocation(cursor));
  member->set_position(file_, at.valid ? at.line : 0, at.valid ? at.column : 0);
  member->set_text(name);
  member->set_type(type_of(cursor));
  if (arrow)
    return adopt(new SgArrowExp(base, member));
  return adopt(new SgDotExp(base, member));
}

SgExpression* SgTreeBuilder::build_call(CXCursor cursor)
{
  std::vector<CXCursor> parts = expression_children_of(cursor);
  int argument_count = clang_Cursor_getNumArguments(cursor);
  if (parts.empty() || argument_count < 0 || static_cast<std::size_t>(argument_count) + 1 != parts.size()) {
    SgUnknownExpression* unknown = adopt(new SgUnknownExpression(kind_spelling(cursor)));
    build_generic_children(unknown, cursor);
    return unknown;
  }
  SgExpression* function = build_expression(parts[0]);
  std::vector<CXCursor> arguments(parts.begin() + 1, parts.end());
  return adopt(new SgFunctionCallExp(function, build_list(cursor, arguments)));
}

SgSourceFile* read_c_file(SgProject* project, const std::string& path,
                          const std::vector<std::string>& parser_arguments)
{
  return SgTreeBuilder::read(project, path, parser_arguments, nullptr, "", nullptr);
}

SgSourceFile* read_c_text(SgProject* project, const std::string& path, const std::string& text,
                          const std::vector<std::string>& parser_arguments,
                          const std::string& prelude, const std::string& shown)
{
  return SgTreeBuilder::read(project, path, parser_arguments, &text, prelude, &shown);
}
