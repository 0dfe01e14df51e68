#include "plugin/load_entry.h"

#include <string>

#include "game/game.h"
#include "log/log.h"
#include "platform/platform.h"
#include "plugin/version_record.h"
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

// A copy's file as the log shows it (UTF-8), so the player can tell which
// copy to remove.
std::string NameForTheLog(const platform::PathLookup& file) noexcept {
    try {
        if (file.status != platform::PathStatus::Found) return "an unnamed file";
        const std::u8string name = file.path.u8string();
        return {name.begin(), name.end()};
    } catch (...) {
        return "an unnamed file";
    }
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

// A copy from before the start claim starts whenever the host calls it,
// before this one or after, and nothing else tells the player why the log
// and the threads come twice: name every other copy loaded now.
void NameTheOtherCopies() noexcept {
    for (const platform::ExportedData& other :
         platform::OtherModulesExporting("TRVXPlugin_Version", sizeof(PluginVersionRecord)))
        if (NamesThisPlugIn(other.bytes))
            LogMessage("[BW] Another copy of Brackwell is loaded in this game: %s. Keep one copy only.",
                       NameForTheLog(other.file).c_str());
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
    bw::NameTheOtherCopies();
    bw::MakeGameWindowBorderless();
    bw::PinThisLibrary();
    bw::StartWorkerThreads();
    return true;
}
