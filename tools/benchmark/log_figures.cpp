// A line through LogMessage against the bare work every line needs (the
// documents lookup, the folder chain, the time stamp from the system's
// clock, an open for append, one write, the close), with one writer and with
// three at once; and whether every line LogMessage wrote meanwhile arrived,
// whole. The bare work is timed under the lock every copy of the plug-in in
// the game shares, the least that keeps concurrent lines of two copies whole;
// for information, it is timed under a lock of this image alone too, which
// keeps only one copy's lines whole, and with three writers without any
// lock, a sequence that garbles lines.
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <string_view>

#include "figures.h"
#include "log/log.h"
#include "log/log_line.h"
#include "platform/platform.h"
#include "table.h"
#include "writer_crew.h"

namespace bench {
namespace {

// The bare lines go to a file of their own beside the log, so that the log
// holds LogMessage's lines alone.
constexpr const char* kBareLogName = "Brackwell-bare.log";
// As long as the lines LogMessage writes below; the stamp is replaced.
constexpr std::string_view kBareLine = "[2000-01-01 00:00:00] [W0] 00000 benchmark line\r\n";

void AppendBareLine() {
    const bw::platform::PathLookup documents = bw::platform::DocumentsFolder();
    const std::filesystem::path directory = bw::LogDirectoryUnder(documents.path);
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    std::string line(kBareLine);
    line.replace(1, 19, bw::FormatLogTimeStamp(bw::platform::CurrentLocalTime()));
    (void)bw::platform::AppendToFile(directory / kBareLogName, line);
}

std::mutex gBareLineLock;

void AppendBareLineUnderTheImageLock() {
    const std::lock_guard hold(gBareLineLock);
    AppendBareLine();
}

// As a line takes it: a lock the system can't make leaves the image's.
void AppendBareLineUnderTheSharedLock() {
    switch (bw::platform::LockTheLogAcrossCopies(250)) {
        case bw::platform::LogLock::Held:
            AppendBareLine();
            bw::platform::UnlockTheLogAcrossCopies();
            return;
        case bw::platform::LogLock::Unavailable:
            AppendBareLineUnderTheImageLock();
            return;
        case bw::platform::LogLock::TimedOut:
            return;
    }
}

void RemoveBothLogs() {
    const std::filesystem::path directory = bw::LogDirectoryUnder(bw::platform::DocumentsFolder().path);
    std::error_code ignored;
    std::filesystem::remove(directory / bw::kLogFileName, ignored);
    std::filesystem::remove(directory / kBareLogName, ignored);
}

struct LineCount {
    long long whole = 0;
    long long malformed = 0;
};

LineCount CountLines(const std::filesystem::path& file) {
    static const std::regex kWholeLine(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] \[W\d\] \d{5} benchmark line\r)");
    std::ifstream stream(file, std::ios::binary);
    std::stringstream bytes;
    bytes << stream.rdbuf();
    LineCount count;
    for (std::string line; std::getline(bytes, line);)
        ++(std::regex_match(line, kWholeLine) ? count.whole : count.malformed);
    const std::string text = bytes.str();
    if (!text.empty() && text.back() != '\n') ++count.malformed;  // a last line cut short
    return count;
}

void RunWriters(const SamplePlan& plan, const std::string& where, int writers) {
    RemoveBothLogs();
    WriterCrew crew(writers);
    long long logged = 0;
    const auto logLines = [&](long long reps) {
        crew.Run([reps](int writer) {
            for (long long r = 0; r < reps; ++r) bw::LogMessage("[W%d] %05lld benchmark line", writer, r % 100000);
        });
        logged += reps * writers;
    };
    const auto bareLines = [&crew](void (*append)()) {
        return [&crew, append](long long reps) {
            crew.Run([reps, append](int) {
                for (long long r = 0; r < reps; ++r) append();
            });
        };
    };
    const std::string figure = Text("log line, %d writer%s, ", writers, writers > 1 ? "s" : "") + where;
    PrintComparisonRow(figure + ": LogMessage / bare sequence under one lock",
                       CompareInterleaved(plan, logLines, bareLines(AppendBareLineUnderTheSharedLock)), 1e6 / writers,
                       "us", 1.3);
    PrintComparisonRow(figure + ": bare sequence under the lock all copies share / under this image's",
                       CompareInterleaved(plan, bareLines(AppendBareLineUnderTheSharedLock),
                                          bareLines(AppendBareLineUnderTheImageLock)),
                       1e6 / writers, "us", std::nullopt);
    if (writers > 1)
        PrintComparisonRow(figure + ": LogMessage / bare sequence, unlocked (garbles lines)",
                           CompareInterleaved(plan, logLines, bareLines(AppendBareLine)), 1e6 / writers, "us",
                           std::nullopt);

    const auto logFile = bw::GetLogFilePath();
    const LineCount lines = logFile ? CountLines(*logFile) : LineCount{};
    const long long lost = logged - lines.whole;
    PrintRow(figure + ": LogMessage lines malformed, lost", Text("%lld, %lld of %lld", lines.malformed, lost, logged),
             "0, 0", "-", Holds(lines.malformed == 0 && lost == 0));
}

}  // namespace

void RunLogFigures(const SamplePlan& plan, const std::string& where) {
    for (const int writers : {1, 3}) RunWriters(plan, where, writers);
    RemoveBothLogs();
}

}  // namespace bench
