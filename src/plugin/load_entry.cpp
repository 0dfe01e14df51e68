#include "plugin/load_entry.h"

#include "game/game.h"
#include "log/log.h"
#include "platform/platform.h"
#include "plugin/other_copies.h"
#include "workers/workers.h"

namespace bw {
namespace {

// The window step proper, on whichever thread runs it. A minimised window's
// rectangle is its parked icon's: it is moved where it comes back instead.
void RestyleAndMoveWindow(platform::WindowHandle window) noexcept {
    using platform::StyleKind;
    platform::SetWindowStyle(window, StyleKind::Style,
                             platform::GetWindowStyle(window, StyleKind::Style) & kBorderlessStyleMask);
    platform::SetWindowStyle(window, StyleKind::ExStyle,
                             platform::GetWindowStyle(window, StyleKind::ExStyle) & kBorderlessExStyleMask);
    if (platform::IsWindowMinimized(window)) {
        if (!platform::MoveRestoredPlacementTo(window, 0, 0)) return;
    } else {
        // Read before the frame change takes effect, so this is still the
        // outer rectangle the framed window had; the window keeps that size.
        const auto rect = platform::GetWindowRect(window);
        if (!rect) return;  // the window went away since we found it
        platform::SetWindowPos(window, 0, 0, rect->right - rect->left, rect->bottom - rect->top, kBorderlessMoveFlags);
    }
    LogMessage("[BW] Borderless applied.");
}

platform::ThreadExitCode BW_THREAD_CALL WindowStepThread(void* window) {
    RestyleAndMoveWindow(window);
    return 0;
}

void MakeGameWindowBorderless() noexcept {
    const platform::WindowHandle window = platform::FindOwnTopLevelWindow(kGameWindowTitle);
    if (window == nullptr) return;
    if (platform::IsWindowOfThisThread(window)) {
        RestyleAndMoveWindow(window);
        return;
    }
    // Each change to a window of another thread waits until that thread
    // handles it. A host may call us while the window's thread waits for the
    // host without pumping: waiting here would hang both for ever. So the
    // step runs on a thread of its own and the start waits for it only so
    // long; a window thread busy loading answers later, and the step then
    // finishes, whole, after the start. Without a thread, do it here as ever.
    if (!platform::RunOnNewThread(WindowStepThread, window, kWindowStepWaitMs)) RestyleAndMoveWindow(window);
}

// From here on our threads and the read guard's handler run this library's
// code until the game ends, so a host that unloads its plug-ins (a reload
// command, a clean-up at exit) must not be able to unmap it. A refusal
// installs nothing and stays unloadable.
void PinThisLibrary() noexcept {
    if (!platform::PinThisModule())
        LogMessage("[BW] Could not pin the plug-in in memory (error %u); the host must not unload it.",
                   static_cast<unsigned>(platform::LastErrorCode()));
}

// One start per game: a host that loads two copies (Explorer's "- Copy"
// beside the original, an older one a mod manager deploys too) or calls us
// twice would otherwise delete the running start's log, restyle the window
// again and double every thread. A later call answers true when this copy is
// the one that runs.
bool AnswerALaterCall(platform::StartClaim claim) noexcept {
    LogMessage("[BW] Brackwell already runs in this game; the load call to %s started nothing.",
               NameForTheLog(platform::ThisLibraryPath()).c_str());
    return claim == platform::StartClaim::ThisCopyRuns;
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
    const bw::platform::StartClaim claim = bw::ClaimTheStartAndResetTheLog();
    if (claim != bw::platform::StartClaim::First) return bw::AnswerALaterCall(claim);
    // A copy from before the start claim starts whenever the host calls it,
    // before this one or after, and nothing else tells the player why the
    // log and the threads come twice: name every other copy loaded now, and
    // look once more when the host's burst of loads is surely over.
    bw::NameTheOtherCopies();
    bw::LeaveForTheMemoryMonitor(bw::NameTheOtherCopiesAgain);
    bw::MakeGameWindowBorderless();
    bw::PinThisLibrary();
    bw::StartWorkerThreads();
    return true;
}
