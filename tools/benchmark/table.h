// Rows of the benchmark table: "figure | measured | limit | ratio | holds?".
// Every program prints its rows; scripts/benchmark.sh lines up the rows of
// all of them as one table.
#pragma once

#include <optional>
#include <string>

#include "timing.h"

namespace bench {

// printf into a string.
std::string Text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "yes" or "NO", for the last column.
const char* Holds(bool holds);

void PrintRow(const std::string& figure, const std::string& measured, const std::string& limit,
              const std::string& ratio, const std::string& holds);

// A figure that could not be measured, and why: the benchmark fails.
void PrintUnmeasuredRow(const std::string& figure, const std::string& why);

// Work timed beside its bare baseline: both times per unit (`scale` units of
// time per second, named `unit`) followed by `note`, and their ratio, which
// may be at most `limit`; without a limit, a row that only informs.
void PrintComparisonRow(const std::string& figure, const Comparison& comparison, double scale, const char* unit,
                        std::optional<double> limit, const std::string& note = {});

// A value that must stay below `limit`.
void PrintBelowRow(const std::string& figure, double value, const char* unit, double limit);

// Text that must come out exactly as expected.
void PrintExactRow(const std::string& figure, const std::string& measured, const std::string& expected);

}  // namespace bench
