#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "workers/cpu_worker.h"
#include "workers/run_state.h"

namespace {

using bw::AddBatchTerms;
using bw::AdvanceCpuWorker;
using bw::CpuWorkerProgress;

std::string Printed(double value) { return bw::FormatProgressNumber(value).data(); }

bw::RunStateFlags Flags(bool armed, bool idle) { return {true, armed, idle}; }

// The terms as first described: the integer index converted, multiplied,
// then added, each step rounded on its own.
double ReferenceBatch(double accumulator, std::int32_t terms) {
    for (std::int32_t j = 0; j < terms; ++j) {
        volatile double product = static_cast<double>(j) * 0.0001;
        accumulator = accumulator + product;
    }
    return accumulator;
}

TEST(CpuWorkerBatch, MatchesTheTermByTermSumBitForBit) {
    for (const double start : {0.0, 499950.0, 0.1, -3.5}) {
        for (const std::int32_t terms : {INT32_MIN, -1, 0, 1, 2, 3, 7, 10000, 65537, 1 << 20}) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(AddBatchTerms(start, terms)),
                      std::bit_cast<std::uint64_t>(ReferenceBatch(start, terms)))
                << "start " << start << ", terms " << terms;
        }
    }
}

// Progress lines as the worker would print them, with the batch after which
// each falls due.
struct Line {
    int afterBatch;
    std::string accumulator;
};

std::vector<Line> RunBatches(std::int32_t terms, int batches) {
    const bw::RunStateFlags flags = Flags(true, false);
    CpuWorkerProgress progress;
    std::vector<Line> lines;
    for (int batch = 1; batch <= batches; ++batch)
        if (AdvanceCpuWorker(progress, flags, terms)) lines.push_back({batch, Printed(progress.accumulator)});
    return lines;
}

TEST(CpuWorkerProgressLines, EveryHundredBatchesShowTheAccumulator) {
    struct Case {
        std::int32_t terms;
        const char* first;
        const char* second;
    };
    for (const Case c : {Case{10000, "499950.000000", "999900.000000"},
                         {2, "0.010000", "0.020000"},
                         {1, "0.000000", "0.000000"},
                         {0, "0.000000", "0.000000"},
                         {-40, "0.000000", "0.000000"}}) {
        const std::vector<Line> lines = RunBatches(c.terms, 250);
        ASSERT_EQ(lines.size(), 2u) << c.terms;
        EXPECT_EQ(lines[0].afterBatch, 100) << c.terms;
        EXPECT_EQ(lines[0].accumulator, c.first) << c.terms;
        EXPECT_EQ(lines[1].afterBatch, 200) << c.terms;
        EXPECT_EQ(lines[1].accumulator, c.second) << c.terms;
    }
}

// Readers of the log parse what "%f" printed before: the same text for any
// double, halfway cases (odd multiples of 2^-7) rounded to even as printf
// rounds them, and the longest numbers whole.
TEST(CpuWorkerProgressLines, NumbersReadAsPercentFPrintsThemInTheCLocale) {
    std::vector<double> values{0.0,      -0.0, 5e-324,       7e-7,   1e-6,  0.001,   0.0078125, 0.0234375, -2.5e-7,
                               999900.0, 1e15, 0x1p52 + 0.5, 0x1p64, 1e300, DBL_MAX, -DBL_MAX,  INFINITY};
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 3000; ++i) {
        values.push_back(static_cast<double>(random() >> 11) / 0x1p7);  // every other one a halfway case
        values.push_back(std::uniform_real_distribution<double>(0, 1e12)(random));
        const auto anyBits = std::bit_cast<double>(random());
        if (std::isfinite(anyBits)) values.push_back(anyBits);
    }
    for (const double value : values) {
        char expected[400];
        std::snprintf(expected, sizeof expected, "%f", value);
        ASSERT_EQ(Printed(value), expected) << std::hexfloat << value;
    }
}

TEST(CpuWorkerProgressLines, IdleCyclesNeitherAddNorCount) {
    CpuWorkerProgress progress;
    const bw::RunStateFlags running = Flags(true, false);
    for (int batch = 0; batch < 99; ++batch) ASSERT_FALSE(AdvanceCpuWorker(progress, running, 2));
    const double before = progress.accumulator;

    for (const bw::RunStateFlags& idle : {Flags(false, false), Flags(false, true), Flags(true, true)}) {
        for (int cycle = 0; cycle < 150; ++cycle) ASSERT_FALSE(AdvanceCpuWorker(progress, idle, 2));
    }
    EXPECT_EQ(progress.accumulator, before);
    EXPECT_EQ(progress.batchesSinceLine, 99);

    EXPECT_TRUE(AdvanceCpuWorker(progress, running, 2)) << "the 100th batch, however late";
    EXPECT_EQ(Printed(progress.accumulator), "0.010000");
}

// Flags whose loads are counted, to see which ones a cycle reads.
struct CountedFlag {
    bool value;
    mutable int loads = 0;
    bool load() const {
        ++loads;
        return value;
    }
};
struct CountedFlags {
    CountedFlag BatchArmed;
    CountedFlag OverlayIdle;
};

TEST(CpuWorkerProgressLines, OverlayIdleIsReadOnlyWhenArmed) {
    CpuWorkerProgress progress;
    CountedFlags disarmed{{false}, {false}};
    AdvanceCpuWorker(progress, disarmed, 10);
    EXPECT_EQ(disarmed.BatchArmed.loads, 1);
    EXPECT_EQ(disarmed.OverlayIdle.loads, 0);

    CountedFlags armed{{true}, {true}};
    AdvanceCpuWorker(progress, armed, 10);
    EXPECT_EQ(armed.BatchArmed.loads, 1);
    EXPECT_EQ(armed.OverlayIdle.loads, 1);
}

}  // namespace
