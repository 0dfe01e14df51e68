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

ModuleImage MainModuleImage() noexcept {
    // The module handle of the executable is its load address, and its
    // headers stay mapped for the life of the process.
    const auto base = reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
    if (base == 0) return {0, 0};
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return {base, 0};
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + static_cast<std::uintptr_t>(dos->e_lfanew));
    if (nt->Signature != IMAGE_NT_SIGNATURE) return {base, 0};
    return {base, nt->OptionalHeader.SizeOfImage};
}

}  // namespace bw::platform
