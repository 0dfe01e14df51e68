#include "plugin/load_entry.h"

#include "game/game.h"
#include "log/log.h"
#include "platform/platform.h"
#include "workers/workers.h"

namespace bw {
namespace {

void MakeGameWindowBorderless() noexcept {
    using platform::StyleKind;
    const platform::WindowHandle window = platform::FindTopLevelWindow(kGameWindowTitle);
    if (window == nullptr) return;

    platform::SetWindowStyle(window, StyleKind::Style,
                             platform::GetWindowStyle(window, StyleKind::Style) & kBorderlessStyleMask);
    platform::SetWindowStyle(window, StyleKind::ExStyle,
                             platform::GetWindowStyle(window, StyleKind::ExStyle) & kBorderlessExStyleMask);
    // Read before the frame change takes effect, so this is still the outer
    // rectangle the framed window had; the window keeps that size.
    const auto rect = platform::GetWindowRect(window);
    if (!rect) return;  // the window went away since we found it
    platform::SetWindowPos(window, 0, 0, rect->right - rect->left, rect->bottom - rect->top, kBorderlessMoveFlags);
    LogMessage("[BW] Borderless applied.");
}

void StartWorkerThreads() noexcept {
    struct Worker {
        platform::ThreadProcedure procedure;
        const char* name;
    };
    static constexpr Worker kWorkers[] = {
        {MemoryMonitorThread, "memory monitor"},
        {CpuWorkerThread, "CPU worker"},
        {OverlayWatcherThread, "overlay watcher"},
    };
    bool allStarted = true;
    for (const Worker& worker : kWorkers) {
        if (platform::StartDetachedThread(worker.procedure)) continue;
        allStarted = false;
        LogMessage("[BW] Could not start the %s thread (error %u).", worker.name,
                   static_cast<unsigned>(platform::LastErrorCode()));
    }
    if (allStarted) LogMessage("[BW] All threads started.");
}

}  // namespace

bool IsAcceptedHost(const HostInterface* host) noexcept {
    return host != nullptr && host->hostVersion == kAcceptedHostVersion;
}

}  // namespace bw

extern "C" bool TRVXPlugin_Load(const bw::HostInterface* host) noexcept {
    if (!bw::IsAcceptedHost(host)) {
        // Blocks the host's thread until the player closes the box.
        bw::platform::ShowMessageBox(bw::kRefusalText, bw::kRefusalCaption, bw::kRefusalBoxType);
        return false;
    }
    bw::DeletePreviousLog();
    bw::MakeGameWindowBorderless();
    bw::StartWorkerThreads();
    return true;
}
