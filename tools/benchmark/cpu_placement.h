// Keeping the calling thread on one CPU. On a virtual machine one CPU can,
// for minutes at a time, slow work with more operations in flight more than
// work with fewer, while another runs both alike (most likely a busy
// hardware thread on the same physical core, which the guest can't see). Two
// such pieces of work compare fairly only on one CPU, and best on the one
// that nothing slows.
#pragma once

#include <vector>

namespace bench {

// The CPUs this process may run on, in ascending order.
std::vector<int> ProcessCpus();

// Lets the calling thread run on `cpus` only; false when the system refuses.
bool RunCallingThreadOn(const std::vector<int>& cpus);

// Keeps the calling thread on `cpu` while it lives; afterwards the thread
// may run on all of the process's CPUs again.
class PinnedToCpu {
public:
    explicit PinnedToCpu(int cpu) : pinned_(RunCallingThreadOn({cpu})) {}
    ~PinnedToCpu() {
        if (pinned_) RunCallingThreadOn(all_);
    }
    PinnedToCpu(const PinnedToCpu&) = delete;
    PinnedToCpu& operator=(const PinnedToCpu&) = delete;

    bool Pinned() const { return pinned_; }

private:
    std::vector<int> all_ = ProcessCpus();
    bool pinned_;
};

}  // namespace bench
