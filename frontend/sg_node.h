// The syntax tree of a parsed C file.
//
// Every construct of the input file is a node. Nodes form a class hierarchy
// (SgNode > SgStatement / SgExpression > SgUnaryOp / SgBinaryOp /
// SgValueExp ...), know their kind (variantT), their class name, their parent,
// their children in source order, their source line and their source text.
// Implicit conversions and parentheses have no node; a compound assignment
// x op= e is presented as the assignment x = x op (e).
//
// Children are kept in fixed slots per class; a slot of an optional part (the
// test of a for loop, the else branch of an if, ...) is null when the part is
// absent, and walks skip it.
//
// Ownership: every node belongs to the SgProject that parsed it and is freed
// with that project; accessors return pointers kept by the project, never new
// objects.
#ifndef VORL_FRONTEND_SG_NODE_H
#define VORL_FRONTEND_SG_NODE_H

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

// The concrete node classes, in one list from which the kind enumeration, the
// class names and the checked casts are generated.
#define VORL_SG_CONCRETE_CLASSES(X) X(SgProject) VORL_SG_NODE_CLASSES(X)
// Those declared in this header.
#define VORL_SG_NODE_CLASSES(X)                                                \
  X(SgSourceFile) X(SgTypeDefault) X(SgTypeBool)                               \
  X(SgVariableSymbol) X(SgFunctionSymbol) X(SgInitializedName)                 \
  X(SgGlobal) X(SgBasicBlock) X(SgForStatement) X(SgIfStmt) X(SgWhileStmt)     \
  X(SgDoWhileStmt) X(SgSwitchStatement) X(SgFunctionDefinition)                \
  X(SgVariableDeclaration) X(SgFunctionDeclaration)                            \
  X(SgFunctionParameterList) X(SgTypedefDeclaration) X(SgClassDeclaration)     \
  X(SgEnumDeclaration) X(SgUnknownDeclaration) X(SgForInitStatement)           \
  X(SgExprStatement) X(SgReturnStmt) X(SgBreakStmt) X(SgContinueStmt)          \
  X(SgGotoStatement) X(SgLabelStatement) X(SgCaseOptionStmt)                   \
  X(SgDefaultOptionStmt) X(SgNullStatement) X(SgUnknownStatement)              \
  X(SgMinusOp) X(SgUnaryAddOp) X(SgNotOp) X(SgBitComplementOp)                 \
  X(SgPlusPlusOp) X(SgMinusMinusOp) X(SgAddressOfOp) X(SgPointerDerefExp)      \
  X(SgCastExp) X(SgAssignOp) X(SgAddOp) X(SgSubtractOp) X(SgMultiplyOp)        \
  X(SgDivideOp) X(SgModOp) X(SgLessThanOp) X(SgLessOrEqualOp)                  \
  X(SgGreaterThanOp) X(SgGreaterOrEqualOp) X(SgEqualityOp) X(SgNotEqualOp)     \
  X(SgAndOp) X(SgOrOp) X(SgBitAndOp) X(SgBitOrOp) X(SgBitXorOp) X(SgLshiftOp)  \
  X(SgRshiftOp) X(SgCommaOpExp) X(SgPntrArrRefExp) X(SgDotExp) X(SgArrowExp)   \
  X(SgIntVal) X(SgDoubleVal) X(SgBoolValExp) X(SgCharVal) X(SgStringVal)       \
  X(SgEnumVal) X(SgVarRefExp) X(SgFunctionRefExp) X(SgFunctionCallExp)         \
  X(SgExprListExp) X(SgConditionalExp) X(SgSizeOfOp) X(SgAggregateInitializer) \
  X(SgCompoundLiteralExp) X(SgUnknownExpression)

// The abstract classes, which have checked casts but no kind of their own.
#define VORL_SG_ABSTRACT_CLASSES(X)                                            \
  X(SgFile) X(SgType) X(SgSymbol) X(SgStatement) X(SgScopeStatement)           \
  X(SgDeclarationStatement) X(SgExpression) X(SgUnaryOp) X(SgBinaryOp)         \
  X(SgValueExp)

enum VariantT {
#define VORL_SG_ENUMERATOR(name) V_##name,
  VORL_SG_CONCRETE_CLASSES(VORL_SG_ENUMERATOR)
#undef VORL_SG_ENUMERATOR
  V_SgNumVariants
};

// The class name of a kind ("SgForStatement" for V_SgForStatement).
const char* variant_class_name(VariantT variant);

#define VORL_SG_FORWARD(name) class name;
VORL_SG_CONCRETE_CLASSES(VORL_SG_FORWARD)
VORL_SG_ABSTRACT_CLASSES(VORL_SG_FORWARD)
#undef VORL_SG_FORWARD
class SgNode;

typedef std::vector<SgStatement*> SgStatementPtrList;
typedef std::vector<SgExpression*> SgExpressionPtrList;
typedef std::vector<SgInitializedName*> SgInitializedNamePtrList;
typedef std::vector<SgDeclarationStatement*> SgDeclarationStatementPtrList;

// A name (of a variable, function, label, ...). A plain value.
class SgName {
public:
  SgName() = default;
  SgName(const std::string& text) : text_(text) {}
  SgName(const char* text) : text_(text) {}
  const std::string& getString() const { return text_; }
  const std::string& str() const { return text_; }
  bool operator==(const SgName& other) const { return text_ == other.text_; }
  bool operator!=(const SgName& other) const { return text_ != other.text_; }
  bool operator<(const SgName& other) const { return text_ < other.text_; }

private:
  std::string text_;
};
std::ostream& operator<<(std::ostream& os, const SgName& name);

// ---------------------------------------------------------------------------
// The root of the hierarchy.

class SgNode {
public:
  SgNode& operator=(const SgNode&) = delete;
  virtual ~SgNode() = default;

  virtual VariantT variantT() const = 0;
  // "SgForStatement", ...; the generic kinds add what they stand for.
  virtual std::string class_name() const { return variant_class_name(variantT()); }

  SgNode* get_parent() const { return parent_; }
  // The children that are present, in source order.
  std::vector<SgNode*> get_traversalSuccessorContainer() const;

  // The C text of the node: the file's bytes for a project or file, the
  // source text for a statement or declaration (a declaration ends with its
  // ";"), the source text for an expression. Nodes made by the front-end
  // rather than read (a rewritten compound assignment, a built comparison)
  // are printed from their children.
  virtual std::string unparseToCompleteString() const;
  std::string unparseToString() const { return unparseToCompleteString(); }

  // Position in the input file (1-based); 0 for the project.
  int get_line() const { return line_; }
  int get_column() const { return column_; }
  // The file the node was read from; null for the project.
  SgSourceFile* get_file() const { return file_; }
  // Its name as given on the command line; empty for the project.
  std::string get_filename() const;

  // Used while the tree is built (by the front-end only).
  void set_parent(SgNode* parent) { parent_ = parent; }
  void set_position(SgSourceFile* file, int line, int column);
  // The node's text is [begin, end) of its file's text.
  void set_source_range(std::size_t begin, std::size_t end);
  // The node's text is the given text (a literal read from a macro, ...).
  void set_text(const std::string& text);
  std::size_t get_source_begin() const { return begin_; }
  std::size_t get_source_end() const { return end_; }
  bool has_source_range() const { return has_range_; }
  // A new node of the same class, value, position and text, without parent
  // or children; owned by the caller (copyExpression hands it to a project).
  virtual SgNode* copy_without_children() const = 0;
  // Raw slots (null for an absent optional part); for the builder and walks.
  const std::vector<SgNode*>& get_child_slots() const { return slots_; }
  void set_child_slot(std::size_t index, SgNode* child);
  void append_child(SgNode* child);

protected:
  explicit SgNode(std::size_t slot_count = 0) : slots_(slot_count, nullptr) {}
  // Copies position, text and the number of slots, not the parent or the
  // children (the slots of the copy are empty).
  SgNode(const SgNode& other);
  // The text of a node that has no source range of its own.
  virtual std::string synthesized_text() const;

  std::vector<SgNode*> slots_;

private:
  SgNode* parent_ = nullptr;
  SgSourceFile* file_ = nullptr;
  int line_ = 0;
  int column_ = 0;
  bool has_range_ = false;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::string text_;
};

// Boilerplate of a concrete class: kind and copy.
#define VORL_SG_CONCRETE(name)                                                 \
public:                                                                        \
  VariantT variantT() const override { return V_##name; }                      \
  SgNode* copy_without_children() const override { return new name(*this); }   \
                                                                               \
protected:                                                                     \
  name(const name&) = default;                                                 \
                                                                               \
public:

// ---------------------------------------------------------------------------
// Files and support nodes.

class SgFile : public SgNode {
protected:
  using SgNode::SgNode;
};

// One parsed input file. Its child is the global scope.
class SgSourceFile : public SgFile {
  VORL_SG_CONCRETE(SgSourceFile)
  SgSourceFile(SgProject* project, const std::string& file_name, const std::string& text);
  const std::string& getFileName() const { return file_name_; }
  // The text parsed: the file's bytes, the calls of the file's own
  // function-like macros replaced by their expansion (lines kept).
  const std::string& get_text() const { return text_; }
  SgProject* get_project() const { return project_; }
  SgGlobal* get_globalScope() const;
  std::string unparseToCompleteString() const override { return text_; }
  // The file's object-like macro definitions ("#define N 6"), in order.
  const std::vector<std::string>& get_macro_definitions() const { return macro_definitions_; }
  void set_macro_definitions(const std::vector<std::string>& definitions)
  {
    macro_definitions_ = definitions;
  }

private:
  SgProject* project_;
  std::string file_name_;
  std::string text_;
  std::vector<std::string> macro_definitions_;
};

// A C type, known by its spelling ("int", "double [100]").
class SgType : public SgNode {
public:
  const std::string& get_name() const { return name_; }
  std::string unparseToCompleteString() const override { return name_; }

protected:
  explicit SgType(const std::string& name) : name_(name) {}

private:
  std::string name_;
};

class SgTypeDefault : public SgType {
  VORL_SG_CONCRETE(SgTypeDefault)
  explicit SgTypeDefault(const std::string& name) : SgType(name) {}
};

// The boolean type ("_Bool"), the type of a built comparison.
class SgTypeBool : public SgType {
  VORL_SG_CONCRETE(SgTypeBool)
  SgTypeBool() : SgType("_Bool") {}
};

// What a reference refers to. One symbol per declaration of the file, shared
// by all references to it.
class SgSymbol : public SgNode {
public:
  const SgName& get_name() const { return name_; }

protected:
  explicit SgSymbol(const SgName& name) : name_(name) {}

private:
  SgName name_;
};

class SgVariableSymbol : public SgSymbol {
  VORL_SG_CONCRETE(SgVariableSymbol)
  explicit SgVariableSymbol(const SgName& name) : SgSymbol(name) {}
};

class SgFunctionSymbol : public SgSymbol {
  VORL_SG_CONCRETE(SgFunctionSymbol)
  explicit SgFunctionSymbol(const SgName& name) : SgSymbol(name) {}
};

// One declarator of a variable or parameter declaration: its name and its
// initializer expression (null when there is none). Child: the initializer.
class SgInitializedName : public SgNode {
  VORL_SG_CONCRETE(SgInitializedName)
  SgInitializedName(const SgName& name, SgType* type, SgExpression* initializer);
  const SgName& get_name() const { return name_; }
  SgType* get_type() const { return type_; }
  SgExpression* get_initializer() const;
  // Whether the initializer is an integer constant the compiler computes
  // (int N = 6;, int N = SIZE; with #define SIZE 6), and its value.
  bool has_constant_value() const { return has_constant_value_; }
  long long get_constant_value() const { return constant_value_; }
  void set_constant_value(long long value)
  {
    has_constant_value_ = true;
    constant_value_ = value;
  }

private:
  SgName name_;
  SgType* type_;
  bool has_constant_value_ = false;
  long long constant_value_ = 0;
};

// ---------------------------------------------------------------------------
// Statements.

class SgStatement : public SgNode {
protected:
  using SgNode::SgNode;
};

class SgScopeStatement : public SgStatement {
protected:
  using SgStatement::SgStatement;
};

class SgDeclarationStatement : public SgStatement {
protected:
  using SgStatement::SgStatement;
};

// The file scope: the declarations of the input file (not those of included
// headers), in source order.
class SgGlobal : public SgScopeStatement {
  VORL_SG_CONCRETE(SgGlobal)
  SgGlobal() = default;
  SgDeclarationStatementPtrList get_declarations() const;
  void append_declaration(SgDeclarationStatement* declaration);
  std::string unparseToCompleteString() const override;
};

// { ... }: its statements in order.
class SgBasicBlock : public SgScopeStatement {
  VORL_SG_CONCRETE(SgBasicBlock)
  SgBasicBlock() = default;
  SgStatementPtrList get_statements() const;
  void append_statement(SgStatement* statement);
};

// for (init; test; increment) body. Children, each only if present: the
// SgForInitStatement, the test as an SgExprStatement, the increment
// expression, the body.
class SgForStatement : public SgScopeStatement {
  VORL_SG_CONCRETE(SgForStatement)
  SgForStatement(SgForInitStatement* init, SgStatement* test, SgExpression* increment,
                 SgStatement* body);
  // Null when the loop has no initialisation.
  SgForInitStatement* get_for_init_stmt() const;
  // The statements of the initialisation; empty when there is none.
  SgStatementPtrList get_init_stmt() const;
  // The test statement (an SgExprStatement), null when absent.
  SgStatement* get_test() const;
  // The test expression, null when absent.
  SgExpression* get_test_expr() const;
  // Null when absent.
  SgExpression* get_increment() const;
  SgStatement* get_loop_body() const;
};

// The initialisation of a for loop: an SgExprStatement or an
// SgVariableDeclaration.
class SgForInitStatement : public SgStatement {
  VORL_SG_CONCRETE(SgForInitStatement)
  SgForInitStatement() = default;
  SgStatementPtrList get_init_stmt() const;
  void append_init_stmt(SgStatement* statement);
};

// if (conditional) true_body else false_body. The conditional is an
// SgExprStatement; the false body is null without else.
class SgIfStmt : public SgScopeStatement {
  VORL_SG_CONCRETE(SgIfStmt)
  SgIfStmt(SgStatement* conditional, SgStatement* true_body, SgStatement* false_body);
  SgStatement* get_conditional() const;
  SgStatement* get_true_body() const;
  SgStatement* get_false_body() const;
};

// while (condition) body; the condition is an SgExprStatement.
class SgWhileStmt : public SgScopeStatement {
  VORL_SG_CONCRETE(SgWhileStmt)
  SgWhileStmt(SgStatement* condition, SgStatement* body);
  SgStatement* get_condition() const;
  SgStatement* get_body() const;
};

// do body while (condition); children in that order.
class SgDoWhileStmt : public SgScopeStatement {
  VORL_SG_CONCRETE(SgDoWhileStmt)
  SgDoWhileStmt(SgStatement* body, SgStatement* condition);
  SgStatement* get_body() const;
  SgStatement* get_condition() const;
};

// switch (item_selector) body; the selector is an SgExprStatement.
class SgSwitchStatement : public SgScopeStatement {
  VORL_SG_CONCRETE(SgSwitchStatement)
  SgSwitchStatement(SgStatement* item_selector, SgStatement* body);
  SgStatement* get_item_selector() const;
  SgStatement* get_body() const;
};

// The body of a function definition.
class SgFunctionDefinition : public SgScopeStatement {
  VORL_SG_CONCRETE(SgFunctionDefinition)
  explicit SgFunctionDefinition(SgBasicBlock* body);
  SgBasicBlock* get_body() const;
};

// A declaration of one or more variables, e.g. "int i, j;": one node whose
// children are the declarators.
class SgVariableDeclaration : public SgDeclarationStatement {
  VORL_SG_CONCRETE(SgVariableDeclaration)
  SgVariableDeclaration() = default;
  SgInitializedNamePtrList get_variables() const;
  void append_variable(SgInitializedName* variable);
};

// A function prototype or definition. Children: the parameter list, then the
// definition (null for a prototype).
class SgFunctionDeclaration : public SgDeclarationStatement {
  VORL_SG_CONCRETE(SgFunctionDeclaration)
  SgFunctionDeclaration(const SgName& name, SgFunctionParameterList* parameters,
                        SgFunctionDefinition* definition);
  const SgName& get_name() const { return name_; }
  SgFunctionParameterList* get_parameterList() const;
  SgFunctionDefinition* get_definition() const;

private:
  SgName name_;
};

class SgFunctionParameterList : public SgDeclarationStatement {
  VORL_SG_CONCRETE(SgFunctionParameterList)
  SgFunctionParameterList() = default;
  SgInitializedNamePtrList get_args() const;
  void append_arg(SgInitializedName* parameter);
};

// Declarations the walks pass over; they carry their name (empty when
// anonymous).
class SgTypedefDeclaration : public SgDeclarationStatement {
  VORL_SG_CONCRETE(SgTypedefDeclaration)
  explicit SgTypedefDeclaration(const SgName& name) : name_(name) {}
  const SgName& get_name() const { return name_; }

private:
  SgName name_;
};

// struct or union.
class SgClassDeclaration : public SgDeclarationStatement {
  VORL_SG_CONCRETE(SgClassDeclaration)
  explicit SgClassDeclaration(const SgName& name) : name_(name) {}
  const SgName& get_name() const { return name_; }

private:
  SgName name_;
};

class SgEnumDeclaration : public SgDeclarationStatement {
  VORL_SG_CONCRETE(SgEnumDeclaration)
  explicit SgEnumDeclaration(const SgName& name) : name_(name) {}
  const SgName& get_name() const { return name_; }

private:
  SgName name_;
};

// Any other declaration; the class name says what it is, e.g.
// "SgUnknownDeclaration(StaticAssert)".
class SgUnknownDeclaration : public SgDeclarationStatement {
  VORL_SG_CONCRETE(SgUnknownDeclaration)
  explicit SgUnknownDeclaration(const std::string& what) : what_(what) {}
  std::string class_name() const override { return "SgUnknownDeclaration(" + what_ + ")"; }

private:
  std::string what_;
};

// An expression used as a statement (also the test of a loop or the condition
// of an if).
class SgExprStatement : public SgStatement {
  VORL_SG_CONCRETE(SgExprStatement)
  explicit SgExprStatement(SgExpression* expression);
  SgExpression* get_expression() const;
  SgExpression* get_expression_root() const { return get_expression(); }
};

// return [expression]; the expression is null when absent.
class SgReturnStmt : public SgStatement {
  VORL_SG_CONCRETE(SgReturnStmt)
  explicit SgReturnStmt(SgExpression* expression);
  SgExpression* get_expression() const;
};

class SgBreakStmt : public SgStatement {
  VORL_SG_CONCRETE(SgBreakStmt)
  SgBreakStmt() = default;
};

class SgContinueStmt : public SgStatement {
  VORL_SG_CONCRETE(SgContinueStmt)
  SgContinueStmt() = default;
};

class SgGotoStatement : public SgStatement {
  VORL_SG_CONCRETE(SgGotoStatement)
  explicit SgGotoStatement(const SgName& label) : label_(label) {}
  const SgName& get_label_name() const { return label_; }

private:
  SgName label_;
};

// label: statement.
class SgLabelStatement : public SgStatement {
  VORL_SG_CONCRETE(SgLabelStatement)
  SgLabelStatement(const SgName& label, SgStatement* statement);
  const SgName& get_label() const { return label_; }
  SgStatement* get_statement() const;

private:
  SgName label_;
};

// case key: body.
class SgCaseOptionStmt : public SgStatement {
  VORL_SG_CONCRETE(SgCaseOptionStmt)
  SgCaseOptionStmt(SgExpression* key, SgStatement* body);
  SgExpression* get_key() const;
  SgStatement* get_body() const;
};

// default: body.
class SgDefaultOptionStmt : public SgStatement {
  VORL_SG_CONCRETE(SgDefaultOptionStmt)
  explicit SgDefaultOptionStmt(SgStatement* body);
  SgStatement* get_body() const;
};

// The empty statement ";".
class SgNullStatement : public SgStatement {
  VORL_SG_CONCRETE(SgNullStatement)
  SgNullStatement() = default;
};

// Any other statement, with its parts as children; the class name says what
// it is, e.g. "SgUnknownStatement(GCCAsmStmt)".
class SgUnknownStatement : public SgStatement {
  VORL_SG_CONCRETE(SgUnknownStatement)
  explicit SgUnknownStatement(const std::string& what) : what_(what) {}
  std::string class_name() const override { return "SgUnknownStatement(" + what_ + ")"; }

private:
  std::string what_;
};

// ---------------------------------------------------------------------------
// Expressions.

class SgExpression : public SgNode {
public:
  // The C type of the value; the boolean type for a built comparison; null
  // for a list of call arguments.
  SgType* get_type() const { return type_; }
  void set_type(SgType* type) { type_ = type; }

protected:
  explicit SgExpression(std::size_t slot_count = 0) : SgNode(slot_count) {}

private:
  SgType* type_ = nullptr;
};

// An operator with one operand. Every unary operator is prefix except the
// postfix forms of ++ and --.
class SgUnaryOp : public SgExpression {
public:
  enum Sgop_mode { prefix = 0, postfix = 1 };
  SgExpression* get_operand() const;
  Sgop_mode get_mode() const { return mode_; }

protected:
  SgUnaryOp(SgExpression* operand, Sgop_mode mode);
  std::string synthesized_text() const override;

private:
  Sgop_mode mode_;
};

#define VORL_SG_UNARY(name)                                                    \
  class name : public SgUnaryOp {                                              \
    VORL_SG_CONCRETE(name)                                                     \
    explicit name(SgExpression* operand, Sgop_mode mode = prefix)              \
        : SgUnaryOp(operand, mode) {}                                          \
  };
VORL_SG_UNARY(SgMinusOp)          // -a
VORL_SG_UNARY(SgUnaryAddOp)       // +a
VORL_SG_UNARY(SgNotOp)            // !a
VORL_SG_UNARY(SgBitComplementOp)  // ~a
VORL_SG_UNARY(SgPlusPlusOp)       // ++a, a++
VORL_SG_UNARY(SgMinusMinusOp)     // --a, a--
VORL_SG_UNARY(SgAddressOfOp)      // &a
VORL_SG_UNARY(SgPointerDerefExp)  // *a
VORL_SG_UNARY(SgCastExp)          // (type) a, written by the user; get_type() is the target type
#undef VORL_SG_UNARY

// An operator with two operands, in source order.
class SgBinaryOp : public SgExpression {
public:
  SgExpression* get_lhs_operand() const;
  SgExpression* get_rhs_operand() const;

protected:
  SgBinaryOp(SgExpression* lhs, SgExpression* rhs);
  std::string synthesized_text() const override;
};

#define VORL_SG_BINARY(name)                                                   \
  class name : public SgBinaryOp {                                             \
    VORL_SG_CONCRETE(name)                                                     \
    name(SgExpression* lhs, SgExpression* rhs) : SgBinaryOp(lhs, rhs) {}       \
  };
VORL_SG_BINARY(SgAssignOp)          // =
VORL_SG_BINARY(SgAddOp)             // +
VORL_SG_BINARY(SgSubtractOp)        // -
VORL_SG_BINARY(SgMultiplyOp)        // *
VORL_SG_BINARY(SgDivideOp)          // /
VORL_SG_BINARY(SgModOp)             // %
VORL_SG_BINARY(SgLessThanOp)        // <
VORL_SG_BINARY(SgLessOrEqualOp)     // <=
VORL_SG_BINARY(SgGreaterThanOp)     // >
VORL_SG_BINARY(SgGreaterOrEqualOp)  // >=
VORL_SG_BINARY(SgEqualityOp)        // ==
VORL_SG_BINARY(SgNotEqualOp)        // !=
VORL_SG_BINARY(SgAndOp)             // &&
VORL_SG_BINARY(SgOrOp)              // ||
VORL_SG_BINARY(SgBitAndOp)          // &
VORL_SG_BINARY(SgBitOrOp)           // |
VORL_SG_BINARY(SgBitXorOp)          // ^
VORL_SG_BINARY(SgLshiftOp)          // <<
VORL_SG_BINARY(SgRshiftOp)          // >>
VORL_SG_BINARY(SgCommaOpExp)        // ,
VORL_SG_BINARY(SgPntrArrRefExp)     // a[i]: lhs the array part, rhs the subscript
VORL_SG_BINARY(SgDotExp)            // s.m: rhs an SgVarRefExp naming the member
VORL_SG_BINARY(SgArrowExp)          // p->m: likewise
#undef VORL_SG_BINARY

// The C spelling of a binary or unary operator kind ("+", ">=", "[]", ...);
// empty for other kinds.
const char* operator_spelling(VariantT variant);

// Literals. Integer and floating values are those the compiler computes, so a
// literal written through a macro reads as its value.
class SgValueExp : public SgExpression {
protected:
  using SgExpression::SgExpression;
};

class SgIntVal : public SgValueExp {
  VORL_SG_CONCRETE(SgIntVal)
  explicit SgIntVal(int value) : value_(value) {}
  int get_value() const { return value_; }

private:
  int value_;
};

// float and double literals.
class SgDoubleVal : public SgValueExp {
  VORL_SG_CONCRETE(SgDoubleVal)
  explicit SgDoubleVal(double value) : value_(value) {}
  double get_value() const { return value_; }

private:
  double value_;
};

class SgBoolValExp : public SgValueExp {
  VORL_SG_CONCRETE(SgBoolValExp)
  explicit SgBoolValExp(bool value) : value_(value) {}
  bool get_value() const { return value_; }

private:
  bool value_;
};

// A character constant; the value is its code.
class SgCharVal : public SgValueExp {
  VORL_SG_CONCRETE(SgCharVal)
  explicit SgCharVal(int value) : value_(value) {}
  int get_value() const { return value_; }

private:
  int value_;
};

// A string literal; the value is its contents (adjacent literals joined).
class SgStringVal : public SgValueExp {
  VORL_SG_CONCRETE(SgStringVal)
  explicit SgStringVal(const std::string& value) : value_(value) {}
  const std::string& get_value() const { return value_; }

private:
  std::string value_;
};

// A reference to an enumeration constant.
class SgEnumVal : public SgValueExp {
  VORL_SG_CONCRETE(SgEnumVal)
  SgEnumVal(int value, const SgName& name) : value_(value), name_(name) {}
  int get_value() const { return value_; }
  const SgName& get_name() const { return name_; }

private:
  int value_;
  SgName name_;
};

// A use of a variable or parameter.
class SgVarRefExp : public SgExpression {
  VORL_SG_CONCRETE(SgVarRefExp)
  explicit SgVarRefExp(SgVariableSymbol* symbol) : symbol_(symbol) {}
  SgVariableSymbol* get_symbol() const { return symbol_; }

private:
  SgVariableSymbol* symbol_;
};

// The name of a function, as the callee of a call.
class SgFunctionRefExp : public SgExpression {
  VORL_SG_CONCRETE(SgFunctionRefExp)
  explicit SgFunctionRefExp(SgFunctionSymbol* symbol) : symbol_(symbol) {}
  SgFunctionSymbol* get_symbol() const { return symbol_; }

private:
  SgFunctionSymbol* symbol_;
};

// f(args). Children: the callee (an SgFunctionRefExp when a function is
// named, any expression for a call through a pointer), then the arguments.
class SgFunctionCallExp : public SgExpression {
  VORL_SG_CONCRETE(SgFunctionCallExp)
  SgFunctionCallExp(SgExpression* function, SgExprListExp* args);
  SgExpression* get_function() const;
  SgExprListExp* get_args() const;
};

// A list of expressions (the arguments of a call, an initializer list).
class SgExprListExp : public SgExpression {
  VORL_SG_CONCRETE(SgExprListExp)
  SgExprListExp() = default;
  SgExpressionPtrList get_expressions() const;
  void append_expression(SgExpression* expression);

protected:
  std::string synthesized_text() const override;
};

// c ? a : b.
class SgConditionalExp : public SgExpression {
  VORL_SG_CONCRETE(SgConditionalExp)
  SgConditionalExp(SgExpression* conditional, SgExpression* true_exp, SgExpression* false_exp);
  SgExpression* get_conditional_exp() const;
  SgExpression* get_true_exp() const;
  SgExpression* get_false_exp() const;
};

// sizeof expression or sizeof (type); the operand is null for a type.
class SgSizeOfOp : public SgExpression {
  VORL_SG_CONCRETE(SgSizeOfOp)
  explicit SgSizeOfOp(SgExpression* operand);
  SgExpression* get_operand_expr() const;
};

// { ... } in an initializer; child: the list of initializers.
class SgAggregateInitializer : public SgExpression {
  VORL_SG_CONCRETE(SgAggregateInitializer)
  explicit SgAggregateInitializer(SgExprListExp* initializers);
  SgExprListExp* get_initializers() const;
};

// (type) { ... }.
class SgCompoundLiteralExp : public SgExpression {
  VORL_SG_CONCRETE(SgCompoundLiteralExp)
  explicit SgCompoundLiteralExp(SgExpression* initializer);
  SgExpression* get_initializer() const;
};

// Any other expression, with its parts as children; the class name says what
// it is, e.g. "SgUnknownExpression(StmtExpr)".
class SgUnknownExpression : public SgExpression {
  VORL_SG_CONCRETE(SgUnknownExpression)
  explicit SgUnknownExpression(const std::string& what) : what_(what) {}
  std::string class_name() const override { return "SgUnknownExpression(" + what_ + ")"; }

private:
  std::string what_;
};

#undef VORL_SG_CONCRETE

// ---------------------------------------------------------------------------
// Checked casts: isSgForStatement(node) is the node as an SgForStatement, or
// null when it is not one (or is null). isSgProject is in sg_project.h.

#define VORL_SG_CAST(name)                                                     \
  inline name* is##name(SgNode* node) { return dynamic_cast<name*>(node); }    \
  inline const name* is##name(const SgNode* node) { return dynamic_cast<const name*>(node); }
VORL_SG_NODE_CLASSES(VORL_SG_CAST)
VORL_SG_ABSTRACT_CLASSES(VORL_SG_CAST)
#undef VORL_SG_CAST

#endif
