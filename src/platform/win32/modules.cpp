// The modules loaded in the game: this library's own file, and other
// libraries that export what this one does.
#include <algorithm>

#include "platform/platform.h"
#include "platform/win32/module_file.h"
#include "platform/win32/win32.h"
// After windows.h, which it needs.
#include <psapi.h>

namespace bw::platform {
namespace {

HMODULE ThisModule() noexcept {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &self);
    return self;
}

std::vector<HMODULE> LoadedModules() {
    std::vector<HMODULE> modules(256);
    for (;;) {
        const DWORD room = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        DWORD needed = 0;
        if (!EnumProcessModules(GetCurrentProcess(), modules.data(), room, &needed)) return {};
        modules.resize(needed / sizeof(HMODULE));  // more loaded meanwhile: ask again with room for them
        if (needed <= room) return modules;
    }
}

// How many of the `bytes` from `data` up can be read now: another module's
// data may sit on a page its owner protected.
std::size_t ReadableBytesAt(const char* data, std::size_t bytes) noexcept {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(data, &region, sizeof region) == 0 || region.State != MEM_COMMIT) return 0;
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if ((region.Protect & kReadable) == 0 || (region.Protect & PAGE_GUARD) != 0) return 0;
    const auto end = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    return std::min<std::size_t>(bytes, static_cast<std::size_t>(end - data));
}

}  // namespace

PathLookup ThisLibraryPath() noexcept {
    const HMODULE self = ThisModule();
    if (self == nullptr) return {PathStatus::Unavailable, {}};
    return ModuleFilePath(self, kClassicPathUnits);
}

std::vector<ExportedData> OtherModulesExporting(const char* name, std::size_t bytes) noexcept {
    std::vector<ExportedData> found;
    try {
        const HMODULE self = ThisModule();
        for (const HMODULE listed : LoadedModules()) {
            // A reference of our own for the read: the host may unload the
            // module on another thread meanwhile.
            HMODULE module = nullptr;
            if (listed == self ||
                !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(listed), &module))
                continue;
            if (const auto data = reinterpret_cast<const char*>(GetProcAddress(module, name)))
                found.push_back({ModuleFilePath(module, kClassicPathUnits), {data, ReadableBytesAt(data, bytes)}});
            FreeLibrary(module);
        }
    } catch (...) {
        // No memory for the list: what was found so far.
    }
    return found;
}

}  // namespace bw::platform
