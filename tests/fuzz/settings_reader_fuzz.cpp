// The input is a settings file. The reader gets it in one piece and in pieces
// of varying size; both outcomes must equal a plain line-by-line reading of
// the same bytes.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "settings/settings_reader.h"

namespace {

using bw::BadValue;
using bw::SettingsKey;
using bw::SettingsProblem;

// Iter, Sleep, OverlayBatch (0 or 1), TrimThresholdMB.
using Fields = std::array<std::int32_t, 4>;

Fields FieldsOf(const bw::SettingsValues& values) {
    return {values.Iter, values.Sleep, values.OverlayBatch ? 1 : 0, values.TrimThresholdMB};
}

struct Outcome {
    Fields fields;
    std::vector<SettingsProblem> reported;
    std::size_t unreported;
};

bool operator==(const Outcome& a, const Outcome& b) {
    const auto sameProblem = [](const SettingsProblem& x, const SettingsProblem& y) {
        return x.line == y.line && x.key == y.key && x.kind == y.kind && x.kept == y.kept;
    };
    return a.fields == b.fields && a.unreported == b.unreported &&
           std::ranges::equal(a.reported, b.reported, sameProblem);
}

Outcome OutcomeOf(const bw::SettingsReader& reader) {
    Require(reader.problemCount <= bw::kReportedProblemsMax, "reported problems stay within the maximum");
    const auto reported = bw::ReportedProblems(reader);
    return {FieldsOf(reader.values),
            {reported.begin(), reported.end()},
            static_cast<std::size_t>(reader.unreportedProblems)};
}

// The reference reading: whole lines, and C's strtol for the value, which
// is what defines the value's syntax (blanks, sign, digits, then anything).
struct Model {
    Fields fields = FieldsOf(bw::kBuiltInSettings);
    std::vector<SettingsProblem> problems;
};

constexpr std::array<std::string_view, 4> kKeys{"Iter=", "Sleep=", "OverlayBatch=", "TrimThresholdMB="};

void ReadLine(Model& model, int lineNumber, std::string_view line) {
    for (std::size_t k = 0; k < kKeys.size(); ++k) {
        if (!line.starts_with(kKeys[k])) continue;
        const std::string value(line.substr(kKeys[k].size()));
        char* end = nullptr;
        errno = 0;
        const long number = std::strtol(value.c_str(), &end, 10);
        const auto problem = [&](BadValue kind) {
            model.problems.push_back({lineNumber, static_cast<SettingsKey>(k), kind, model.fields[k]});
        };
        if (end == value.c_str())
            problem(BadValue::NoNumber);
        else if (errno == ERANGE || number < std::numeric_limits<std::int32_t>::min() ||
                 number > std::numeric_limits<std::int32_t>::max())
            problem(BadValue::OutOfRange);
        else
            model.fields[k] = static_cast<SettingsKey>(k) == SettingsKey::OverlayBatch
                                  ? number != 0
                                  : static_cast<std::int32_t>(number);
        return;
    }
}

Outcome ReadByModel(std::string_view file) {
    Model model;
    int lineNumber = 1;
    for (std::size_t start = 0;; ++lineNumber) {
        const std::size_t end = file.find('\n', start);
        if (end == std::string_view::npos) {
            ReadLine(model, lineNumber, file.substr(start));  // the last line needs no line end
            break;
        }
        std::string_view line = file.substr(start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        ReadLine(model, lineNumber, line);
        start = end + 1;
    }
    const std::size_t reported = std::min(model.problems.size(), bw::kReportedProblemsMax);
    return {model.fields,
            {model.problems.begin(), model.problems.begin() + static_cast<std::ptrdiff_t>(reported)},
            model.problems.size() - reported};
}

Outcome ReadInOnePiece(std::string_view file) {
    bw::SettingsReader reader{bw::kBuiltInSettings};
    bw::FeedSettingsReader(reader, file);
    bw::FinishSettingsReader(reader);
    return OutcomeOf(reader);
}

// Piece sizes (1 to 32) come from the input's own bytes, read from its end,
// so the fuzzer steers where the splits fall, inside keys, numbers and CR LF.
Outcome ReadInPieces(std::string_view file) {
    bw::SettingsReader reader{bw::kBuiltInSettings};
    for (std::size_t at = 0, piece = 0; at < file.size(); ++piece) {
        const auto sizeByte = static_cast<unsigned char>(file[file.size() - 1 - piece % file.size()]);
        const std::size_t size = 1 + sizeByte % 32;
        bw::FeedSettingsReader(reader, file.substr(at, size));
        at += size;
    }
    bw::FinishSettingsReader(reader);
    return OutcomeOf(reader);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const Outcome whole = ReadInOnePiece(file);
    Require(whole == ReadByModel(file), "one-piece reading equals the line-by-line reading");
    Require(ReadInPieces(file) == whole, "reading in pieces equals reading in one piece");
    return 0;
}
