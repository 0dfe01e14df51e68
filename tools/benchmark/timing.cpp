#include "timing.h"

#include <algorithm>
#include <cstring>

namespace bench {

SamplePlan PlanFromArguments(int argc, char** argv) {
    const bool smoke =
        std::any_of(argv + 1, argv + argc, [](const char* argument) { return std::strcmp(argument, "--smoke") == 0; });
    // At least 21 samples even in a smoke run, so its medians mean something.
    return smoke ? SamplePlan{21, 0.002} : SamplePlan{51, 0.02};
}

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

}  // namespace bench
