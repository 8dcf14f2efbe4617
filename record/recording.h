#pragma once

#include <atomic>
#include <optional>
#include <thread>

#include "record/recording_request.h"

namespace lumora {

// One recording on a thread of its own (RecordStream), so the player can
// zap or stop while it runs. Made, started and stopped on one thread (the
// owner's); the outcome is read there once the recording has ended.
class Recording {
public:
    explicit Recording(RecordingRequest request);
    // Stops the recording and waits for it (at most about a tenth of a
    // second, a name lookup aside).
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    const RecordingRequest& Request() const { return request_; }
    // Asks it to end; the file keeps what was recorded.
    void Stop() { stop_.store(true); }
    bool Finished() const { return finished_.load(); }
    // Waits for the end and gives the outcome.
    const RecordingOutcome& Wait();
    // The outcome once it has ended, without waiting.
    std::optional<RecordingOutcome> Outcome() const;

private:
    void Run();

    const RecordingRequest request_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    RecordingOutcome outcome_;  // written by the thread before finished_ is set
    std::thread thread_;
};

}  // namespace lumora
