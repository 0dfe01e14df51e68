// The only door to the operating system. Everything outside src/platform is
// portable C++ and reaches Windows through these functions, so that the
// decision logic can be built and tested natively against a fake of this
// header (tests/support/fake_platform.cpp).
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>

#ifdef _WIN32
#define BW_THREAD_CALL __stdcall
#else
#define BW_THREAD_CALL
#endif

namespace bw::platform {

// --- Shell and files -------------------------------------------------------

// A place the system names, asked for in UTF-16 so that any name it has
// arrives as it is, whatever the system's code page can spell. Unusable when
// the system named it but there was no memory to hold the name.
enum class PathStatus { Found, Unavailable, Unusable };
struct PathLookup {
    PathStatus status;
    std::filesystem::path path;  // set only when status is Found
};

// The user's documents folder; Unavailable when the shell lookup fails.
PathLookup DocumentsFolder() noexcept;
// The process's main executable (the game's, not ours); Unavailable when the
// system can't name it.
PathLookup MainExecutablePath() noexcept;

// Local calendar time for the log's time stamps.
bool ToLocalTime(std::time_t when, std::tm& out) noexcept;

// --- Game window -----------------------------------------------------------

using WindowHandle = void*;
enum class StyleKind { Style, ExStyle };
struct WindowRect {
    std::int32_t left, top, right, bottom;
};

// The first top-level window in z-order with exactly this title that belongs
// to this process; null when the process has none. Windows of other
// programs with the same title are never returned.
WindowHandle FindOwnTopLevelWindow(const wchar_t* title) noexcept;
std::uint32_t GetWindowStyle(WindowHandle window, StyleKind kind) noexcept;
void SetWindowStyle(WindowHandle window, StyleKind kind, std::uint32_t style) noexcept;
std::optional<WindowRect> GetWindowRect(WindowHandle window) noexcept;
void SetWindowPos(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  std::uint32_t flags) noexcept;
void ShowMessageBox(const char* text, const char* caption, std::uint32_t type) noexcept;

// --- Threads and time ------------------------------------------------------

#ifdef _WIN32
using ThreadExitCode = unsigned long;  // the platform's 32-bit DWORD
#else
using ThreadExitCode = std::uint32_t;
#endif
using ThreadProcedure = ThreadExitCode(BW_THREAD_CALL*)(void*);

// Keeps this library mapped until the process ends, whatever the host does
// with its handle: once our threads and the read guard run, unloading it
// would leave them executing unmapped code. False when the system refused.
bool PinThisModule() noexcept;
// Starts a thread at once with a null argument and forgets its handle.
// False when the system could not create it.
bool StartDetachedThread(ThreadProcedure procedure) noexcept;
void SleepMilliseconds(std::uint32_t milliseconds) noexcept;
std::uint64_t TickCountMilliseconds() noexcept;
std::uint32_t LastErrorCode() noexcept;

// --- Process memory --------------------------------------------------------

struct MemoryCounters {
    std::uint64_t workingSetBytes;
    std::uint64_t pagefileBytes;
};
std::optional<MemoryCounters> QueryMemoryCounters() noexcept;
// Asks the system to empty the working set; false when it refused.
bool TrimWorkingSet() noexcept;

// --- The game's image and guarded reads of its memory ----------------------

// Load address of the process's main executable.
std::uintptr_t MainModuleBase() noexcept;
// Size in bytes of the image loaded at `base`, as the loader recorded it when
// it mapped the image, whatever became of the image's own header since; 0
// when the system can't tell.
std::uintptr_t LoadedImageSize(std::uintptr_t base) noexcept;

// Reads the game owns and may free or move at any moment. Each is one load of
// the item's full width; a load that would fault returns false instead of
// ending the process. InstallReadGuard must have run on some thread first.
// On Windows these three are the load routines themselves, written in
// assembly under the names given here: the watcher calls them directly, every
// 10 ms, with no wrapper between.
#ifdef _WIN32
#define BW_LOAD_ROUTINE(name) asm(name)
#else
#define BW_LOAD_ROUTINE(name)
#endif
bool InstallReadGuard() noexcept;
bool GuardedLoad64(std::uintptr_t address, std::uint64_t& value) noexcept BW_LOAD_ROUTINE("bw_GuardedLoad64");
bool GuardedLoad32(std::uintptr_t address, std::uint32_t& value) noexcept BW_LOAD_ROUTINE("bw_GuardedLoad32");
// Reads `count` 64-bit entries from `first` up, each once with one load, and
// says whether any is non-zero; false, with `found` false, when a load would
// fault.
bool GuardedAnyNonZero64(std::uintptr_t first, std::uint32_t count, bool& found) noexcept
    BW_LOAD_ROUTINE("bw_GuardedAnyNonZero64");

}  // namespace bw::platform
