#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>

#include "log/log.h"
#include "log/log_line.h"
#include "platform/platform.h"
#include "platform/prepared_file.h"

namespace bw {
namespace {

// The copy's own lock, for when the one every copy shares can't be had.
std::mutex gImageLogLock;

// How long a line waits for a lock another thread holds. A line holds it for
// about a millisecond, and at most some 35 ms while it waits out a hold of
// the file; several writers can queue behind such lines. Only a holder that
// never lets go (a thread the game suspended mid-line) keeps it longer, and
// then each line costs no more than this wait: the line is dropped.
constexpr std::uint32_t kLogLockWaitMilliseconds = 250;

// Runs `work` holding the lock around the whole of a line. Separate handles
// appending at the same moment can land on the same end of the file and
// overwrite each other, so every writer must take one lock: all copies of
// the plug-in in the game (a second copy beside the first writes the same
// file) and every thread of each. `work` must not log.
template <class Work>
void UnderTheLogLock(Work work) noexcept {
    const platform::LogLock lock = platform::LockTheLogAcrossCopies(kLogLockWaitMilliseconds);
    if (lock == platform::LogLock::TimedOut) return;
    try {
        if (lock == platform::LogLock::Unavailable) {
            const std::lock_guard imageLock(gImageLogLock);
            work();
        } else {
            work();
        }
    } catch (...) {
        // No memory, or no image lock: what `work` had not done is dropped.
    }
    if (lock == platform::LogLock::Held) platform::UnlockTheLogAcrossCopies();
}

// Programs that open a file briefly without sharing it (a backup or sync
// agent, a scanner reacting to our close) hold it for a few milliseconds:
// short pauses wait that out. A longer hold still costs the line, and other
// failures aren't retried at all, since waiting won't change them.
constexpr std::uint32_t kInUsePauseMilliseconds = 2;
constexpr int kInUseRetries = 15;
// Caps the wait where the system's timer makes each pause much longer.
constexpr std::chrono::milliseconds kInUseBudget{30};

void AppendLine(const std::filesystem::path& file, std::string_view line) {
    if (platform::AppendToFile(file, line) != platform::FileWrite::InUse) return;
    const auto giveUp = std::chrono::steady_clock::now() + kInUseBudget;
    for (int retry = 0; retry < kInUseRetries && std::chrono::steady_clock::now() < giveUp; ++retry) {
        platform::SleepMilliseconds(kInUsePauseMilliseconds);
        if (platform::AppendToFile(file, line) != platform::FileWrite::InUse) return;
    }
}

// Leaves this start's lines a file of their own under the log's name. A
// viewer that shares writing keeps its file, emptied, and follows the new
// lines; one that doesn't (it shares only reading and deletion) keeps the
// old bytes while the name goes to a new file. An exclusive holder costs
// the lines written while it holds the file.
void ResetTheOldLog(const std::filesystem::path& file) noexcept {
    if (platform::RemoveFileNobodyHolds(file) == platform::FileRemoval::Gone) return;
    if (platform::EmptyFile(file)) return;
    (void)platform::RemoveFileItsHoldersLetGo(file);
}

}  // namespace

std::optional<std::filesystem::path> GetLogFilePath() noexcept {
    return PrepareFileUnder(platform::DocumentsFolder(), LogDirectoryUnder, kLogFileName);
}

platform::StartClaim ClaimTheStartAndResetTheLog() noexcept {
    std::optional<platform::StartClaim> claim;
    UnderTheLogLock([&claim] {
        claim = platform::ClaimTheGameProcess();
        if (*claim != platform::StartClaim::First) return;
        const auto file = GetLogFilePath();
        if (!file) return;
        ResetTheOldLog(*file);
    });
    // A holder that never let go: the start must still be claimed.
    return claim ? *claim : platform::ClaimTheGameProcess();
}

void LogMessage(const char* format, ...) noexcept {
    try {
        LogMessageBuffer buffer;
        std::va_list args;
        va_start(args, format);
        const std::string_view message = FormatLogMessage(buffer, format, args);
        va_end(args);

        UnderTheLogLock([message] {
            const auto file = GetLogFilePath();
            if (!file) return;
            AppendLine(*file, ComposeLogLine(FormatLogTimeStamp(platform::CurrentLocalTime()), message));
        });
    } catch (...) {
        // A line that can't be written is dropped; the game goes on.
    }
}

bool LogHoldsMessage(std::string_view message) noexcept {
    try {
        const auto file = GetLogFilePath();
        if (!file) return false;
        std::ifstream stream(*file, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
        return text.find(message) != std::string::npos;
    } catch (...) {
        return false;
    }
}

}  // namespace bw
