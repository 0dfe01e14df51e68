#include <system_error>

#include "log/log.h"
#include "platform/platform.h"
#include "platform/prepared_file.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "settings/settings_reader.h"

namespace bw {
namespace {

constexpr const char* kCreatedFormat = "[BW] Created default INI: Iter=%d, Sleep=%d, Overlay=%d, TrimThresholdMB=%d";
constexpr const char* kLoadedFormat = "[BW] INI loaded: Iter=%d, Sleep=%d, Overlay=%d, TrimThresholdMB=%d";
constexpr const char* kUnusableFormat =
    "[BW] Settings file could not be used; built-in defaults in force: Iter=%d, Sleep=%d, Overlay=%d, "
    "TrimThresholdMB=%d";
constexpr const char* kWriteFailedFormat =
    "[BW] Could not write default INI; built-in defaults in force: Iter=%d, Sleep=%d, Overlay=%d, "
    "TrimThresholdMB=%d";

SettingsValues CurrentSettings() noexcept {
    return {Settings.Iter.load(), Settings.Sleep.load(), Settings.OverlayBatch.load(), Settings.TrimThresholdMB.load()};
}

void StoreSettings(const SettingsValues& values) noexcept {
    Settings.Iter.store(values.Iter);
    Settings.Sleep.store(values.Sleep);
    Settings.OverlayBatch.store(values.OverlayBatch);
    Settings.TrimThresholdMB.store(values.TrimThresholdMB);
}

// Every outcome ends in one line with the four values then in force.
void LogOutcome(const char* format, const SettingsValues& values) noexcept {
    LogMessage(format, values.Iter, values.Sleep, values.OverlayBatch ? 1 : 0, values.TrimThresholdMB);
}

void LogProblems(const SettingsReader& reader) noexcept {
    for (const SettingsProblem& problem : ReportedProblems(reader)) {
        LogMessage(problem.kind == BadValue::NoNumber ? "[BW] INI line %d: %s has no number; kept %d."
                                                      : "[BW] INI line %d: %s is out of range; kept %d.",
                   problem.line, SettingsKeyText(problem.key), problem.kept);
    }
    if (reader.unreportedProblems > 0)
        LogMessage("[BW] INI: %d more bad values not logged.", reader.unreportedProblems);
}

}  // namespace

std::optional<std::filesystem::path> GetSettingsFilePath() noexcept {
    return PrepareFileUnder(
        platform::MainExecutablePath(),
        [](const std::filesystem::path& executable) { return SettingsFileBeside(executable).parent_path(); },
        kSettingsFileName);
}

void LoadSettings() noexcept {
    try {
        const SettingsValues current = CurrentSettings();
        const auto file = GetSettingsFilePath();
        std::error_code error;
        const bool present = file && std::filesystem::exists(*file, error);
        if (!file || error) {
            LogOutcome(kUnusableFormat, current);
        } else if (!present) {
            const bool written = WriteSettingsFile(*file, DefaultSettingsFileText(current));
            LogOutcome(written ? kCreatedFormat : kWriteFailedFormat, current);
        } else {
            const SettingsReader reader = ReadSettingsFile(*file, current);
            StoreSettings(reader.values);
            LogProblems(reader);
            LogOutcome(kLoadedFormat, reader.values);
        }
    } catch (...) {
        // Only work that stores nothing can throw, so the record still holds
        // what was in force before.
        LogOutcome(kUnusableFormat, CurrentSettings());
    }
}

}  // namespace bw
