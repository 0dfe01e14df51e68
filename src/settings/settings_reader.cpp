#include "settings/settings_reader.h"

#include <climits>

namespace bw {
namespace {

// Tested in this order. No two begin with the same letter, so a line's first
// byte picks the only key it can match.
constexpr std::array<std::string_view, 4> kKeyTexts{"Iter=", "Sleep=", "OverlayBatch=", "TrimThresholdMB="};

constexpr std::uint64_t kNegativeMagnitudeMax = 2147483648u;
constexpr std::uint64_t kPositiveMagnitudeMax = 2147483647u;

std::string_view KeyText(SettingsKey key) { return kKeyTexts[static_cast<std::size_t>(key)]; }

// What C's isspace accepts, but LF: that one has already ended the line.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Counters the log prints as int; a file of billions of lines must not wrap them.
void CountUp(int& counter) {
    if (counter < INT_MAX) ++counter;
}

std::int32_t ValueOf(const SettingsValues& values, SettingsKey key) {
    switch (key) {
        case SettingsKey::Iter:
            return values.Iter;
        case SettingsKey::Sleep:
            return values.Sleep;
        case SettingsKey::OverlayBatch:
            return values.OverlayBatch ? 1 : 0;
        case SettingsKey::TrimThresholdMB:
            return values.TrimThresholdMB;
    }
    return 0;
}

void Store(SettingsValues& values, SettingsKey key, std::int32_t number) {
    switch (key) {
        case SettingsKey::Iter:
            values.Iter = number;
            break;
        case SettingsKey::Sleep:
            values.Sleep = number;
            break;
        case SettingsKey::OverlayBatch:
            values.OverlayBatch = number != 0;
            break;
        case SettingsKey::TrimThresholdMB:
            values.TrimThresholdMB = number;
            break;
    }
}

void Report(SettingsReader& reader, BadValue kind) {
    if (reader.problemCount < reader.problems.size())
        reader.problems[reader.problemCount++] = {reader.line, reader.key, kind, ValueOf(reader.values, reader.key)};
    else
        CountUp(reader.unreportedProblems);
}

void AddDigit(SettingsReader& reader, char digit) {
    if (reader.magnitude <= kNegativeMagnitudeMax)
        reader.magnitude = reader.magnitude * 10 + static_cast<std::uint64_t>(digit - '0');
}

void EndNumber(SettingsReader& reader) {
    if (reader.magnitude > (reader.negative ? kNegativeMagnitudeMax : kPositiveMagnitudeMax)) {
        Report(reader, BadValue::OutOfRange);
        return;
    }
    const auto magnitude = static_cast<std::int64_t>(reader.magnitude);
    Store(reader.values, reader.key, static_cast<std::int32_t>(reader.negative ? -magnitude : magnitude));
}

// A line that ends while its value is still open.
void EndLine(SettingsReader& reader) {
    switch (reader.phase) {
        case LinePhase::BeforeSign:
        case LinePhase::AfterSign:
            Report(reader, BadValue::NoNumber);
            break;
        case LinePhase::Digits:
            EndNumber(reader);
            break;
        case LinePhase::LineStart:
        case LinePhase::Key:
        case LinePhase::Rest:
            break;
    }
}

void StartKey(SettingsReader& reader, char first) {
    reader.phase = LinePhase::Rest;
    for (std::size_t k = 0; k < kKeyTexts.size(); ++k) {
        if (kKeyTexts[k][0] != first) continue;
        reader.key = static_cast<SettingsKey>(k);
        reader.keyBytesMatched = 1;
        reader.phase = LinePhase::Key;
        return;
    }
}

void MatchKey(SettingsReader& reader, char c) {
    const std::string_view key = KeyText(reader.key);
    if (c != key[reader.keyBytesMatched]) {
        reader.phase = LinePhase::Rest;
        return;
    }
    if (++reader.keyBytesMatched < key.size()) return;
    reader.phase = LinePhase::BeforeSign;
    reader.negative = false;
    reader.magnitude = 0;
}

// One byte of a line, LF excluded.
void Step(SettingsReader& reader, char c) {
    switch (reader.phase) {
        case LinePhase::LineStart:
            StartKey(reader, c);
            return;
        case LinePhase::Key:
            MatchKey(reader, c);
            return;
        case LinePhase::BeforeSign:
            if (IsBlank(c)) return;
            if (c == '+' || c == '-') {
                reader.negative = c == '-';
                reader.phase = LinePhase::AfterSign;
                return;
            }
            [[fallthrough]];
        case LinePhase::AfterSign:
            if (IsDigit(c)) {
                AddDigit(reader, c);
                reader.phase = LinePhase::Digits;
            } else {
                Report(reader, BadValue::NoNumber);
                reader.phase = LinePhase::Rest;
            }
            return;
        case LinePhase::Digits:
            if (IsDigit(c)) {
                AddDigit(reader, c);
                return;
            }
            EndNumber(reader);  // the rest of the line is ignored
            reader.phase = LinePhase::Rest;
            return;
        case LinePhase::Rest:
            return;
    }
}

}  // namespace

const char* SettingsKeyText(SettingsKey key) noexcept { return KeyText(key).data(); }

void FeedSettingsReader(SettingsReader& reader, std::string_view bytes) noexcept {
    std::size_t next = 0;
    while (next < bytes.size()) {
        if (reader.phase == LinePhase::Rest) {
            // Nothing more matters until the line ends: skip it in one search.
            next = bytes.find('\n', next);
            if (next == std::string_view::npos) return;
        }
        const char c = bytes[next++];
        if (c != '\n') {
            Step(reader, c);
            continue;
        }
        EndLine(reader);
        reader.phase = LinePhase::LineStart;
        CountUp(reader.line);
    }
}

void FinishSettingsReader(SettingsReader& reader) noexcept {
    EndLine(reader);
    reader.phase = LinePhase::Rest;
}

std::span<const SettingsProblem> ReportedProblems(const SettingsReader& reader) noexcept {
    return {reader.problems.data(), reader.problemCount};
}

}  // namespace bw
