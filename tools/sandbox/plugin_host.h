// Loads the plug-in the way the host does: by path, then its two exports by
// name, checking the version record before calling anything.
#pragma once

#include <string>

#include "platform/win32/win32.h"
#include "plugin/load_entry.h"
#include "plugin/version_record.h"

namespace sandbox {

// The host version the sandbox plays by default: the one the plug-in wants.
inline constexpr std::uint32_t kDefaultHostVersion = bw::kAcceptedHostVersion;

struct LoadedPlugin {
    HMODULE module = nullptr;
    const bw::PluginVersionRecord* record = nullptr;
    bool (*load)(const bw::HostInterface*) = nullptr;
};

// Empty `error` on success; otherwise says what a host would have rejected.
LoadedPlugin LoadPlugin(const std::wstring& path, std::string& error);

// <folder of this executable>\<name>
std::wstring BesideExecutable(const wchar_t* name);

}  // namespace sandbox
