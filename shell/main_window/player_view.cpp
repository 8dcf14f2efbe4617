#include "shell/main_window/player_view.h"

#include <QPainter>
#include <QPointer>
#include <QThread>

#include "catalogue/catalogue.h"
#include "catalogue/catchup_address.h"
#include "catalogue/channel_views.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "catalogue/text_format.h"
#include "document/text_encoding.h"
#include "player/media_player_host.h"
#include "player/output_registry.h"
#include "player/player_texts.h"
#include "record/recording_files.h"
#include "resources/resources.h"
#include "shell/app/commands.h"
#include "shell/app/data_folders.h"
#include "shell/app/localise.h"
#include "shell/dialogs/show_text_message.h"
#include "shell/main_window/channel_title_bar.h"
#include "shell/main_window/channel_tracks.h"
#include "shell/main_window/control_bar.h"
#include "shell/main_window/playback_control.h"
#include "shell/main_window/programme_guide.h"
#include "shell/widgets/position_bar.h"

namespace lumora {
namespace {

// What the title bar says when the chosen channel has no stream at all;
// without it the user would see nothing happen.
constexpr PlayerText kTextNoStream{"str_status_no_stream"};
// The stream's number and the channel's number of streams.
constexpr PlayerText kTextTryingStream{"str_status_trying"};

// What a report of the player tells the fallback about the stream tried.
StreamFallback::Event FallbackEventOf(const PlayerReport& report) {
    using Event = StreamFallback::Event;
    if (report.status == PlayerStatus::Going && report.end == PlaybackEnd::None)
        return report.text == Localised(kTextConnecting) ? Event::Connecting : Event::Playing;
    // A stream that failed by itself (not a stop).
    if (report.status == PlayerStatus::NotPlaying && report.end != PlaybackEnd::None &&
        report.end != PlaybackEnd::Stopped)
        return report.end == PlaybackEnd::StreamLost ? Event::Lost : Event::OpenFailed;
    return Event::Ended;
}

// Where the player is first created, before the first layout places it.
constexpr int kFirstPlayerInset = 4;
constexpr int kFirstPlayerBottomReserve = 32;

std::unique_ptr<MediaOutput> MakeMediaPlayerHost(QWidget* parent, const QRect& rect,
                                                 StatusListener* listener) {
    // Without a host the view says why at once and again at each play
    // request (PlayerStartFailure).
    PlayerOptions options;
    options.listener = listener;
    return MediaPlayerHost::Create(parent, rect, options).host;
}

}  // namespace

PlayerView::PlayerView(QWidget* parent, PlayerViewOptions options) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);

    // 1. The tick counter starts at 0.
    tickCount_ = 0;

    // 2. The bars, naming the current channel of the catalogue the main
    //    window loaded first.
    controlBar_ = new ControlBar(this);
    titleBar_ = new ChannelTitleBar(this);
    connect(controlBar_, &ControlBar::playClicked, this, [this] { OnMessage(UM_PLAY); });
    connect(controlBar_, &ControlBar::stopClicked, this, [this] { OnMessage(UM_STOP); });
    connect(controlBar_, &ControlBar::fullScreenClicked, this,
            [this] { OnMessage(UM_FULLSCREEN); });
    connect(controlBar_, &ControlBar::volumeChanged, this, [](int volume) { ApplyVolume(volume); });
    playback_ = new PlaybackControl(*controlBar_->positionBar(), *titleBar_, this);
    connect(playback_, &PlaybackControl::liveRequested, this, [this] { OnMessage(UM_PLAY); });
    connect(playback_, &PlaybackControl::freshBufferNeeded, this,
            [this] { PlayStream(std::u16string(lastAddress_), StreamHeaders(lastHeaders_)); });
    ShowCurrentChannelName();

    // 3. The player. The program's own waits for libmpv, which loads while
    //    the window is built: it is made once the window has been painted.
    playerAfterPaint_ = !options.playerFactory;
    // The program's own player reports to the view, which outlives it.
    playerFactory_ =
        options.playerFactory ? options.playerFactory : [this](QWidget* parent, const QRect& rect) {
            return MakeMediaPlayerHost(parent, rect, this);
        };
    if (!playerAfterPaint_)
        EnsurePlayer();

    retryTimer_.setSingleShot(true);
    retryTimer_.setInterval(StreamFallback::kRetryDelayMs);
    connect(&retryTimer_, &QTimer::timeout, this,
            [this] { PlayFallbackStream(fallback_.Current()); });

    // 4. The timer.
    timer_.setInterval(kTimerPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &PlayerView::Tick);
    timer_.start();
    LayOut();
}

void PlayerView::EnsurePlayer() {
    if (playerMade_)
        return;
    playerMade_ = true;
    // First in the client area less a border; the layout moves it to its place.
    const QRect first = rect().adjusted(kFirstPlayerInset, kFirstPlayerInset, -kFirstPlayerInset,
                                        -kFirstPlayerInset - kFirstPlayerBottomReserve);
    player_ = playerFactory_(this, first);
    playback_->SetPlayer(player_.get());
    if (player_ && player_->Window() != nullptr)
        player_->Window()->show();
    // The player hears at once what the slider shows.
    if (player_)
        player_->SetVolume(controlBar_->volume());
    if (player_)
        player_->SetTracksChangedCallback([this] { emit tracksChanged(); });
    ReportPlayerStartFailure();
    LayOut();
    update();
}

PlayerView::~PlayerView() {
    timer_.stop();
    playback_->SetPlayer(nullptr);
    if (player_) {
        player_->Stop();
        player_.reset();
    }
}

void PlayerView::OnMessage(int message, Channel* channel) {
    switch (message) {
    case UM_PLAY: Play(channel); break;
    case UM_STOP: Stop(); break;
    case UM_FULLSCREEN:
        EnsurePlayer();
        if (player_)
            player_->ToggleFullScreen();
        break;
    default: break;
    }
}

void PlayerView::Play(Channel* channel) {
    EnsurePlayer();
    EndFallback();
    if (player_)
        player_->Stop();
    if (channel == nullptr && TheCatalogue() != nullptr)
        channel = TheCatalogue()->CurrentChannel();
    if (channel == nullptr)
        return;
    SetCurrentChannel(*channel);
    ShowCurrentChannelName();
    const Stream* stream = SelectedStream(*channel);
    if (stream == nullptr) {
        // Nothing to play: say so, and leave the button offering play.
        SetPlaying(false);
        SetStatus(QString::fromStdU16String(Localised(kTextNoStream)));
        return;
    }
    if (!player_ || !player_->Ready()) {
        // A player that could not start: the reason, not a button that
        // claims to play.
        SetPlaying(false);
        SetStatus(PlayerStartFailure());
        return;
    }
    SetPlaying(true);
    if (GetBoolSetting(kAutoFallback, true))
        fallback_.Start(channel->streams,
                        static_cast<std::size_t>(stream - channel->streams.data()));
    PlayStream(*stream);
}

void PlayerView::PlayStream(const Stream& stream) {
    // Every road to the player sends the stream's own headers: a provider
    // that checks its players refuses a fallback or a retry without them.
    PlayStream(std::u16string(stream.address),
               {std::u16string(stream.userAgent), std::u16string(stream.referrer)});
}

void PlayerView::PlayStream(const std::u16string& address, const StreamHeaders& headers,
                            std::optional<ProgrammeSummary> archived) {
    lastAddress_ = address;
    lastHeaders_ = headers;
    playback_->PrepareStream(std::move(archived));
    // The channel's tracks come with every one of its streams.
    player_->SetTrackPreference(TrackPreferenceFor(shownChannel_));
    player_->PlayStream(address, headers);
}

bool PlayerView::PlayArchived(Channel* channel, const ProgrammeSummary& programme) {
    EnsurePlayer();
    const Stream* stream = channel != nullptr ? SelectedStream(*channel) : nullptr;
    ProgrammeGuide* guide = TheProgrammeGuide();
    const CatchupAttributes* catchup =
        guide != nullptr && channel != nullptr ? guide->Catchup(channel->id) : nullptr;
    if (stream == nullptr || catchup == nullptr || !player_ || !player_->Ready())
        return false;
    const std::optional<ProgrammeDetails> details = guide->Details(channel->id, programme.id);
    const std::string catchupId = details ? details->catchupId : std::string();
    const std::string streamAddress = ToUtf8(stream->address);
    const CatchupAddress archive =
        BuildCatchupAddress(streamAddress, *catchup, {programme.start, programme.stop, catchupId},
                            ProgrammeGuide::Now());
    EndFallback();
    player_->Stop();
    SetCurrentChannel(*channel);
    ShowCurrentChannelName();
    if (!archive) {
        SetPlaying(false);
        SetStatus(Text("str_catchup_unavailable"));
        return false;
    }
    SetPlaying(true);
    // The stream's own headers go with its archive.
    PlayStream(FromUtf8(archive.address),
               {std::u16string(stream->userAgent), std::u16string(stream->referrer)}, programme);
    return true;
}

void PlayerView::ArchiveFailed() {
    SetStatus(Text("str_catchup_failed"));
    SetPlaying(false);
    // Asked once the report that brought the failure has returned.
    QPointer<PlayerView> view(this);
    QMetaObject::invokeMethod(
        this,
        [view] {
            if (view && ShowTextMessage(view->window(), "msg_catchup_live", kMessageStyleYesNo) ==
                            kMessageResultYes)
                view->OnMessage(UM_PLAY);
        },
        Qt::QueuedConnection);
}

void PlayerView::EndFallback() {
    fallback_.Stop();
    ++fallbackRequest_;
    retryTimer_.stop();
}

bool PlayerView::FallBack(const PlayerReport& report) {
    const StreamFallback::Step step = fallback_.OnReport(FallbackEventOf(report), report.text);
    switch (step.action) {
    case StreamFallback::Action::ShowReport: return false;
    case StreamFallback::Action::Ended: EndFallback(); return false;
    case StreamFallback::Action::ShowTrying: SetStatus(TryingText(step.stream)); return true;
    case StreamFallback::Action::TryStream: {
        SetStatus(TryingText(step.stream));
        // Not from inside the player's own report.
        const int request = fallbackRequest_;
        QMetaObject::invokeMethod(
            this,
            [this, request, index = step.stream] {
                if (request == fallbackRequest_)
                    PlayFallbackStream(index);
            },
            Qt::QueuedConnection);
        return true;
    }
    case StreamFallback::Action::RetryLater:
        // The button keeps offering stop, which also ends the wait.
        SetStatus(QString::fromStdU16String(report.text));
        retryTimer_.start();
        return true;
    case StreamFallback::Action::GiveUp: break;
    }
    const QString first = QString::fromStdU16String(fallback_.FirstFailure());
    EndFallback();
    SetStatus(first);
    SetPlaying(false);
    return true;
}

QString PlayerView::TryingText(std::size_t stream) const {
    return QString::fromStdU16String(
        FormatText(Localised(kTextTryingStream), {stream + 1, fallback_.Count()}));
}

void PlayerView::PlayFallbackStream(std::size_t index) {
    if (const Stream* stream = fallback_.StreamAt(index); stream != nullptr && player_)
        PlayStream(*stream);
}

QString PlayerView::PlayerStartFailure() const {
    if (player_ && !player_->StartFailure().empty())
        return QString::fromStdU16String(player_->StartFailure());
    return QString::fromStdU16String(Localised(kTextPlayerFailed));
}

void PlayerView::ReportPlayerStartFailure() {
    if (player_ && player_->Ready() && player_->StartFailure().empty())
        return;
    // Shown once the main window is up, as a box naming what failed; the
    // program stays usable (sound only, or no playback).
    const QString text = PlayerStartFailure();
    QPointer<PlayerView> view(this);
    QMetaObject::invokeMethod(
        this,
        [view, text] {
            if (view)
                ShowPlainMessage(view->window(), text, QString());
        },
        Qt::QueuedConnection);
}

bool PlayerView::StartOver(const QString& name) {
    if (player_)
        player_->Stop();
    ShowName(nullptr, name);
    if (!player_ || !player_->Ready()) {
        SetPlaying(false);
        SetStatus(PlayerStartFailure());
        return false;
    }
    SetPlaying(true);
    return true;
}

void PlayerView::PlayAddress(const QString& address, const QString& name) {
    EnsurePlayer();
    if (StartOver(name))
        PlayStream(address.toStdU16String(), {});
}

bool PlayerView::PlayRecording(const std::filesystem::path& file, const QString& name,
                               RecordingGrowth growth) {
    EnsurePlayer();
    EndFallback();
    const RecordingToPlay recording = CheckRecordingToPlay(file, RecordingsFolder());
    if (!recording.Playable()) {
        ShowRefusedTarget(name, RecordingRefusal(recording.Check()));
        return false;
    }
    if (!StartOver(name))
        return false;
    // A file needs no back buffer, and is never opened again as a stream.
    lastAddress_.clear();
    lastHeaders_ = {};
    playback_->PrepareStream();
    player_->SetTimeshift(0, {});
    player_->SetTrackPreference(TrackPreferenceFor(nullptr));
    player_->PlayRecording(recording, growth);
    return true;
}

QString PlayerView::RecordingRefusal(RecordingFileCheck check) {
    switch (check) {
    case RecordingFileCheck::Missing: return Text("str_recording_missing");
    case RecordingFileCheck::Playable:
    case RecordingFileCheck::NotAFile:
    case RecordingFileCheck::NotARecording:
    case RecordingFileCheck::OutsideFolder: break;
    }
    return Text("str_recording_refused");
}

void PlayerView::ShowRefusedTarget(const QString& target, const QString& status) {
    if (player_)
        player_->Stop();
    ShowName(nullptr, target);
    SetPlaying(false);
    SetStatus(status);
}

void PlayerView::Stop() {
    EndFallback();
    if (player_)
        player_->Stop();
    SetPlaying(false);
    playback_->Refresh();
}

void PlayerView::OnCatalogueReloaded() {
    // The channel records the fallback walks through are gone.
    EndFallback();
    ShowCurrentChannelName();
}

void PlayerView::OnPlayerStatus(const PlayerReport& report) {
    if (QThread::currentThread() != thread()) {
        // A report from another thread: the widgets change on the UI thread.
        QPointer<PlayerView> view(this);
        QMetaObject::invokeMethod(
            this,
            [view, report] {
                if (view)
                    view->OnPlayerStatus(report);
            },
            Qt::QueuedConnection);
        return;
    }
    lastEnd_ = report.end;
    if (playback_->Archived() && FallbackEventOf(report) == StreamFallback::Event::OpenFailed) {
        ArchiveFailed();
        return;
    }
    if (FallBack(report))
        return;
    SetStatus(QString::fromStdU16String(report.text));
    if (report.status == PlayerStatus::NotPlaying)
        SetPlaying(false);
}

void PlayerView::Tick() {
    tickCount_ += kTimerPeriodMs;
    emit ticked();

    playback_->Refresh();

    // The player can leave full screen by itself; the layout follows.
    const bool fullScreen = player_ && player_->IsFullScreen();
    if (wasFullScreen_ && !fullScreen)
        LayOut();
    wasFullScreen_ = fullScreen;
}

QRect PlayerView::PlayerRect() const {
    // In device pixels first, as a build for the screen's real DPI places it.
    const int bar = BarHeight(Pixels::Device);
    const int margin = bar / 8;
    const int width = ToDevice(this->width());
    const int height = ToDevice(this->height());
    return ToLogical(QRect(margin, bar + margin, width - 2 * margin, height - 2 * (bar + margin)));
}

void PlayerView::LayOut() {
    const int bar = BarHeight();
    if (player_) {
        const QRect place = PlayerRect();
        player_->Move(place.x(), place.y(), std::max(0, place.width()),
                      std::max(0, place.height()));
    }
    titleBar_->setGeometry(0, 0, width(), bar);
    controlBar_->setGeometry(0, height() - bar, width(), bar);
}

void PlayerView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

void PlayerView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int bar = BarHeight();
    painter.fillRect(QRect(0, bar, width(), height() - 2 * bar), BackgroundBrush());
    QWidget* playerWindow = player_ ? player_->Window() : nullptr;
    if (playerWindow != nullptr && playerWindow->isVisible() && !playerWindow->isWindow())
        DrawFrameAround(painter, playerWindow->geometry());
    if (playerAfterPaint_ && !playerMade_)
        QTimer::singleShot(0, this, &PlayerView::EnsurePlayer);
}

void PlayerView::SetPlaying(bool playing) {
    const bool changed = playing != playing_;
    playing_ = playing;
    controlBar_->setPlaying(playing);
    if (changed)
        emit shownChanged();
}

void PlayerView::SetStatus(const QString& text) {
    const bool changed = text != statusText_;
    statusText_ = text;
    titleBar_->setStatus(text);
    if (changed)
        emit statusShown(text);
}

void PlayerView::ShowCurrentChannelName() {
    const Catalogue* catalogue = TheCatalogue();
    const Channel* current = catalogue != nullptr ? catalogue->CurrentChannel() : nullptr;
    ShowName(current, current != nullptr ? QString::fromStdU16String(current->name) : QString());
}

void PlayerView::ShowName(const Channel* channel, const QString& name) {
    shownChannel_ = channel;
    titleBar_->setChannelName(name);
    emit shownChanged();
}

QString PlayerView::ShownName() const {
    return titleBar_->channelName();
}

}  // namespace lumora
