// The text of out.c: the program's declarations and parameters, the counts
// per bottom level, the searches of the red and green limits, the
// per-statement checks, the parallelism profile and a main that reads the
// parameter values from its command line and prints both limits.
#include <algorithm>
#include <cctype>
#include <climits>
#include <optional>
#include <regex>
#include <sstream>

#include "analysis/schedule.h"
#include "support/ownership.h"
#include "codegen/code_generation.h"
#include "codegen/generated_runtime.h"
#include "polyhedra/count_code.h"
#include "polyhedra/enumeration_expression.h"
#include "algebra/expression.h"
#include "algebra/index_function.h"
#include "polyhedra/polyhedron.h"
#include "algebra/rank.h"
#include "program/program.h"
#include "program/statement.h"

namespace {

// Names that the generated program defines as macros: a parameter of that
// name is left to the program's own declaration.
const char* const kOwnMacros[] = {"true", "false", "floord", "ceild", "min", "max", "div"};

void section(std::ostream& os, const std::string& title) { os << "//\n// " << title << "\n//\n"; }

// The identifiers of C text, outside comments and literals.
std::set<std::string> identifiers(const std::string& text)
{
  std::set<std::string> r;
  size_t k = 0, n = text.size();
  auto word = [&text](size_t at) {
    return std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '_';
  };
  while (k < n) {
    char c = text[k];
    if (c == '/' && k + 1 < n && text[k + 1] == '/') {
      k = text.find('\n', k);
      k = k == std::string::npos ? n : k;
    } else if (c == '/' && k + 1 < n && text[k + 1] == '*') {
      k = text.find("*/", k + 2);
      k = k == std::string::npos ? n : k + 2;
    } else if (c == '"' || c == '\'') {
      for (k++; k < n && text[k] != c; k++)
        if (text[k] == '\\')
          k++;
      k++;
    } else if (word(k)) {
      size_t start = k;
      while (k < n && word(k))
        k++;
      if (!std::isdigit(static_cast<unsigned char>(text[start])))
        r.insert(text.substr(start, k - start));
    } else {
      k++;
    }
  }
  return r;
}

// "t_counter_0,t_counter_1" (joined by sep, each after a prefix).
std::string names(const std::vector<int>& counters, const std::string& prefix,
                  const std::string& sep)
{
  std::string r;
  for (size_t k = 0; k < counters.size(); k++)
    r += (k ? sep : "") + prefix + get_counter_string(counters[k]);
  return r;
}

std::vector<std::string> parameter_names(const std::vector<int>& parameters)
{
  std::vector<std::string> r;
  for (int p : parameters)
    r.push_back(get_parameter_string(p));
  return r;
}

std::string parameter_list(const std::vector<std::string>& names)
{
  std::string r;
  for (size_t k = 0; k < names.size(); k++)
    r += (k ? ", " : "") + std::string("long long ") + names[k];
  return r;
}

// A function: its head, its declarations, "(void)name;" for each parameter
// that nothing uses (so that no compiler warns), and its statements.
void function(std::ostream& os, const std::string& head, const std::vector<std::string>& parameters,
              const std::string& declarations, const std::string& statements)
{
  std::set<std::string> used = identifiers(declarations + statements);
  os << head << "\n{\n" << declarations;
  for (const std::string& p : parameters)
    if (!used.count(p))
      os << "  (void)" << p << ";\n";
  os << statements << "}\n";
}

// The components of the red limit that the body reads, bound to t_red_k.
std::string red_limit_copy(int R, const std::string& body)
{
  std::set<std::string> used = identifiers(body);
  std::string r;
  for (int k = 0; k < R; k++) {
    std::string name = "t_red_" + std::to_string(k);
    if (used.count(name))
      r += (r.empty() ? "" : " ") +
           ("long long " + name + " = red_limit[" + std::to_string(k) + "];");
  }
  return r.empty() ? r : "  " + r + "\n";
}

// The declarations of the typed variables (algebra/rank.h) that the body uses.
std::string variable_declarations(const std::string& body)
{
  std::set<std::string> used = identifiers(body);
  std::ostringstream os;
  for (const auto& [base, by_type] : registry().variable_type)
    for (const auto& [type, suffixes] : by_type) {
      std::string list;
      for (int s : suffixes) {
        std::string name = base + "_" + std::to_string(s);
        if (used.count(name))
          list += (list.empty() ? "" : ",") + name;
      }
      if (list.empty())
        continue;
      os << "  ";
      print_variable_type(os, type);
      os << " " << list << ";\n";
    }
  return os.str();
}

// Writes into `body` the count of one statement at the date of the level
// parameters, into the variable v. Another way of counting (a loop nest over
// the points of a piece) would take this place.
void statement_count(std::ostream& body, const OwnedPieces<Expression>& volume,
                     const std::string& v)
{
  compile(volume.map(), body, v, "  ");
}

// The body of a front-volume function: one count per statement, summed.
std::string volume_body(const std::vector<OwnedPieces<Expression>>& volumes)
{
  std::ostringstream body;
  std::vector<std::string> results;
  for (size_t i = 0; i < volumes.size(); i++) {
    body << "\n  //\n  // Front volume for statement #" << i << "\n  //\n";
    std::string v = new_variable("volume_stmt", TYPE_LONG_LONG);
    results.push_back(v);
    statement_count(body, volumes[i], v);
  }
  body << "\n  //\n  // Sum the volumes obtained for each statement\n  //\n";
  std::string total = new_variable("volume_total", TYPE_LONG_LONG);
  std::string sum = results.empty() ? "0" : results[0];
  for (size_t i = 1; i < results.size(); i++)
    sum = "vorl_add(" + sum + ", " + results[i] + ")";
  if (results.size() > 1)
    sum = "vorl_count(" + sum + ", 1)";
  body << "  " << total << " = " << sum << ";\n\n  return " << total << ";\n";
  return body.str();
}

void volume_function(std::ostream& os, const std::string& color,
                     const std::vector<OwnedPieces<Expression>>& volumes,
                     const std::vector<int>& level_parameters, int R, bool green)
{
  reset_variables();
  std::string body = volume_body(volumes);
  std::vector<std::string> parameters = parameter_names(level_parameters);
  std::string head = "long long " + color + "_front_volume(";
  if (green)
    head += "long long* red_limit" + std::string(parameters.empty() ? "" : ", ");
  else if (parameters.empty())
    head += "void";
  head += parameter_list(parameters) + ")";
  if (green)
    parameters.insert(parameters.begin(), "red_limit");
  std::string copy = green ? red_limit_copy(R, body) : "";
  function(os, head, parameters, variable_declarations(body) + copy, body);
  os << "\n\n";
}

void date_functions(std::ostream& os, const std::string& color, const std::vector<int>& counters)
{
  int n = static_cast<int>(counters.size());
  os << "long long* make_" << color << "_date("
     << (n ? names(counters, "long long ", ", ") : "void") << ")\n{\n";
  os << "  long long* result_date = (long long*)malloc(" << std::max(n, 1)
     << "*sizeof(long long));\n";
  for (int k = 0; k < n; k++)
    os << "  result_date[" << k << "] = " << get_counter_string(counters[k]) << ";\n";
  os << "  return result_date;\n}\n\n";
  os << "void print_" << color << "_date(long long* date)\n{\n";
  if (n == 0)
    os << "  (void)date;\n";
  for (int k = 0; k < n; k++)
    os << "  printf(\"%lld \",date[" << k << "]);\n";
  os << "  printf(\"\\n\");\n}\n\n";
}

// What one color's searches need.
struct Search {
  std::string color;
  Polyhedron* domain;
  std::vector<int> counters;
  std::vector<Polyhedron*> date_sets;
  long long threshold;
  int R;  // components of the red limit, bound in the green searches
  // The text of the scan, made at its first use (the search and the profile
  // scan the same dates).
  mutable std::optional<std::string> scan;
  bool green() const { return color == "green"; }
  std::string volume_call() const
  {
    std::string args = names(counters, "", ",");
    if (green())
      return "green_front_volume(red_limit" + (args.empty() ? "" : "," + args) + ")";
    return "red_front_volume(" + args + ")";
  }
  std::string head(const std::string& name) const
  {
    return "long long* " + color + "_" + name + (green() ? "(long long* red_limit)" : "(void)");
  }
  std::vector<std::string> parameters() const
  {
    return green() ? std::vector<std::string>{"red_limit"} : std::vector<std::string>();
  }
};

// The loop nest of one search over the level domain, with the date-set test,
// ending with the statement that the caller gives for a valid date.
std::string scan_dates(const Search& s, const std::string& valid_date)
{
  if (!s.scan) {
    std::ostringstream os;
    if (!s.counters.empty())
      os << "  long long " << names(s.counters, "", ",") << ";\n";
    print_scan(os, s.domain, s.counters, "  ");
    os << "    if(";
    Polyhedron::print_code(os, s.date_sets);
    os << ")\n";
    s.scan = os.str();
  }
  return *s.scan + valid_date;
}

void search_function(std::ostream& os, const Search& s)
{
  std::string args = names(s.counters, "", ",");
  std::string body =
      scan_dates(s, "    //valid date?\n      if(" + s.volume_call() + " >= " +
                     std::to_string(s.threshold) + ")\n        return make_" + s.color + "_date(" +
                     args + ");\n") +
      "  printf(\"" + s.color + "_bottom_level(): not found\\n\");\n  exit(1);\n";
  function(os, s.head("bottom_level"), s.parameters(), s.green() ? red_limit_copy(s.R, body) : "",
           body);
  os << "\n\n";
}

void profile_function(std::ostream& os, const Search& s)
{
  std::string args = names(s.counters, "", ",");
  std::string body =
      "  long long* vorl_limit = 0;\n" +
      scan_dates(s, "      vorl_limit = vorl_profile_row(\"" + s.color + "\", vorl_limit, make_" +
                     s.color + "_date(" + args + "), " + std::to_string(s.counters.size()) + ", " +
                     s.volume_call() + ", " + std::to_string(s.threshold) + ");\n") +
      "  return vorl_limit;\n";
  function(os, s.head("profile"), s.parameters(), s.green() ? red_limit_copy(s.R, body) : "",
           body);
  os << "\n";
}

// The check function of every statement: its date at or below the limit.
void level_checks(std::ostream& os, const std::string& color, const Program* program,
                  const std::vector<Schedule*>& schedules, bool green, int R)
{
  for (size_t i = 0; i < program->statement.size(); i++) {
    const Statement* s = program->statement[i].get();
    const IndexFunction* f = schedules[i]->index_function;
    std::vector<std::unique_ptr<Expression>> limit;
    for (int k = 0; k < f->dimension(); k++) {
      std::string name = color + "_bottom_level[" + std::to_string(k) + "]";
      create_extra_counter_rank(name);
      limit.push_back(Expression::from_counter_rank(get_counter_rank(name)));
    }
    IndexFunction L(view(limit));
    std::vector<std::unique_ptr<Polyhedron>> below = f->before_eq(&L);
    std::string head = "int below_" + color + "_stmt" + std::to_string(i) + "(long long* " +
                       color + "_bottom_level";
    std::vector<std::string> parameters{color + "_bottom_level"};
    if (green) {
      head += ", long long* red_limit";
      parameters.push_back("red_limit");
    }
    for (int c : s->surrounding_counters) {
      head += ", long long " + get_counter_string(c);
      parameters.push_back(get_counter_string(c));
    }
    std::ostringstream body;
    body << "  return ";
    Polyhedron::print_code(body, view(below));
    body << ";\n";
    std::string text = body.str();
    function(os, head + ")", parameters, green ? red_limit_copy(R, text) : "", text);
    os << "\n";
  }
}

bool is_own_macro(const std::string& name)
{
  return std::find(std::begin(kOwnMacros), std::end(kOwnMacros), name) != std::end(kOwnMacros);
}

// The value a declaration of the program gives the name ("int N = 100;"),
// for the values the model does not hold.
bool declared_value(const Program* program, const std::string& name, long long& value)
{
  std::regex initialised("(^|[^\\w])" + name + "\\s*=\\s*([-+]?\\d+)\\s*[,;]");
  for (const std::string& d : program->variable_declaration) {
    std::smatch m;
    if (std::regex_search(d, m, initialised)) {
      try {
        value = std::stoll(m[2]);
        return true;
      } catch (const std::exception&) {
        return false;
      }
    }
  }
  return false;
}

// The table of the program's parameters (those that the extraction
// registered) and a macro that makes each name read its value there. A
// macro of the program (or of the compiler's command line) of that name
// gives the default value; a parameter that the text uses and without
// default must be given on the command line.
void parameter_table(std::ostream& os, const Program* program, const std::set<std::string>& used)
{
  section(os, "Program parameters: the values of the program, replaced by NAME=VALUE arguments");
  os << "struct vorl_parameter { const char* vorl_name; int vorl_value; int vorl_known; "
        "int vorl_used; };\n";
  os << "static struct vorl_parameter vorl_parameters[] = {\n";
  std::vector<std::string> table;
  for (int rank = 0; rank < program->nb_parameters && rank < get_nb_parameters(); rank++) {
    std::string name = get_parameter_string(rank);
    if (is_own_macro(name))
      continue;
    long long value = 0;
    auto given = program->initial_values.find(name);
    bool known = given != program->initial_values.end() ? (value = given->second, true)
                                                         : declared_value(program, name, value);
    known = known && value >= INT_MIN && value <= INT_MAX;
    std::string is_used = used.count(name) ? "1" : "0";
    os << "#ifdef " << name << "\n"
       << "  {\"" << name << "\", (" << name << "), 1, " << is_used << "},\n"
       << "#else\n"
       << "  {\"" << name << "\", " << (known ? value : 0) << ", " << known << ", " << is_used
       << "},\n"
       << "#endif\n";
    table.push_back(name);
  }
  os << "  {0, 0, 0, 0}\n};\n";
  for (size_t k = 0; k < table.size(); k++)
    os << "#undef " << table[k] << "\n#define " << table[k] << " ((long long)vorl_parameters[" << k
       << "].vorl_value)\n";
  os << "\n";
}

}  // namespace

std::string generate_program(const LimitAnalysis& a)
{
  int R = static_cast<int>(a.red_level_counters.size());
  Search red{"red", a.red_level_domain.get(), a.red_level_counters, view(a.red_date_sets), a.nb_gpu, R, {}};
  Search green{"green", a.green_level_domain.get(), a.green_level_counters, view(a.green_date_sets),
               static_cast<long long>(a.nb_cpu) + a.nb_gpu, R, {}};
  std::ostringstream os;

  section(os, "Red front volume for each bottom level");
  volume_function(os, "red", a.red_front_volumes, a.red_level_parameters, R, false);

  section(os, "Green front volume for each bottom level");
  volume_function(os, "green", a.green_front_volumes, a.green_level_parameters, R, true);

  section(os, "First level executing #GPU kernels in parallel");
  date_functions(os, "red", a.red_level_counters);
  search_function(os, red);

  section(os, "Red level checking (per statement)");
  level_checks(os, "red", a.program, view(a.red_schedules), false, R);

  os << "\n";
  section(os, "First level (before red level) executing #CPU+#GPU kernels in parallel");
  date_functions(os, "green", a.green_level_counters);
  search_function(os, green);

  section(os, "Green level checking (per statement)");
  level_checks(os, "green", a.filtered.get(), view(a.green_schedules), true, R);

  os << "\n";
  section(os, "Parallelism profile: every date searched, with its front volume");
  profile_function(os, red);
  profile_function(os, green);
  std::string body = os.str();

  std::ostringstream text;
  text << generated_preamble() << count_arithmetic_definitions() << "\n" << generated_profile_row();
  section(text, "Program declarations");
  for (const std::string& m : a.program->macro_definitions)
    text << m << "\n";
  text << generated_declarations_begin();
  a.program->print_variable_declaration(text);
  text << generated_declarations_end() << "\n";
  parameter_table(text, a.program, identifiers(body));
  text << body << "\n" << generated_command_line() << generated_main();
  return text.str();
}
