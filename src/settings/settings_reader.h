// Reads the settings file's text as it arrives, one chunk after another. The
// reader keeps only where it stands in the current line, never the line
// itself, so a line of any length, NUL bytes or random bytes cost no more
// memory than the reader. Bytes in, values and problems out: no files here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "settings/settings.h"

namespace bw {

enum class SettingsKey : std::uint8_t { Iter, Sleep, OverlayBatch, TrimThresholdMB };

// The key as the file spells it, "=" included.
const char* SettingsKeyText(SettingsKey key) noexcept;

enum class BadValue : std::uint8_t { NoNumber, OutOfRange };

struct SettingsProblem {
    int line;  // 1-based
    SettingsKey key;
    BadValue kind;
    std::int32_t kept;  // the field's value at that line; OverlayBatch as 0 or 1
};

// More than this many bad values in one file are only counted: a file of
// garbage must not flood the log.
inline constexpr std::size_t kReportedProblemsMax = 10;

enum class LinePhase : std::uint8_t { LineStart, Key, BeforeSign, AfterSign, Digits, Rest };

struct SettingsReader {
    SettingsValues values;  // start with the values in force; the file overrides them
    std::array<SettingsProblem, kReportedProblemsMax> problems{};
    std::size_t problemCount = 0;
    int unreportedProblems = 0;

    // Where the reader stands in the current line.
    int line = 1;
    LinePhase phase = LinePhase::LineStart;
    SettingsKey key = SettingsKey::Iter;
    std::uint8_t keyBytesMatched = 0;
    bool negative = false;
    std::uint64_t magnitude = 0;  // stops growing once past the 32-bit range
};

// Bytes may be split anywhere, even inside a key, a number or a CR LF.
void FeedSettingsReader(SettingsReader& reader, std::string_view bytes) noexcept;

// Settles a last line that has no line end.
void FinishSettingsReader(SettingsReader& reader) noexcept;

std::span<const SettingsProblem> ReportedProblems(const SettingsReader& reader) noexcept;

}  // namespace bw
