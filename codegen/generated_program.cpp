// The text of out.c: the counts per bottom level, the searches of the red and
// green limits, the per-statement checks and a main that prints both limits.
#include <sstream>

#include "analysis/schedule.h"
#include "codegen/code_generation.h"
#include "poly/enumeration_expression.h"
#include "poly/expression.h"
#include "poly/index_function.h"
#include "poly/polyhedron.h"
#include "poly/rank.h"
#include "program/program.h"
#include "program/statement.h"

namespace {

const char* const kHeader =
    "#include <math.h>\n"
    "#include <malloc.h>\n"
    "#include <stdio.h>\n"
    "#include <stdlib.h> //for exit()\n"
    "\n"
    "#define true 1\n"
    "#define false 0\n"
    "\n"
    "//Correct euclidian division with negative integers\n"
    "#define floord(n,d) (int)(floor(((double)(n))/((double)(d))))\n"
    "#define ceild(n,d) (int)(ceil(((double)(n))/((double)(d))))\n"
    "#define min(x,y) ((x)<(y)?(x):(y))\n"
    "#define max(x,y) ((x)<(y)?(y):(x))\n"
    "#define ceild(n,d) (int)(ceil(((double)(n))/((double)(d))))\n"
    "#define div(a,b) ((a)>=0?(a)/(b):((a)-(ceild(-(a),(b))*(b)+(a))%(b))/(b))\n"
    "\n";

const char* const kMain =
    "\n"
    "int main(int argc, char** argv)\n"
    "{\n"
    "  //Find the red limit\n"
    "  int* red_limit = red_bottom_level();\n"
    "  print_red_date(red_limit);\n"
    "\n"
    "  //Find the green limit\n"
    "  int* green_limit = green_bottom_level(red_limit);\n"
    "  print_green_date(green_limit);\n"
    "\n"
    "  //KERNEL CODE HERE, with\n"
    "  //  if(below_red_stmtk(red_limit,iteration)) --stmtk for GPU-- )\n"
    "  //  if(below_green_stmtk(green_limit,red_limit,iteration)) --stmtk for CPU+GPU-- )\n"
    "\n"
    "  free(red_limit);\n"
    "  free(green_limit);\n"
    "  return 0;\n"
    "}\n";

void section(std::ostream& os, const std::string& title) { os << "//\n// " << title << "\n//\n"; }

// "t_counter_0,t_counter_1" (joined by sep, each after a prefix).
std::string names(const std::vector<int>& counters, const std::string& prefix,
                  const std::string& sep)
{
  std::string r;
  for (size_t k = 0; k < counters.size(); k++)
    r += (k ? sep : "") + prefix + get_counter_string(counters[k]);
  return r;
}

std::string parameter_list(const std::vector<int>& parameters)
{
  std::string r;
  for (size_t k = 0; k < parameters.size(); k++)
    r += (k ? ", " : "") + std::string("int ") + get_parameter_string(parameters[k]);
  return r;
}

std::string red_limit_copy(int R)
{
  std::string r;
  for (int k = 0; k < R; k++)
    r += "int t_red_" + std::to_string(k) + " = red_limit[" + std::to_string(k) + "]; ";
  return r;
}

// The body of a front-volume function: one count per statement, summed.
std::string volume_body(const std::vector<std::map<Polyhedron*, Expression*>>& volumes)
{
  std::ostringstream body;
  std::vector<std::string> results;
  for (size_t i = 0; i < volumes.size(); i++) {
    body << "\n  //\n  // Front volume for statement #" << i << "\n  //\n";
    std::string v = new_variable("volume_stmt", TYPE_INT);
    results.push_back(v);
    compile(volumes[i], body, v, "  ");
  }
  body << "\n  //\n  // Sum the volumes obtained for each statement\n  //\n";
  std::string total = new_variable("volume_total", TYPE_INT);
  body << "  " << total << " = ";
  for (size_t i = 0; i < results.size(); i++)
    body << (i ? " + " : "") << results[i];
  if (results.empty())
    body << "0";
  body << ";\n\n  return " << total << ";\n";
  return body.str();
}

void date_functions(std::ostream& os, const std::string& color, const std::vector<int>& counters)
{
  int n = static_cast<int>(counters.size());
  os << "int* make_" << color << "_date(" << names(counters, "int ", ", ") << ")\n{\n";
  os << "  int* result_date = (int*)malloc(" << n << "*sizeof(int));\n";
  for (int k = 0; k < n; k++)
    os << "  result_date[" << k << "] = " << get_counter_string(counters[k]) << ";\n";
  os << "  return result_date;\n}\n\n";
  os << "void print_" << color << "_date(int* date)\n{\n";
  for (int k = 0; k < n; k++)
    os << "  printf(\"%d \",date[" << k << "]);\n";
  os << "  printf(\"\\n\");\n}\n\n";
}

// The search loop of one limit, after the function's first lines.
void search(std::ostream& os, const std::string& color, Polyhedron* domain,
            const std::vector<int>& counters, const std::vector<Polyhedron*>& date_sets,
            const std::string& volume_call, int threshold)
{
  print_scan(os, domain, counters, "  ");
  std::string args = names(counters, "", ",");
  os << "    if(";
  Polyhedron::print_code(os, date_sets);
  os << ")\n    //valid date?\n";
  os << "      if(" << volume_call << args << ") >= " << threshold << ")\n";
  os << "        return make_" << color << "_date(" << args << ");\n";
  os << "  printf(\"" << color << "_bottom_level(): not found\\n\");\n  exit(1);\n}\n\n\n";
}

// The check function of every statement: its date at or below the limit.
void level_checks(std::ostream& os, const std::string& color, const Program* program,
                  const std::vector<Schedule*>& schedules, bool green, int R)
{
  for (size_t i = 0; i < program->statement.size(); i++) {
    const Statement* s = program->statement[i];
    const IndexFunction* f = schedules[i]->index_function;
    std::vector<Expression*> limit;
    for (int k = 0; k < f->dimension(); k++) {
      std::string name = color + "_bottom_level[" + std::to_string(k) + "]";
      create_extra_counter_rank(name);
      limit.push_back(Expression::from_counter_rank(get_counter_rank(name)));
    }
    IndexFunction L(limit);
    del(limit);
    std::vector<Polyhedron*> below = f->before_eq(&L);
    os << "int below_" << color << "_stmt" << i << "(int* " << color << "_bottom_level";
    if (green)
      os << ", int* red_limit";
    for (int c : s->surrounding_counters)
      os << ", int " << get_counter_string(c);
    os << ")\n{\n";
    if (green)
      os << "  " << red_limit_copy(R) << "\n";
    os << "  return ";
    Polyhedron::print_code(os, below);
    os << ";\n}\n\n";
    del(below);
  }
}

}  // namespace

std::string generate_program(const LimitAnalysis& a)
{
  int R = static_cast<int>(a.red_level_counters.size());
  int G = static_cast<int>(a.green_level_counters.size());
  std::string red_args = names(a.red_level_counters, "", ",");
  std::string green_args = names(a.green_level_counters, "", ",");
  std::ostringstream os;
  os << kHeader;

  section(os, "Program declarations");
  a.program->print_variable_declaration(os);
  os << "\n";

  section(os, "Red front volume for each bottom level");
  os << "int red_front_volume(" << parameter_list(a.red_level_parameters) << ")\n{\n";
  reset_variables();
  std::string body = volume_body(a.red_front_volumes);
  print_variable_declaration(os, "  ");
  os << body << "}\n\n\n";

  section(os, "Green front volume for each bottom level");
  os << "int green_front_volume(int* red_limit"
     << (G ? ", " + parameter_list(a.green_level_parameters) : std::string()) << ")\n{\n";
  reset_variables();
  body = volume_body(a.green_front_volumes);
  print_variable_declaration(os, "  ");
  os << "  " << red_limit_copy(R) << "\n" << body << "}\n\n\n";

  section(os, "First level executing #GPU kernels in parallel");
  date_functions(os, "red", a.red_level_counters);
  os << "int* red_bottom_level()\n{\n";
  if (R)
    os << "  int " << red_args << ";\n";
  search(os, "red", a.red_level_domain, a.red_level_counters, a.red_date_sets,
         "red_front_volume(", a.nb_gpu);

  section(os, "Red level checking (per statement)");
  level_checks(os, "red", a.program, a.red_schedules, false, R);

  os << "\n";
  section(os, "First level (before red level) executing #CPU+#GPU kernels in parallel");
  date_functions(os, "green", a.green_level_counters);
  os << "int* green_bottom_level(int* red_limit)\n{\n";
  if (G)
    os << "  int " << green_args << ";\n";
  os << "  " << red_limit_copy(R) << "\n";
  search(os, "green", a.green_level_domain, a.green_level_counters, a.green_date_sets,
         G ? "green_front_volume(red_limit," : "green_front_volume(red_limit", a.nb_cpu + a.nb_gpu);

  section(os, "Green level checking (per statement)");
  level_checks(os, "green", a.filtered, a.green_schedules, true, R);

  os << kMain;
  return os.str();
}
