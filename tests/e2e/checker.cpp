#include "tests/e2e/checker.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/e2e/instances.h"
#include "tests/e2e/vorl_listing.h"

namespace e2e {

namespace fs = std::filesystem;

int shell(const std::string& command)
{
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string slurp(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void spit(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

ScratchFolder::ScratchFolder(bool keep) : keep_(keep)
{
  std::string pattern = (fs::temp_directory_path() / "vorl_e2e_XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw CheckError("cannot make a scratch folder");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder()
{
  std::error_code ignored;
  if (!keep_)
    fs::remove_all(path_, ignored);
}

std::string CheckResult::summary() const
{
  std::string r;
  for (const Finding& f : findings)
    r += f.check + ": " + f.detail + "\n";
  if (!folder.empty())
    r += "kept in " + folder + "\n";
  return r;
}

namespace {

std::vector<std::string> lines_of(const std::string& text, bool keep_empty = false)
{
  std::vector<std::string> r;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (keep_empty || !line.empty())
      r.push_back(line);
  return r;
}

std::string first_lines(const std::string& text, size_t n)
{
  std::vector<std::string> all = lines_of(text);
  std::string r;
  for (size_t i = 0; i < all.size() && i < n; i++)
    r += (i ? " | " : "") + all[i];
  return r;
}

std::string date_text(const Date& d)
{
  std::string r = "[";
  for (size_t i = 0; i < d.size(); i++)
    r += (i ? "," : "") + std::to_string(d[i]);
  return r + "]";
}

// The instances of the program with what the checks need of each.
struct Run {
  const AnnotatedSource& source;
  const VorlListing& listing;
  std::vector<std::vector<std::string>> names;  // recorded per statement
  std::vector<Instance> instances;
  std::vector<size_t> ordinal;  // of each instance among its statement's

  long value(const Instance& x, const std::string& name, const Date& red_limit) const
  {
    const std::vector<std::string>& n = names[x.statement];
    auto it = std::find(n.begin(), n.end(), name);
    if (it != n.end())
      return x.values[it - n.begin()];
    if (name.rfind("t_red_", 0) == 0) {
      size_t k = std::stoul(name.substr(6));
      if (k < red_limit.size())
        return red_limit[k];
    }
    throw CheckError("statement #" + std::to_string(x.statement) + ": no value for " + name);
  }

  Date date(const Instance& x, const Schedule& s, const Date& red_limit = {}) const
  {
    Date d;
    for (const AffineText& e : s)
      d.push_back(e.evaluate([&](const std::string& n) { return value(x, n, red_limit); }));
    return d;
  }

  std::string describe(size_t i, const Date& d) const
  {
    const Instance& x = instances[i];
    std::string r = "S" + std::to_string(x.statement) + "#" + std::to_string(ordinal[i]) + "(";
    for (size_t k = 0; k < x.values.size(); k++)
      r += (k ? "," : "") + names[x.statement][k] + "=" + std::to_string(x.values[k]);
    return r + ")@" + date_text(d);
  }
};

// The names each statement's schedules read, but the red limit's, then the
// counters it mentions (for the diagnostics).
std::vector<std::vector<std::string>> recorded_names(const VorlListing& listing, const AnnotatedSource& source)
{
  std::vector<std::vector<std::string>> r(listing.red.size());
  auto add = [&](size_t k, const Schedule& s) {
    for (const AffineText& e : s)
      for (const std::string& n : e.names())
        if (n.rfind("t_red_", 0) != 0 && std::find(r[k].begin(), r[k].end(), n) == r[k].end())
          r[k].push_back(n);
  };
  for (size_t k = 0; k < listing.red.size(); k++)
    add(k, listing.red[k]);
  for (size_t n = 0; n < listing.green.size(); n++)
    add(listing.pieces[n].statement, listing.green[n]);
  std::vector<std::vector<std::string>> counters = counters_mentioned(source);
  for (size_t k = 0; k < r.size() && k < counters.size(); k++)
    for (const std::string& c : counters[k])
      if (std::find(r[k].begin(), r[k].end(), c) == r[k].end())
        r[k].push_back(c);
  return r;
}

// The shell command that runs `command` in `folder`, bounded in time and in
// memory: a compiler that goes astray on a generated file must not take the
// machine with it.
std::string bounded(const std::string& folder, const std::string& command, int seconds = 120)
{
  return "cd '" + folder + "' && ulimit -v 4194304 && timeout " + std::to_string(seconds) + " " + command;
}

}  // namespace

std::vector<Instance> traced_instances(const std::string& folder, const AnnotatedSource& source,
                                       const std::vector<std::vector<std::string>>& names)
{
  spit(folder + "/kernel.cpp", instrumented_program(source, names));
  if (shell(bounded(folder, "g++ -std=c++17 -O1 -w -I'" VORL_SOURCE_DIR "/tests/e2e' -o kernel kernel.cpp 2> kernel.err")) != 0)
    throw CheckError("the instrumented program does not compile: " + first_lines(slurp(folder + "/kernel.err"), 3));
  if (shell(bounded(folder, "./kernel > kernel.out 2>&1", 60)) != 0)
    throw CheckError("the instrumented program fails: " + first_lines(slurp(folder + "/kernel.out"), 3));
  return read_trace(slurp(folder + "/trace.txt"));
}

namespace {

// Every dependence among the selected instances must be respected by their
// dates, with the latency of the later instance.
void check_dependences(const Run& run, const std::vector<Date>& dates, const std::vector<bool>& kept,
                       const std::vector<long>& latency, const std::string& check, std::vector<Finding>& findings)
{
  std::vector<Dependence> all = dependences(run.instances, kept);
  size_t wrong = 0;
  std::string first;
  for (const Dependence& d : all) {
    long l = latency[run.instances[d.to].statement];
    if (respects(dates[d.from], dates[d.to], l))
      continue;
    if (wrong++ < 3)
      first += "; " + run.describe(d.from, dates[d.from]) + " before " + run.describe(d.to, dates[d.to]) +
               " with latency " + std::to_string(l);
  }
  if (wrong)
    findings.push_back({check, std::to_string(wrong) + " of " + std::to_string(all.size()) +
                                   " dependences not respected" + first});
}

struct Limits {
  std::string printed;
  int status = 1;
  bool status_known = true;  // false when the green limit could not be computed
};

Limits expected_limits(const Run& run, std::vector<Finding>& findings)
{
  const AnnotatedSource& source = run.source;
  const VorlListing& listing = run.listing;
  const std::vector<Instance>& xs = run.instances;
  size_t red_length = 0, green_length = 0;
  for (const Schedule& s : listing.red)
    red_length = std::max(red_length, s.size());
  for (const Schedule& s : listing.green)
    green_length = std::max(green_length, s.size());

  std::vector<Date> red(xs.size());
  for (size_t i = 0; i < xs.size(); i++)
    red[i] = run.date(xs[i], listing.red[xs[i].statement]);
  std::vector<Date> red_padded;
  for (const Date& d : red)
    red_padded.push_back(padded(d, red_length));
  std::vector<long> gpu, averaged;
  long machine = source.cpus + source.gpus;
  for (const AnnotatedStatement& s : source.statements) {
    gpu.push_back(s.gpu_latency);
    averaged.push_back(machine ? (source.gpus * s.gpu_latency + source.cpus * s.cpu_latency) / machine : 0);
  }
  check_dependences(run, red_padded, {}, gpu, "red dependences", findings);

  std::optional<Date> red_limit = first_date_with(red_padded, source.gpus);
  Limits r{limit_line(red_limit, "red") + "\n", 1};
  if (!red_limit)
    return r;

  // The instances beyond the red limit, each in the piece of its statement
  // and of the level at which its red date passes the limit.
  std::vector<bool> beyond(xs.size(), false);
  std::vector<Date> green(xs.size());
  std::vector<Date> green_dates;
  size_t missing = 0;
  std::string first_missing;
  for (size_t i = 0; i < xs.size(); i++) {
    if (!(*red_limit < red_padded[i]))
      continue;
    beyond[i] = true;
    size_t level = 0;
    while (level < red[i].size() && red[i][level] == (*red_limit)[level])
      level++;
    auto piece = std::find_if(listing.pieces.begin(), listing.pieces.end(), [&](const Piece& p) {
      return p.statement == xs[i].statement && static_cast<size_t>(p.level) == level;
    });
    if (piece == listing.pieces.end()) {
      if (missing++ == 0)
        first_missing = run.describe(i, red[i]) + " at level " + std::to_string(level);
      continue;
    }
    green[i] = padded(run.date(xs[i], listing.green[piece - listing.pieces.begin()], *red_limit), green_length);
    green_dates.push_back(green[i]);
  }
  if (missing) {
    findings.push_back({"pieces", std::to_string(missing) + " instances beyond the red limit " +
                                      date_text(*red_limit) + " in no piece, first " + first_missing});
    r.status_known = false;
    return r;
  }
  check_dependences(run, green, beyond, averaged, "green dependences", findings);
  std::optional<Date> green_limit = first_date_with(green_dates, machine);
  r.printed += limit_line(green_limit, "green") + "\n";
  r.status = green_limit ? 0 : 1;
  return r;
}

void compare_limits(const std::string& printed, int status, const Limits& expected, std::vector<Finding>& findings)
{
  std::vector<std::string> seen = lines_of(printed, true), wanted = lines_of(expected.printed, true);
  const char* const names[] = {"red limit", "green limit"};
  size_t known = expected.status_known ? 2 : 1;
  for (size_t k = 0; k < known && k < std::max(seen.size(), wanted.size()); k++) {
    std::string s = k < seen.size() ? seen[k] : "(nothing)", w = k < wanted.size() ? wanted[k] : "(nothing)";
    if (s != w)
      findings.push_back({names[k], "out.c printed '" + s + "', expected '" + w + "'"});
  }
  if (seen.size() > 2)
    findings.push_back({"out.c output", "more than two lines: " + first_lines(printed, 4)});
  if (expected.status_known && status != expected.status)
    findings.push_back({"out.c status", std::to_string(status) + ", expected " + std::to_string(expected.status)});
}

// The last line vorl wrote that is not a progress line: its message.
std::string message_of(const std::string& out, const std::string& err)
{
  for (const std::string* stream : {&err, &out}) {
    std::vector<std::string> lines = lines_of(*stream);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
      if (it->rfind("Step ", 0) != 0 && it->rfind("  ", 0) != 0 && it->rfind("Statement #", 0) != 0)
        return *it;
  }
  return "(no message)";
}

bool have_clang() { return shell("command -v clang > /dev/null 2>&1") == 0; }

// Compiles out.c with gcc (strict, else lenient, so that the limits are
// still checked) and clang; runs it. False when there is nothing to run.
bool run_out_c(const std::string& folder, CheckResult& r, int& status)
{
  const std::string strict = " -Wall -Wextra -Werror -o ";
  const std::string limits = " (bounded to 4 GiB and 120 s)";
  if (int s = shell(bounded(folder, "gcc" + strict + "out out.c -lm 2> gcc.err")); s != 0) {
    r.findings.push_back({"out.c gcc", first_lines(slurp(folder + "/gcc.err"), 2) + (s == 124 ? " timeout" : "")});
    if (s == 124 || shell(bounded(folder, "gcc -w -o out out.c -lm 2> gcc.err")) != 0) {
      r.findings.push_back({"out.c gcc", "no build even without warnings" + limits + ": " +
                                             first_lines(slurp(folder + "/gcc.err"), 2)});
      return false;
    }
  }
  status = shell(bounded(folder, "./out > out.txt 2>&1", 60));
  r.printed = slurp(folder + "/out.txt");
  if (have_clang()) {
    if (int s = shell(bounded(folder, "clang" + strict + "out_clang out.c -lm 2> clang.err")); s != 0) {
      r.findings.push_back({"out.c clang", first_lines(slurp(folder + "/clang.err"), 2) + (s == 124 ? " timeout" : "")});
    } else {
      int clang_status = shell(bounded(folder, "./out_clang > out_clang.txt 2>&1", 60));
      if (clang_status != status || slurp(folder + "/out_clang.txt") != r.printed)
        r.findings.push_back({"out.c clang", "prints otherwise than with gcc: " +
                                                 first_lines(slurp(folder + "/out_clang.txt"), 2)});
    }
  }
  return true;
}

}  // namespace

std::vector<Finding> judge(const std::string& folder, const AnnotatedSource& source,
                           const std::string& vorl_error_stream, const std::string& printed, int out_status)
{
  std::vector<Finding> findings;
  try {
    VorlListing listing = read_listing(vorl_error_stream);
    if (listing.red.size() != source.statements.size())
      throw CheckError(std::to_string(listing.red.size()) + " red schedules for " +
                       std::to_string(source.statements.size()) + " annotated assignments");
    Run run{source, listing, recorded_names(listing, source), {}, {}};
    run.instances = traced_instances(folder, source, run.names);
    std::vector<size_t> per_statement(source.statements.size(), 0);
    for (const Instance& x : run.instances) {
      if (x.statement < 0 || static_cast<size_t>(x.statement) >= source.statements.size() ||
          x.values.size() != run.names[x.statement].size())
        throw CheckError("trace: a malformed instance of statement #" + std::to_string(x.statement));
      run.ordinal.push_back(per_statement[x.statement]++);
    }
    Limits expected = expected_limits(run, findings);
    compare_limits(printed, out_status, expected, findings);
  } catch (const CheckError& e) {
    findings.push_back({"checker", e.what()});
  }
  return findings;
}

CheckResult check_program(const std::string& name, const std::string& text, const CheckOptions& options)
{
  CheckResult r;
  try {
    AnnotatedSource source = read_annotated_source(text);
    const char* keep = std::getenv("VORL_E2E_KEEP");
    ScratchFolder folder(keep && *keep);
    if (keep && *keep)
      r.folder = folder.path();
    spit(folder.path() + "/" + name + ".c", text);
    auto start = std::chrono::steady_clock::now();
    r.vorl_status = shell("cd '" + folder.path() + "' && timeout " + std::to_string(options.vorl_timeout_seconds) +
                          " '" + options.vorl + "' -verbose '" + name + ".c' > vorl.out 2> vorl.err");
    r.vorl_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string err = slurp(folder.path() + "/vorl.err");
    if (r.vorl_status == 124) {
      r.findings.push_back({"vorl", "no answer within " + std::to_string(options.vorl_timeout_seconds) + " s"});
      return r;
    }
    if (r.vorl_status != 0) {
      r.findings.push_back({"vorl", "status " + std::to_string(r.vorl_status) + ": " +
                                        message_of(slurp(folder.path() + "/vorl.out"), err)});
      return r;
    }
    if (!fs::exists(folder.path() + "/out.c")) {
      r.findings.push_back({"vorl", "status 0 without out.c"});
      return r;
    }
    int status = -1;
    if (!run_out_c(folder.path(), r, status))
      return r;
    std::vector<Finding> more = judge(folder.path(), source, err, r.printed, status);
    r.findings.insert(r.findings.end(), more.begin(), more.end());
  } catch (const CheckError& e) {
    r.findings.push_back({"checker", e.what()});
  }
  return r;
}

}  // namespace e2e
