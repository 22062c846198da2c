#include "algebra/analysis_context.h"

namespace {

// The context of whatever runs outside any scope (the layers' own tests, the
// code before an analysis starts).
AnalysisContext& process_context()
{
  static AnalysisContext context;
  return context;
}

AnalysisContext* current = nullptr;

}  // namespace

AnalysisContext& analysis_context()
{
  return current != nullptr ? *current : process_context();
}

Options& options() { return analysis_context().options; }

AnalysisScope::AnalysisScope()
    : context_(std::make_unique<AnalysisContext>()), previous_(current)
{
  current = context_.get();
}

AnalysisScope::~AnalysisScope() { current = previous_; }
