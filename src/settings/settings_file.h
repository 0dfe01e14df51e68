// The settings file on disk: where it lives beside the game, the bytes of a
// fresh one, and moving those bytes to and from the disk.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "settings/settings.h"
#include "settings/settings_reader.h"

namespace bw {

inline constexpr const char* kSettingsFileName = "Brackwell.ini";

// How much of the file is held in memory at once, whatever its size.
inline constexpr std::size_t kSettingsReadChunkBytes = 4096;

// The executable's folder, then Data, Plugins and Brackwell.ini.
std::filesystem::path SettingsFileBeside(const std::filesystem::path& executable);

// The five lines of a fresh file, each ending in CR LF whichever build writes
// it. A fresh file always switches the overlay batch on.
std::string DefaultSettingsFileText(const SettingsValues& values);

// Creates or truncates the file and writes the text unchanged. True only when
// every byte was written and the file closed without error.
bool WriteSettingsFile(const std::filesystem::path& file, std::string_view text);

// Reads the file through the reader, starting from the values in force. A
// file that can't be opened or read reads as empty.
SettingsReader ReadSettingsFile(const std::filesystem::path& file, const SettingsValues& current);

}  // namespace bw
