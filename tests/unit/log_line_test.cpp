#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "log/log_line.h"

namespace {

std::string Format(const char* format, ...) {
    bw::LogMessageBuffer buffer;
    std::va_list args;
    va_start(args, format);
    const std::string text(bw::FormatLogMessage(buffer, format, args));
    va_end(args);
    return text;
}

TEST(LogLine, IsBracketedTimeStampThenMessageThenCrLf) {
    EXPECT_EQ(bw::ComposeLogLine("2025-03-07 14:05:09", "[BW] All threads started."),
              "[2025-03-07 14:05:09] [BW] All threads started.\r\n");
    EXPECT_EQ(bw::ComposeLogLine("2025-03-07 14:05:09", ""), "[2025-03-07 14:05:09] \r\n");
}

TEST(LogLine, StoresEveryLineFeedAsCrLfLikeATextStream) {
    EXPECT_EQ(bw::ComposeLogLine("T", "one\ntwo"), "[T] one\r\ntwo\r\n");
    // A text stream adds a CR before every LF, even one that has a CR already.
    EXPECT_EQ(bw::ComposeLogLine("T", "a\r\nb\r"), "[T] a\r\r\nb\r\r\n");
}

TEST(LogLine, TimeStampIsLocalTimeToTheSecond) {
    EXPECT_EQ(bw::FormatLogTimeStamp({2025, 3, 7, 4, 5, 9}), "2025-03-07 04:05:09");
    // An afternoon hour tells a 24-hour clock from a 12-hour one.
    EXPECT_EQ(bw::FormatLogTimeStamp({2025, 12, 31, 23, 59, 58}), "2025-12-31 23:59:58");
}

TEST(LogMessageText, KeepsAtMost511Bytes) {
    const std::string exact(511, 'x');
    EXPECT_EQ(Format("%s", exact.c_str()), exact);
    const std::string longer = exact + "y";
    EXPECT_EQ(Format("%s", longer.c_str()), exact);
    EXPECT_EQ(Format("%s%s", exact.c_str(), exact.c_str()), exact);
    EXPECT_EQ(Format("%s", ""), "");
}

TEST(LogMessageText, FormatsTheConversionsThePlugInUses) {
    EXPECT_EQ(Format("[MM] WS:%zu PF:%zu", std::size_t{2101}, std::size_t{0}), "[MM] WS:2101 PF:0");
    EXPECT_EQ(Format("[MM] Trimmed WS>%d", -1), "[MM] Trimmed WS>-1");
    EXPECT_EQ(Format("[BW] CPU worker active: %f", 499950.0), "[BW] CPU worker active: 499950.000000");
}

}  // namespace
