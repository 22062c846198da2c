#include "driver/preprocessor.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <unistd.h>

#include "frontend/sg_project.h"
#include "poly/expression.h"
#include "poly/failure.h"
#include "poly/index_function.h"
#include "program/array.h"
#include "program/extraction.h"
#include "program/program.h"
#include "program/statement.h"

namespace {

const char* const kSource = "./latency_source.c";
const char* const kTarget = "./latency_target.c";

const char* const kReservedDeclarations =
    "int****************** latency;\n"
    "int****************** resource;\n"
    "int****************** input;\n"
    "int****************** output;\n";

// The temporary files this process created; removed at exit whatever the
// path (the front-end ends the process itself on a parse error).
bool source_created = false;
bool target_created = false;

void remove_temporaries()
{
  if (source_created)
    std::remove(kSource);
  if (target_created)
    std::remove(kTarget);
  source_created = target_created = false;
}

// Creates path exclusively and writes text into it; a file already there is
// left untouched and ends the process.
void write_new_file(const char* path, const std::string& text, bool& created)
{
  int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) {
    int error = errno;
    remove_temporaries();
    if (error == EEXIST)
      fail(Stream::Err, cat("Preprocessor::preprocess_latency: the file ", path,
                            " already exists (left by another run?); remove it and run again"));
    fail(Stream::Err, cat("Preprocessor::preprocess_latency: cannot create ", path, ": ",
                          std::strerror(error)));
  }
  created = true;
  size_t written = 0;
  while (written < text.size()) {
    ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      int error = errno;
      ::close(fd);
      remove_temporaries();
      fail(Stream::Err, cat("Preprocessor::preprocess_latency: cannot write ", path, ": ",
                            std::strerror(error)));
    }
    written += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) {
    remove_temporaries();
    fail(Stream::Err, cat("Preprocessor::preprocess_latency: cannot write ", path));
  }
}

// One stage: the first "#pragma <keyword>" of the line and the rest of the
// line become "<keyword> <rest> = 0;".
std::string rewrite_line(const std::string& line, const std::string& keyword)
{
  std::string pragma = "#pragma " + keyword;
  size_t at = line.find(pragma);
  if (at == std::string::npos)
    return line;
  return line.substr(0, at) + keyword + " " + line.substr(at + pragma.size()) + " = 0;";
}

// The constant subscripts of a pseudo-statement, or -1 at the first one that
// is not a constant (its position in *bad).
std::vector<int> constants(const Statement* s, const Expression** bad)
{
  std::vector<int> values;
  *bad = nullptr;
  for (const Expression* e : s->lhs_index->index_mapping) {
    if (!e->is_constant()) {
      *bad = e;
      return values;
    }
    values.push_back(e->val);
  }
  return values;
}

bool writes(const std::vector<Statement*>& statements, size_t p, const char* array)
{
  return p < statements.size() && statements[p]->lhs_id == array;
}

[[noreturn]] void refuse(const std::string& message) { fail(Stream::Out, message); }

}  // namespace

std::string rewrite_pragmas(const std::string& text)
{
  static const char* const keywords[] = {"latency", "input", "output", "resource"};
  std::string result;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    bool newline = end != std::string::npos;
    std::string line = text.substr(start, newline ? end - start : std::string::npos);
    for (const char* k : keywords)
      line = rewrite_line(line, k);
    result += line;
    if (newline)
      result += "\n";
    start = newline ? end + 1 : text.size();
  }
  return result;
}

SgProject* import(const std::string& path, const std::vector<std::string>& switches)
{
  std::vector<std::string> arguments{"dummy"};
  arguments.insert(arguments.end(), switches.begin(), switches.end());
  arguments.push_back(path);
  return frontend(arguments);
}

SgProject* preprocess_latency(SgProject* project)
{
  static bool cleanup_registered = false;
  if (!cleanup_registered) {
    std::atexit(remove_temporaries);
    cleanup_registered = true;
  }
  std::string source = std::string(kReservedDeclarations) + project->unparseToCompleteString() + "\n";
  write_new_file(kSource, source, source_created);
  write_new_file(kTarget, rewrite_pragmas(source), target_created);
  // The copy lies in the working directory: the user's file's own directory
  // is searched first for its quoted includes, as in the first parse.
  std::vector<std::string> switches;
  SgSourceFile* file = project->get_file(0);
  std::string directory = file ? std::filesystem::path(file->getFileName()).parent_path().string() : "";
  if (!directory.empty())
    switches.push_back("-I" + directory);
  const std::vector<std::string>& own = project->get_preprocessor_switches();
  switches.insert(switches.end(), own.begin(), own.end());
  SgProject* rewritten = import(kTarget, switches);
  remove_temporaries();
  // The reserved declarations shift every line of the rewritten file.
  source_line_offset = static_cast<int>(
      std::count(kReservedDeclarations, kReservedDeclarations + std::strlen(kReservedDeclarations), '\n'));
  return rewritten;
}

std::pair<LatencyMaps, std::vector<int>> extract_latency(Program* program)
{
  LatencyMaps maps(3);
  std::map<int, std::vector<int>>& latencies = maps[0];
  std::map<int, std::vector<int>>& inputs = maps[1];
  std::map<int, std::vector<int>>& outputs = maps[2];
  std::vector<int> resources;
  const std::vector<Statement*>& st = program->statement;
  int A = 0, L = 0, R = -1;
  const Expression* bad = nullptr;
  for (size_t p = 0; p < st.size(); p++) {
    if (writes(st, p, "resource")) {
      std::vector<int> values = constants(st[p], &bad);
      if (bad)
        refuse("Preprocessor::extract_latency: expect constants");
      resources.insert(resources.end(), values.begin(), values.end());
      if (R != -1)
        refuse("Preprocessor::extract_latency: expect a single resource pragma");
      R = static_cast<int>(p);
    }
    if (writes(st, p, "latency")) {
      std::vector<int> values = constants(st[p], &bad);
      if (bad)
        refuse(cat("Preprocessor::extract_latency: expect a constant latency for assignment #", A + 1));
      std::vector<int>& entry = latencies[A];
      entry.insert(entry.end(), values.begin(), values.end());
      if (L != A)
        refuse(cat("Preprocessor::extract_latency: several latencies for assignment #", A + 1));
      if (writes(st, p + 1, "input")) {
        values = constants(st[p + 1], &bad);
        if (bad)
          refuse(cat("Preprocessor::extract_latency: expect a constant input for assignment #", A + 1));
        std::vector<int>& in = inputs[A];
        in.insert(in.end(), values.begin(), values.end());
        p++;
      }
      if (writes(st, p + 1, "output")) {
        values = constants(st[p + 1], &bad);
        if (bad)
          refuse(cat("Preprocessor::extract_latency: expect a constant output for assignment #", A + 1,
                     "\nFound: ", *bad));
        std::vector<int>& out = outputs[A];
        out.insert(out.end(), values.begin(), values.end());
        p++;
      }
      L++;
    }
    // Every real assignment counts, the first statement too (else its
    // latency-less assignment would go unnoticed and shift the keys of the
    // others); a resource pragma in first place does not.
    bool leading_resource = p == 0 && writes(st, p, "resource");
    if (!leading_resource && !writes(st, p, "latency") && !writes(st, p, "input") &&
        !writes(st, p, "output")) {
      A++;
      if (A != L)
        refuse(cat("Preprocessor::extract_latency: missing latency for assignment #", A));
    }
  }
  std::vector<Statement*> kept;
  for (const Statement* s : st) {
    if (s->lhs_id == "latency" || s->lhs_id == "input" || s->lhs_id == "output" ||
        s->lhs_id == "resource")
      continue;
    Statement* c = s->clone();
    c->stmt_rank = static_cast<int>(kept.size());
    kept.push_back(c);
  }
  program->statement = kept;
  for (const Statement* s : kept) {
    int r = s->stmt_rank;
    int n = s->nb_rhs_references();
    if (inputs.count(r) || outputs.count(r) || n == 0)
      continue;
    for (int k = 0; k < n; k++)
      inputs[r].push_back(k);
  }
  remove_reserved_arrays();
  return {maps, resources};
}
