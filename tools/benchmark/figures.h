// The figures measured inside the benchmark programs. `where` names the
// build in each row ("native" or "Wine"), as the same code runs in both.
#pragma once

#include <string>

#include "timing.h"

namespace bench {

void RunBatchFigures(const SamplePlan& plan, const std::string& where);
void RunLogFigures(const SamplePlan& plan, const std::string& where);
// The fault guard exists only in the Windows build.
void RunWatcherFigures(const SamplePlan& plan);

}  // namespace bench
