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

PlayerReport FormReport(const PlayerSnapshot& snapshot, int code) {
    if (code == kStatusNotPlaying && snapshot.failure == PlaybackEnd::NotFound)
        code = kStatusNotFound;
    if (code >= 0 && snapshot.state == PlayerState::Ended)
        code = kStatusNotPlaying;
    return {code, snapshot.statusText, EndOf(snapshot.state, snapshot.failure)};
}

PlayerEventSink::PlayerEventSink(SnapshotSource snapshot, StatusListener* listener,
                                 BufferingPollTiming pollTiming)
    : snapshot_(std::move(snapshot)),
      listener_(listener),
      poll_([this] { return buffering_.load(); }, [this] { ReportThroughGate(kStatusInformation); },
            pollTiming) {}

void PlayerEventSink::StatusChange() {
    ReportThroughGate(kStatusInformation);
}

void PlayerEventSink::Buffering(bool start) {
    if (start) {
        buffering_.store(true);
        errorLatch_.store(false);
        poll_.Start();
        return;
    }
    buffering_.store(false);
    ReportThroughGate(kStatusInformation);
}

void PlayerEventSink::Error() {
    ReportThroughGate(kStatusNotPlaying);
}

void PlayerEventSink::ReportThroughGate(int code) {
    if (!OnUiThread()) {
        // Formed here, the report would read the player's state and reach
        // widgets from the wrong thread: it is replayed on the UI thread.
        QMetaObject::invokeMethod(
            &uiContext_, [this, code] { ReportThroughGate(code); }, Qt::QueuedConnection);
        return;
    }
    if (errorLatch_.load())
        return;
    if (code < 0)
        errorLatch_.store(true);
    Report(code);
}

void PlayerEventSink::Report(int code) {
    const PlayerReport report = FormReport(snapshot_(), code);
    if (listener_ != nullptr)
        listener_->OnPlayerStatus(report);
}

}  // namespace lumora
