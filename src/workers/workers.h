// The three endless background threads the load entry starts, in this order.
// Each ignores its argument and never returns.
#pragma once

#include "platform/platform.h"

namespace bw {

platform::ThreadExitCode BW_THREAD_CALL MemoryMonitorThread(void* unused);
platform::ThreadExitCode BW_THREAD_CALL CpuWorkerThread(void* unused);
platform::ThreadExitCode BW_THREAD_CALL OverlayWatcherThread(void* unused);

}  // namespace bw
