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

SamplePlan ShortSamples(const SamplePlan& plan) { return {plan.samples * 20, plan.sampleSeconds / 20}; }

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

double Fastest(const std::vector<double>& seconds) { return *std::min_element(seconds.begin(), seconds.end()); }

Comparison MedianComparison(const PairedSamples& samples) {
    std::vector<double> ratios;
    for (std::size_t s = 0; s < samples.perRepA.size(); ++s) ratios.push_back(samples.perRepA[s] / samples.perRepB[s]);
    return {Median(samples.perRepA), Median(samples.perRepB), Median(ratios)};
}

Comparison FastestComparison(const PairedSamples& samples) {
    const double fastestA = Fastest(samples.perRepA), fastestB = Fastest(samples.perRepB);
    return {fastestA, fastestB, fastestA / fastestB};
}

}  // namespace bench
