#include "player/player_event_sink.h"

#include <QCoreApplication>
#include <QThread>

#include "player/media_player_host.h"

namespace lumora {

std::atomic<bool> errorLatch{false};
std::atomic<bool> buffering{false};

namespace {

StatusListener* statusListener = nullptr;

bool OnUiThread() {
    auto* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

// Reports formed off the UI thread would read the host's state and reach
// widgets from the wrong thread; they are replayed on the UI thread.
template <typename Call>
bool HandOverToUiThread(Call call) {
    if (OnUiThread())
        return false;
    if (auto* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
    return true;
}

}  // namespace

void SetStatusListener(StatusListener* listener) {
    statusListener = listener;
}

StatusListener* TheStatusListener() {
    return statusListener;
}

void ReportStatus(MediaPlayerHost& host, int code) {
    if (HandOverToUiThread([code] {
            if (auto* current = CurrentPlayerHost())
                ReportStatus(*current, code);
        }))
        return;
    if (code == kStatusNotPlaying && host.Failure() == PlaybackEnd::kNotFound)
        code = kStatusNotFound;
    if (code >= 0 && host.State() == PlayerState::kEnded)
        code = kStatusNotPlaying;
    const PlayerReport report{code, host.StatusText(), host.End()};
    if (statusListener != nullptr)
        statusListener->OnPlayerStatus(report);
}

void ReportThroughGate(int code) {
    if (HandOverToUiThread([code] { ReportThroughGate(code); }))
        return;
    MediaPlayerHost* host = CurrentPlayerHost();
    if (host == nullptr || errorLatch.load())
        return;
    if (code < 0)
        errorLatch.store(true);
    ReportStatus(*host, code);
}

PlayerEventSink::PlayerEventSink(int pollPeriodMs, int pollMaxCycles)
    : poll_(pollPeriodMs, pollMaxCycles) {}

void PlayerEventSink::StatusChange() {
    ReportThroughGate(kStatusInformation);
}

void PlayerEventSink::Buffering(bool start) {
    if (start) {
        buffering.store(true);
        errorLatch.store(false);
        poll_.Start();
        return;
    }
    buffering.store(false);
    ReportThroughGate(kStatusInformation);
}

void PlayerEventSink::Error() {
    ReportThroughGate(kStatusNotPlaying);
}

}  // namespace lumora
