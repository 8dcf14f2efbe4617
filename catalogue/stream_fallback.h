#pragma once

#include <cstddef>

namespace lumora {

// What to do when a channel's stream fails while the setting
// "auto_fallback" is on. One play request at a time: each stream of the
// channel is tried at most once, starting with the chosen one and going on
// in list order, wrapping at the end. A stream that played and was then
// lost is first tried once more, after a pause, before the next one.
// The choice of stream is never changed here (only the user chooses).
//
// Threads: the UI thread only.
class StreamFallback {
public:
    // The pause before a lost stream is tried again.
    static constexpr int kRetryDelayMs = 2000;

    enum class Action {
        TryStream,   // play `stream` now
        RetryLater,  // play `stream` again after kRetryDelayMs
        GiveUp,      // every stream failed: show the first failure
    };
    struct Step {
        Action action;
        std::size_t stream;
    };

    // A play request of a channel with `streamCount` streams, starting at
    // stream `first`.
    void Start(std::size_t streamCount, std::size_t first);
    // The request is over (stopped by the user, or another channel).
    void Stop() { active_ = false; }
    bool Active() const { return active_; }

    // The stream being tried could not be opened.
    Step OnOpenFailed();
    // The stream being tried had played and was lost.
    Step OnLost();

    // The stream being tried, from 0, and the channel's number of streams.
    std::size_t Current() const { return current_; }
    std::size_t Count() const { return count_; }

private:
    Step NextStream();

    std::size_t count_ = 0;
    std::size_t current_ = 0;
    std::size_t tried_ = 0;
    bool retried_ = false;
    bool active_ = false;
};

}  // namespace lumora
