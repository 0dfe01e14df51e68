#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "log/log_line.h"
#include "platform/platform.h"
#include "process_figures.h"

// A load exactly like the guarded ones, but outside them: its faults must
// reach the handlers after the plug-in's.
asm(R"(
    .text
    .p2align 4
    .globl bwtest_PlainLoad64
    .def bwtest_PlainLoad64; .scl 2; .type 32; .endef
bwtest_PlainLoad64:
    movq (%rcx), %rax
    ret
)");

namespace wintest {
namespace {

std::uint64_t gStandIn = 0;
bool gGuardRaised = false;

// Wine gives a thread that faults on a guard page at the same moment as
// another one an access violation, although the page is committed and
// readable: the other fault has just taken the guard. (Two threads loading
// from a page a third keeps re-guarding see hundreds of such violations in a
// few seconds under Wine 8; Windows resolves the second fault without an
// exception.) The plug-in's watcher faulting on the game's guarded page as
// the probe loads from it is such a race: it says nothing about the guard.
bool IsLostRaceForAGuardPage(const EXCEPTION_RECORD& record) {
    if (record.ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record.NumberParameters < 2) return false;
    MEMORY_BASIC_INFORMATION page{};
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return VirtualQuery(reinterpret_cast<const void*>(record.ExceptionInformation[1]), &page, sizeof page) != 0 &&
           page.State == MEM_COMMIT && (page.Protect & kReadable) != 0;
}

LONG CALLBACK NoteGuardPageViolation(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    CONTEXT& context = *exception->ContextRecord;
    if (context.Rip != reinterpret_cast<DWORD64>(&bwtest_PlainLoad64)) return EXCEPTION_CONTINUE_SEARCH;
    if (record.ExceptionCode == STATUS_GUARD_PAGE_VIOLATION)
        gGuardRaised = true;
    else if (!IsLostRaceForAGuardPage(record))
        return EXCEPTION_CONTINUE_SEARCH;
    context.Rcx = reinterpret_cast<DWORD64>(&gStandIn);  // the load runs again, from readable memory
    return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

std::filesystem::path LogPath() {
    // Computed, not asked of the plug-in's code, which would create the
    // folders or give up when a test has put a file in their way.
    const bw::platform::PathLookup documents = bw::platform::DocumentsFolder();
    EXPECT_EQ(documents.status, bw::platform::PathStatus::Found);
    return bw::LogDirectoryUnder(documents.path) / bw::kLogFileName;
}

std::filesystem::path SettingsPath() {
    return std::filesystem::path(sandbox::BesideExecutable(L"Data\\Plugins\\Brackwell.ini"));
}

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::stringstream bytes;
    bytes << stream.rdbuf();
    return bytes.str();
}

void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream << bytes;
    ASSERT_TRUE(stream.good()) << file;
}

void RemoveAll(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::remove_all(path, error);
}

void ClearGameFolders() {
    RemoveAll(SettingsPath().parent_path().parent_path());  // Data
    RemoveAll(LogPath());
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool WaitForLogLine(const std::string& text, std::chrono::milliseconds timeout) {
    const auto log = LogPath();
    return WaitUntil([&] { return ReadBytes(log).find(text) != std::string::npos; }, timeout);
}

OtherProcess::OtherProcess(const std::filesystem::path& program, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
        ADD_FAILURE() << "could not start " << program << " (error " << GetLastError() << ")";
        return;
    }
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    id_ = started.dwProcessId;
}

OtherProcess::~OtherProcess() {
    if (process_ == nullptr) return;
    TerminateProcess(process_, 0);
    WaitForSingleObject(process_, 10000);
    CloseHandle(process_);
}

HWND OtherProcess::Window(const wchar_t* title) const {
    for (HWND window = FindWindowExW(nullptr, nullptr, nullptr, title); window != nullptr;
         window = FindWindowExW(nullptr, window, nullptr, title)) {
        DWORD owner = 0;
        if (GetWindowThreadProcessId(window, &owner) != 0 && owner == id_) return window;
    }
    return nullptr;
}

bool RedirectImport(HMODULE module, const char* dll, const char* function, const void* replacement) {
    auto* const base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const DWORD table = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* from = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + table); from->Name != 0; ++from) {
        if (_stricmp(reinterpret_cast<const char*>(base + from->Name), dll) != 0) continue;
        auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + from->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + from->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
            if (std::strcmp(byName->Name, function) != 0) continue;
            // The loader leaves the import table read-only once it is filled.
            DWORD protection = 0;
            if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) return false;
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(slot, sizeof *slot, protection, &protection);
            return true;
        }
    }
    return false;
}

int CountOwnThreads() { return sandbox::MeasureThisProcess().threads; }

sandbox::LoadedPlugin LoadBrackwell() {
    std::string error;
    sandbox::LoadedPlugin plugin = sandbox::LoadPlugin(sandbox::BesideExecutable(L"Brackwell.dll"), error);
    EXPECT_EQ(error, "");
    return plugin;
}

void ExpectGameHealthy(const sandbox::GameWindow& game, const std::string& earlierLog) {
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(game.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer), 0)
        << "the game window no longer answers";
    const std::string log = ReadBytes(LogPath());
    EXPECT_TRUE(log.starts_with(earlierLog)) << "lines written before the fault were lost";
    static const std::regex whole(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] \[(BW|MM)\] [^\r\n]*\r)");
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(std::regex_match(line, whole)) << "not a whole line: " << line;
    EXPECT_TRUE(log.empty() || log.ends_with("\r\n"));
}

bool OwnersLoadRaisesGuardPageViolation(const void* address) {
    gGuardRaised = false;
    // Last in the chain, where the game's own handlers are once the plug-in
    // has put its read guard first: the exception must pass the guard.
    void* handler = AddVectoredExceptionHandler(0, NoteGuardPageViolation);
    bwtest_PlainLoad64(reinterpret_cast<std::uintptr_t>(address));
    RemoveVectoredExceptionHandler(handler);
    return gGuardRaised;
}

}  // namespace wintest
