#include "workers/workers.h"

namespace bw {

platform::ThreadExitCode BW_THREAD_CALL MemoryMonitorThread(void*) {
    for (;;) platform::SleepMilliseconds(5000);
}

}  // namespace bw
