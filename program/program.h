// The polyhedral program: its statements in textual order and the source text
// of the input's variable declarations.
//
// Ownership: a program owns its statements; the constructor takes over the
// statements it is given; every operation returns new objects given to the
// caller.
#ifndef VORL_PROGRAM_PROGRAM_H
#define VORL_PROGRAM_PROGRAM_H

#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "program/source_position.h"

class Polyhedron;
class SgProject;
class Statement;

class Program {
 public:
  int nb_counters = 0;
  int nb_parameters = 0;
  std::vector<std::unique_ptr<Statement>> statement;  // by rank
  std::vector<std::string> variable_declaration;
  // The object-like macro definitions of the input file ("#define N 6"), in
  // order, which its declarations may use.
  std::vector<std::string> macro_definitions;
  // Variable name -> the constant value its declaration initialises it with,
  // for the declarations that give one (the default values of the sizes).
  std::map<std::string, long long> initial_values;
  // The resource pragma (the file alone when the program has none), once the
  // pragmas are read back.
  SourcePosition resource_pragma;

  Program();
  // Takes the statements.
  Program(int nb_counters, int nb_parameters, std::vector<std::unique_ptr<Statement>> statements);
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program();

  static std::unique_ptr<Program> from_Sage(SgProject* project);

  void set_variable_declaration(const std::vector<std::string>& declarations);
  std::vector<std::string> get_variable_declaration() const;
  void print_variable_declaration(std::ostream& os) const;
  void add_context(const Polyhedron* c);
  std::set<int> get_counters() const;
  std::set<int> get_parameters() const;
  void print() const;
};

#endif
