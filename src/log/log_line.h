// The layout of one log line, kept apart from the file so it can be checked
// byte for byte.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace bw {

// Longest message kept in a line; the rest of a longer one is dropped.
inline constexpr std::size_t kLogMessageMaxBytes = 511;
// The longest line whose message holds no line feed: "[" + 19-byte time
// stamp + "] " + message + CR LF. Every line feed in the message adds a CR,
// so a line can be longer by up to the message's length.
inline constexpr std::size_t kLogLineMaxBytesWithoutLineFeeds = 1 + 19 + 2 + kLogMessageMaxBytes + 2;

using LogMessageBuffer = char[kLogMessageMaxBytes + 1];

// printf-style formatting into the message buffer, cut after 511 bytes and
// always terminated. Returns the text written.
std::string_view FormatLogMessage(LogMessageBuffer& buffer, const char* format, std::va_list args) noexcept;

// "%Y-%m-%d %H:%M:%S" of the given local time.
std::string FormatLogTimeStamp(const platform::LocalTime& localTime);

// The bytes of one line as they go to disk. Every LF is stored as CR LF, the
// line end included, as a Windows text-mode stream would store it, so the
// file is the same whichever build wrote it.
std::string ComposeLogLine(std::string_view timeStamp, std::string_view message);

// Documents\My Games\Velmoria\TRVX\Logs
std::filesystem::path LogDirectoryUnder(const std::filesystem::path& documents);

inline constexpr const char* kLogFileName = "Brackwell.log";

}  // namespace bw
