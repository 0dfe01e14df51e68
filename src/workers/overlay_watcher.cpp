#include "workers/workers.h"

namespace bw {

platform::ThreadExitCode BW_THREAD_CALL OverlayWatcherThread(void*) {
    for (;;) platform::SleepMilliseconds(10);
}

}  // namespace bw
