// Writing files that other programs may hold open at the same time.
#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace bw::platform {
namespace {

// What a viewer following the file expects of a writer. No delete sharing:
// the file must not vanish under our handle.
constexpr DWORD kReadWriteSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

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

FileRemoval RemoveFileNobodyHolds(const std::filesystem::path& file) noexcept {
    // Sharing nothing, this open fails while any other handle is open on the
    // file, and none can open it after ours until ours closes, which deletes
    // it: no other program can come between the check and the removal.
    const HANDLE handle =
        CreateFileW(file.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return FileRemoval::Gone;
    }
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

}  // namespace bw::platform
