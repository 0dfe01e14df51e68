#include "cpu_placement.h"
#include "platform/win32/win32.h"

namespace bench {

std::vector<int> ProcessCpus() {
    DWORD_PTR process = 0, system = 0;
    std::vector<int> cpus;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return cpus;
    for (int cpu = 0; cpu < static_cast<int>(8 * sizeof process); ++cpu)
        if ((process >> cpu) & 1) cpus.push_back(cpu);
    return cpus;
}

bool RunCallingThreadOn(const std::vector<int>& cpus) {
    DWORD_PTR mask = 0;
    for (const int cpu : cpus) mask |= DWORD_PTR{1} << cpu;
    return SetThreadAffinityMask(GetCurrentThread(), mask) != 0;
}

}  // namespace bench
