#include "settings/settings_file.h"

#include <array>
#include <fstream>

namespace bw {

std::filesystem::path SettingsFileBeside(const std::filesystem::path& executable) {
    return executable.parent_path() / "Data" / "Plugins" / kSettingsFileName;
}

std::string DefaultSettingsFileText(const SettingsValues& values) {
    return "[Settings]\r\nIter=" + std::to_string(values.Iter) + "\r\nSleep=" + std::to_string(values.Sleep) +
           "\r\nOverlayBatch=1\r\nTrimThresholdMB=" + std::to_string(values.TrimThresholdMB) + "\r\n";
}

bool WriteSettingsFile(const std::filesystem::path& file, std::string_view text) {
    // Binary: the text carries its own CR LF pairs, which a text stream on
    // Windows would double.
    std::ofstream stream(file, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!stream.is_open()) return false;
    stream.write(text.data(), static_cast<std::streamsize>(text.size()));
    stream.close();  // a full disk may only show when the buffer goes out here
    return !stream.fail();
}

SettingsReader ReadSettingsFile(const std::filesystem::path& file, const SettingsValues& current) {
    SettingsReader reader{current};
    // Binary, so every byte reaches the reader as it stands in the file.
    std::ifstream stream(file, std::ios::in | std::ios::binary);
    std::array<char, kSettingsReadChunkBytes> chunk;
    while (stream) {
        stream.read(chunk.data(), chunk.size());
        FeedSettingsReader(reader, {chunk.data(), static_cast<std::size_t>(stream.gcount())});
    }
    FinishSettingsReader(reader);
    return reader;
}

}  // namespace bw
