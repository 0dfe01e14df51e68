// Names of places: the documents folder, the game's executable and the file
// of any module; local time.
#include <algorithm>
#include <string>

#include "platform/platform.h"
#include "platform/win32/module_file.h"
#include "platform/win32/win32.h"
// After windows.h, which it needs.
#include <shlobj.h>

namespace bw::platform {
namespace {

// The longest path the system can name, in UTF-16 units with the terminator.
constexpr DWORD kLongestPathUnits = 32768;

// Wide from the system to the file system, never through a code page: a
// Cyrillic user name or a Polish game folder on a Western system would come
// back from the narrow calls as '?' or look-alike letters.
PathLookup FoundPath(std::wstring name) noexcept {
    try {
        return {PathStatus::Found, std::filesystem::path(std::move(name))};
    } catch (...) {
        return {PathStatus::Unusable, {}};
    }
}

}  // namespace

// A game installed deep in a library folder can lie past the classic path
// length: a name that fills the buffer may have been cut, so grow and ask
// again.
PathLookup ModuleFilePath(HMODULE module, DWORD firstBufferUnits) noexcept {
    try {
        std::wstring file(std::max<DWORD>(firstBufferUnits, 1), L'\0');
        for (;;) {
            const DWORD length = GetModuleFileNameW(module, file.data(), static_cast<DWORD>(file.size()));
            if (length == 0) return {PathStatus::Unavailable, {}};
            if (length < file.size()) {
                file.resize(length);
                return FoundPath(std::move(file));
            }
            if (file.size() >= kLongestPathUnits) return {PathStatus::Unavailable, {}};
            file.resize(std::min<std::size_t>(file.size() * 2, kLongestPathUnits));
        }
    } catch (...) {
        return {PathStatus::Unusable, {}};
    }
}

PathLookup DocumentsFolder() noexcept {
    // Starts empty: should the shell report success without writing a folder,
    // the log folder becomes relative instead of built from stack garbage.
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return {PathStatus::Unavailable, {}};
    folder[MAX_PATH - 1] = L'\0';
    return FoundPath(folder);
}

PathLookup MainExecutablePath(std::uint32_t firstBufferUnits) noexcept {
    return ModuleFilePath(nullptr, firstBufferUnits);
}

LocalTime CurrentLocalTime() noexcept {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace bw::platform
