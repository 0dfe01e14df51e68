#include "fake_platform.h"

#include "workers/overlay_watcher.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <thread>

namespace bw::fake {

Platform& State() {
    static Platform state;
    return state;
}

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}

void Reset() {
    const std::lock_guard guard(Lock());
    State() = Platform{};
}

namespace {

void Record(std::string call) {
    const std::lock_guard guard(Lock());
    State().calls.push_back(std::move(call));
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// The log's lock as the system's behaves: one holder at a time, known.
std::mutex gLogLock;
std::atomic<std::thread::id> gLogLockHolder;

void CountAChangeOutsideTheLogLock() {
    if (gLogLockHolder.load() != std::this_thread::get_id()) ++State().fileChangesOutsideTheLogLock;
}

const char* KindName(platform::StyleKind kind) { return kind == platform::StyleKind::Style ? "Style" : "ExStyle"; }

}  // namespace
}  // namespace bw::fake

namespace bw::platform {

using fake::State;

PathLookup DocumentsFolder() noexcept { return State().documents; }
PathLookup MainExecutablePath(std::uint32_t) noexcept { return State().executable; }
PathLookup ThisLibraryPath() noexcept { return {PathStatus::Unavailable, {}}; }

LocalTime CurrentLocalTime() noexcept {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

// Real files: the log's tests read back what was written. Linux has no
// sharing modes: only the script says a file is held, and a file that can't
// be removed can't be emptied either.
FileWrite AppendToFile(const std::filesystem::path& file, std::string_view bytes) noexcept {
    if (State().appendsInUse-- > 0) return FileWrite::InUse;
    std::ofstream stream(file, std::ios::out | std::ios::app | std::ios::binary);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return stream.flush() ? FileWrite::Done : FileWrite::Failed;
}
bool EmptyFile(const std::filesystem::path&) noexcept {
    fake::CountAChangeOutsideTheLogLock();
    return false;
}
FileRemoval RemoveFileNobodyHolds(const std::filesystem::path& file) noexcept {
    fake::CountAChangeOutsideTheLogLock();
    std::error_code error;
    std::filesystem::remove(file, error);
    return error ? FileRemoval::Failed : FileRemoval::Gone;
}
FileRemoval RemoveFileItsHoldersLetGo(const std::filesystem::path& file) noexcept {
    return RemoveFileNobodyHolds(file);
}

WindowHandle FindOwnTopLevelWindow(const wchar_t* title) noexcept {
    std::string narrow;
    for (const wchar_t* c = title; *c != L'\0'; ++c) narrow += static_cast<char>(*c);
    fake::Record("FindOwnTopLevelWindow(" + narrow + ")");
    return State().window;
}

std::uint32_t GetWindowStyle(WindowHandle, StyleKind kind) noexcept {
    fake::Record(std::string("GetWindowStyle(") + fake::KindName(kind) + ")");
    return kind == StyleKind::Style ? State().style : State().exStyle;
}

void SetWindowStyle(WindowHandle, StyleKind kind, std::uint32_t style) noexcept {
    fake::Record(std::string("SetWindowStyle(") + fake::KindName(kind) + "," + fake::Hex(style) + ")");
    (kind == StyleKind::Style ? State().style : State().exStyle) = style;
}

std::optional<WindowRect> GetWindowRect(WindowHandle) noexcept {
    fake::Record("GetWindowRect");
    return State().rect;
}

void SetWindowPos(WindowHandle, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  std::uint32_t flags) noexcept {
    fake::Record("SetWindowPos(" + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(width) + "," +
                 std::to_string(height) + "," + fake::Hex(flags) + ")");
}

// The window is never minimised.
bool IsWindowOfThisThread(WindowHandle) noexcept { return State().windowOfThisThread; }
bool IsWindowMinimized(WindowHandle) noexcept { return false; }
bool MoveRestoredPlacementTo(WindowHandle, std::int32_t, std::int32_t) noexcept { return false; }

void ShowMessageBox(const char* text, const char* caption, std::uint32_t type) noexcept {
    fake::Record(std::string("ShowMessageBox(") + text + "|" + caption + "|" + fake::Hex(type) + ")");
}

bool PinThisModule() noexcept {
    fake::Record("PinThisModule");
    if (!State().pinSucceeds) State().lastError = 87;  // as the system says for a bad parameter
    return State().pinSucceeds;
}

bool StartDetachedThread(ThreadProcedure procedure) noexcept {
    const std::lock_guard guard(fake::Lock());
    auto& state = State();
    const int index = static_cast<int>(state.startedThreads.size());
    state.calls.push_back("StartDetachedThread#" + std::to_string(index));
    if (state.failThreadsFrom >= 0 && index >= state.failThreadsFrom) {
        state.lastError = 8;  // out of memory, as the system would say
        state.startedThreads.push_back(nullptr);
        return false;
    }
    state.startedThreads.push_back(procedure);
    return true;
}

bool RunOnNewThread(ThreadProcedure, void*, std::uint32_t) noexcept { return false; }
// Each test is a first start.
StartClaim ClaimTheGameProcess() noexcept { return StartClaim::First; }
std::vector<ExportedData> OtherModulesExporting(const char*, std::size_t) noexcept { return State().otherModules; }

LogLock LockTheLogAcrossCopies(std::uint32_t) noexcept {
    fake::gLogLock.lock();
    fake::gLogLockHolder.store(std::this_thread::get_id());
    return LogLock::Held;
}
void UnlockTheLogAcrossCopies() noexcept {
    fake::gLogLockHolder.store(std::thread::id{});
    fake::gLogLock.unlock();
}

void SleepMilliseconds(std::uint32_t) noexcept {}
std::uint64_t TickCountMilliseconds() noexcept { return 0; }
std::uint32_t LastErrorCode() noexcept { return State().lastError; }

std::optional<MemoryCounters> QueryMemoryCounters() noexcept { return State().counters; }
bool TrimWorkingSet() noexcept { return State().trimSucceeds; }

std::uintptr_t MainModuleBase() noexcept { return 0; }
std::uintptr_t LoadedImageSize(std::uintptr_t) noexcept { return 0; }

bool InstallReadGuard() noexcept { return true; }

bool GuardedLoad64(std::uintptr_t address, std::uint64_t& value) noexcept {
    std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
    return true;
}

bool GuardedLoad32(std::uintptr_t address, std::uint32_t& value) noexcept {
    std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
    return true;
}

bool GuardedAnyNonZero64(std::uintptr_t first, std::uint32_t count, bool& found) noexcept {
    struct PlainMemory {
        bool Load64(std::uintptr_t address, std::uint64_t& value) const noexcept {
            return GuardedLoad64(address, value);
        }
    };
    return AnyNonZero64ByLoads(PlainMemory{}, first, count, found);
}

}  // namespace bw::platform
