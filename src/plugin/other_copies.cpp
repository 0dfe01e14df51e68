#include "plugin/other_copies.h"

#include <cstdio>

#include "log/log.h"
#include "log/log_line.h"
#include "plugin/version_record.h"

namespace bw {
namespace {

// Only the log's reading tells this look from the first: a name kept in
// memory would survive the deletion that erased its line.
void NameCopies(bool skipThoseTheLogShows) noexcept {
    for (const platform::ExportedData& other :
         platform::OtherModulesExporting("TRVXPlugin_Version", sizeof(PluginVersionRecord))) {
        if (!NamesThisPlugIn(other.bytes)) continue;
        // Cut where the log cuts it, so the look finds the line as written.
        LogMessageBuffer message;
        if (std::snprintf(message, sizeof message,
                          "[BW] Another copy of Brackwell is loaded in this game: %s. Keep one copy only.",
                          NameForTheLog(other.file).c_str()) < 0)
            continue;
        if (skipThoseTheLogShows && LogHoldsMessage(message)) continue;
        LogMessage("%s", message);
    }
}

}  // namespace

std::string NameForTheLog(const platform::PathLookup& file) noexcept {
    try {
        if (file.status != platform::PathStatus::Found) return "an unnamed file";
        const std::u8string name = file.path.u8string();
        return {name.begin(), name.end()};
    } catch (...) {
        return "an unnamed file";
    }
}

void NameTheOtherCopies() noexcept { NameCopies(false); }
void NameTheOtherCopiesAgain() noexcept { NameCopies(true); }

}  // namespace bw
