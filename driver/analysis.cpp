#include "driver/analysis.h"

#include <iostream>
#include <memory>
#include <new>
#include <sstream>

#include "analysis/schedule.h"
#include "codegen/bottom_limit.h"
#include "codegen/code_generation.h"
#include "driver/preprocessor.h"
#include "driver/stream_record.h"
#include "frontend/fatal_error.h"
#include "frontend/sg_project.h"
#include "algebra/analysis_context.h"
#include "support/current_step.h"
#include "algebra/expression.h"
#include "support/failure.h"
#include "support/options.h"
#include "polyhedra/polyhedron.h"
#include "program/program.h"
#include "program/statement.h"

AnalysisRequest AnalysisRequest::for_file(const std::string& path, const std::vector<std::string>& switches)
{
  AnalysisRequest request;
  request.arguments.push_back("vorl");
  request.arguments.insert(request.arguments.end(), switches.begin(), switches.end());
  request.arguments.push_back(path);
  return request;
}

AnalysisRequest AnalysisRequest::for_text(const std::string& path, const std::string& text,
                                          const std::vector<std::string>& switches)
{
  AnalysisRequest request = for_file(path, switches);
  request.text = text;
  return request;
}

namespace {

// Ends the run when the program has no assignment: nothing to schedule. The
// message names the resource pragma, or the start of the file.
void refuse_empty_program(const Program* program, const std::string& input)
{
  if (!program->statement.empty())
    return;
  SourcePosition at = program->resource_pragma;
  if (!at.known())
    at = SourcePosition{input, 1, 1, ""};
  fail(Stream::Out, at.prefix() + "Preprocessor::extract_latency: no assignment to analyse: expect "
                                  "at least one assignment with its latency pragma");
}

template <typename T>
std::string printed(const T& x)
{
  std::ostringstream os;
  os << x;
  return os.str();
}

std::string code_of(const Polyhedron& p)
{
  std::ostringstream os;
  p.print_code(os);
  return os.str();
}

LimitSide side_of(const std::vector<std::unique_ptr<Schedule>>& schedules,
                  const std::vector<OwnedPieces<Expression>>& volumes, const Polyhedron* level_domain)
{
  LimitSide side;
  for (const auto& s : schedules)
    side.schedules.push_back(printed(*s));
  for (const OwnedPieces<Expression>& pieces : volumes) {
    std::string count;
    for (const auto& [domain, volume] : pieces)
      count += code_of(*domain) + ": " + printed(*volume) + "\n";
    side.counts.push_back(count);
  }
  if (level_domain != nullptr)
    side.level_domain = code_of(*level_domain);
  return side;
}

std::string schedules_text(const LimitIngredients& limits)
{
  std::string text;
  for (const auto& [name, side] : {std::make_pair("red", &limits.red), std::make_pair("green", &limits.green)}) {
    text += std::string(name) + ":\n";
    for (std::size_t i = 0; i < side->schedules.size(); i++)
      text += "  Statement #" + std::to_string(i) + ": " + side->schedules[i] + "\n";
  }
  return text;
}

// The pipeline, in the current context; the streams are already recorded.
void run_pipeline(const AnalysisRequest& request, AnalysisResult& result)
{
  set_current_step("reading the program");
  std::unique_ptr<SgProject> project(request.text ? frontend(request.arguments, *request.text)
                                                  : frontend(request.arguments));
  options() = Options::from_arguments(project->get_originalCommandLineArgumentList());
  if (project->numberOfFiles() == 0)
    return;
  set_current_step("reading the pragmas");
  std::unique_ptr<SgProject> rewritten(preprocess_latency(project.get()));
  set_current_step("building the polyhedral model");
  std::unique_ptr<Program> program = Program::from_Sage(rewritten.get());
  set_current_step("reading the latencies");
  auto [maps, resources] = extract_latency(program.get());
  refuse_empty_program(program.get(), rewritten->get_file(0)->getFileName());
  LimitAnalysis analysis = analyze_bottom_limit(program.get(), maps[0], maps[1], maps[2], resources);
  std::cerr << "Step 5. Generate the code --> " << request.output_name << std::endl;
  set_current_step("generating the code");
  result.out_c = generate_program(analysis);
  result.limits.nb_cpu = analysis.nb_cpu;
  result.limits.nb_gpu = analysis.nb_gpu;
  result.limits.red =
      side_of(analysis.red_schedules, analysis.red_front_volumes, analysis.red_level_domain.get());
  result.limits.green =
      side_of(analysis.green_schedules, analysis.green_front_volumes, analysis.green_level_domain.get());
  result.schedules = schedules_text(result.limits);
  result.outcome = AnalysisResult::Outcome::Done;
  result.status = 0;
}

// Ends the analysis with the line of a failure on its stream.
void stop(AnalysisResult& result, Stream stream, const std::string& line, int status)
{
  std::cout.flush();
  (stream == Stream::Out ? std::cout : std::cerr) << line << std::endl;
  result.outcome = AnalysisResult::Outcome::Failed;
  result.status = status;
  result.failure = line;
}

}  // namespace

AnalysisResult run_analysis(const AnalysisRequest& request)
{
  AnalysisResult result;
  StreamRecord output(std::cout, request.echo, request.record);
  StreamRecord diagnostics(std::cerr, request.echo, request.record);
  {
    AnalysisScope scope;
    try {
      run_pipeline(request, result);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const Failure& e) {
      stop(result, e.stream(), e.report(), e.status());
    } catch (const FrontendError& e) {
      stop(result, Stream::Err, e.what(), 1);
    } catch (const std::exception& e) {
      stop(result, Stream::Err, Failure(Stream::Err, e.what(), 1, current_step()).report(), 1);
    }
  }
  result.output = output.text();
  result.diagnostics = diagnostics.text();
  return result;
}
