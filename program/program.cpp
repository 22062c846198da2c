#include "program/program.h"

#include <iostream>

#include "polyhedra/polyhedron.h"
#include "program/statement.h"

Program::Program() = default;

Program::Program(int nc, int np, std::vector<std::unique_ptr<Statement>> statements)
    : nb_counters(nc), nb_parameters(np), statement(std::move(statements))
{
}

Program::~Program() = default;

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
  for (const auto& s : statement)
    s->iteration_domain->add_constraints(c);
}

std::set<int> Program::get_counters() const
{
  std::set<int> r;
  for (const auto& s : statement) {
    std::set<int> c = s->iteration_domain->get_counters();
    r.insert(c.begin(), c.end());
  }
  return r;
}

std::set<int> Program::get_parameters() const
{
  std::set<int> r;
  for (const auto& s : statement) {
    std::set<int> c = s->iteration_domain->get_parameters();
    r.insert(c.begin(), c.end());
  }
  return r;
}

void Program::print() const
{
  std::cerr << "[PROGRAM]====================================================================\n\n";
  std::cerr << nb_counters << " counter(s)\n" << nb_parameters << " parameter(s)\n\n";
  for (const auto& s : statement)
    s->print();
  std::cerr << "=============================================================================\n\n";
}
