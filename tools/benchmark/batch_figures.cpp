// The CPU worker's batch against the least that n dependent additions can
// cost, and its progress text, which must not depend on the build.
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "cpu_placement.h"
#include "figures.h"
#include "table.h"
#include "workers/cpu_worker.h"

namespace bench {
namespace {

constexpr std::int32_t kDefaultTerms = 10000;  // the default Iter of the settings file
// Read at run time, so that no loop can be tailored to its length or addend.
volatile std::int32_t gTerms = kDefaultTerms;
volatile double gAddend = bw::kBatchFactor;

// A bare chain of `terms` dependent additions. The empty asm hands the sum
// to code the compiler can't see after every addition, so it can neither
// fold, reorder nor vectorise the chain.
[[gnu::noinline]] double AddBareChain(double accumulator, double addend, std::int32_t terms) {
    for (std::int32_t j = 0; j < terms; ++j) {
        accumulator = accumulator + addend;
        asm volatile("" : "+x"(accumulator));
    }
    return accumulator;
}

std::string ProgressAfter(int batches) {
    double accumulator = 0.0;
    for (int b = 0; b < batches; ++b) accumulator = bw::AddBatchTerms(accumulator, kDefaultTerms);
    return Text("%f", accumulator);
}

}  // namespace

void RunBatchFigures(const SamplePlan& plan, const std::string& where) {
    const std::string figure = "batch: AddBatchTerms / bare addition chain, per term, " + where;
    const std::int32_t terms = gTerms;
    const double addend = gAddend;
    double batchSum = 0.0, bareSum = 0.0;
    auto batches = [&](long long reps) {
        for (long long r = 0; r < reps; ++r) batchSum = bw::AddBatchTerms(batchSum, terms);
    };
    auto chains = [&](long long reps) {
        for (long long r = 0; r < reps; ++r) bareSum = AddBareChain(bareSum, addend, terms);
    };
    // On every CPU in turn, judged on the one where the batch compares best,
    // which nothing slowed from outside (see cpu_placement.h); the other
    // CPUs' ratios are shown beside it.
    std::vector<std::pair<int, Comparison>> perCpu;
    for (const int cpu : ProcessCpus()) {
        const PinnedToCpu pinned(cpu);
        if (!pinned.Pinned()) {
            PrintUnmeasuredRow(figure, Text("the thread could not be kept on CPU %d", cpu));
            return;
        }
        perCpu.emplace_back(cpu, FastestComparison(SampleInterleaved(ShortSamples(plan), batches, chains)));
    }
    KeepResult(batchSum);
    KeepResult(bareSum);
    const auto best = std::min_element(perCpu.begin(), perCpu.end(),
                                       [](const auto& a, const auto& b) { return a.second.ratio < b.second.ratio; });
    if (best == perCpu.end()) {
        PrintUnmeasuredRow(figure, "no CPU to run on");
        return;
    }
    std::string placement = Text(", CPU %d", best->first);
    for (const auto& [cpu, comparison] : perCpu)
        if (cpu != best->first) placement += Text("; CPU %d: %.3f", cpu, comparison.ratio);
    PrintComparisonRow(figure, best->second, 1e9 / terms, "ns", 1.05, placement);
    PrintExactRow("batch: progress text after 100 / 200 batches, " + where,
                  ProgressAfter(100) + " / " + ProgressAfter(200), "499950.000000 / 999900.000000");
}

}  // namespace bench
