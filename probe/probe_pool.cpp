#include "probe/probe_pool.h"

#include <algorithm>

#include "probe/stream_probe.h"

namespace lumora {

ProbePool::ProbePool(std::vector<ProbeRequest> requests, int jobs)
    : requests_(std::move(requests)), results_(requests_.size()), jobs_(std::max(jobs, 1)) {}

ProbePool::~ProbePool() {
    Stop();
    for (std::thread& worker : workers_)
        worker.join();
}

void ProbePool::Start() {
    std::size_t count = std::min<std::size_t>(std::size_t(jobs_), requests_.size());
    running_ = int(count);
    for (std::size_t i = 0; i < count; ++i)
        workers_.emplace_back([this] { Work(); });
}

void ProbePool::Work() {
    while (true) {
        std::size_t index = next_.fetch_add(1);
        if (index >= requests_.size())
            break;
        results_[index] = ProbeStream(requests_[index], stop_);
        if (results_[index].Working())
            working_.fetch_add(1);
        done_.fetch_add(1);
    }
    std::lock_guard<std::mutex> lock(endedMutex_);
    if (--running_ == 0)
        ended_.notify_all();
}

bool ProbePool::WaitFor(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(endedMutex_);
    return ended_.wait_for(lock, wait, [this] { return running_ == 0; });
}

std::vector<ProbeResult> ProbePool::Join() {
    for (std::thread& worker : workers_)
        worker.join();
    workers_.clear();
    return std::move(results_);
}

}  // namespace lumora
