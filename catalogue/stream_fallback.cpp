#include "catalogue/stream_fallback.h"

namespace lumora {

void StreamFallback::Start(std::size_t streamCount, std::size_t first) {
    count_ = streamCount;
    current_ = streamCount == 0 ? 0 : first % streamCount;
    tried_ = streamCount == 0 ? 0 : 1;
    retried_ = false;
    active_ = streamCount > 0;
}

StreamFallback::Step StreamFallback::OnOpenFailed() {
    return NextStream();
}

StreamFallback::Step StreamFallback::OnLost() {
    if (!active_ || retried_)
        return NextStream();
    retried_ = true;
    return {Action::RetryLater, current_};
}

StreamFallback::Step StreamFallback::NextStream() {
    if (!active_ || tried_ >= count_) {
        active_ = false;
        return {Action::GiveUp, current_};
    }
    current_ = (current_ + 1) % count_;
    ++tried_;
    retried_ = false;
    return {Action::TryStream, current_};
}

}  // namespace lumora
