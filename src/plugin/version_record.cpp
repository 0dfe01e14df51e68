#include "plugin/version_record.h"

#include <cstddef>

// Writable initialised data, as the host expects; nothing here changes it.
extern "C" {
bw::PluginVersionRecord TRVXPlugin_Version = {
    /*recordVersion=*/1,
    /*releaseNumber=*/1,
    /*displayName=*/"Velmoria Brackwell",
    /*authorName=*/"Brackwell developers",
    /*hostFlagsA=*/4,
    /*hostFlagsB=*/8,
    /*gameVersions=*/{bw::kSupportedGameVersion},
    /*trailingWords=*/{},
};
}

bool bw::NamesThisPlugIn(std::string_view record) noexcept {
    constexpr std::size_t kNameAt = offsetof(PluginVersionRecord, displayName);
    constexpr std::size_t kNameBytes = sizeof TRVXPlugin_Version.displayName;
    if (record.size() < kNameAt + kNameBytes) return false;
    const std::string_view name = record.substr(kNameAt, kNameBytes);
    return name.substr(0, name.find('\0')) == TRVXPlugin_Version.displayName;
}
