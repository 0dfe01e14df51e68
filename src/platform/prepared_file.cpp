#include "platform/prepared_file.h"

#include <system_error>

namespace bw {

std::optional<std::filesystem::path> PrepareFileUnder(const platform::PathLookup& place, FolderUnder folder,
                                                      const char* fileName) noexcept {
    try {
        switch (place.status) {
            case platform::PathStatus::Unavailable:
                return std::filesystem::path(fileName);
            case platform::PathStatus::Unusable:
                return std::nullopt;
            case platform::PathStatus::Found:
                break;
        }
        const std::filesystem::path directory = folder(place.path);
        std::error_code error;
        std::filesystem::create_directories(directory, error);
        if (error) return std::nullopt;
        return directory / fileName;
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace bw
