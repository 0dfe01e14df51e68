// The only door to the operating system. Everything outside src/platform is
// portable C++ and reaches Windows through these functions, so that the
// decision logic can be built and tested natively against a fake of this
// header (tests/support/fake_platform.cpp).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
// The system's classic path length (MAX_PATH), in UTF-16 units with the
// terminator: most names fit, but not all.
inline constexpr std::uint32_t kClassicPathUnits = 260;
// The process's main executable (the game's, not ours); Unavailable when the
// system can't name it. The name is asked for in a buffer of
// `firstBufferUnits` UTF-16 units that grows while the name fills it.
PathLookup MainExecutablePath(std::uint32_t firstBufferUnits = kClassicPathUnits) noexcept;
// This library's own file: the copy of the plug-in this code was loaded from.
PathLookup ThisLibraryPath() noexcept;

// The system's own local time, to the second, for the log's time stamps.
// Not the C runtime's: that reads a TZ variable in its own syntax and
// misreads the Unix one that reaches the game under Proton (Europe/Berlin
// comes out as UTC).
struct LocalTime {
    int year, month, day;  // month and day count from 1
    int hour, minute, second;
};
LocalTime CurrentLocalTime() noexcept;

// Writing a file that other programs may hold open. Both calls open it
// with read and write sharing, as a viewer following the log expects, and
// close it before returning.
// Done; InUse when another program holds the file without that sharing (a
// backup or sync agent, a scanner: such holds often end within
// milliseconds); Failed for anything else (a folder in its place, access
// denied, a failed write), which waiting won't change.
enum class FileWrite { Done, InUse, Failed };
// Appends `bytes`, exactly as given, at the file's end in one write,
// creating the file when it is missing.
FileWrite AppendToFile(const std::filesystem::path& file, std::string_view bytes) noexcept;
// Cuts an existing file to nothing; false when it can't be opened for that.
bool EmptyFile(const std::filesystem::path& file) noexcept;
// Removing a file so that its name is free for a new file at once: when
// these return Gone, a file created under the name is a new one, and no
// other handle's close can take it away. Gone also when there was no such
// file; Held when another program holds the file in a way the call won't
// remove it under; Failed for anything else (read-only, access denied), and
// the file then stays where it was.
enum class FileRemoval { Gone, Held, Failed };
// Only while no other program reads, writes or deletes through a handle on
// the file (one that only looks at its size and time doesn't count).
FileRemoval RemoveFileNobodyHolds(const std::filesystem::path& file) noexcept;
// Also while others hold it, as long as they all allow deletion; they keep
// the old bytes until they close.
FileRemoval RemoveFileItsHoldersLetGo(const std::filesystem::path& file) noexcept;

// The lock around each log line that every copy of the plug-in in this game
// process shares (each copy's own statics can't serve: two copies append to
// one file). Held also when its last holder ended without letting go;
// TimedOut when a holder kept it for `milliseconds`; Unavailable when the
// system could not make it or wait for it.
enum class LogLock { Held, TimedOut, Unavailable };
LogLock LockTheLogAcrossCopies(std::uint32_t milliseconds) noexcept;
// Only after Held.
void UnlockTheLogAcrossCopies() noexcept;

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
// Whether the calling thread owns the window. Changing a window of another
// thread waits until that thread handles the change.
bool IsWindowOfThisThread(WindowHandle window) noexcept;
// A minimised window's rectangle is its parked icon's, not its own.
bool IsWindowMinimized(WindowHandle window) noexcept;
// Where a minimised window comes back when restored: its top-left corner
// goes to screen (x, y) and its outer size stays. False when the window's
// placement could not be read.
bool MoveRestoredPlacementTo(WindowHandle window, std::int32_t x, std::int32_t y) noexcept;
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
// Runs procedure(argument) on a new thread and waits for it to end, at most
// `milliseconds`; a thread still running then goes on alone. False when the
// system could not create the thread.
bool RunOnNewThread(ThreadProcedure procedure, void* argument, std::uint32_t milliseconds) noexcept;

// Which copy of the plug-in starts in this game process. The first accepted
// call of any copy claims the process (First); every later call learns
// whether its own copy holds the claim (ThisCopyRuns) or another copy does
// (AnotherCopyRuns). Copies share no memory: they agree through a kernel
// object that only this process names.
enum class StartClaim { First, ThisCopyRuns, AnotherCopyRuns };
StartClaim ClaimTheGameProcess() noexcept;
// Every other module of this process that exports data under `name`: its
// file, and a copy of the export's first `bytes` bytes (fewer when the
// module's readable image ends before them). Empty when the system can't
// list the modules.
struct ExportedData {
    PathLookup file;
    std::string bytes;
};
std::vector<ExportedData> OtherModulesExporting(const char* name, std::size_t bytes) noexcept;
void SleepMilliseconds(std::uint32_t milliseconds) noexcept;
std::uint64_t TickCountMilliseconds() noexcept;
std::uint32_t LastErrorCode() noexcept;

// --- Process memory --------------------------------------------------------

struct MemoryCounters {
    std::uint64_t workingSetBytes;
    // The memory the process has committed (its private bytes), charged
    // against the page file: not how much of it was paged out.
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
