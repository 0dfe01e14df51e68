// Timing by interleaved samples: two pieces of work timed in turn in one
// process, so that clock changes, other load on the machine and warm-up fall
// on both alike, and the median of the per-sample ratios compares them.
#pragma once

#include <chrono>
#include <vector>

namespace bench {

// How much to measure: the full run, or with --smoke just enough to show
// that every figure can be measured.
struct SamplePlan {
    int samples;
    double sampleSeconds;  // at least this long per sample and side
};
SamplePlan PlanFromArguments(int argc, char** argv);

// Makes the compiler treat `value` as used, so work whose result nobody
// reads is still done.
template <class Value>
inline void KeepResult(const Value& value) {
    asm volatile("" : : "g"(value) : "memory");
}

double Median(std::vector<double> values);

// work(reps) runs `reps` units of work; returns the seconds it took.
template <class Work>
double SecondsFor(Work& work, long long reps) {
    const auto start = std::chrono::steady_clock::now();
    work(reps);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The smallest power of two of units that lasts at least `seconds`.
template <class Work>
long long RepsLasting(Work& work, double seconds) {
    long long reps = 1;
    while (SecondsFor(work, reps) < seconds && reps < (1LL << 40)) reps *= 2;
    return reps;
}

// Median seconds per unit of work.
template <class Work>
double MedianSecondsPerRep(const SamplePlan& plan, Work work) {
    const long long reps = RepsLasting(work, plan.sampleSeconds);
    std::vector<double> perRep;
    for (int s = 0; s < plan.samples; ++s) perRep.push_back(SecondsFor(work, reps) / reps);
    return Median(perRep);
}

struct Comparison {
    double secondsA, secondsB;  // median seconds per unit
    double ratio;               // median of the samples' A / B
};

// A and B in turn, the order swapped every sample.
template <class WorkA, class WorkB>
Comparison CompareInterleaved(const SamplePlan& plan, WorkA a, WorkB b) {
    const long long reps = RepsLasting(a, plan.sampleSeconds);
    std::vector<double> perRepA, perRepB, ratios;
    for (int s = 0; s < plan.samples; ++s) {
        double secondsA = 0, secondsB = 0;
        if (s % 2 == 0) {
            secondsA = SecondsFor(a, reps);
            secondsB = SecondsFor(b, reps);
        } else {
            secondsB = SecondsFor(b, reps);
            secondsA = SecondsFor(a, reps);
        }
        perRepA.push_back(secondsA / reps);
        perRepB.push_back(secondsB / reps);
        ratios.push_back(secondsA / secondsB);
    }
    return {Median(perRepA), Median(perRepB), Median(ratios)};
}

}  // namespace bench
