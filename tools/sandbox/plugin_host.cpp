#include "plugin_host.h"

#include <cstring>

namespace sandbox {
namespace {

std::string RecordProblem(const bw::PluginVersionRecord& record) {
    if (record.recordVersion != 1) return "unknown version record layout";
    if (std::memchr(record.displayName, '\0', sizeof record.displayName) == nullptr)
        return "display name not terminated";
    if (std::memchr(record.authorName, '\0', sizeof record.authorName) == nullptr) return "author name not terminated";
    for (std::uint32_t version : record.gameVersions)
        if (version == bw::kSupportedGameVersion) return {};
    return "not made for this game version";
}

}  // namespace

LoadedPlugin LoadPlugin(const std::wstring& path, std::string& error) {
    LoadedPlugin plugin;
    plugin.module = LoadLibraryW(path.c_str());
    if (plugin.module == nullptr) {
        error = "LoadLibrary failed with error " + std::to_string(GetLastError());
        return plugin;
    }
    plugin.record =
        reinterpret_cast<const bw::PluginVersionRecord*>(GetProcAddress(plugin.module, "TRVXPlugin_Version"));
    plugin.load = reinterpret_cast<bool (*)(const bw::HostInterface*)>(
        reinterpret_cast<void*>(GetProcAddress(plugin.module, "TRVXPlugin_Load")));
    if (plugin.record == nullptr || plugin.load == nullptr) {
        error = "missing TRVXPlugin_Version or TRVXPlugin_Load export";
        return plugin;
    }
    error = RecordProblem(*plugin.record);
    return plugin;
}

std::wstring BesideExecutable(const wchar_t* name) {
    wchar_t file[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, file, MAX_PATH);
    std::wstring folder(file);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    return folder + name;
}

}  // namespace sandbox
