// The idle baseline, as a plug-in the sandbox loads in Brackwell's place:
// its load entry starts three threads that do nothing but sleep, on the
// periods of Brackwell's memory monitor, CPU worker and overlay watcher. So
// the two runs differ only in what the threads do between their sleeps.
#include <cstdint>

#include "platform/win32/win32.h"
#include "plugin/load_entry.h"
#include "plugin/version_record.h"

namespace {

constexpr std::uintptr_t kPeriodsMs[] = {5000, 5, 10};

DWORD WINAPI SleepForever(void* periodMs) {
    for (;;) Sleep(static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(periodMs)));
}  // extern "C"

}  // namespace

extern "C" {

// What the sandbox checks before it calls the load entry. Both are exported
// by sleeping_plugin.def, as Brackwell's are by its own.
bw::PluginVersionRecord TRVXPlugin_Version = {
    1, 1, "Sleeping threads", "Brackwell benchmark", 0, 0, {bw::kSupportedGameVersion}, {},
};

bool TRVXPlugin_Load(const bw::HostInterface*) noexcept {
    for (const std::uintptr_t periodMs : kPeriodsMs)
        CreateThread(nullptr, 0, SleepForever, reinterpret_cast<void*>(periodMs), 0, nullptr);
    return true;
}

}  // extern "C"
