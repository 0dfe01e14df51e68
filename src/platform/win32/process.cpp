// Threads, time, the process's memory and which copy of us runs in it.
#include <atomic>
#include <cwchar>

#include "platform/platform.h"
#include "platform/win32/win32.h"
// After windows.h, which it needs.
#include <psapi.h>

namespace bw::platform {

bool StartDetachedThread(ThreadProcedure procedure) noexcept {
    // The handle is deliberately neither kept nor closed: the threads live
    // as long as the game and nothing ever waits for them.
    return CreateThread(nullptr, 0, procedure, nullptr, 0, nullptr) != nullptr;
}

bool RunOnNewThread(ThreadProcedure procedure, void* argument, std::uint32_t milliseconds) noexcept {
    HANDLE thread = CreateThread(nullptr, 0, procedure, argument, 0, nullptr);
    if (thread == nullptr) return false;
    WaitForSingleObject(thread, milliseconds);
    CloseHandle(thread);  // a thread still running goes on without its handle
    return true;
}

namespace {

// In this session's own namespace and named with this process's id: every
// copy of the plug-in in this game opens the same object, and no other
// process, another instance of the game included, ever does. `existed` says
// whether another copy made it first.
HANDLE OpenThisGamesMutex(const wchar_t* purpose, bool& existed) noexcept {
    wchar_t name[64];
    swprintf(name, sizeof name / sizeof name[0], L"Local\\Brackwell.%ls.%lu", purpose, GetCurrentProcessId());
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    existed = mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    return mutex;
}

// Made once per copy; the handle stays open, and the name alive, until the
// game ends.
HANDLE TheLogLock() noexcept {
    static const HANDLE lock = [] {
        bool existed = false;
        return OpenThisGamesMutex(L"Log", existed);
    }();
    return lock;
}

}  // namespace

StartClaim ClaimTheGameProcess() noexcept {
    // Once per copy (each copy of the library has its own statics); the
    // local static's initialisation is thread-safe, so calls at the same
    // moment all wait for one answer.
    static const bool thisCopyClaimed = [] {
        bool existed = false;
        const HANDLE claim = OpenThisGamesMutex(L"Started", existed);
        if (existed) CloseHandle(claim);
        // No object at all (no memory) can't tell; starting as ever beats
        // never starting.
        return !existed;
    }();
    static std::atomic<bool> called{false};
    if (called.exchange(true)) return thisCopyClaimed ? StartClaim::ThisCopyRuns : StartClaim::AnotherCopyRuns;
    return thisCopyClaimed ? StartClaim::First : StartClaim::AnotherCopyRuns;
}

LogLock LockTheLogAcrossCopies(std::uint32_t milliseconds) noexcept {
    const HANDLE lock = TheLogLock();
    if (lock == nullptr) return LogLock::Unavailable;
    switch (WaitForSingleObject(lock, milliseconds)) {
        case WAIT_OBJECT_0:
        // Its holder's thread ended mid-line (the game ended it): at most that
        // line is cut, and the lock is ours.
        case WAIT_ABANDONED:
            return LogLock::Held;
        case WAIT_TIMEOUT:
            return LogLock::TimedOut;
        default:
            return LogLock::Unavailable;
    }
}

void UnlockTheLogAcrossCopies() noexcept { ReleaseMutex(TheLogLock()); }

bool PinThisModule() noexcept {
    HMODULE self = nullptr;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(&PinThisModule), &self) != FALSE;
}

void SleepMilliseconds(std::uint32_t milliseconds) noexcept { ::Sleep(milliseconds); }

std::uint64_t TickCountMilliseconds() noexcept { return GetTickCount64(); }

std::uint32_t LastErrorCode() noexcept { return GetLastError(); }

std::optional<MemoryCounters> QueryMemoryCounters() noexcept {
    PROCESS_MEMORY_COUNTERS counters{};
    static_assert(sizeof counters == 72);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return std::nullopt;
    return MemoryCounters{counters.WorkingSetSize, counters.PagefileUsage};
}

bool TrimWorkingSet() noexcept {
    // All-ones limits ask the system to remove as many pages as it can.
    return SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1)) != FALSE;
}

std::uintptr_t MainModuleBase() noexcept {
    // The module handle of the executable is its load address.
    return reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
}

std::uintptr_t LoadedImageSize(std::uintptr_t base) noexcept {
    MODULEINFO module{};
    if (base == 0 ||
        !GetModuleInformation(GetCurrentProcess(), reinterpret_cast<HMODULE>(base), &module, sizeof module))
        return 0;
    return module.SizeOfImage;
}

}  // namespace bw::platform
