#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

#include "probe/probe_result.h"

namespace lumora {

// Probes a list of streams on worker threads of its own, `jobs` at a time,
// each probe with its own deadline. Start, Stop, WaitFor and Join are for
// one controlling thread; the counters may be read while the workers run.
class ProbePool {
public:
    ProbePool(std::vector<ProbeRequest> requests, int jobs);
    // Stops the probes still running and waits for them.
    ~ProbePool();
    ProbePool(const ProbePool&) = delete;
    ProbePool& operator=(const ProbePool&) = delete;

    void Start();
    // Ends the running probes within about a tenth of a second; the streams
    // not yet probed are reported as Interrupted.
    void Stop() { stop_.store(true); }
    // True once every worker has ended; waits at most `wait` for that.
    bool WaitFor(std::chrono::milliseconds wait);
    // Waits for every worker; the results in the order of the requests.
    std::vector<ProbeResult> Join();

    std::size_t Total() const { return requests_.size(); }
    std::size_t Done() const { return done_.load(); }
    std::size_t Working() const { return working_.load(); }

private:
    void Work();

    const std::vector<ProbeRequest> requests_;
    // One slot per request, written only by the worker that took it and
    // read after the workers are joined.
    std::vector<ProbeResult> results_;
    const int jobs_;
    std::vector<std::thread> workers_;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> next_{0};
    std::atomic<std::size_t> done_{0};
    std::atomic<std::size_t> working_{0};
    int running_ = 0;  // guarded by endedMutex_
    std::mutex endedMutex_;
    std::condition_variable ended_;
};

}  // namespace lumora
