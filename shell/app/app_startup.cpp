#include "shell/app/app_startup.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QScreen>
#include <QStringList>

#include "catalogue/catalogue.h"
#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "catalogue/text_format.h"
#include "document/damaged_file.h"
#include "net/account_password.h"
#include "net/fetch_url.h"
#include "player/mpv_library.h"
#include "resources/resources.h"
#include "shell/app/commands.h"
#include "shell/app/data_folders.h"
#include "shell/app/qt_translations.h"
#include "shell/app/shell_hooks.h"
#include "shell/desktop/accessible_widgets.h"
#include "shell/desktop/address_launcher.h"
#include "shell/desktop/command_line.h"
#include "shell/desktop/mpris_service.h"
#include "shell/desktop/single_instance.h"
#include "shell/desktop/termination_signals.h"
#include "shell/dialogs/loading_dialog.h"
#include "shell/dialogs/show_text_message.h"
#include "shell/main_window/main_frame.h"
#include "shell/main_window/player_view.h"

namespace lumora {
namespace {

// The splash gets at most this long to appear before the main window is
// built; start-up goes on as soon as it has been painted.
constexpr int kSplashHeadStartMs = 300;

std::u16string Path(const QString& path) {
    return path.toStdU16String();
}

// Saves the settings; a failure is told on standard error with its reason,
// since the program is ending and no window is left to tell it in.
void SaveSettingsOrSayWhy(const QString& path) {
    errno = 0;
    if (SaveSettings())
        return;
    const int cause = errno;
    std::u16string format = LookupText("str_save_failed");
    if (format.empty())
        format = u"The settings could not be saved to %s: %s";
    const std::u16string reason =
        cause != 0 ? QString::fromLocal8Bit(std::strerror(cause)).toStdU16String() : u"?";
    const std::u16string text = FormatText(format, {path.toStdU16String(), reason});
    std::fprintf(stderr, "lumora: %s\n", QString::fromStdU16String(text).toLocal8Bit().constData());
}

// A termination signal ends the program as Ctrl+Q does, whatever is open at
// that moment: every event loop that runs (the main window's, a dialog's or
// message box's, the splash's head start) is left, a loop that starts later
// returns at once, and start-up goes no further.
void EndOnSignal(bool& terminated) {
    terminated = true;
    QCoreApplication::exit(kNormalExitCode);
}

void BringRunningWindowToFront() {
    if (MainFrame* frame = TheMainFrame()) {
        frame->BringToFront();
    } else if (QWidget* dialog = QApplication::activeModalWidget()) {
        // The first-run dialog is still open.
        dialog->raise();
        dialog->activateWindow();
    }
}

// A playlist named on the command line is fetched with tighter limits than
// a catalogue: it is small, and the user is waiting.
AddressLauncher::Fetch FetchForLauncher() {
    return [](const std::u16string& url) {
        FetchOptions options;
        options.connectTimeout = std::chrono::milliseconds(10000);
        options.stallTimeout = std::chrono::seconds(15);
        options.maxBodyBytes = kMaxLaunchPlaylistBytes;
        return FetchUrl(kUpdateAgent, url, options);
    };
}

void ConnectLauncher(AddressLauncher& launcher, MainFrame& frame) {
    PlayerView& view = frame.View();
    QObject::connect(&launcher, &AddressLauncher::playRequested, &view, &PlayerView::PlayAddress);
    // Asked once the stream has been started and the window painted.
    QObject::connect(&launcher, &AddressLauncher::playlistPlayed, &frame,
                     &MainFrame::OfferChannelSource, Qt::QueuedConnection);
    QObject::connect(&launcher, &AddressLauncher::refused, &view,
                     [&view](const QString& target, const char* textKey) {
                         view.ShowRefusedTarget(target,
                                                QString::fromStdU16String(LookupText(textKey)));
                     });
}

}  // namespace

void LoadInterfaceResourcesForScreen(const std::u16string& resourcesPath,
                                     const std::u16string& splashPath) {
    int logicalDpiY = 96;
    qreal ratio = 1.0;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        logicalDpiY = qRound(screen->logicalDotsPerInchY());
        ratio = screen->devicePixelRatio();
    }
    LoadInterfaceResources(resourcesPath, splashPath, logicalDpiY, ratio);
}

FetchFunction FetchForUpdates() {
    return [](const std::u16string& url) { return FetchUrl(url); };
}

TransferFunction TransferForUpdates() {
    return [](const TransferRequest& request) {
        FetchOptions options;
        if (request.kind == TransferKind::Marker)
            options.totalTimeout = kMarkerTotalTimeout;
        return FetchUrlReply(kUpdateAgent, request.url, request.conditions, options);
    };
}

AccountPasswordReader AccountPasswordForUpdates() {
    return [folder = UserDataFolder().toStdString()](const ProviderAccount& account) {
        return LoadAccountPasswordQueued(account.server, account.user, folder).password;
    };
}

int RunProgram(int argc, char* argv[]) {
    // The command line is read before the window system is touched, so that
    // --help and --version work without a display.
    const CommandLineRequest request =
        ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (request.action != CommandLineAction::Start) {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("lumora"));
        return AnswerCommandLine(request);
    }
    // First of all: the dynamic loader's work on libmpv and its libraries
    // overlaps everything up to the creation of the player.
    MpvLibrary::StartLoading();
    QApplication application(argc, argv);
    // QApplication sets the user's locale; mpv refuses to start under a
    // LC_NUMERIC other than "C".
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("lumora"));
    QApplication::setDesktopFileName(QStringLiteral("lumora"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("lumora")));
    InstallAccessibleWidgets();

    const int exitCode = RunLumora(application, LaunchTargetFromArgument(request.target));
    // A start that ends before it made a player (a hand-over to the running
    // program, a cancelled first run) still has libmpv loading.
    MpvLibrary::FinishLoading();
    return exitCode;
}

int RunLumora(QApplication& application, const QString& launchTarget) {
    SingleInstanceGuard guard;
    if (const int guarded = guard.Acquire(launchTarget); guarded < 0 || guarded == kGuardHandedOver)
        return guarded;
    // What to play once the main window exists: this start's target, or the
    // one a later start handed over while the first-run dialog was open.
    AddressLauncher launcher(FetchForLauncher());
    QString pendingTarget = launchTarget;
    QObject::connect(&guard, &SingleInstanceGuard::activationRequested, &application,
                     [&launcher, &pendingTarget](const QString& target) {
                         BringRunningWindowToFront();
                         if (TheMainFrame() != nullptr)
                             launcher.Open(target);
                         else if (!target.isEmpty())
                             pendingTarget = target;
                     });
    bool terminated = false;
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &application,
                     [&terminated] { EndOnSignal(terminated); });
    // Only this instance saves into the user's folder, so what an earlier
    // save left behind half-written is nobody's.
    RemoveStraySaveFiles();
    // The program ends when its main window closes, with the window's code,
    // not when the last dialog before it closes.
    application.setQuitOnLastWindowClosed(false);

    const QString settingsPath = UserDataPath(QString::fromLatin1(kSettingsFileName));
    // The settings and the language pack load in two steps around the start
    // of the catalogue's load, which reads its file meanwhile and builds
    // once it has the channel state and the texts.
    LoadSettingsOptions(Path(settingsPath));
    // The catalogue loads while the rest is made. A first start, whose
    // dialog may change the language, loads it with the window instead.
    // The program's state that outlives the main window.
    Application program;
    CataloguePreload& cataloguePreload = program.Preload();
    if (!GetBoolSetting(kFirstRun, true)) {
        // The main window waits for the catalogue, and the player for
        // libmpv only once the window is on screen: libmpv's loader waits
        // while the catalogue loads, so a large one is not slowed by it.
        MpvLibrary::HoldLoading();
        cataloguePreload.StartBeforeState(Path(PrepareUserCatalogue()), kMaxCatalogueMessageBoxes,
                                          [] { MpvLibrary::ReleaseLoading(); });
    }
    FinishLoadingSettings();
    LoadLanguages(Path(ShippedDataPath(QString::fromLatin1(kLanguagesFileName))));
    cataloguePreload.GiveState(SavedChannelStates());
    LoadInterfaceResourcesForScreen(Path(ShippedDataPath(QString::fromLatin1(kResourcesFileName))),
                                    Path(ShippedDataPath(QString::fromLatin1(kSplashFileName))));
    program.ShowCatalogueMessages();
    InstallQtTranslations(LanguageCode(CurrentLanguage()));

    int exitCode = kFirstRunCancelledExitCode;
    bool startMainWindow = true;
    if (GetBoolSetting(kFirstRun, true)) {
        if (RunFirstRunDialog(QApplication::activeWindow())) {
            SetBoolSetting(kFirstRun, false);
            InstallQtTranslations(LanguageCode(CurrentLanguage()));
        } else {
            startMainWindow = false;  // "first_run" stays, so the dialog comes again
        }
    }
    if (startMainWindow && !terminated) {
        if (StartLoadingDialog())
            // The splash is a window of the UI thread: it paints while
            // events are served, so start-up serves them until it has.
            WaitForLoadingDialogPainted(kSplashHeadStartMs);
    }
    if (startMainWindow && !terminated) {
        // The window is gone before the settings are saved; the catalogue it
        // made lives on until after the save.
        MainFrame frame(program);
        // The message loop ends with 1 when the main window is closed.
        QObject::connect(&frame, &MainFrame::closed, &application,
                         [] { QCoreApplication::exit(kNormalExitCode); });
        // A signal while the window was built (during a message about the
        // catalogue) leaves it unshown.
        if (!terminated) {
            frame.BringToFront();
            KeepLoadingDialogInLine();
            ConnectLauncher(launcher, frame);
            // Media keys and desktop controls, where there is a session bus.
            MprisService mpris(frame, &launcher);
            launcher.Open(pendingTarget);
            // The guide is read from its store; a stale one is renewed
            // in the background.
            frame.UpdateGuide(GuideUpdater::When::Stale);
            exitCode = application.exec();
        }
    }
    if (terminated)
        exitCode = kNormalExitCode;
    // A splash the main window never ended.
    EndLoadingDialog();

    // The favourite marks the settings keep come from the catalogue.
    if (cataloguePreload.Pending())
        program.AdoptPreloadedCatalogue(cataloguePreload.Take(), false);
    SaveSettingsOrSayWhy(settingsPath);
    program.ReleaseCatalogue();
    ReleaseInterfaceResources();
    ReleaseLanguages();
    return exitCode;
}

}  // namespace lumora
