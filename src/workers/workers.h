// The three endless background threads the load entry starts, in this order.
// Each ignores its argument and never returns.
#pragma once

#include "platform/platform.h"

namespace bw {

platform::ThreadExitCode BW_THREAD_CALL MemoryMonitorThread(void* unused);
platform::ThreadExitCode BW_THREAD_CALL CpuWorkerThread(void* unused);
platform::ThreadExitCode BW_THREAD_CALL OverlayWatcherThread(void* unused);

// Work the start leaves for later, run once on the memory monitor's thread
// about ten seconds after the start, when a host's burst of plug-in loads
// is over; a later call replaces work that has not run yet.
using LateStartWork = void (*)() noexcept;
void LeaveForTheMemoryMonitor(LateStartWork work) noexcept;

}  // namespace bw
