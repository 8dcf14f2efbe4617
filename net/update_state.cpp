#include "net/update_state.h"

namespace lumora {

void UpdateState::SetPendingUpdate(const PendingUpdate& pending) {
    std::lock_guard lock(pendingMutex_);
    pendingUpdate_ = pending;
}

PendingUpdate UpdateState::PendingUpdateFound() const {
    std::lock_guard lock(pendingMutex_);
    return pendingUpdate_;
}

void UpdateState::SetPendingVersion(const std::string& version) {
    PendingUpdate pending;
    pending.version = version;
    SetPendingUpdate(pending);
}

std::string UpdateState::PendingVersion() const {
    return PendingUpdateFound().version;
}

bool UpdateState::MarkAutomaticUpdateStarted() {
    bool expected = false;
    return autoUpdateStarted_.compare_exchange_strong(expected, true);
}

}  // namespace lumora
