#include "catalogue/stream_fallback.h"

namespace lumora {

void StreamFallback::Start(std::span<const Stream> streams, std::size_t first) {
    streams_ = streams;
    current_ = streams.empty() ? 0 : first % streams.size();
    tried_ = streams.empty() ? 0 : 1;
    retried_ = false;
    active_ = !streams.empty();
    trying_ = false;
    firstFailure_.clear();
}

void StreamFallback::Stop() {
    // The streams may go with the catalogue once the request is over.
    streams_ = {};
    active_ = false;
    trying_ = false;
    firstFailure_.clear();
}

StreamFallback::Step StreamFallback::OnReport(Event event, std::u16string_view text) {
    if (!active_)
        return {Action::ShowReport, current_};
    switch (event) {
    case Event::Connecting: return {trying_ ? Action::ShowTrying : Action::ShowReport, current_};
    case Event::Playing: trying_ = false; return {Action::ShowReport, current_};
    case Event::OpenFailed:
    case Event::Lost: return OnStreamFailed(event, text);
    case Event::Ended: break;
    }
    Stop();
    return {Action::Ended, current_};
}

StreamFallback::Step StreamFallback::OnStreamFailed(Event event, std::u16string_view text) {
    if (firstFailure_.empty())
        firstFailure_ = text;
    if (event == Event::Lost && !retried_) {
        retried_ = true;
        return {Action::RetryLater, current_};
    }
    return NextStream();
}

StreamFallback::Step StreamFallback::NextStream() {
    if (tried_ >= streams_.size()) {
        active_ = false;
        trying_ = false;
        return {Action::GiveUp, current_};
    }
    current_ = (current_ + 1) % streams_.size();
    ++tried_;
    retried_ = false;
    trying_ = true;
    return {Action::TryStream, current_};
}

const Stream* StreamFallback::StreamAt(std::size_t index) const {
    return active_ && index < streams_.size() ? &streams_[index] : nullptr;
}

}  // namespace lumora
