#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings_file.h"
#include "settings/settings_reader.h"

namespace {

using namespace std::string_literals;
using bw::BadValue;
using bw::SettingsProblem;
using bw::SettingsReader;
using bw::SettingsValues;

constexpr SettingsValues kDefaults{10000, 5, true, 12288};

std::string Describe(const SettingsValues& v) {
    return "Iter=" + std::to_string(v.Iter) + " Sleep=" + std::to_string(v.Sleep) +
           " Overlay=" + std::to_string(v.OverlayBatch ? 1 : 0) + " Trim=" + std::to_string(v.TrimThresholdMB);
}

std::vector<std::string> Describe(std::span<const SettingsProblem> problems) {
    std::vector<std::string> lines;
    for (const SettingsProblem& p : problems)
        lines.push_back("line " + std::to_string(p.line) + ": " + bw::SettingsKeyText(p.key) +
                        (p.kind == BadValue::NoNumber ? " no number" : " out of range") + ", kept " +
                        std::to_string(p.kept));
    return lines;
}

// The whole outcome of a read as text, so two reads compare in one step.
std::string Outcome(const SettingsReader& reader) {
    std::string text = Describe(reader.values);
    for (const std::string& problem : Describe(bw::ReportedProblems(reader))) text += " | " + problem;
    return text + " | unreported " + std::to_string(reader.unreportedProblems);
}

SettingsReader ReadInChunks(std::string_view text, std::size_t chunkBytes, SettingsValues start = kDefaults) {
    SettingsReader reader{start};
    for (std::size_t at = 0; at < text.size(); at += chunkBytes)
        bw::FeedSettingsReader(reader, text.substr(at, chunkBytes));
    bw::FinishSettingsReader(reader);
    return reader;
}

SettingsReader ReadAll(std::string_view text, SettingsValues start = kDefaults) {
    return ReadInChunks(text, text.size() + 1, start);
}

struct ReaderCase {
    const char* what;
    std::string text;
    SettingsValues expected;
    std::vector<std::string> problems;
};

void ExpectReads(const std::vector<ReaderCase>& cases) {
    for (const ReaderCase& c : cases) {
        SCOPED_TRACE(c.what);
        const SettingsReader reader = ReadAll(c.text);
        EXPECT_EQ(Describe(reader.values), Describe(c.expected));
        EXPECT_EQ(Describe(bw::ReportedProblems(reader)), c.problems);
        EXPECT_EQ(reader.unreportedProblems, 0);
    }
}

TEST(SettingsReader, ReadsNumbersTheWayTheValueSyntaxSays) {
    ExpectReads({
        {"blank before digits", "Iter= 250\n", {250, 5, true, 12288}, {}},
        {"every C white space", "Iter=\t\v\f\r 250\n", {250, 5, true, 12288}, {}},
        {"plus sign", "Sleep=+7\n", {10000, 7, true, 12288}, {}},
        {"minus sign kept", "Iter=-3\n", {-3, 5, true, 12288}, {}},
        {"negative sleep unchanged", "Sleep=-1\n", {10000, -1, true, 12288}, {}},
        {"text behind digits", "Iter=250ms\n", {250, 5, true, 12288}, {}},
        {"hexadecimal read in base 10", "TrimThresholdMB=0x100\n", {10000, 5, true, 0}, {}},
        {"leading zeros", "Iter=00000000000000000042\n", {42, 5, true, 12288}, {}},
        {"largest int", "Iter=2147483647\n", {2147483647, 5, true, 12288}, {}},
        {"smallest int", "Iter=-2147483648\n", {-2147483647 - 1, 5, true, 12288}, {}},
        {"overlay 2 is on", "OverlayBatch=0\nOverlayBatch=2\n", {10000, 5, true, 12288}, {}},
        {"overlay -1 is on", "OverlayBatch=0\nOverlayBatch=-1\n", {10000, 5, true, 12288}, {}},
        {"overlay 0 is off", "OverlayBatch=0\n", {10000, 5, false, 12288}, {}},
        {"all four", "Iter=1\nSleep=2\nOverlayBatch=0\nTrimThresholdMB=4\n", {1, 2, false, 4}, {}},
    });
}

TEST(SettingsReader, OnlyExactKeysAtTheStartOfALineCount) {
    ExpectReads({
        {"empty file", "", kDefaults, {}},
        {"other case", "iter=5\nSLEEP=6\n", kDefaults, {}},
        {"leading blank", " Iter=5\n\tSleep=6\n", kDefaults, {}},
        {"blank before equals", "Iter =5\n", kDefaults, {}},
        {"key without equals", "Iter\nIter5\n", kDefaults, {}},
        {"longer name", "Iterations=5\n", kDefaults, {}},
        {"comments and blank lines", "; Iter=5\n# Sleep=6\n\n\r\n", kDefaults, {}},
        {"no section header", "Sleep=20\n", {10000, 20, true, 12288}, {}},
        {"other section header", "[Other]\nIter=7\n", {7, 5, true, 12288}, {}},
        {"last one wins", "Sleep=10\nSleep=20\n", {10000, 20, true, 12288}, {}},
        {"last line without line end", "Iter=1\nSleep=9", {1, 9, true, 12288}, {}},
        {"CR LF line ends", "Iter=1\r\nSleep=9\r\n", {1, 9, true, 12288}, {}},
        {"lone CR ends no line", "Iter=1\rSleep=9\n", {1, 5, true, 12288}, {}},
        {"CR inside the value is white space", "Iter=\r7\n", {7, 5, true, 12288}, {}},
        {"final CR without LF", "Iter=7\r", {7, 5, true, 12288}, {}},
        {"byte-order mark hides first key", "\xEF\xBB\xBFIter=5\nSleep=6\n", {10000, 6, true, 12288}, {}},
        {"NUL ends the digits",
         "Iter=5\0"s
         "9\n",
         {5, 5, true, 12288},
         {}},
        {"NUL before a key",
         "\0"s
         "Iter=5\n",
         kDefaults,
         {}},
        {"NUL inside a key",
         "It\0"s
         "er=5\n",
         kDefaults,
         {}},
        {"NUL after a line", "Iter=5\n\0"s, {5, 5, true, 12288}, {}},
    });
}

TEST(SettingsReader, BadValueKeepsTheFieldAndNamesKeyAndLine) {
    ExpectReads({
        {"nothing behind the key", "Iter=\n", kDefaults, {"line 1: Iter= no number, kept 10000"}},
        {"only blanks and CR", "Iter=  \r\n", kDefaults, {"line 1: Iter= no number, kept 10000"}},
        {"a word", "Sleep=abc\n", kDefaults, {"line 1: Sleep= no number, kept 5"}},
        {"sign alone",
         "Iter=+\nSleep=-",
         kDefaults,
         {"line 1: Iter= no number, kept 10000", "line 2: Sleep= no number, kept 5"}},
        {"blank after the sign", "Iter=- 5\n", kDefaults, {"line 1: Iter= no number, kept 10000"}},
        {"two signs", "Iter=+-5\n", kDefaults, {"line 1: Iter= no number, kept 10000"}},
        {"NUL before the digits",
         "Iter=\0"s
         "5\n",
         kDefaults,
         {"line 1: Iter= no number, kept 10000"}},
        {"one past the largest", "Iter=2147483648\n", kDefaults, {"line 1: Iter= out of range, kept 10000"}},
        {"one past the smallest", "Iter=-2147483649\n", kDefaults, {"line 1: Iter= out of range, kept 10000"}},
        {"the smallest's digits and one more",
         "Iter=-21474836480\n",
         kDefaults,
         {"line 1: Iter= out of range, kept 10000"}},
        {"far too many digits",
         "TrimThresholdMB=99999999999999999999999\n",
         kDefaults,
         {"line 1: TrimThresholdMB= out of range, kept 12288"}},
        {"2 to the 64th plus 5 does not wrap to 5",
         "Iter=18446744073709551621\n",
         kDefaults,
         {"line 1: Iter= out of range, kept 10000"}},
        {"kept value is the one from an earlier line",
         "Sleep=20\nIter=\n\r\nSleep=x\n",
         {10000, 20, true, 12288},
         {"line 2: Iter= no number, kept 10000", "line 4: Sleep= no number, kept 20"}},
        {"overlay kept as 0 or 1",
         "OverlayBatch=0\nOverlayBatch=z\nOverlayBatch=5\nOverlayBatch=9999999999\n",
         {10000, 5, true, 12288},
         {"line 2: OverlayBatch= no number, kept 0", "line 4: OverlayBatch= out of range, kept 1"}},
        {"reading goes on behind a bad line",
         "Iter=\nIter=8\n",
         {8, 5, true, 12288},
         {"line 1: Iter= no number, kept 10000"}},
    });
}

// Touches every state the reader can be in at a chunk's end.
const std::string kEveryPhase =
    "\xEF\xBB\xBF[Settings]\r\nIter= \t+123456ms\r\nSleep=-2147483648\r\nOverlayBatch=\r\n"
    "TrimThresholdMB=2147483648\nIter\nSleep=\0"s
    "7\nTrimThresholdMB=  -0042\rjunk\nOverlayBatch=0";

TEST(SettingsReader, GivesTheSameResultHoweverTheBytesAreSplit) {
    const std::string expected =
        "Iter=123456 Sleep=-2147483648 Overlay=0 Trim=-42 | line 4: OverlayBatch= no number, kept 1"
        " | line 5: TrimThresholdMB= out of range, kept 12288 | line 7: Sleep= no number, kept -2147483648"
        " | unreported 0";
    ASSERT_EQ(Outcome(ReadAll(kEveryPhase)), expected);
    for (std::size_t split = 0; split <= kEveryPhase.size(); ++split) {
        SCOPED_TRACE("split at " + std::to_string(split));
        SettingsReader reader{kDefaults};
        bw::FeedSettingsReader(reader, std::string_view(kEveryPhase).substr(0, split));
        bw::FeedSettingsReader(reader, std::string_view(kEveryPhase).substr(split));
        bw::FinishSettingsReader(reader);
        EXPECT_EQ(Outcome(reader), expected);
    }
    EXPECT_EQ(Outcome(ReadInChunks(kEveryPhase, 1)), expected);
}

TEST(SettingsReader, LinesOfTenMebibytesAreReadToTheEnd) {
    const std::size_t tenMiB = 10u << 20;
    const struct {
        const char* what;
        std::string text;
        std::string expected;
    } cases[] = {
        {"junk line, then a key", std::string(tenMiB, 'x') + "\nIter=5\n", "Iter=5 Sleep=5 Overlay=1 Trim=12288"},
        {"blanks before the digits", "Iter=" + std::string(tenMiB, ' ') + "77", "Iter=77 Sleep=5 Overlay=1 Trim=12288"},
        {"zeros before the digit", "Iter=" + std::string(tenMiB, '0') + "42\n", "Iter=42 Sleep=5 Overlay=1 Trim=12288"},
        {"text behind the digits", "Sleep=9" + std::string(tenMiB, 'z') + "\nIter=3",
         "Iter=3 Sleep=9 Overlay=1 Trim=12288"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SettingsReader reader = ReadInChunks(c.text, bw::kSettingsReadChunkBytes);
        EXPECT_EQ(Describe(reader.values), c.expected);
        EXPECT_TRUE(bw::ReportedProblems(reader).empty());
    }
    const SettingsReader digits = ReadInChunks("Iter=" + std::string(tenMiB, '9'), bw::kSettingsReadChunkBytes);
    EXPECT_EQ(Describe(bw::ReportedProblems(digits)),
              std::vector<std::string>{"line 1: Iter= out of range, kept 10000"});
}

TEST(DefaultSettingsFile, ReadsBackAsTheValuesItWasWrittenFrom) {
    const SettingsValues cases[] = {
        kDefaults,
        {-2147483647 - 1, -1, true, 2147483647},
        {0, 0, true, 0},
    };
    for (const SettingsValues& values : cases) {
        SCOPED_TRACE(Describe(values));
        const SettingsReader reader = ReadAll(bw::DefaultSettingsFileText(values), {1, 1, false, 1});
        EXPECT_EQ(Describe(reader.values), Describe(values));
        EXPECT_TRUE(bw::ReportedProblems(reader).empty());
    }
}

}  // namespace
