#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "catalogue/channel.h"

namespace lumora {

// What to do when a channel's stream fails while the setting
// "auto_fallback" is on. One play request at a time: each stream of the
// channel is tried at most once, starting with the chosen one and going on
// in list order, wrapping at the end. A stream that played and was then
// lost is first tried once more, after a pause, before the next one. When
// every stream failed, the first failure is what the user is told.
// The choice of stream is never changed here (only the user chooses).
//
// The caller tells how the stream being tried goes (OnReport) and does
// what the returned step says; it owns the timer and the player.
//
// Threads: the UI thread only.
class StreamFallback {
public:
    // The pause before a lost stream is tried again.
    static constexpr int kRetryDelayMs = 2000;

    // How the stream being tried goes, as the player reports it.
    enum class Event {
        Connecting,  // still connecting
        Playing,     // any other news of a stream that plays
        OpenFailed,  // could not be opened (refused, missing, ...)
        Lost,        // had played and was lost
        Ended,       // stopped, or ended without a failure of the stream
    };

    enum class Action {
        ShowReport,  // not the fallback's business: show the report as it comes
        ShowTrying,  // keep saying which stream is tried ("Trying stream 2 of 3...")
        TryStream,   // say which stream is tried, then play `stream`
        RetryLater,  // show the report; play `stream` again after kRetryDelayMs
        GiveUp,      // every stream failed: show FirstFailure(), the request is over
        Ended,       // the request is over by itself: show the report as it comes
    };
    struct Step {
        Action action;
        std::size_t stream;
    };

    // A play request of a channel with these streams, starting at stream
    // `first`. The streams must stay alive until the request is over
    // (Stop, or a step that ends it).
    void Start(std::span<const Stream> streams, std::size_t first);
    // The request is over (stopped by the user, or another channel).
    void Stop();
    bool Active() const { return active_; }

    // Takes the player's news of the stream being tried; `text` is what the
    // report says (kept when it is the request's first failure). Without a
    // request every report is shown as it comes.
    Step OnReport(Event event, std::u16string_view text);

    // The stream at `index` while a request runs, else null.
    const Stream* StreamAt(std::size_t index) const;
    // The stream being tried, from 0, and the channel's number of streams.
    std::size_t Current() const { return current_; }
    std::size_t Count() const { return streams_.size(); }
    // What the request's first failed stream reported.
    const std::u16string& FirstFailure() const { return firstFailure_; }

private:
    Step OnStreamFailed(Event event, std::u16string_view text);
    Step NextStream();

    std::span<const Stream> streams_;
    std::size_t current_ = 0;
    std::size_t tried_ = 0;
    bool retried_ = false;
    bool active_ = false;
    // A stream other than the first is connecting: its connecting reports
    // keep saying which one it is.
    bool trying_ = false;
    std::u16string firstFailure_;
};

}  // namespace lumora
