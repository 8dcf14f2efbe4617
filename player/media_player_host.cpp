#include "player/media_player_host.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <string_view>
#include <utility>

#include <QString>
#include <QWidget>

#include "catalogue/stream_address.h"
#include "player/player_event_sink.h"
#include "player/player_texts.h"
#include "player/track_list.h"
#include "player/video_widget.h"

namespace lumora {

namespace {

// Reply ids of asynchronous requests and observed properties. A loadfile's
// reply id is kLoadFileFirst plus the number of its play request.
enum class Request : std::uint64_t {
    Stop = 1,
    SetVolume,
    ResumeCheck,
    Pause,
    Seek,
    TrackList,
    SelectTrack,
};
constexpr std::uint64_t kLoadFileFirst = std::uint64_t(1) << 32;
enum class Observed : std::uint64_t {
    PausedForCache = 100,
    CacheBufferingState,
    Volume,
    Idle,
    TimePos,
    Duration,
    Pause,
    CacheState,
    Seekable,
    TrackList,
};

// How long a failed stream waits for the log line that names the cause.
constexpr int kFailureCauseWaitMs = 200;

constexpr const char* kPausedForCache = "paused-for-cache";
constexpr const char* kCacheBufferingState = "cache-buffering-state";
constexpr const char* kDemuxerCacheState = "demuxer-cache-state";
constexpr const char* kVolume = "volume";
constexpr const char* kIdleActive = "idle-active";
constexpr const char* kTimePos = "time-pos";
constexpr const char* kDuration = "duration";
constexpr const char* kPause = "pause";
constexpr const char* kSeekable = "seekable";

// A megabyte of packet records (the packets themselves are on disk) holds
// about a minute of a stream; the forward and the back buffer each get
// that much per minute of the window, and at least 16 MB.
std::string TimeshiftRecordBytes(int seconds) {
    const long long megabytes = std::max(16, (seconds + 59) / 60);
    return std::to_string(megabytes) + "MiB";
}

// mpv tells a refused port from a 404 only in its log lines.
PlaybackEnd FailureFromLogLine(std::string_view line) {
    for (std::string_view cause : {"HTTP error 4", "No such file or directory"}) {
        if (line.find(cause) != std::string_view::npos)
            return PlaybackEnd::NotFound;
    }
    for (std::string_view cause : {"Connection refused", "timed out", "Failed to resolve",
                                   "No route to host", "Network is unreachable"}) {
        if (line.find(cause) != std::string_view::npos)
            return PlaybackEnd::CannotConnect;
    }
    return PlaybackEnd::None;
}

std::u16string FailureText(PlaybackEnd failure) {
    switch (failure) {
    case PlaybackEnd::CannotConnect: return Localised(kTextCannotConnect);
    case PlaybackEnd::NotFound: return Localised(kTextNotFound);
    case PlaybackEnd::UnknownFormat: return Localised(kTextUnknownFormat);
    default: break;
    }
    return Localised(kTextCannotPlay);
}

// The value of `key` in an mpv node map, or null.
const mpv_node* MapValue(const mpv_node& map, std::string_view key) {
    if (map.format != MPV_FORMAT_NODE_MAP || map.u.list == nullptr)
        return nullptr;
    for (int i = 0; i < map.u.list->num; ++i) {
        if (map.u.list->keys[i] == key)
            return &map.u.list->values[i];
    }
    return nullptr;
}

double NodeNumber(const mpv_node* node) {
    if (node == nullptr)
        return std::nan("");
    if (node->format == MPV_FORMAT_DOUBLE)
        return node->u.double_;
    if (node->format == MPV_FORMAT_INT64)
        return double(node->u.int64);
    return std::nan("");
}

// The last of the "seekable-ranges" of a demuxer-cache-state: the one that
// reaches the live edge.
std::optional<std::pair<double, double>> LastSeekableRange(const mpv_node& state) {
    const mpv_node* ranges = MapValue(state, "seekable-ranges");
    if (ranges == nullptr || ranges->format != MPV_FORMAT_NODE_ARRAY || ranges->u.list == nullptr ||
        ranges->u.list->num <= 0)
        return std::nullopt;
    const mpv_node& last = ranges->u.list->values[ranges->u.list->num - 1];
    const double start = NodeNumber(MapValue(last, "start"));
    const double end = NodeNumber(MapValue(last, "end"));
    if (!std::isfinite(start) || !std::isfinite(end) || end < start)
        return std::nullopt;
    return std::make_pair(start, end);
}

// mpv's per-file options, each value written as "%LENGTH%value" so that
// commas and equals signs in it stay part of it.
QByteArray PerFileOptions(const StreamHeaders& headers) {
    QByteArray options;
    auto add = [&options](const char* name, const std::u16string& value) {
        const QByteArray bytes = QString::fromStdU16String(value).toUtf8();
        // A catalogue is untrusted: a line break would forge more headers.
        const bool control = std::any_of(bytes.begin(), bytes.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        });
        if (bytes.isEmpty() || control)
            return;
        if (!options.isEmpty())
            options += ',';
        options += name;
        options += "=%" + QByteArray::number(bytes.size()) + '%' + bytes;
    };
    add("user-agent", headers.userAgent);
    add("referrer", headers.referrer);
    return options;
}

// The preference as per-file options, in the form PerFileOptions uses.
QByteArray TrackFileOptions(const TrackPreference& preference) {
    QByteArray options;
    for (const auto& [name, value] : TrackOptions(preference)) {
        if (!options.isEmpty())
            options += ',';
        options += QByteArray::fromStdString(name) + "=%" +
                   QByteArray::number(qsizetype(value.size())) + '%' +
                   QByteArray::fromStdString(value);
    }
    return options;
}

}  // namespace

// A plain copy of what the host needs from an mpv event: mpv's event memory
// is only valid until the next mpv_wait_event.
struct MediaPlayerHost::Event {
    mpv_event_id id = MPV_EVENT_NONE;
    std::uint64_t replyId = 0;
    int error = 0;
    int reason = 0;
    std::int64_t entry = -1;
    // Playlist entries an end-file of reason redirect put in its place.
    int insertedEntries = 0;
    bool hasValue = false;
    bool flag = false;
    std::int64_t integer = 0;
    double number = 0;
    std::string text;
    // The last seekable range of demuxer-cache-state, when it has one.
    std::optional<std::pair<double, double>> range;
    // A track-list: observed, or the answer to the request of a new file's.
    bool isTrackList = false;
    std::vector<MediaTrack> tracks;
};

MediaPlayerHost::Started MediaPlayerHost::Create(QWidget* parent, const QRect& rect,
                                                 const PlayerOptions& options) {
    std::setlocale(LC_NUMERIC, "C");
    MpvHandle mpv = CreateConfiguredMpv(options);
    if (!mpv)
        return {nullptr, Localised(kTextPlayerFailed)};
    // The constructor is private: only Create makes a host, and only with
    // a core that started.
    return {std::unique_ptr<MediaPlayerHost>(
                new MediaPlayerHost(parent, rect, options, std::move(mpv))),
            {}};
}

MediaPlayerHost::MediaPlayerHost(QWidget* parent, const QRect& rect, const PlayerOptions& options,
                                 MpvHandle mpv)
    : MediaOutput(kName),
      sink_(std::make_unique<PlayerEventSink>([this] { return Snapshot(); }, options.listener,
                                              options.bufferingPoll)),
      mpv_(std::move(mpv)) {
    failureCauseTimer_.setSingleShot(true);
    failureCauseTimer_.setInterval(kFailureCauseWaitMs);
    QObject::connect(&failureCauseTimer_, &QTimer::timeout, [this] { SettlePendingFailure(); });
    connectDeadline_.setSingleShot(true);
    connectDeadline_.setInterval(options.connectDeadlineMs);
    QObject::connect(&connectDeadline_, &QTimer::timeout, [this] { OnConnectDeadline(); });

    video_ = new VideoWidget(parent);
    video_->setGeometry(rect);
    video_->hide();
    window_ = video_;

    mpv_request_log_messages(mpv_.get(), "warn");
    mpv_observe_property(mpv_.get(), std::uint64_t(Observed::PausedForCache), kPausedForCache,
                         MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_.get(), std::uint64_t(Observed::CacheBufferingState),
                         kCacheBufferingState, MPV_FORMAT_INT64);
    mpv_observe_property(mpv_.get(), std::uint64_t(Observed::Volume), kVolume, MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_.get(), std::uint64_t(Observed::Idle), kIdleActive, MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_.get(), std::uint64_t(Observed::TimePos), kTimePos, MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_.get(), std::uint64_t(Observed::Duration), kDuration,
                         MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_.get(), std::uint64_t(Observed::Pause), kPause, MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_.get(), std::uint64_t(Observed::Seekable), kSeekable, MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_.get(), std::uint64_t(Observed::CacheState), kDemuxerCacheState,
                         MPV_FORMAT_NODE);
    mpv_observe_property(mpv_.get(), std::uint64_t(Observed::TrackList), kTrackListProperty,
                         MPV_FORMAT_NODE);
    mpv_set_wakeup_callback(mpv_.get(), &MediaPlayerHost::OnMpvWakeup, this);
    if (!video_->Attach(mpv_.get(), options.renderApi)) {
        // Without a picture the player still plays the sound; mpv is told
        // not to decode pictures it has nowhere to show.
        mpv_set_property_string(mpv_.get(), "vid", "no");
        startFailure_ = Localised(kTextVideoFailed);
    }
    ready_ = true;
}

MediaPlayerHost::~MediaPlayerHost() {
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
    QMetaObject::invokeMethod(
        &host->eventContext_, [host] { host->DrainEvents(); }, Qt::QueuedConnection);
}

void MediaPlayerHost::Play(const std::u16string& url) {
    PlayStream(url, {});
}

void MediaPlayerHost::PlayStream(const std::u16string& url, const StreamHeaders& headers) {
    if (BeginRequest(IsPlayableAddress(url)))
        LoadFile(QString::fromStdU16String(url).toUtf8(), headers);
}

void MediaPlayerHost::PlayRecording(const RecordingToPlay& recording, RecordingGrowth growth) {
    if (!BeginRequest(recording.Playable()))
        return;
    // The resolved path, absolute, so mpv takes it for a file whatever
    // its name says.
    const QByteArray path = QByteArray::fromStdString(recording.File().string());
    LoadFile(growth == RecordingGrowth::Growing ? "appending://" + path : path, {});
}

bool MediaPlayerHost::BeginRequest(bool allowed) {
    if (!ready_) {
        // The core has shut down: the play request fails visibly instead
        // of leaving the status empty.
        FailRequest(PlaybackEnd::CannotPlay);
        return false;
    }
    // Whatever the previous request still has to say goes unsaid: the user
    // has moved on.
    CloseRequest();
    request_ = PlayRequest{request_.id + 1};
    if (!allowed) {
        // The address never reaches mpv; what played before ends, so the
        // status line tells the truth.
        SendStop();
        FailRequest(PlaybackEnd::CannotPlay);
        return false;
    }
    return true;
}

void MediaPlayerHost::LoadFile(const QByteArray& address, const StreamHeaders& headers) {
    request_.open = true;
    // mpv keeps a pause across files: a new stream always plays.
    if (observed_.paused)
        SetPaused(false);
    QByteArray options = PerFileOptions(headers);
    // Kept for later requests too: a stream the player opens again by itself
    // keeps its tracks.
    requestPreference_ = nextPreference_;
    if (const QByteArray tracks = TrackFileOptions(requestPreference_); !tracks.isEmpty())
        options += (options.isEmpty() ? "" : ",") + tracks;
    // Named arguments, so the call means the same whatever position a
    // libmpv version gives the options.
    mpv_node_list list{};
    char* keys[] = {const_cast<char*>("name"), const_cast<char*>("url"), const_cast<char*>("flags"),
                    const_cast<char*>("options")};
    mpv_node values[4];
    const char* texts[] = {"loadfile", address.constData(), "replace", options.constData()};
    for (int i = 0; i < 4; ++i) {
        values[i].format = MPV_FORMAT_STRING;
        values[i].u.string = const_cast<char*>(texts[i]);
    }
    list.num = options.isEmpty() ? 3 : 4;
    list.keys = keys;
    list.values = values;
    mpv_node command{};
    command.format = MPV_FORMAT_NODE_MAP;
    command.u.list = &list;
    if (mpv_command_node_async(mpv_.get(), kLoadFileFirst + request_.id, &command) < 0) {
        FailRequest(PlaybackEnd::CannotPlay);
        return;
    }
    connectDeadline_.start();
}

void MediaPlayerHost::Stop() {
    if (!ready_)
        return;
    SendStop();
    if (observed_.paused)
        SetPaused(false);
    const bool wasOpen = request_.open;
    CloseRequest();
    if (!wasOpen)
        return;
    // Told at once: the end-file that follows belongs to a closed request.
    state_ = PlayerState::Stopped;
    pausedForCache_ = false;
    sink_->Buffering(false);
}

void MediaPlayerHost::SendStop() {
    const char* command[] = {"stop", nullptr};
    mpv_command_async(mpv_.get(), std::uint64_t(Request::Stop), command);
}

void MediaPlayerHost::SetVolume(int volume) {
    if (!ready_)
        return;
    double value = volume;
    mpv_set_property_async(mpv_.get(), std::uint64_t(Request::SetVolume), kVolume,
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

PlayerSnapshot MediaPlayerHost::Snapshot() const {
    return {state_, failure_, StatusText()};
}

std::u16string MediaPlayerHost::StatusText() const {
    switch (state_) {
    case PlayerState::Idle: return u"";
    case PlayerState::Opening: return Localised(kTextConnecting);
    case PlayerState::Buffering: return BufferingText(cachePercent_);
    case PlayerState::Playing: return Localised(kTextPlaying);
    case PlayerState::Stopped: return Localised(kTextStopped);
    case PlayerState::Failed: return FailureText(failure_);
    case PlayerState::Ended: return Localised(kTextStreamLost);
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
        copy.insertedEntries = end->playlist_insert_num_entries;
        break;
    }
    case MPV_EVENT_COMMAND_REPLY: {
        // loadfile answers with the playlist entry it made.
        const auto* reply = static_cast<const mpv_event_command*>(event.data);
        if (const mpv_node* id = MapValue(reply->result, "playlist_entry_id");
            id != nullptr && id->format == MPV_FORMAT_INT64)
            copy.entry = id->u.int64;
        break;
    }
    case MPV_EVENT_GET_PROPERTY_REPLY: {
        const auto* property = static_cast<const mpv_event_property*>(event.data);
        if (event.reply_userdata == std::uint64_t(Request::TrackList)) {
            copy.isTrackList = event.error >= 0 && property->format == MPV_FORMAT_NODE;
            if (copy.isTrackList)
                copy.tracks = TracksFromNode(*static_cast<const mpv_node*>(property->data));
            break;
        }
        // Else demuxer-cache-state: did the demuxer reach the end of the
        // stream?
        if (event.error < 0 || property->format != MPV_FORMAT_NODE)
            break;
        const mpv_node* eof = MapValue(*static_cast<const mpv_node*>(property->data), "eof");
        copy.hasValue = true;
        copy.flag = eof != nullptr && eof->format == MPV_FORMAT_FLAG && eof->u.flag != 0;
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
        else if (property->format == MPV_FORMAT_NODE &&
                 event.reply_userdata == std::uint64_t(Observed::CacheState)) {
            copy.range = LastSeekableRange(*static_cast<const mpv_node*>(property->data));
        } else if (property->format == MPV_FORMAT_NODE &&
                   event.reply_userdata == std::uint64_t(Observed::TrackList)) {
            copy.isTrackList = true;
            copy.tracks = TracksFromNode(*static_cast<const mpv_node*>(property->data));
        }
        break;
    }
    case MPV_EVENT_LOG_MESSAGE:
        copy.text = static_cast<const mpv_event_log_message*>(event.data)->text;
        break;
    default: break;
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
        if (event.replyId == kLoadFileFirst + request_.id)
            OnLoadFileReply(event);
        else if (event.replyId == std::uint64_t(Request::Seek) && event.error < 0)
            seeking_ = false;  // outside what can be played: no picture follows
        break;
    case MPV_EVENT_FILE_LOADED: OnFileLoaded(); break;
    case MPV_EVENT_GET_PROPERTY_REPLY:
        if (event.replyId == std::uint64_t(Request::ResumeCheck))
            OnResumeCheck(event);
        else if (event.replyId == std::uint64_t(Request::TrackList))
            SettleTracks(event);
        break;
    case MPV_EVENT_PROPERTY_CHANGE:
        switch (Observed(event.replyId)) {
        case Observed::PausedForCache: OnPausedForCache(event.hasValue && event.flag); break;
        case Observed::CacheBufferingState:
            cachePercent_ = event.hasValue ? int(event.integer) : 0;
            break;
        case Observed::Volume:
            if (event.hasValue)
                volume_ = event.number;
            break;
        case Observed::TimePos:
        case Observed::Duration:
        case Observed::Pause:
        case Observed::CacheState:
        case Observed::Seekable: OnObservedPosition(event); break;
        case Observed::Idle:
            // Nothing plays any more (stopped, ended or failed): the picture
            // of the last stream does not stay behind as if it were frozen.
            if (event.hasValue && event.flag && video_)
                video_->Blank();
            break;
        case Observed::TrackList: OnTrackList(event); break;
        }
        break;
    case MPV_EVENT_SHUTDOWN:
        // The core is going away (nothing here asks it to): play no more.
        ready_ = false;
        break;
    default: break;
    }
}

bool MediaPlayerHost::BelongsToRequest(std::int64_t entry) const {
    return request_.open && request_.firstEntry >= 0 && entry >= request_.firstEntry;
}

void MediaPlayerHost::CloseRequest() {
    request_.open = false;
    failurePending_ = false;
    failureCauseTimer_.stop();
    connectDeadline_.stop();
}

void MediaPlayerHost::OnLoadFileReply(const Event& event) {
    if (!request_.open)
        return;
    if (event.error < 0) {
        // mpv refused the request itself; no start-file will follow.
        FailRequest(PlaybackEnd::CannotPlay);
        return;
    }
    // mpv before 0.33 does not name the entry; then every entry counts.
    request_.firstEntry = event.entry >= 0 ? event.entry : 0;
    request_.entriesLeft = 1;
}

void MediaPlayerHost::OnStartFile(std::int64_t entry) {
    if (!BelongsToRequest(entry))
        return;
    // An earlier entry of this request failed and mpv moved on to the next
    // one by itself: that was not the request's failure.
    failurePending_ = false;
    failureCauseTimer_.stop();
    currentEntry_ = entry;
    state_ = PlayerState::Opening;
    failure_ = PlaybackEnd::None;
    logHint_ = PlaybackEnd::None;
    firstFrameSeen_ = false;
    cachePercent_ = 0;
    observed_.timePos.reset();
    observed_.duration.reset();
    observed_.range.reset();
    observed_.seekable = false;
    observed_.bufferBegan = std::chrono::steady_clock::now();
    tracksSettled_ = false;
    // Connecting counts as buffering: the status line stays fresh, and a
    // new stream's reports get past a failure of the previous one.
    sink_->Buffering(true);
}

void MediaPlayerHost::OnPlaybackRestart() {
    if (std::exchange(seeking_, false))
        ++seeksDone_;
    if (!request_.open || (state_ != PlayerState::Opening && state_ != PlayerState::Buffering))
        return;
    const bool rebuffering = state_ == PlayerState::Buffering && firstFrameSeen_;
    firstFrameSeen_ = true;
    connectDeadline_.stop();
    if (pausedForCache_)
        return;
    if (rebuffering) {
        // The same question as when the cache resumes: a stream that is at
        // its end only plays what is left, and is not "Playing".
        mpv_get_property_async(mpv_.get(), std::uint64_t(Request::ResumeCheck), kDemuxerCacheState,
                               MPV_FORMAT_NODE);
        return;
    }
    state_ = PlayerState::Playing;
    sink_->Buffering(false);
}

void MediaPlayerHost::OnPausedForCache(bool paused) {
    pausedForCache_ = paused;
    if (!request_.open)
        return;
    if (paused && (state_ == PlayerState::Playing || state_ == PlayerState::Opening)) {
        state_ = PlayerState::Buffering;
        // The cache's percentage is stale for a moment when buffering
        // starts; a rebuffer starts from nothing.
        cachePercent_ = 0;
        sink_->Buffering(true);
    } else if (!paused && state_ == PlayerState::Buffering) {
        if (firstFrameSeen_) {
            // mpv also resumes when the stream has ended, to play what is
            // left: ask whether the demuxer is at the end before saying
            // "Playing", so a lost stream goes straight to "Stream lost".
            mpv_get_property_async(mpv_.get(), std::uint64_t(Request::ResumeCheck),
                                   kDemuxerCacheState, MPV_FORMAT_NODE);
        } else {
            state_ = PlayerState::Opening;
        }
    }
}

void MediaPlayerHost::OnResumeCheck(const Event& event) {
    const bool atEnd = event.hasValue && event.flag;
    if (!request_.open || state_ != PlayerState::Buffering || pausedForCache_ || atEnd)
        return;
    state_ = PlayerState::Playing;
    sink_->Buffering(false);
}

void MediaPlayerHost::OnEndFile(const Event& event) {
    if (!BelongsToRequest(event.entry))
        return;
    if (event.reason == MPV_END_FILE_REASON_REDIRECT) {
        // A playlist: its entries take its place, and the next start-file
        // is the first of them.
        request_.entriesLeft += event.insertedEntries - 1;
        if (request_.entriesLeft <= 0)
            FailRequest(PlaybackEnd::CannotPlay);  // an empty playlist
        return;
    }
    --request_.entriesLeft;
    const bool userStop =
        event.reason == MPV_END_FILE_REASON_STOP || event.reason == MPV_END_FILE_REASON_QUIT;
    if (request_.entriesLeft > 0 && !userStop)
        return;  // mpv goes on with the request's next entry by itself
    switch (event.reason) {
    case MPV_END_FILE_REASON_ERROR: OnEntryFailed(event); return;
    case MPV_END_FILE_REASON_EOF:
        // Channels are live: a server that dies or stalls, or a live source
        // that vanishes, ends as "eof". Reported as not playing, unlatched.
        state_ = PlayerState::Ended;
        break;
    default: state_ = PlayerState::Stopped; break;
    }
    CloseRequest();
    pausedForCache_ = false;
    sink_->Buffering(false);
}

void MediaPlayerHost::OnEntryFailed(const Event& event) {
    if (event.error == MPV_ERROR_UNKNOWN_FORMAT)
        FailRequest(PlaybackEnd::UnknownFormat);
    else if (logHint_ != PlaybackEnd::None)
        FailRequest(logHint_);
    else
        AwaitFailureCause();
}

void MediaPlayerHost::OnConnectDeadline() {
    if (!request_.open || firstFrameSeen_)
        return;
    // Silent servers keep mpv opening for minutes: end it here.
    SendStop();
    FailRequest(PlaybackEnd::CannotConnect);
}

void MediaPlayerHost::AwaitFailureCause() {
    // mpv delivers its log lines on a queue of their own, sometimes after
    // the end-file event; the line that tells a refused connection from a
    // 404 is then a few milliseconds behind.
    failurePending_ = true;
    failureCauseTimer_.start();
}

void MediaPlayerHost::SettlePendingFailure() {
    if (!failurePending_)
        return;
    FailRequest(logHint_ != PlaybackEnd::None ? logHint_ : PlaybackEnd::CannotPlay);
}

void MediaPlayerHost::FailRequest(PlaybackEnd failure) {
    CloseRequest();
    state_ = PlayerState::Failed;
    failure_ = failure;
    pausedForCache_ = false;
    // Every request tells its own failure once: a latch left by an earlier
    // request (which nothing of this one may have lifted yet) must not
    // swallow it.
    sink_->ClearErrorLatch();
    sink_->Error();
    // Ends the poll; the latch keeps this stop from overwriting the failure.
    sink_->Buffering(false);
}

void MediaPlayerHost::OnObservedPosition(const Event& event) {
    switch (Observed(event.replyId)) {
    case Observed::TimePos:
        observed_.timePos = event.hasValue ? std::optional<double>(event.number) : std::nullopt;
        break;
    case Observed::Duration:
        observed_.duration =
            event.hasValue && event.number > 0 ? std::optional<double>(event.number) : std::nullopt;
        break;
    case Observed::Pause: observed_.paused = event.hasValue && event.flag; break;
    case Observed::CacheState: observed_.range = event.range; break;
    case Observed::Seekable: observed_.seekable = event.hasValue && event.flag; break;
    default: break;
    }
}

void MediaPlayerHost::SetTimeshift(int seconds, const std::string& folder) {
    if (!ready_ || seconds == timeshiftSeconds_)
        return;
    timeshiftSeconds_ = std::max(0, seconds);
    const std::string window = std::to_string(timeshiftSeconds_);
    const std::string records = TimeshiftRecordBytes(timeshiftSeconds_);
    // Without a window: mpv's own defaults for network streams.
    const bool on = timeshiftSeconds_ > 0;
    const std::pair<const char*, std::string> options[] = {
        {"cache", on ? "yes" : "auto"},
        {"cache-on-disk", on ? "yes" : "no"},
        {"cache-dir", on ? folder : std::string()},
        {"cache-unlink-files", "immediate"},
        {"demuxer-seekable-cache", on ? "yes" : "auto"},
        {"demuxer-readahead-secs", on ? window : "1"},
        {"cache-secs", on ? window : "3600000"},
        {"demuxer-max-bytes", on ? records : "150MiB"},
        {"demuxer-max-back-bytes", on ? records : "50MiB"},
    };
    for (const auto& [name, value] : options)
        mpv_set_option_string(mpv_.get(), name, value.c_str());
}

void MediaPlayerHost::SetPaused(bool paused) {
    if (!ready_)
        return;
    int flag = paused ? 1 : 0;
    observed_.paused = paused;
    mpv_set_property_async(mpv_.get(), std::uint64_t(Request::Pause), kPause, MPV_FORMAT_FLAG,
                           &flag);
}

void MediaPlayerHost::SeekTo(double position) {
    if (!ready_ || !request_.open || !std::isfinite(position))
        return;
    const std::string target = std::to_string(position);
    const char* command[] = {"seek", target.c_str(), "absolute", nullptr};
    if (mpv_command_async(mpv_.get(), std::uint64_t(Request::Seek), command) >= 0) {
        seeking_ = true;
        observed_.timePos = position;
    }
}

PlaybackPosition MediaPlayerHost::Position() const {
    PlaybackPosition at;
    if (!request_.open || !firstFrameSeen_ || !observed_.timePos)
        return at;
    at.known = true;
    at.position = *observed_.timePos;
    at.paused = observed_.paused;
    // A live stream's duration is only mpv's estimate of what it received;
    // what can be played again of it is its cache.
    at.live = !observed_.seekable;
    if (at.live || !observed_.duration) {
        at.start = observed_.range ? std::min(observed_.range->first, at.position) : at.position;
        at.end = observed_.range ? std::max(observed_.range->second, at.position) : at.position;
    } else {
        at.start = 0;
        at.end = *observed_.duration;
    }
    at.bufferAge =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - observed_.bufferBegan)
            .count();
    return at;
}

void MediaPlayerHost::NoteLogLine(const std::string& text) {
    const bool opening = state_ == PlayerState::Opening || state_ == PlayerState::Buffering;
    if (!request_.open || (!opening && !failurePending_))
        return;
    const PlaybackEnd hint = FailureFromLogLine(text);
    if (hint == PlaybackEnd::None)
        return;
    logHint_ = hint;
    SettlePendingFailure();
}

// Tracks.

void MediaPlayerHost::SetTrackPreference(const TrackPreference& preference) {
    nextPreference_ = preference;
}

void MediaPlayerHost::SelectAudioTrack(std::int64_t id) {
    if (!ready_)
        return;
    mpv_set_property_async(mpv_.get(), std::uint64_t(Request::SelectTrack), kAudioTrackProperty,
                           MPV_FORMAT_INT64, &id);
}

void MediaPlayerHost::SelectSubtitleTrack(std::optional<std::int64_t> id) {
    if (!ready_)
        return;
    if (id) {
        std::int64_t value = *id;
        mpv_set_property_async(mpv_.get(), std::uint64_t(Request::SelectTrack),
                               kSubtitleTrackProperty, MPV_FORMAT_INT64, &value);
        return;
    }
    const char* off = "no";
    mpv_set_property_async(mpv_.get(), std::uint64_t(Request::SelectTrack), kSubtitleTrackProperty,
                           MPV_FORMAT_STRING, &off);
}

void MediaPlayerHost::OnTrackList(const Event& event) {
    std::vector<MediaTrack> tracks = event.isTrackList ? event.tracks : std::vector<MediaTrack>{};
    if (tracks == tracks_)
        return;
    tracks_ = std::move(tracks);
    NotifyTracksChanged();
}

void MediaPlayerHost::OnFileLoaded() {
    if (!request_.open || tracksSettled_)
        return;
    // Asked now rather than taken from the observed list: the answer holds
    // mpv's own selection for this file, whatever order the list's change
    // events came in.
    mpv_get_property_async(mpv_.get(), std::uint64_t(Request::TrackList), kTrackListProperty,
                           MPV_FORMAT_NODE);
}

void MediaPlayerHost::SettleTracks(const Event& event) {
    if (!request_.open || tracksSettled_ || !event.isTrackList)
        return;
    tracksSettled_ = true;
    // mpv picked what the per-file options could say; what they cannot
    // (subtitles for audio in another language, a remembered position the
    // stream lacks) is put right here, once per file.
    const auto audio = ResolveTrack(event.tracks, TrackKind::Audio, requestPreference_);
    if (audio && audio != SelectedTrack(event.tracks, TrackKind::Audio))
        SelectAudioTrack(*audio);
    const auto subtitle = ResolveTrack(event.tracks, TrackKind::Subtitle, requestPreference_);
    if (subtitle != SelectedTrack(event.tracks, TrackKind::Subtitle))
        SelectSubtitleTrack(subtitle);
}

}  // namespace lumora
