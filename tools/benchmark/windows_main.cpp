// The benchmark's Windows half, run under Wine: the batch, the watcher's
// guarded pass and the log, each beside its bare baseline. The log figures
// write into the Documents folder of the Wine prefix and remove what they
// wrote.
#include "figures.h"

int main(int argc, char** argv) {
    const bench::SamplePlan plan = bench::PlanFromArguments(argc, argv);
    bench::RunBatchFigures(plan, "Wine");
    bench::RunWatcherFigures(plan);
    bench::RunLogFigures(plan, "Wine");
}
