#include "player/player_event_sink.h"

#include <QCoreApplication>
#include <QThread>

namespace lumora {

namespace {

bool OnUiThread() {
    auto* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

}  // namespace

PlayerReport FormReport(const PlayerSnapshot& snapshot, PlayerStatus status) {
    if (snapshot.state == PlayerState::Ended)
        status = PlayerStatus::NotPlaying;
    return {status, snapshot.statusText, EndOf(snapshot.state, snapshot.failure)};
}

PlayerEventSink::PlayerEventSink(SnapshotSource snapshot, StatusListener* listener,
                                 BufferingPollTiming pollTiming)
    : snapshot_(std::move(snapshot)),
      listener_(listener),
      poll_([this] { return buffering_.load(); },
            [this] { ReportThroughGate(PlayerStatus::Going); }, pollTiming) {}

void PlayerEventSink::Buffering(bool start) {
    if (start) {
        buffering_.store(true);
        errorLatch_.store(false);
        poll_.Start();
        return;
    }
    buffering_.store(false);
    ReportThroughGate(PlayerStatus::Going);
}

void PlayerEventSink::Error() {
    ReportThroughGate(PlayerStatus::NotPlaying);
}

void PlayerEventSink::ReportThroughGate(PlayerStatus status) {
    if (!OnUiThread()) {
        // Formed here, the report would read the player's state and reach
        // widgets from the wrong thread: it is replayed on the UI thread.
        QMetaObject::invokeMethod(
            &uiContext_, [this, status] { ReportThroughGate(status); }, Qt::QueuedConnection);
        return;
    }
    if (errorLatch_.load())
        return;
    if (status == PlayerStatus::NotPlaying)
        errorLatch_.store(true);
    Report(status);
}

void PlayerEventSink::Report(PlayerStatus status) {
    const PlayerReport report = FormReport(snapshot_(), status);
    if (listener_ != nullptr)
        listener_->OnPlayerStatus(report);
}

}  // namespace lumora
