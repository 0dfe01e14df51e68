// The benchmark's native half: the figures of the portable code, built with
// the Release flags and run against the fake platform.
#include <cstdio>
#include <exception>

#include "fake_platform.h"
#include "figures.h"
#include "scratch_folder.h"

int main(int argc, char** argv) try {
    const bench::SamplePlan plan = bench::PlanFromArguments(argc, argv);
    // The log's lines go to a scratch documents folder, removed at the end.
    const bw::testing::ScratchFolder documents;
    bw::fake::State().documents = {bw::platform::PathStatus::Found, documents.path};
    bench::RunBatchFigures(plan, "native");
    bench::RunLogFigures(plan, "native");
} catch (const std::exception& error) {
    (void)std::fprintf(stderr, "benchmark_native: %s\n", error.what());
    return 1;
}
