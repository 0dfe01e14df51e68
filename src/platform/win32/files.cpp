// Writing files that other programs may hold open at the same time.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace bw::platform {
namespace {

// What a viewer following the file expects of a writer. No delete sharing:
// the file must not vanish under our handle.
constexpr DWORD kReadWriteSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kAllSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// FileDispositionInfoEx, which MinGW's headers declare only for builds that
// require Windows 10 1607; systems without it refuse it, and we fall back.
constexpr auto kDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

bool DeleteTheNameAtClose(HANDLE handle) noexcept {
    FILE_DISPOSITION_INFO_EX posix{FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS};
    return SetFileInformationByHandle(handle, kDispositionInfoEx, &posix, sizeof posix);
}

// Throws when there is no memory for the request.
bool RenameByHandle(HANDLE handle, const std::wstring& name) {
    const std::size_t nameBytes = name.size() * sizeof(WCHAR);
    std::vector<std::byte> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(WCHAR));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    name.copy(rename->FileName, name.size());
    return SetFileInformationByHandle(handle, FileRenameInfo, rename, static_cast<DWORD>(buffer.size()));
}

// Frees the file's name for a new file at once, whoever else holds it: a
// deletion another handle holds pending would keep the name, and lines
// written under it would go with the file. Where the system refuses the
// deletion that frees the name at once (older Windows, FAT32, exFAT,
// network folders), the file is moved aside first and deleted there; the
// holders keep the old bytes until they close. A file that can't be deleted
// (read-only) gets its name back.
bool FreeTheName(HANDLE handle, const std::filesystem::path& file) noexcept {
    if (DeleteTheNameAtClose(handle)) return true;
    try {
        const std::wstring aside = file.native() + L"." + std::to_wstring(GetCurrentProcessId()) + L".old";
        if (!RenameByHandle(handle, aside)) return false;
        FILE_DISPOSITION_INFO classic{TRUE};
        if (SetFileInformationByHandle(handle, FileDispositionInfo, &classic, sizeof classic)) return true;
        (void)RenameByHandle(handle, file.native());
    } catch (...) {
        // No memory for the side name: the file stays as it is.
    }
    return false;
}

FileRemoval RemoveFileSharing(const std::filesystem::path& file, DWORD sharing) noexcept {
    const HANDLE handle = CreateFileW(file.c_str(), DELETE, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        switch (GetLastError()) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
                return FileRemoval::Gone;
            case ERROR_SHARING_VIOLATION:
                return FileRemoval::Held;
            default:
                return FileRemoval::Failed;
        }
    }
    const bool freed = FreeTheName(handle, file);
    CloseHandle(handle);
    return freed ? FileRemoval::Gone : FileRemoval::Failed;
}

}  // namespace

FileWrite AppendToFile(const std::filesystem::path& file, std::string_view bytes) noexcept {
    // Append access alone: the system puts every write at the file's end.
    const HANDLE handle = CreateFileW(file.c_str(), FILE_APPEND_DATA, kReadWriteSharing, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ? FileWrite::InUse : FileWrite::Failed;
    DWORD written = 0;
    const bool whole =
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(handle);
    return whole ? FileWrite::Done : FileWrite::Failed;
}

bool EmptyFile(const std::filesystem::path& file) noexcept {
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, kReadWriteSharing, nullptr, TRUNCATE_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

// Sharing nothing, the open fails while any handle that reads, writes or
// deletes is open on the file, and none can open it after ours until ours
// closes: no other program can come between the check and the removal.
FileRemoval RemoveFileNobodyHolds(const std::filesystem::path& file) noexcept { return RemoveFileSharing(file, 0); }

FileRemoval RemoveFileItsHoldersLetGo(const std::filesystem::path& file) noexcept {
    return RemoveFileSharing(file, kAllSharing);
}

}  // namespace bw::platform
