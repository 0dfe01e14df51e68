#include <cstdarg>
#include <ctime>
#include <fstream>
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

std::string CurrentTimeStamp() {
    std::tm local{};
    platform::ToLocalTime(std::time(nullptr), local);
    return FormatLogTimeStamp(local);
}

void AppendLine(const std::filesystem::path& file, const std::string& line) {
    // Binary, because ComposeLogLine already wrote the CR LF pairs.
    std::ofstream stream(file, std::ios::out | std::ios::app | std::ios::binary);
    if (!stream.is_open()) return;  // held, read-only or a folder: line lost
    stream.write(line.data(), static_cast<std::streamsize>(line.size()));
    stream.flush();
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
        if (std::filesystem::exists(*file, error)) std::filesystem::remove(*file, error);
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
        AppendLine(*file, ComposeLogLine(CurrentTimeStamp(), message));
    } catch (...) {
        // A line that can't be written is dropped; the game goes on.
    }
}

}  // namespace bw
