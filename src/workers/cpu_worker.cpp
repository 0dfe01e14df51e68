#include "workers/cpu_worker.h"

#include "log/log.h"
#include "settings/settings.h"
#include "workers/run_state.h"
#include "workers/workers.h"

namespace bw {

platform::ThreadExitCode BW_THREAD_CALL CpuWorkerThread(void*) {
    // The settings are read on this thread, and only after they are loaded
    // may the watcher arm the batches.
    LoadSettings();
    const bool overlayBatch = Settings.OverlayBatch.load();
    RunState.OverlayBatch.store(overlayBatch);
    LogMessage(overlayBatch ? "[BW] Overlay batch enabled." : "[BW] Overlay batch disabled.");

    CpuWorkerProgress progress;
    for (;;) {
        if (AdvanceCpuWorker(progress, RunState, Settings.Iter.load()))
            LogMessage("[BW] CPU worker active: %s", FormatProgressNumber(progress.accumulator).data());
        // A negative Sleep is kept as the settings file says: as an unsigned
        // count it is a pause of days, or -1 one without end.
        platform::SleepMilliseconds(static_cast<std::uint32_t>(Settings.Sleep.load()));
    }
}

}  // namespace bw
