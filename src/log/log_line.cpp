#include "log/log_line.h"

#include <cstdio>
#include <ctime>

namespace bw {

std::string_view FormatLogMessage(LogMessageBuffer& buffer, const char* format, std::va_list args) noexcept {
    buffer[0] = '\0';
    // The length it would have needed is of no use: a longer message is cut.
    (void)std::vsnprintf(buffer, sizeof buffer, format, args);
    // Some C runtimes leave a cut buffer unterminated; never trust them.
    buffer[kLogMessageMaxBytes] = '\0';
    return buffer;
}

std::string FormatLogTimeStamp(const platform::LocalTime& localTime) {
    std::tm calendar{};
    calendar.tm_year = localTime.year - 1900;
    calendar.tm_mon = localTime.month - 1;
    calendar.tm_mday = localTime.day;
    calendar.tm_hour = localTime.hour;
    calendar.tm_min = localTime.minute;
    calendar.tm_sec = localTime.second;
    char buffer[64] = {};
    // The buffer is far longer than any stamp; an empty result would leave it empty.
    (void)std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &calendar);
    return buffer;
}

std::string ComposeLogLine(std::string_view timeStamp, std::string_view message) {
    std::string line;
    line.reserve(kLogLineMaxBytesWithoutLineFeeds + message.size());  // room for a CR per message byte
    line += '[';
    line += timeStamp;
    line += "] ";
    for (char c : message) {
        if (c == '\n') line += '\r';
        line += c;
    }
    line += "\r\n";
    return line;
}

std::filesystem::path LogDirectoryUnder(const std::filesystem::path& documents) {
    return documents / "My Games" / "Velmoria" / "TRVX" / "Logs";
}

}  // namespace bw
