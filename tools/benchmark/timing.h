// Timing by interleaved samples: two pieces of work timed in turn in one
// process, so that clock changes, other load on the machine and warm-up fall
// on both alike. The median of the per-sample ratios compares them as they
// typically run; the fastest sample of each, as they run undisturbed.
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

// The same length of time in twenty times as many samples. A sample of a
// millisecond or two mostly falls between two preemptions of this thread by
// other work on the machine, so that the fastest of them is undisturbed.
SamplePlan ShortSamples(const SamplePlan& plan);

// Makes the compiler treat `value` as used, so work whose result nobody
// reads is still done.
template <class Value>
inline void KeepResult(const Value& value) {
    asm volatile("" : : "g"(value) : "memory");
}

double Median(std::vector<double> values);
double Fastest(const std::vector<double>& seconds);

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

// Seconds per unit of work, one value for each sample.
template <class Work>
std::vector<double> SampleSecondsPerRep(const SamplePlan& plan, Work& work) {
    const long long reps = RepsLasting(work, plan.sampleSeconds);
    std::vector<double> perRep;
    for (int s = 0; s < plan.samples; ++s) perRep.push_back(SecondsFor(work, reps) / reps);
    return perRep;
}

template <class Work>
double MedianSecondsPerRep(const SamplePlan& plan, Work work) {
    return Median(SampleSecondsPerRep(plan, work));
}

// The fastest sample: what the work costs when nothing else on the machine
// got in its way.
template <class Work>
double FastestSecondsPerRep(const SamplePlan& plan, Work work) {
    return Fastest(SampleSecondsPerRep(plan, work));
}

// Seconds per unit of A and of B, one pair for each sample, timed in turn
// with the order swapped every sample.
struct PairedSamples {
    std::vector<double> perRepA, perRepB;
};

template <class WorkA, class WorkB>
PairedSamples SampleInterleaved(const SamplePlan& plan, WorkA& a, WorkB& b) {
    const long long reps = RepsLasting(a, plan.sampleSeconds);
    PairedSamples samples;
    for (int s = 0; s < plan.samples; ++s) {
        double secondsA = 0, secondsB = 0;
        if (s % 2 == 0) {
            secondsA = SecondsFor(a, reps);
            secondsB = SecondsFor(b, reps);
        } else {
            secondsB = SecondsFor(b, reps);
            secondsA = SecondsFor(a, reps);
        }
        samples.perRepA.push_back(secondsA / reps);
        samples.perRepB.push_back(secondsB / reps);
    }
    return samples;
}

struct Comparison {
    double secondsA, secondsB;  // seconds per unit
    double ratio;               // A / B
};

// The median seconds of each side, and the median of the samples' A / B.
Comparison MedianComparison(const PairedSamples& samples);
// The fastest sample of each side, and their ratio: A against B where
// neither was slowed by other work on the machine.
Comparison FastestComparison(const PairedSamples& samples);

template <class WorkA, class WorkB>
Comparison CompareInterleaved(const SamplePlan& plan, WorkA a, WorkB b) {
    return MedianComparison(SampleInterleaved(plan, a, b));
}

}  // namespace bench
