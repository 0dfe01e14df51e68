#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <system_error>

#include "log/log.h"
#include "log/log_line.h"
#include "platform/platform.h"
#include "platform/prepared_file.h"

namespace bw {
namespace {

// One process-wide lock around the whole of a line: separate handles
// appending at the same moment could otherwise land on the same end of the
// file and overwrite each other.
std::mutex gLogLock;

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

}  // namespace

std::optional<std::filesystem::path> GetLogFilePath() noexcept {
    return PrepareFileUnder(platform::DocumentsFolder(), LogDirectoryUnder, kLogFileName);
}

void DeletePreviousLog() noexcept {
    try {
        const std::lock_guard lock(gLogLock);
        const auto file = GetLogFilePath();
        if (!file) return;
        std::error_code error;
        if (!std::filesystem::exists(*file, error)) return;
        // A viewer holding the old log with read and write sharing but not
        // delete sharing makes the removal fail; emptying it needs only the
        // sharing every line needs anyway.
        if (!std::filesystem::remove(*file, error) && error) (void)platform::EmptyFile(*file);
    } catch (...) {
        // No lock or no memory for the path: the old lines stay.
    }
}

void LogMessage(const char* format, ...) noexcept {
    try {
        LogMessageBuffer buffer;
        std::va_list args;
        va_start(args, format);
        const std::string_view message = FormatLogMessage(buffer, format, args);
        va_end(args);

        const std::lock_guard lock(gLogLock);
        const auto file = GetLogFilePath();
        if (!file) return;
        AppendLine(*file, ComposeLogLine(FormatLogTimeStamp(platform::CurrentLocalTime()), message));
    } catch (...) {
        // A line that can't be written is dropped; the game goes on.
    }
}

}  // namespace bw
