#include "program/program.h"

#include <iostream>

#include "polyhedra/polyhedron.h"
#include "program/statement.h"

Program::Program() = default;

Program::Program(int nc, int np, const std::vector<Statement*>& statements)
    : nb_counters(nc), nb_parameters(np), statement(statements)
{
}

Program::~Program()
{
  for (Statement* s : statement)
    delete s;
}

void Program::set_variable_declaration(const std::vector<std::string>& declarations)
{
  variable_declaration = declarations;
}

std::vector<std::string> Program::get_variable_declaration() const { return variable_declaration; }

void Program::print_variable_declaration(std::ostream& os) const
{
  for (const std::string& d : variable_declaration)
    os << d << "\n";
}

void Program::add_context(const Polyhedron* c)
{
  for (Statement* s : statement)
    s->iteration_domain->add_constraints(c);
}

Program* Program::restrict_to_statement(int k) const
{
  Statement* s = statement.at(k)->clone();
  s->stmt_rank = 0;
  Program* p = new Program(nb_counters, nb_parameters, {s});
  p->variable_declaration = variable_declaration;
  p->macro_definitions = macro_definitions;
  p->initial_values = initial_values;
  p->resource_pragma = resource_pragma;
  return p;
}

Program* Program::clone() const
{
  std::vector<Statement*> copies;
  for (const Statement* s : statement)
    copies.push_back(s->clone());
  Program* p = new Program(nb_counters, nb_parameters, copies);
  p->variable_declaration = variable_declaration;
  p->macro_definitions = macro_definitions;
  p->initial_values = initial_values;
  p->resource_pragma = resource_pragma;
  return p;
}

std::set<int> Program::get_counters() const
{
  std::set<int> r;
  for (const Statement* s : statement) {
    std::set<int> c = s->iteration_domain->get_counters();
    r.insert(c.begin(), c.end());
  }
  return r;
}

std::set<int> Program::get_parameters() const
{
  std::set<int> r;
  for (const Statement* s : statement) {
    std::set<int> c = s->iteration_domain->get_parameters();
    r.insert(c.begin(), c.end());
  }
  return r;
}

void Program::print() const
{
  std::cerr << "[PROGRAM]====================================================================\n\n";
  std::cerr << nb_counters << " counter(s)\n" << nb_parameters << " parameter(s)\n\n";
  for (const Statement* s : statement)
    s->print();
  std::cerr << "=============================================================================\n\n";
}
