#include "player/media_player_host.h"

#include <clocale>
#include <string_view>

#include <QString>
#include <QWidget>

#include "player/player_event_sink.h"
#include "player/video_widget.h"

namespace lumora {

namespace {

MediaPlayerHost* currentHost = nullptr;

// Reply ids of asynchronous requests and observed properties.
enum class Request : std::uint64_t { kLoadFile = 1, kStop, kSetVolume };
enum class Observed : std::uint64_t { kPausedForCache = 100, kCacheBufferingState, kVolume };

// How long a failed stream waits for the log line that names the cause.
constexpr int kFailureCauseWaitMs = 200;

constexpr const char* kPausedForCache = "paused-for-cache";
constexpr const char* kCacheBufferingState = "cache-buffering-state";
constexpr const char* kVolume = "volume";

// mpv tells a refused port from a 404 only in its log lines.
PlayerFailure FailureFromLogLine(std::string_view line) {
    for (std::string_view cause : {"HTTP error 4", "No such file or directory"}) {
        if (line.find(cause) != std::string_view::npos)
            return PlayerFailure::kNotFound;
    }
    for (std::string_view cause : {"Connection refused", "timed out", "Failed to resolve",
                                   "No route to host", "Network is unreachable"}) {
        if (line.find(cause) != std::string_view::npos)
            return PlayerFailure::kCannotConnect;
    }
    return PlayerFailure::kNone;
}

std::u16string FailureText(PlayerFailure failure) {
    switch (failure) {
    case PlayerFailure::kCannotConnect: return u"Cannot connect";
    case PlayerFailure::kNotFound: return u"Stream not found";
    case PlayerFailure::kUnknownFormat: return u"Unrecognized stream format";
    case PlayerFailure::kNone:
    case PlayerFailure::kCannotPlay: break;
    }
    return u"Cannot play stream";
}

}  // namespace

MediaPlayerHost* CurrentPlayerHost() {
    return currentHost;
}

// A plain copy of what the host needs from an mpv event: mpv's event memory
// is only valid until the next mpv_wait_event.
struct MediaPlayerHost::Event {
    mpv_event_id id = MPV_EVENT_NONE;
    std::uint64_t replyId = 0;
    int error = 0;
    int reason = 0;
    std::int64_t entry = -1;
    bool hasValue = false;
    bool flag = false;
    std::int64_t integer = 0;
    double number = 0;
    std::string text;
};

MediaPlayerHost::MediaPlayerHost(QWidget* parent, const QRect& rect, const PlayerOptions& options)
    : MediaOutput(kName), sink_(std::make_unique<PlayerEventSink>()) {
    Start(parent, rect, options);
}

MediaPlayerHost::MediaPlayerHost(QWidget* parent, const QRect& rect, const PlayerOptions& options,
                                 int pollPeriodMs, int pollMaxCycles)
    : MediaOutput(kName), sink_(std::make_unique<PlayerEventSink>(pollPeriodMs, pollMaxCycles)) {
    Start(parent, rect, options);
}

void MediaPlayerHost::Start(QWidget* parent, const QRect& rect, const PlayerOptions& options) {
    failureCauseTimer_.setSingleShot(true);
    failureCauseTimer_.setInterval(kFailureCauseWaitMs);
    QObject::connect(&failureCauseTimer_, &QTimer::timeout, [this] { SettlePendingFailure(); });

    video_ = new VideoWidget(parent);
    video_->setGeometry(rect);
    video_->hide();
    window_ = video_;
    currentHost = this;

    std::setlocale(LC_NUMERIC, "C");
    mpv_ = CreateConfiguredMpv(options);
    if (!mpv_) {
        diagnostic_ = u"The media player could not be started.";
        return;
    }
    mpv_request_log_messages(mpv_.get(), "warn");
    mpv_observe_property(mpv_.get(), std::uint64_t(Observed::kPausedForCache), kPausedForCache,
                         MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_.get(), std::uint64_t(Observed::kCacheBufferingState),
                         kCacheBufferingState, MPV_FORMAT_INT64);
    mpv_observe_property(mpv_.get(), std::uint64_t(Observed::kVolume), kVolume, MPV_FORMAT_DOUBLE);
    mpv_set_wakeup_callback(mpv_.get(), &MediaPlayerHost::OnMpvWakeup, this);
    // Without a picture the player still plays the sound.
    if (!video_->Attach(mpv_.get()))
        diagnostic_ = u"The video output could not be started.";
    ready_ = true;
}

MediaPlayerHost::~MediaPlayerHost() {
    if (currentHost == this)
        currentHost = nullptr;
    // Order matters: the render context goes before the core, and no
    // wake-up may arrive for a host that is half gone.
    if (video_)
        video_->Detach();
    if (mpv_)
        mpv_set_wakeup_callback(mpv_.get(), nullptr, nullptr);
    mpv_.reset();
}

void MediaPlayerHost::OnMpvWakeup(void* context) {
    // Any mpv thread. Only queue a drain; never call mpv from here.
    auto* host = static_cast<MediaPlayerHost*>(context);
    if (host->drainQueued_.exchange(true))
        return;
    QMetaObject::invokeMethod(&host->eventContext_, [host] { host->DrainEvents(); },
                              Qt::QueuedConnection);
}

void MediaPlayerHost::Play(const std::u16string& url) {
    if (!ready_) {
        // No libmpv, or mpv refused to start: the play request fails
        // visibly instead of leaving the status empty.
        EnterFailed(PlayerFailure::kCannotPlay);
        return;
    }
    const QByteArray address = QString::fromStdU16String(url).toUtf8();
    const char* command[] = {"loadfile", address.constData(), "replace", nullptr};
    if (mpv_command_async(mpv_.get(), std::uint64_t(Request::kLoadFile), command) < 0)
        OnLoadFileRejected();
}

void MediaPlayerHost::Stop() {
    if (!ready_)
        return;
    const char* command[] = {"stop", nullptr};
    mpv_command_async(mpv_.get(), std::uint64_t(Request::kStop), command);
}

void MediaPlayerHost::SetVolume(int volume) {
    if (!ready_)
        return;
    double value = volume;
    mpv_set_property_async(mpv_.get(), std::uint64_t(Request::kSetVolume), kVolume,
                           MPV_FORMAT_DOUBLE, &value);
}

void MediaPlayerHost::ToggleFullScreen() {
    if (ready_ && video_)
        video_->SetFullScreen(!video_->IsFullScreen());
}

VideoWidget* MediaPlayerHost::Video() const {
    return video_.data();
}

bool MediaPlayerHost::IsFullScreen() const {
    return ready_ && video_ && video_->IsFullScreen();
}

std::u16string MediaPlayerHost::StatusText() const {
    switch (state_) {
    case PlayerState::kIdle: return u"";
    case PlayerState::kOpening: return u"Connecting...";
    case PlayerState::kBuffering:
        return u"Buffering " + QString::number(cachePercent_).toStdU16String() + u"%";
    case PlayerState::kPlaying: return u"Playing";
    case PlayerState::kStopped: return u"Stopped";
    case PlayerState::kFailed: return FailureText(failure_);
    case PlayerState::kEnded: return u"Stream lost";
    }
    return u"";
}

void MediaPlayerHost::DrainEvents() {
    drainQueued_.store(false);
    if (!mpv_)
        return;
    if (draining_) {
        // A listener ran a nested event loop; finish the outer drain first
        // so events keep their order.
        OnMpvWakeup(this);
        return;
    }
    draining_ = true;
    for (;;) {
        const mpv_event* event = mpv_wait_event(mpv_.get(), 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        HandleEvent(CopyEvent(*event));
    }
    draining_ = false;
}

MediaPlayerHost::Event MediaPlayerHost::CopyEvent(const mpv_event& event) {
    Event copy;
    copy.id = event.event_id;
    copy.replyId = event.reply_userdata;
    copy.error = event.error;
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
        copy.entry = static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id;
        break;
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        copy.entry = end->playlist_entry_id;
        copy.reason = end->reason;
        copy.error = end->error;
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* property = static_cast<const mpv_event_property*>(event.data);
        copy.hasValue = property->data != nullptr && property->format != MPV_FORMAT_NONE;
        if (!copy.hasValue)
            break;
        if (property->format == MPV_FORMAT_FLAG)
            copy.flag = *static_cast<const int*>(property->data) != 0;
        else if (property->format == MPV_FORMAT_INT64)
            copy.integer = *static_cast<const std::int64_t*>(property->data);
        else if (property->format == MPV_FORMAT_DOUBLE)
            copy.number = *static_cast<const double*>(property->data);
        break;
    }
    case MPV_EVENT_LOG_MESSAGE:
        copy.text = static_cast<const mpv_event_log_message*>(event.data)->text;
        break;
    default:
        break;
    }
    return copy;
}

void MediaPlayerHost::HandleEvent(const Event& event) {
    switch (event.id) {
    case MPV_EVENT_START_FILE: OnStartFile(event.entry); break;
    case MPV_EVENT_PLAYBACK_RESTART: OnPlaybackRestart(); break;
    case MPV_EVENT_END_FILE: OnEndFile(event); break;
    case MPV_EVENT_LOG_MESSAGE: NoteLogLine(event.text); break;
    case MPV_EVENT_COMMAND_REPLY:
        if (event.replyId == std::uint64_t(Request::kLoadFile) && event.error < 0)
            OnLoadFileRejected();
        break;
    case MPV_EVENT_PROPERTY_CHANGE:
        switch (Observed(event.replyId)) {
        case Observed::kPausedForCache: OnPausedForCache(event.hasValue && event.flag); break;
        case Observed::kCacheBufferingState:
            cachePercent_ = event.hasValue ? int(event.integer) : 0;
            break;
        case Observed::kVolume:
            if (event.hasValue)
                volume_ = event.number;
            break;
        }
        break;
    case MPV_EVENT_SHUTDOWN:
        // The core is going away (nothing here asks it to): play no more.
        ready_ = false;
        break;
    default:
        break;
    }
}

void MediaPlayerHost::OnStartFile(std::int64_t entry) {
    // The previous stream's failure is told before the new stream starts.
    SettlePendingFailure();
    currentEntry_ = entry;
    state_ = PlayerState::kOpening;
    failure_ = PlayerFailure::kNone;
    logHint_ = PlayerFailure::kNone;
    firstFrameSeen_ = false;
    cachePercent_ = 0;
    // Connecting counts as buffering: the status line stays fresh, and a
    // new stream's reports get past a failure of the previous one.
    sink_->Buffering(true);
}

void MediaPlayerHost::OnPlaybackRestart() {
    if (state_ != PlayerState::kOpening && state_ != PlayerState::kBuffering)
        return;
    firstFrameSeen_ = true;
    if (pausedForCache_)
        return;
    state_ = PlayerState::kPlaying;
    sink_->Buffering(false);
}

void MediaPlayerHost::OnPausedForCache(bool paused) {
    pausedForCache_ = paused;
    if (paused && (state_ == PlayerState::kPlaying || state_ == PlayerState::kOpening)) {
        state_ = PlayerState::kBuffering;
        sink_->Buffering(true);
    } else if (!paused && state_ == PlayerState::kBuffering) {
        if (firstFrameSeen_) {
            state_ = PlayerState::kPlaying;
            sink_->Buffering(false);
        } else {
            state_ = PlayerState::kOpening;
        }
    }
}

void MediaPlayerHost::OnEndFile(const Event& event) {
    if (event.entry != currentEntry_)
        return;
    switch (event.reason) {
    case MPV_END_FILE_REASON_ERROR:
        if (event.error == MPV_ERROR_UNKNOWN_FORMAT)
            EnterFailed(PlayerFailure::kUnknownFormat);
        else if (logHint_ != PlayerFailure::kNone)
            EnterFailed(logHint_);
        else
            AwaitFailureCause();
        return;
    case MPV_END_FILE_REASON_EOF:
        // Channels are live: a server that dies or stalls, or a live source
        // that vanishes, ends as "eof". Reported as not playing, unlatched.
        state_ = PlayerState::kEnded;
        break;
    case MPV_END_FILE_REASON_STOP:
    case MPV_END_FILE_REASON_QUIT:
        state_ = PlayerState::kStopped;
        break;
    default:
        return;  // a redirect: the next start-file follows
    }
    pausedForCache_ = false;
    sink_->Buffering(false);
}

void MediaPlayerHost::AwaitFailureCause() {
    // mpv delivers its log lines on a queue of their own, often after the
    // end-file event; the line that tells a refused connection from a 404
    // is usually a few milliseconds behind.
    failurePending_ = true;
    failureCauseTimer_.start();
}

void MediaPlayerHost::SettlePendingFailure() {
    if (!failurePending_)
        return;
    failurePending_ = false;
    failureCauseTimer_.stop();
    EnterFailed(logHint_ != PlayerFailure::kNone ? logHint_ : PlayerFailure::kCannotPlay);
}

void MediaPlayerHost::OnLoadFileRejected() {
    // mpv refused the request itself, so no start-file will come to lift
    // an earlier failure's latch: this request gets its own report.
    errorLatch.store(false);
    EnterFailed(PlayerFailure::kCannotPlay);
}

void MediaPlayerHost::EnterFailed(PlayerFailure failure) {
    failurePending_ = false;
    failureCauseTimer_.stop();
    state_ = PlayerState::kFailed;
    failure_ = failure;
    pausedForCache_ = false;
    sink_->Error();
    // Ends the poll; the latch keeps this stop from overwriting the failure.
    sink_->Buffering(false);
}

void MediaPlayerHost::NoteLogLine(const std::string& text) {
    const bool current = state_ == PlayerState::kOpening || state_ == PlayerState::kBuffering;
    if (!current && !failurePending_)
        return;
    const PlayerFailure hint = FailureFromLogLine(text);
    if (hint == PlayerFailure::kNone)
        return;
    logHint_ = hint;
    SettlePendingFailure();
}

}  // namespace lumora
