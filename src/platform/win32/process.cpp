// Threads, time and the process's memory.
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
