// The CPU worker's batch against the least that n dependent additions can
// cost, and its progress text, which must not depend on the build.
#include <cstdint>

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
    const std::int32_t terms = gTerms;
    const double addend = gAddend;
    double batchSum = 0.0, bareSum = 0.0;
    const Comparison perBatch = CompareInterleaved(
        plan,
        [&](long long reps) {
            for (long long r = 0; r < reps; ++r) batchSum = bw::AddBatchTerms(batchSum, terms);
        },
        [&](long long reps) {
            for (long long r = 0; r < reps; ++r) bareSum = AddBareChain(bareSum, addend, terms);
        });
    KeepResult(batchSum);
    KeepResult(bareSum);
    PrintComparisonRow("batch: AddBatchTerms / bare addition chain, per term, " + where, perBatch, 1e9 / terms, "ns",
                       1.05);
    PrintExactRow("batch: progress text after 100 / 200 batches, " + where,
                  ProgressAfter(100) + " / " + ProgressAfter(200), "499950.000000 / 999900.000000");
}

}  // namespace bench
