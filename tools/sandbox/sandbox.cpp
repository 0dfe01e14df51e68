// Plays the TRVX host and the game Velmoria for the plug-in: opens the game
// window, loads the plug-in like the host does, calls its load entry, lets it
// run for a while and prints the log it wrote.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <type_traits>

#include "game_list.h"
#include "game_window.h"
#include "log/log.h"
#include "plugin_host.h"
#include "process_figures.h"

namespace {

struct Options {
    // Where the host finds plug-ins: Data\Plugins in the game's folder.
    std::wstring dll = sandbox::BesideExecutable(L"Data\\Plugins\\Brackwell.dll");
    bool nullHost = false;
    std::uint32_t hostVersion = sandbox::kDefaultHostVersion;
    bool window = true;
    bool loadFromWindowThread = true;
    DWORD windowBusyMs = 0;
    DWORD loadAfterMs = 0;
    DWORD runMs = 10000;
    std::vector<sandbox::ListChange> list{{0, sandbox::ListState::Present}};
    DWORD toggleListMs = 0;
    bool reportResources = false;
    bool loadPlugin = true;
    bool reportTimes = false;
};

constexpr const char* kUsage =
    "usage: sandbox [--dll PATH] [--host-version HEX | --null-host] [--no-window]\n"
    "               [--load-thread window|other] [--window-busy-ms N] [--run-ms N]\n"
    "               [--load-after-ms N]   with --load-thread other: the window shows N ms first\n"
    "               [--list MS:STATE,...]  STATE: absent|empty|present|cleared|null-entries|\n"
    "                                      freed-entries|guarded-entries|guarded-object\n"
    "                                      (default 0:present; MS counts from the load call)\n"
    "               [--toggle-list MS]    the list gains and loses its entry every MS ms\n"
    "               [--report-resources]  threads, handles and private bytes early and at the end\n"
    "               [--no-plugin]         play the game alone, loading nothing\n"
    "               [--report-times]      at the end: the load entry's wall time\n";

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring name = argv[i];
        const wchar_t* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto takeNumber = [&](int base, auto& out) {
            if (value == nullptr) return false;
            out = static_cast<std::remove_reference_t<decltype(out)>>(std::wcstoul(value, nullptr, base));
            ++i;
            return true;
        };
        if (name == L"--null-host")
            options.nullHost = true;
        else if (name == L"--no-window")
            options.window = false;
        else if (name == L"--dll" && value != nullptr)
            options.dll = argv[++i];
        else if (name == L"--host-version") {
            if (!takeNumber(16, options.hostVersion)) return false;
        } else if (name == L"--window-busy-ms") {
            if (!takeNumber(10, options.windowBusyMs)) return false;
        } else if (name == L"--load-after-ms") {
            if (!takeNumber(10, options.loadAfterMs)) return false;
        } else if (name == L"--run-ms") {
            if (!takeNumber(10, options.runMs)) return false;
        } else if (name == L"--toggle-list") {
            if (!takeNumber(10, options.toggleListMs)) return false;
        } else if (name == L"--report-resources")
            options.reportResources = true;
        else if (name == L"--no-plugin")
            options.loadPlugin = false;
        else if (name == L"--report-times")
            options.reportTimes = true;
        else if (name == L"--list" && value != nullptr) {
            if (!sandbox::ParseListScript(argv[++i], options.list)) return false;
        } else if (name == L"--load-thread" && value != nullptr) {
            options.loadFromWindowThread = std::wstring(argv[++i]) == L"window";
        } else
            return false;
    }
    return true;
}

// Goes on past the end of the run, so the thread that plays it is alive for
// both resource reports.
std::vector<sandbox::ListChange> TogglingList(DWORD periodMs, DWORD runMs) {
    std::vector<sandbox::ListChange> changes;
    for (DWORD at = 0, turn = 0; at < runMs + 10000; at += periodMs, ++turn)
        changes.push_back({at, turn % 2 == 0 ? sandbox::ListState::Present : sandbox::ListState::Empty});
    return changes;
}

void PrintResources(const char* when) {
    const sandbox::ProcessFigures figures = sandbox::MeasureThisProcess();
    std::printf("sandbox: resources %s: threads=%d handles=%lu private_kib=%llu\n", when, figures.threads,
                figures.handles, static_cast<unsigned long long>(figures.privateBytes >> 10));
    std::fflush(stdout);
}

// Waits out the run; with a report, the first figures come once the plug-in
// has settled (settings read, the monitor's first pass done).
void RunFor(DWORD runMs, bool reportResources) {
    if (!reportResources) {
        Sleep(runMs);
        return;
    }
    const DWORD settle = runMs / 4 < 6000 ? runMs / 4 : 6000;
    Sleep(settle);
    PrintResources("early");
    Sleep(runMs - settle);
    PrintResources("at the end");
}

void PrintLog() {
    const auto path = bw::GetLogFilePath();
    std::cout << "--- " << (path ? path->string() : std::string("(no log path)")) << " ---\n";
    if (!path) return;
    std::ifstream log(*path, std::ios::binary);
    std::stringstream text;
    text << log.rdbuf();
    std::string bytes = text.str();
    std::string printable;
    for (char c : bytes)
        if (c != '\r') printable += c;  // the console adds its own CR
    std::cout << printable << std::flush;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (options.toggleListMs != 0) options.list = TogglingList(options.toggleListMs, options.runMs);
    if (!sandbox::InstallWatchedGameObject()) {
        std::cout << "sandbox: the watched list's slot lies outside this executable's image\n";
        return 1;
    }
    sandbox::SetListState(sandbox::ListState::Absent);
    sandbox::LoadedPlugin plugin;
    if (options.loadPlugin) {
        std::string error;
        plugin = sandbox::LoadPlugin(options.dll, error);
        if (!error.empty()) {
            std::cout << "sandbox: plug-in rejected: " << error << "\n";
            return 1;
        }
        std::cout << "sandbox: loaded \"" << plugin.record->displayName << "\" by \"" << plugin.record->authorName
                  << "\"\n";
    }

    const bw::HostInterface host{options.hostVersion};
    const bw::HostInterface* hostPointer = options.nullHost ? nullptr : &host;
    std::atomic<double> loadEntryMs{0};  // set on the window's thread
    auto callLoadEntry = [&] {
        const auto start = std::chrono::steady_clock::now();
        const bool started = plugin.load != nullptr && plugin.load(hostPointer);
        loadEntryMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        sandbox::PlayListScript(options.list);
        if (plugin.load != nullptr)
            std::cout << "sandbox: TRVXPlugin_Load returned " << (started ? "true" : "false") << std::endl;
    };

    if (!options.window) {
        callLoadEntry();
    } else if (options.loadFromWindowThread) {
        if (sandbox::StartGameWindow(callLoadEntry).window == nullptr) return 1;
    } else {
        const sandbox::GameWindow game = sandbox::StartGameWindow();
        if (game.window == nullptr) return 1;
        if (options.windowBusyMs) PostMessageW(game.window, sandbox::kBusyMessage, options.windowBusyMs, 0);
        Sleep(options.loadAfterMs);
        callLoadEntry();
    }
    RunFor(options.runMs, options.reportResources);
    if (options.reportTimes) std::printf("sandbox: times: load_entry_ms=%.2f\n", loadEntryMs.load());
    PrintLog();
    std::fflush(stdout);
    // The plug-in's threads never end; leave without waiting for them.
    ExitProcess(0);
}
