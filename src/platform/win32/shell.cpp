// Names of places: the documents folder, the game's executable, local time.
#include <string>

#include "platform/platform.h"
#include "platform/win32/win32.h"
// After windows.h, which it needs.
#include <shlobj.h>

namespace bw::platform {
namespace {

// The A functions hand back text in the code page of the file functions;
// decode it from exactly that page, so a folder named in the player's
// language converts as Windows itself would.
PathLookup PathFromSystemText(const char* text) noexcept {
    try {
        const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
        const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
        if (length <= 0) return {PathStatus::Unconvertible, {}};
        std::wstring wide(static_cast<std::size_t>(length), L'\0');
        if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, wide.data(), length) != length)
            return {PathStatus::Unconvertible, {}};
        wide.resize(static_cast<std::size_t>(length) - 1);  // the terminating NUL
        return {PathStatus::Found, std::filesystem::path(std::move(wide))};
    } catch (...) {
        return {PathStatus::Unconvertible, {}};
    }
}

}  // namespace

PathLookup DocumentsFolder() noexcept {
    // Starts empty: should the shell report success without writing a folder,
    // the log folder becomes relative instead of built from stack garbage.
    char folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return {PathStatus::Unavailable, {}};
    folder[MAX_PATH - 1] = '\0';
    return PathFromSystemText(folder);
}

PathLookup MainExecutablePath() noexcept {
    char file[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, file, MAX_PATH) == 0) return {PathStatus::Unavailable, {}};
    file[MAX_PATH - 1] = '\0';  // a cut-short path may come back unterminated
    return PathFromSystemText(file);
}

bool ToLocalTime(std::time_t when, std::tm& out) noexcept {
    const __time64_t when64 = when;
    return _localtime64_s(&out, &when64) == 0;
}

}  // namespace bw::platform
