#include "workers/cpu_worker.h"

namespace bw {

double AddBatchTerms(double accumulator, std::int32_t terms) noexcept {
    // The term index is kept as a double stepped by 1.0: every index below
    // 2^53 is exact, so it equals converting the integer index, without a
    // conversion on the dependent path of every term.
    double index = 0.0;
    for (std::int32_t j = 0; j < terms; ++j) {
        accumulator = accumulator + index * kBatchFactor;
        index += 1.0;
    }
    return accumulator;
}

}  // namespace bw
