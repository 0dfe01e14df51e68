// Writer threads kept for a whole figure, so that a sample times the writing
// and not the start of threads (milliseconds each under Wine).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace bench {

class WriterCrew {
public:
    explicit WriterCrew(int writers);
    ~WriterCrew();
    WriterCrew(const WriterCrew&) = delete;
    WriterCrew& operator=(const WriterCrew&) = delete;

    // Runs job(writer index) on every writer at once; returns when all are done.
    void Run(std::function<void(int)> job);

private:
    void Serve(int writer);

    // A lock and a condition, not std::barrier: the waits of this MinGW's
    // C++ library can miss a wake-up and hang a run for ever.
    std::mutex lock_;
    std::condition_variable changed_;
    std::function<void(int)> job_;
    std::uint64_t round_ = 0;  // one more for every job
    int busy_ = 0;             // writers still on the current job
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace bench
