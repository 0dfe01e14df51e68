// The record the host reads to learn what this plug-in is and which game
// build it was made for. Its layout is the host's, byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace bw {

struct PluginVersionRecord {
    std::uint32_t recordVersion;
    std::uint32_t releaseNumber;
    char displayName[256];
    char authorName[256];
    std::uint32_t hostFlagsA;
    std::uint32_t hostFlagsB;
    std::uint32_t gameVersions[16];
    std::uint32_t trailingWords[3];
};

static_assert(sizeof(PluginVersionRecord) == 0x25C);
static_assert(alignof(PluginVersionRecord) == 4);
static_assert(offsetof(PluginVersionRecord, displayName) == 0x008);
static_assert(offsetof(PluginVersionRecord, authorName) == 0x108);
static_assert(offsetof(PluginVersionRecord, hostFlagsA) == 0x208);
static_assert(offsetof(PluginVersionRecord, hostFlagsB) == 0x20C);
static_assert(offsetof(PluginVersionRecord, gameVersions) == 0x210);
static_assert(offsetof(PluginVersionRecord, trailingWords) == 0x250);

// Game 1.15.222.0, packed major.minor.build.sub-build into 8.8.12.4 bits.
inline constexpr std::uint32_t kSupportedGameVersion = 0x010F0DE0;

// Whether the first bytes of another module's record name this plug-in,
// whatever its release or file name.
bool NamesThisPlugIn(std::string_view record) noexcept;

}  // namespace bw

// Exported undecorated; the host finds it by name and reads it in place.
extern "C" bw::PluginVersionRecord TRVXPlugin_Version;
