// The model describes the instances the program runs, in the order it runs
// them. Oracle: the C program itself, compiled with each assignment preceded
// by a call that prints the statement and its counters, and run; the model's
// instances are enumerated from the iteration domains (for the sizes the
// program declares) and ordered by the textual schedules.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <functional>

#include "analysis/schedule.h"
#include "driver/preprocessor.h"
#include "algebra/expression.h"
#include "algebra/index_function.h"
#include "algebra/inequation.h"
#include "tests/program/program_test_support.h"

namespace {

struct Kernel {
  std::string name;
  std::string text;
};

void PrintTo(const Kernel& k, std::ostream* os) { *os << k.name; }

using Values = std::map<int, Value>;

bool holds(const Inequation* c, const Values& counters, const Values& parameters)
{
  int a = c->lhs->evaluate_int(counters, parameters);
  int b = c->rhs->evaluate_int(counters, parameters);
  switch (c->pred) {
    case PRED_LT: return a < b;
    case PRED_LE: return a <= b;
    case PRED_GT: return a > b;
    case PRED_GE: return a >= b;
    case PRED_EQ: return a == b;
  }
  return false;
}

class ExecutionOrderTest : public ProgramTest, public ::testing::WithParamInterface<Kernel> {
 protected:
  // "k c1 c2 ..." for every instance of the model, by date.
  std::vector<std::string> model_trace(const Program& program, const Values& parameters)
  {
    std::vector<std::unique_ptr<Schedule>> schedules = Schedule::from_Program(&program);
    std::vector<std::pair<std::vector<Value>, std::string>> dated;
    const int box = 40;
    for (size_t k = 0; k < program.statement.size(); k++) {
      const Statement* s = program.statement[k].get();
      const std::vector<int>& counters = s->surrounding_counters;
      Values point;
      std::function<void(size_t)> walk = [&](size_t level) {
        if (level == counters.size()) {
          for (const Inequation* c : s->iteration_domain->constraints)
            if (!holds(c, point, parameters))
              return;
          std::string line = std::to_string(k);
          for (int c : counters)
            line += " " + std::to_string(point[c]);
          std::vector<Value> date;
          for (const Expression* e : schedules[k]->index_function->index_mapping)
            date.push_back(e->evaluate_int(point, parameters));
          dated.push_back({date, line});
          return;
        }
        for (int v = -box; v <= box; v++) {
          point[counters[level]] = v;
          walk(level + 1);
        }
        point.erase(counters[level]);
      };
      walk(0);
    }
    std::stable_sort(dated.begin(), dated.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> lines;
    for (size_t i = 0; i < dated.size(); i++) {
      EXPECT_TRUE(i == 0 || dated[i].first != dated[i - 1].first) << "two instances at one date";
      lines.push_back(dated[i].second);
    }
    return lines;
  }

  // The lines the program prints when each statement k is preceded by a call
  // printing k and its counters.
  std::vector<std::string> program_trace(const std::string& parsed, const Program& program)
  {
    std::vector<size_t> line_start = {0};
    for (size_t i = 0; i < parsed.size(); i++)
      if (parsed[i] == '\n')
        line_start.push_back(i + 1);
    std::vector<std::pair<size_t, std::string>> calls;
    for (size_t k = 0; k < program.statement.size(); k++) {
      const Statement* s = program.statement[k].get();
      std::string call = "vorl_trace(" + std::to_string(k) + ", " +
                         std::to_string(s->surrounding_counters.size());
      for (int c : s->surrounding_counters)
        call += ", " + get_counter_string(c);
      calls.push_back({line_start.at(s->position.line - 1) + s->position.column - 1, call + "), "});
    }
    std::sort(calls.begin(), calls.end());
    std::string traced = parsed;
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
      traced.insert(it->first, it->second);
    traced = "#include <math.h>\n#include <stdarg.h>\n#include <stdio.h>\n"
             "static int min(int a, int b) { return a < b ? a : b; }\n"
             "static int max(int a, int b) { return a < b ? b : a; }\n"
             "static void vorl_trace(int k, int n, ...) {\n"
             "  va_list v; va_start(v, n); printf(\"%d\", k);\n"
             "  while (n-- > 0) printf(\" %d\", va_arg(v, int));\n  printf(\"\\n\"); va_end(v);\n}\n" +
             traced;
    write("traced.c", traced);
    std::string command = "cd '" + dir_ + "' && cc -w -o traced traced.c -lm 2> cc.txt && ./traced > trace.txt";
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << traced;
    std::ifstream in(dir_ + "/trace.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
      lines.push_back(line);
    return lines;
  }
};

TEST_P(ExecutionOrderTest, ModelInstancesAreThoseTheProgramRunsInItsOrder)
{
  std::unique_ptr<SgProject> first(parse(GetParam().text));
  std::unique_ptr<SgProject> second(preprocess_latency(first.get()));
  std::unique_ptr<Program> program(Program::from_Sage(second.get()));
  extract_latency(program.get());
  Values parameters;
  for (int p = 0; p < get_nb_parameters(); p++) {
    auto value = program->initial_values.find(get_parameter_string(p));
    ASSERT_NE(value, program->initial_values.end()) << "no size for " << get_parameter_string(p);
    parameters[p] = static_cast<int>(value->second);
  }
  std::vector<std::string> expected = model_trace(*program, parameters);
  std::vector<std::string> ran = program_trace(first->unparseToCompleteString(), *program);
  EXPECT_FALSE(ran.empty());
  EXPECT_EQ(ran, expected);
}

const char* const kHead =
    "int N = 7, M = 5;\ndouble A[40][40], B[40][40], C[40][40], x[40], y[40], s;\n"
    "int t[40][40], seq[40];\n";

std::string kernel(const std::string& declarations, const std::string& body)
{
  return std::string(kHead) + declarations + "int main(void) {\n  int i, j, k;\n#pragma resource [2][2]\n" +
         body + "\n  return 0;\n}\n";
}

INSTANTIATE_TEST_SUITE_P(
    Kernels, ExecutionOrderTest,
    ::testing::Values(
        Kernel{"bodies_without_braces",
               kernel("", "  for (i = 0; i < N; i++)\n    for (j = 0; j < M; j++)\n#pragma latency [1][1]\n"
                          "      C[i][j] = 0;\n  for (i = 0; i < N; i++)\n    for (j = 0; j < M; j++)\n"
                          "      for (k = 0; k < 3; k++)\n#pragma latency [4][2]\n"
                          "        C[i][j] += A[i][k] * B[k][j];\n  for (i = 0; i < N; i++)\n"
                          "    if (i > 2)\n#pragma latency [1][1]\n#pragma input [0]\n      x[i] = y[i];\n")},
        Kernel{"loops_counting_down",
               kernel("", "  for (i = N - 1; i >= 0; i--)\n    for (j = i; j < N; j++)\n#pragma latency [1][1]\n"
                          "      A[i][j] = A[i + 1][j] + 1;\n  for (i = 0; i < N; ++i)\n"
                          "    for (j = N; j > i; --j) {\n#pragma latency [1][1]\n      B[i][j] = B[i][j - 1];\n"
                          "      for (k = min(j, M); k >= max(0, j - 3); k -= 1)\n#pragma latency [1][1]\n"
                          "        C[j][k] = C[j][k + 1];\n    }\n  for (k = N; k >= 1; k = k - 1)\n"
                          "#pragma latency [1][1]\n    x[k] = x[k - 1];\n")},
        Kernel{"else_branches",
               kernel("", "  for (i = 0; i < N; i++) {\n    if (i < 3)\n#pragma latency [1][1]\n      x[i] = 0;\n"
                          "    else if (2 * i >= N + 1)\n#pragma latency [1][1]\n      x[i] = 1;\n    else {\n"
                          "#pragma latency [1][1]\n      x[i] = 2;\n    }\n    for (j = 0; j < N; j++)\n"
                          "      if (j <= floor(i / 2)) {\n#pragma latency [1][1]\n        A[i][j] = 1;\n"
                          "      } else\n#pragma latency [1][1]\n        A[i][j] = 2;\n  }\n"
                          "  if (N > 100)\n#pragma latency [1][1]\n    s = 1;\n  else\n#pragma latency [1][1]\n"
                          "    s = 2;\n")},
        Kernel{"integer_division_bounds",
               kernel("", "  for (i = 0; i < N / 2; i++)\n#pragma latency [1][1]\n    x[i] = 0;\n"
                          "  for (i = 0; i <= N / 3 + 1; i++)\n    for (j = i / 2; j < (N - i) / 2 + 2; j++)\n"
                          "#pragma latency [1][1]\n      A[i][j] = 0;\n  for (i = M / 2 - 1; i >= -1 + M / 4; i--)\n"
                          "#pragma latency [1][1]\n    y[i + 1] = 1;\n")},
        Kernel{"increments_and_compound_assignments",
               kernel("", "  for (i = 0; i < N; i++) {\n#pragma latency [1][1]\n    t[i][0]++;\n"
                          "#pragma latency [1][1]\n    --t[i][1];\n#pragma latency [1][1]\n    t[i][2] -= i;\n  }\n"
                          "#pragma latency [1][1]\n  s++;\n")},
        Kernel{"nussinov_macros",
               kernel("#define match(b1, b2) (((b1)+(b2)) == 3 ? 1 : 0)\n"
                      "#define max_score(s1, s2) ((s1 >= s2) ? s1 : s2)\n",
                      "  for (i = N - 1; i >= 0; i--) {\n    for (j = i + 1; j < N; j++) {\n"
                      "      if (j - 1 >= 0)\n#pragma latency [1][1]\n"
                      "        t[i][j] = max_score(t[i][j], t[i][j - 1]);\n      if (i + 1 < N)\n"
                      "#pragma latency [1][1]\n        t[i][j] = max_score(t[i][j], t[i + 1][j]);\n"
                      "      if (j - 1 >= 0 && i + 1 < N) {\n        if (i < j - 1)\n#pragma latency [1][1]\n"
                      "          t[i][j] = max_score(t[i][j], t[i + 1][j - 1] + match(seq[i], seq[j]));\n"
                      "        else\n#pragma latency [1][1]\n          t[i][j] = max_score(t[i][j], t[i + 1][j - 1]);\n"
                      "      }\n      for (k = i + 1; k < j; k++) {\n#pragma latency [1][1]\n"
                      "        t[i][j] = max_score(t[i][j], t[i][k] + t[k + 1][j]);\n      }\n    }\n  }\n")},
        Kernel{"counters_declared_in_loops_and_reused",
               kernel("", "  for (int c = 0; c < M; c++) {\n#pragma latency [1][1]\n    x[c] = 0;\n"
                          "    for (int d = M; d > c; d--)\n#pragma latency [1][1]\n      A[c][d] = 1;\n  }\n"
                          "  for (int c = 2; c <= N; c += 1)\n#pragma latency [1][1]\n    y[c] = x[c - 1];\n")}),
    [](const ::testing::TestParamInfo<Kernel>& info) { return info.param.name; });

}  // namespace
