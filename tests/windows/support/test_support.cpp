#include "test_support.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "log/log.h"

namespace wintest {

std::filesystem::path LogPath() {
    const auto path = bw::GetLogFilePath();
    EXPECT_TRUE(path.has_value());
    return path.value_or("Brackwell.log");
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

int CountOwnThreads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

sandbox::LoadedPlugin LoadBrackwell() {
    std::string error;
    sandbox::LoadedPlugin plugin = sandbox::LoadPlugin(sandbox::BesideExecutable(L"Brackwell.dll"), error);
    EXPECT_EQ(error, "");
    return plugin;
}

}  // namespace wintest
