// The CPU worker's arithmetic batch and its per-cycle rules, kept apart from
// the endless thread so they can be driven cycle by cycle.
#pragma once

#include <array>
#include <cstdint>

namespace bw {

// The double nearest to 0.0001.
inline constexpr double kBatchFactor = 0.0001;
inline constexpr std::int32_t kBatchesPerProgressLine = 100;

struct CpuWorkerProgress {
    double accumulator = 0.0;  // every term since the thread began; never reset
    std::int32_t batchesSinceLine = 0;
};

// accumulator + 0*f + 1*f + ... + (terms-1)*f, each product and each sum
// rounded on its own, in ascending order. Nothing is added for terms <= 0.
double AddBatchTerms(double accumulator, std::int32_t terms) noexcept;

// Room for any finite double in fixed notation with six decimals: a sign,
// 309 integer digits, the point, the decimals and the terminator.
using ProgressNumberText = std::array<char, 1 + 309 + 1 + 6 + 1>;

// The accumulator as the progress line shows it: what "%f" prints in the C
// locale, byte for byte, whatever locale another module of the game has set
// for the whole process (a German one would print 499950,000000 through
// printf and break every reader of the log).
ProgressNumberText FormatProgressNumber(double accumulator) noexcept;

// One cycle without its pause: a batch runs only while the watcher has armed
// the batches and the game list is not idle. OverlayIdle is loaded only when
// BatchArmed was true. Returns true when that batch was the 100th since the
// last progress line; the count is then back at 0 and the caller logs.
template <class Flags>
bool AdvanceCpuWorker(CpuWorkerProgress& progress, const Flags& flags, std::int32_t terms) noexcept {
    if (!flags.BatchArmed.load() || flags.OverlayIdle.load()) return false;
    progress.accumulator = AddBatchTerms(progress.accumulator, terms);
    if (++progress.batchesSinceLine < kBatchesPerProgressLine) return false;
    progress.batchesSinceLine = 0;
    return true;
}

}  // namespace bw
