// The input becomes a time stamp, a format and its arguments. The format is
// built, never taken raw from the input: literal text with every "%" doubled
// and at most three conversions of the kinds the log uses (%d, %zu, %f, %s),
// each passed an argument of its own type.
#include <algorithm>
#include <bit>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_check.h"
#include "log/log_line.h"

namespace {

constexpr std::size_t kPieceBytesMax = 600;  // a piece alone can overrun the 511-byte message

std::string_view FormatThroughLog(bw::LogMessageBuffer& buffer, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const std::string_view message = bw::FormatLogMessage(buffer, format, args);
    va_end(args);
    return message;
}

std::string FormatUnbounded(const char* format, ...) {
    std::va_list args;
    std::va_list again;
    va_start(args, format);
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    Require(size >= 0, "the built format is valid");
    std::string text(static_cast<std::size_t>(size), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    va_end(args);
    return text;
}

// %s arguments travel as std::string up to the call, so they live as long as it.
const char* PrintfArgument(const std::string& text) { return text.c_str(); }
template <typename T>
T PrintfArgument(T value) {
    return value;
}

void CheckLine(std::string_view stamp, std::string_view message) {
    const std::string line = bw::ComposeLogLine(stamp, message);
    const std::string prefix = "[" + std::string(stamp) + "] ";
    const auto lineFeeds = static_cast<std::size_t>(std::ranges::count(message, '\n'));
    Require(line.size() == prefix.size() + message.size() + lineFeeds + 2, "a CR is added for every LF and the end");
    Require(line.starts_with(prefix), "the line starts with the bracketed stamp and a blank");
    Require(line.ends_with("\r\n"), "the line ends with CR LF");
    // Taking back the CR in front of every LF must give the message again.
    std::string restored;
    for (char c : std::string_view(line).substr(prefix.size(), line.size() - prefix.size() - 2)) {
        if (c == '\n') {
            Require(restored.ends_with('\r'), "every LF in the line follows a CR");
            restored.pop_back();
        }
        restored += c;
    }
    Require(restored == message, "the line holds the message byte for byte");
}

template <typename... Args>
void Check(const std::string& stamp, const std::string& format, const Args&... args) {
    bw::LogMessageBuffer buffer;
    const std::string_view message = FormatThroughLog(buffer, format.c_str(), PrintfArgument(args)...);
    const std::string full = FormatUnbounded(format.c_str(), PrintfArgument(args)...);
    Require(message.size() <= bw::kLogMessageMaxBytes, "the message keeps at most 511 bytes");
    Require(message == std::string_view(full).substr(0, bw::kLogMessageMaxBytes),
            "the message is the start of the unbounded text");
    CheckLine(stamp, message);
}

std::string LiteralText(FuzzedDataProvider& input) {
    std::string text;
    for (char c : input.ConsumeRandomLengthString(kPieceBytesMax)) {
        if (c == '%') text += '%';
        text += c;
    }
    return text;
}

// Each conversion adds its argument's type to Args, so the count is bounded
// at compile time.
template <int ConversionsLeft, typename... Args>
void BuildAndCheck(FuzzedDataProvider& input, const std::string& stamp, std::string format, const Args&... args) {
    format += LiteralText(input);
    if constexpr (ConversionsLeft > 0) {
        if (input.remaining_bytes() > 0) {
            constexpr int next = ConversionsLeft - 1;
            switch (input.ConsumeIntegralInRange(0, 3)) {
                case 0:
                    return BuildAndCheck<next>(input, stamp, format + "%d", args..., input.ConsumeIntegral<int>());
                case 1:
                    return BuildAndCheck<next>(input, stamp, format + "%zu", args...,
                                               input.ConsumeIntegral<std::size_t>());
                case 2:
                    // Any bit pattern: infinities, NaNs and 300-digit numbers included.
                    return BuildAndCheck<next>(input, stamp, format + "%f", args...,
                                               std::bit_cast<double>(input.ConsumeIntegral<std::uint64_t>()));
                default:
                    return BuildAndCheck<next>(input, stamp, format + "%s", args...,
                                               input.ConsumeRandomLengthString(kPieceBytesMax));
            }
        }
    }
    Check(stamp, format, args...);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string stamp = input.ConsumeBytesAsString(19);
    BuildAndCheck<3>(input, stamp, "");
    return 0;
}
