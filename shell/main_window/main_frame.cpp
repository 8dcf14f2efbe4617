#include "shell/main_window/main_frame.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include "catalogue/catalogue.h"
#include "catalogue/languages.h"
#include "catalogue/text_format.h"
#include "net/catalogue_update.h"
#include "net/fetch_url.h"
#include "playlist/provider_account.h"
#include "resources/resources.h"
#include "shell/app/app_startup.h"
#include "shell/app/commands.h"
#include "shell/app/data_folders.h"
#include "shell/app/interface_collation.h"
#include "shell/app/localise.h"
#include "shell/app/shell_hooks.h"
#include "shell/desktop/single_instance.h"
#include "shell/dialogs/dialog_frame.h"
#include "shell/dialogs/recordings_dialog.h"
#include "shell/dialogs/show_text_message.h"
#include "shell/main_window/channel_title_bar.h"
#include "shell/main_window/focus_return.h"
#include "shell/main_window/playback_control.h"
#include "shell/widgets/soft_key_bar.h"

namespace lumora {
namespace {

MainFrame* mainFrame = nullptr;

// The question whether a played playlist becomes the channel source; "%s"
// is the playlist.
constexpr char kUsePlaylistKey[] = "msg_use_playlist";

}  // namespace

MainFrame* TheMainFrame() {
    return mainFrame;
}

MainFrame::MainFrame(Application& application, PlayerViewOptions options)
    : application_(application) {
    mainFrame = this;
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The class name is the first title; the localised one follows at once.
    setWindowTitle(QString::fromLatin1(kClassName));
    const QString title = QString::fromStdU16String(AppTitle());
    if (!title.isEmpty())
        setWindowTitle(title);

    menu_ = new QMenu(this);
    softKeys_ = new SoftKeyBar(this);
    BuildMenu();
    connect(softKeys_, &SoftKeyBar::commandTriggered, this, &MainFrame::OnCommand);

    // The catalogue first: its messages come while the splash is up, and
    // the window opens with the current channel.
    application_.LoadWindowCatalogue(options.cataloguePath);
    view_ = new PlayerView(this, std::move(options));
    // The automatic update check ("AutoCU"), which compares versions with
    // the catalogue's.
    StartUpdateCheckAtStart(application_.SharedUpdates(), FetchForUpdates(), TransferForUpdates(),
                            AccountPasswordForUpdates());
    connect(view_, &PlayerView::ticked, this, &MainFrame::OnViewTick);
    tracksMenu_ = new TrackMenu(*view_, this);
    connect(view_, &PlayerView::tracksChanged, this, &MainFrame::UpdateTracksEntry);
    UpdateTracksEntry();
    setFocusProxy(view_);

    programmes_ = new ProgrammeGuide({}, this);
    recording_ = new RecordingControl(UserDataPath(QStringLiteral("Recordings.lmrc")), this);
    SetTheRecordings(recording_);
    reminders_ = new ReminderNotifier(QDBusConnection::sessionBus(), this);
    connect(recording_, &RecordingControl::reminderDue, this,
            [this](const QString& id, const QString& name, const QString& title, qint64) {
                ShowReminder(id, name, title);
            });
    connect(reminders_, &ReminderNotifier::watchRequested, this, &MainFrame::WatchReminded);
    connect(reminders_, &ReminderNotifier::unavailable, view_, &PlayerView::ShowNotice);
    connect(recording_, &RecordingControl::ended, this,
            [this](bool failed, const QString&) { RecordingEnded(failed); });
    SetTheProgrammeGuide(programmes_);
    programmeTitle_ = new ProgrammeTitle(*view_, *programmes_, this);
    guide_ = new GuideUpdater(this);
    connect(guide_, &GuideUpdater::progressed, this, &MainFrame::ShowGuideProgress);
    connect(guide_, &GuideUpdater::finished, this, &MainFrame::GuideUpdateEnded);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(view_, 1);
    layout->addWidget(softKeys_);
    softKeys_->setFixedHeight(BarHeight());

    auto* exit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    exit->setContext(Qt::WindowShortcut);
    connect(exit, &QShortcut::activated, this, [this] { OnCommand(ID_APP_EXIT); });
    AddZapKeys();
    AddGuideKeys();
    AddPlaybackKeys();

    // Without a window manager nobody else places the window or gives the
    // keyboard back after a dialog.
    PlaceOnScreen();
    new FocusReturn(this);
}

void MainFrame::PlaceOnScreen() {
    QRect area(QPoint(0, 0), HandheldWindowSize());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        area.moveCenter(screen->availableGeometry().center());
    setGeometry(area);
}

MainFrame::~MainFrame() {
    // Before the view it watches.
    delete programmeTitle_;
    programmeTitle_ = nullptr;
    if (mainFrame == this)
        mainFrame = nullptr;
    if (TheRecordings() == recording_)
        SetTheRecordings(nullptr);
}

void MainFrame::BuildMenu() {
    SoftKeyBar::AddMenuCommand(*menu_, Text("menu_fullscreen"), ID_FULLSCREEN);
    SoftKeyBar::AddMenuCommand(*menu_, Text("menu_settings"), ID_SETTINGS);
    SoftKeyBar::AddMenuCommand(*menu_, Text("menu_channel_update"), ID_CHANNEL_UPDATE);
    SoftKeyBar::AddMenuCommand(*menu_, Text("menu_update_guide"), ID_GUIDE_UPDATE);
    // The grid's key is shown beside it (AddGuideKeys).
    SoftKeyBar::AddMenuCommand(*menu_, Text("menu_guide") + QStringLiteral("\tG"), ID_GUIDE);
    // Shown with the state they would change (UpdatePlaybackMenu).
    pauseAction_ = SoftKeyBar::AddMenuCommand(*menu_, Text("menu_pause"), ID_PAUSE);
    liveAction_ =
        SoftKeyBar::AddMenuCommand(*menu_, Text("menu_live") + QStringLiteral("\tL"), ID_LIVE);
    fromStartAction_ =
        SoftKeyBar::AddMenuCommand(*menu_, Text("menu_watch_from_start"), ID_FROM_START);
    connect(menu_, &QMenu::aboutToShow, this, &MainFrame::UpdatePlaybackMenu);
    tracksEntry_ = SoftKeyBar::AddMenuCommand(*menu_, Text("menu_tracks"), ID_TRACKS);
    recordAction_ =
        SoftKeyBar::AddMenuCommand(*menu_, Text("menu_record") + QStringLiteral("\tR"), ID_RECORD);
    SoftKeyBar::AddMenuCommand(*menu_, Text("menu_recordings"), ID_RECORDINGS);
    menu_->addSeparator();
    SoftKeyBar::AddMenuCommand(*menu_, Text("menu_about"), ID_APP_ABOUT);
    menu_->addSeparator();
    SoftKeyBar::AddMenuCommand(*menu_, Text("menu_exit"), ID_APP_EXIT);
    softKeys_->SetKey(SoftKey::Left, Text("menu_channels"), ID_CHANNELS);
    softKeys_->SetKeyMenu(SoftKey::Right, Text("menu_menu"), menu_);
}

void MainFrame::OnCommand(int command) {
    switch (command) {
    case ID_CHANNELS: RunChannelList(); break;
    case ID_GUIDE: RunGuide(); break;
    case ID_PAUSE: view_->Playback().TogglePause(); break;
    case ID_LIVE: view_->Playback().GoLive(); break;
    case ID_REWIND: view_->Playback().Step(-1); break;
    case ID_FORWARD: view_->Playback().Step(1); break;
    case ID_FROM_START: WatchFromStart(); break;
    case ID_TRACKS: RunTracks(); break;
    case ID_RECORD: ToggleRecording(); break;
    case ID_RECORDINGS: {
        RecordingsDialog dialog(QApplication::activeWindow(), *recording_);
        dialog.exec();
        repaint();
        if (const auto& chosen = dialog.ChosenRecording())
            view_->PlayRecording(chosen->file, chosen->name, chosen->growth);
        break;
    }
    case ID_FULLSCREEN: view_->OnMessage(UM_FULLSCREEN); break;
    case ID_CHANNEL_UPDATE: RunUpdate(); break;
    case ID_GUIDE_UPDATE:
        guideAskedByUser_ = true;
        UpdateGuide(GuideUpdater::When::Now);
        break;
    case ID_SETTINGS: RunSettingsDialog(QApplication::activeWindow()); break;
    case ID_APP_ABOUT: RunAboutDialog(QApplication::activeWindow()); break;
    case ID_APP_EXIT:
        // Posted, as the close message is: the command's caller returns first.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        break;
    default: break;
    }
}

void MainFrame::OnViewTick() {
    // The splash ends first: the update below opens dialogs it would hide.
    if (view_->TickCount() == PlayerView::kTimerPeriodMs)
        EndLoadingDialog();
    // A newer catalogue found by the check at start is offered once, when no
    // dialog is open.
    const bool active = QApplication::activeWindow() == this;
    if (ShouldStartAutomaticUpdate(Updates(), active))
        OnCommand(ID_CHANNEL_UPDATE);
    // An account that refused at start keeps the catalogue and says why.
    if (const std::string_view refusal = TakeAccountRefusalAtStart(Updates(), active);
        !refusal.empty()) {
        QMetaObject::invokeMethod(
            this, [this, refusal] { ShowTextMessage(this, refusal, kMessageStyleOk); },
            Qt::QueuedConnection);
    }
}

void MainFrame::RunChannelList() {
    const ChannelChoice choice = RunChannelListDialog(QApplication::activeWindow(), zapOrder_);
    repaint();
    if (choice.playRequested && choice.channel != nullptr)
        view_->OnMessage(UM_PLAY, choice.channel);
}

void MainFrame::RunGuide() {
    const ChannelChoice choice = RunGuideGridDialog(QApplication::activeWindow(), zapOrder_);
    repaint();
    if (!choice.playRequested || choice.channel == nullptr)
        return;
    if (choice.archived)
        view_->PlayArchived(choice.channel, *choice.archived);
    else
        view_->OnMessage(UM_PLAY, choice.channel);
}

void MainFrame::RunTracks() {
    if (!tracksMenu_->Rebuild()) {
        ShowTextMessage(this, "msg_no_other_tracks", kMessageStyleOk);
        return;
    }
    // Above the soft keys, right-aligned as the menu it was chosen from.
    const QRect key = softKeys_->KeyRect(SoftKey::Right);
    const QSize size = tracksMenu_->sizeHint();
    tracksMenu_->popup(softKeys_->mapToGlobal(
        QPoint(std::max(0, key.right() + 1 - size.width()), -size.height())));
}

void MainFrame::UpdateTracksEntry() {
    tracksEntry_->setEnabled(tracksMenu_->HasChoice());
}

void MainFrame::AddGuideKeys() {
    // G, and the guide key of remote controls.
    for (const int key : {int(Qt::Key_G), int(Qt::Key_Guide)}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] { OnCommand(ID_GUIDE); });
    }
}

void MainFrame::AddPlaybackKeys() {
    // Left and Right move within the buffer while the position bar has the
    // focus (it takes it when the picture is paused); these work from
    // anywhere in the window, remote controls' media keys among them.
    struct PlaybackKey {
        QKeySequence key;
        int command;
    };
    const PlaybackKey keys[] = {
        {QKeySequence(Qt::Key_P), ID_PAUSE},
        {QKeySequence(Qt::Key_MediaPause), ID_PAUSE},
        {QKeySequence(Qt::Key_MediaTogglePlayPause), ID_PAUSE},
        {QKeySequence(Qt::Key_Pause), ID_PAUSE},
        {QKeySequence(Qt::Key_L), ID_LIVE},
        {QKeySequence(Qt::Key_R), ID_RECORD},
        {QKeySequence(Qt::Key_MediaRecord), ID_RECORD},
        {QKeySequence(Qt::SHIFT | Qt::Key_Left), ID_REWIND},
        {QKeySequence(Qt::Key_AudioRewind), ID_REWIND},
        {QKeySequence(Qt::SHIFT | Qt::Key_Right), ID_FORWARD},
        {QKeySequence(Qt::Key_AudioForward), ID_FORWARD},
    };
    for (const PlaybackKey& entry : keys) {
        auto* shortcut = new QShortcut(entry.key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this,
                [this, command = entry.command] { OnCommand(command); });
    }
}

void MainFrame::UpdatePlaybackMenu() {
    const PlaybackControl& playback = view_->Playback();
    pauseAction_->setText(Text(playback.Paused() ? "menu_resume" : "menu_pause") +
                          QStringLiteral("\tP"));
    pauseAction_->setEnabled(playback.CanPause());
    liveAction_->setEnabled(playback.CanGoLive());
    fromStartAction_->setEnabled(ProgrammeFromStart().has_value());
    const Channel* shown = view_->ShownChannel();
    const bool recording = shown != nullptr && recording_->Recording(shown->id);
    recordAction_->setText(Text(recording ? "menu_stop_recording" : "menu_record") +
                           QStringLiteral("\tR"));
    recordAction_->setEnabled(shown != nullptr);
}

void MainFrame::ToggleRecording() {
    const Channel* channel = view_->ShownChannel();
    if (channel == nullptr)
        return;
    if (recording_->Recording(channel->id)) {
        recording_->Stop(channel->id);
        return;
    }
    std::optional<ProgrammeSummary> programme = programmes_->On(channel->id, ProgrammeGuide::Now());
    switch (recording_->Start(*channel, programme)) {
    case RecordingControl::StartResult::Started: break;
    case RecordingControl::StartResult::TooMany:
        ShowTextMessage(this, "msg_recording_too_many", kMessageStyleOk);
        break;
    default: ShowTextMessage(this, "msg_recording_cannot_start", kMessageStyleOk); break;
    }
}

void MainFrame::ShowReminder(const QString& channelId, const QString& channelName,
                             const QString& title) {
    const std::u16string name = channelName.toStdU16String();
    const std::u16string body = FormatText(Text("str_reminder_body").toStdU16String(), {name});
    reminders_->Notify(channelId, title.isEmpty() ? channelName : title,
                       QString::fromStdU16String(body));
}

void MainFrame::WatchReminded(const QString& channelId) {
    Catalogue* catalogue = TheCatalogue();
    if (Channel* channel =
            catalogue != nullptr ? catalogue->FindChannel(channelId.toStdString()) : nullptr) {
        view_->OnMessage(UM_PLAY, channel);
        raise();
        activateWindow();
    }
}

void MainFrame::RecordingEnded(bool failed) {
    if (failed)
        ShowTextMessage(this, "msg_recording_failed", kMessageStyleOk);
}

std::optional<ProgrammeSummary> MainFrame::ProgrammeFromStart() const {
    const Channel* channel = view_->ShownChannel();
    if (channel == nullptr)
        return std::nullopt;
    const std::int64_t now = ProgrammeGuide::Now();
    std::optional<ProgrammeSummary> programme = programmes_->On(channel->id, now);
    if (!programme || !programmes_->InArchive(channel->id, *programme, now))
        return std::nullopt;
    return programme;
}

void MainFrame::WatchFromStart() {
    const std::optional<ProgrammeSummary> programme = ProgrammeFromStart();
    if (programme && TheCatalogue() != nullptr)
        view_->PlayArchived(TheCatalogue()->FindChannel(view_->ShownChannel()->id), *programme);
}

void MainFrame::RunUpdate() {
    UpdateUi ui;
    ui.runDialog = [](const std::shared_ptr<UpdateRun>& run) {
        RunUpdateDialog(QApplication::activeWindow(), run);
    };
    ui.stopPlayback = [this] { view_->OnMessage(UM_STOP); };
    ui.reloadCatalogue = [this] {
        application_.ReloadCatalogue();
        view_->OnCatalogueReloaded();
        // Which channels keep an archive is the new catalogue's.
        programmes_->Reopen();
        // New channels are matched, a new playlist's guides read.
        UpdateGuide(GuideUpdater::When::Stale);
    };
    ui.showMessage = [this](std::string_view key) { ShowTextMessage(this, key); };
    RunCatalogueUpdate(
        CurrentUpdateSource(FetchForUpdates(), TransferForUpdates(), AccountPasswordForUpdates()),
        application_.SharedUpdates(), ui);
}

void MainFrame::UpdateGuide(GuideUpdater::When when) {
    if (guide_->Start(when)) {
        view_->TitleBar()->setNote(Text("str_guide_updating"));
        return;
    }
    if (guide_->Running() && (!guideAgain_ || when == GuideUpdater::When::Now))
        guideAgain_ = when;
}

void MainFrame::ShowGuideProgress(quint64 bytes) {
    constexpr quint64 kMegabyte = 1024 * 1024;
    view_->TitleBar()->setNote(Text("str_guide_updating") +
                               QStringLiteral(" %1 MB").arg((bytes + kMegabyte / 2) / kMegabyte));
}

void MainFrame::GuideUpdateEnded(GuideUpdater::Outcome outcome, const QString& message) {
    view_->TitleBar()->setNote({});
    if (outcome == GuideUpdater::Outcome::Updated)
        programmes_->Reopen();
    const bool failed =
        outcome == GuideUpdater::Outcome::Failed || outcome == GuideUpdater::Outcome::NoGuide;
    if (outcome == GuideUpdater::Outcome::Failed)
        // An account's guide address carries its password.
        std::fprintf(stderr, "lumora: the guide was not updated: %s\n",
                     MaskPasswordParameters(message.toStdString()).c_str());
    if (failed && guideAskedByUser_ && !guideAgain_)
        ShowTextMessage(this, "msg_guide_failed");
    if (!guideAgain_)
        guideAskedByUser_ = false;
    if (const std::optional<GuideUpdater::When> again = std::exchange(guideAgain_, std::nullopt))
        UpdateGuide(*again);
}

void MainFrame::AddZapKeys() {
    // Shortcuts rather than key handlers: they reach the window whichever
    // control has the focus, but for the volume slider, which keeps all of
    // its keys while it has the focus (Channel Up/Down and Back/Forward
    // still zap from it).
    struct ZapKey {
        int key;
        ZapDirection direction;
    };
    const ZapKey keys[] = {
        {Qt::Key_Up, ZapDirection::Previous},          {Qt::Key_Down, ZapDirection::Next},
        {Qt::Key_PageUp, ZapDirection::Previous},      {Qt::Key_PageDown, ZapDirection::Next},
        {Qt::Key_Back, ZapDirection::Previous},        {Qt::Key_Forward, ZapDirection::Next},
        {Qt::Key_ChannelDown, ZapDirection::Previous}, {Qt::Key_ChannelUp, ZapDirection::Next},
    };
    for (const ZapKey& zap : keys) {
        auto* shortcut = new QShortcut(QKeySequence(zap.key), this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(true);
        connect(shortcut, &QShortcut::activated, this,
                [this, direction = zap.direction] { Zap(direction); });
    }
}

bool MainFrame::Zap(ZapDirection direction) {
    const Catalogue* catalogue = TheCatalogue();
    const Channel* current = catalogue != nullptr ? catalogue->CurrentChannel() : nullptr;
    Channel* next = zapOrder_.Neighbour(current, direction, InterfaceCollation());
    if (next == nullptr)
        return false;
    view_->OnMessage(UM_PLAY, next);
    return true;
}

void MainFrame::OfferChannelSource(const QString& playlist) {
    const std::u16string source = playlist.toStdU16String();
    if (source.empty() || UpdateServer() == source)
        return;
    const QString question =
        QString::fromStdU16String(FormatText(LookupText(kUsePlaylistKey), {source}));
    if (ShowPlainMessage(this, question, QString::fromStdU16String(AppTitle()),
                         kMessageStyleYesNo) != kMessageResultYes)
        return;
    if (SetUpdateServer(source, Updates()))
        OnCommand(ID_CHANNEL_UPDATE);
}

void MainFrame::BringToFront() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void MainFrame::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!fitted_) {
        fitted_ = true;
        // The window system tells the frame's size only once it shows the
        // window (a Wayland compositor's decorations, a window manager's).
        QTimer::singleShot(0, this, &MainFrame::FitIntoScreen);
    }
}

void MainFrame::FitIntoScreen() {
    const QScreen* screen = this->screen();
    if (screen == nullptr || isFullScreen())
        return;
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    const QSize limit = (screen->availableGeometry().size() - frameExtra).expandedTo(QSize(1, 1));
    if (width() > limit.width() || height() > limit.height())
        resize(size().boundedTo(limit));
}

void MainFrame::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closed();
}

}  // namespace lumora
