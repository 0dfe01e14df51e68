#include "writer_crew.h"

namespace bench {

WriterCrew::WriterCrew(int writers) {
    for (int writer = 0; writer < writers; ++writer) threads_.emplace_back(&WriterCrew::Serve, this, writer);
}

WriterCrew::~WriterCrew() {
    {
        const std::lock_guard hold(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void WriterCrew::Run(std::function<void(int)> job) {
    std::unique_lock hold(lock_);
    job_ = std::move(job);
    busy_ = static_cast<int>(threads_.size());
    ++round_;
    changed_.notify_all();
    changed_.wait(hold, [this] { return busy_ == 0; });
}

void WriterCrew::Serve(int writer) {
    std::uint64_t done = 0;
    std::unique_lock hold(lock_);
    for (;;) {
        changed_.wait(hold, [&] { return stopping_ || round_ != done; });
        if (stopping_) return;
        done = round_;
        // job_ stays as it is until every writer has finished it.
        hold.unlock();
        job_(writer);
        hold.lock();
        if (--busy_ == 0) changed_.notify_all();
    }
}

}  // namespace bench
