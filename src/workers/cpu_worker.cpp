#include "workers/workers.h"

namespace bw {

platform::ThreadExitCode BW_THREAD_CALL CpuWorkerThread(void*) {
    for (;;) platform::SleepMilliseconds(5);
}

}  // namespace bw
