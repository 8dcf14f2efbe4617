// The program from start to exit, run in this process through its start-up
// function: a normal exit saves the settings the run read and returns 1, a
// second instance started meanwhile exits with 1 and brings this one to the
// front, and a cancelled first run ends with 0 without a main window.
// Termination signals end it the same way; damaged user files are kept
// aside; a failed save at exit is told on standard error.

#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "catalogue/channel_views.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "document/doc_node.h"
#include "net/update_logic.h"
#include "process_state.h"
#include "shell/app/app_startup.h"
#include "shell/app/catalogue_preload.h"
#include "shell/app/data_folders.h"
#include "shell/app/shell_hooks.h"
#include "shell/dialogs/loading_dialog.h"
#include "shell/dialogs/show_text_message.h"
#include "shell/main_window/main_frame.h"
#include "shell_test_support.h"

namespace lumora {
namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetProcessState();
        OverrideShippedDataFolder(test::BuildDir());
        settingsPath_ = folders_.UserFolder() + QStringLiteral("/Settings.cfg");
    }
    void TearDown() override {
        OverrideShippedDataFolder({});
        test::ResetProcessState();
    }

    // A settings file of an earlier run: no update check (nothing here may
    // reach a server), a volume of its own.
    void WriteEarlierSettings() {
        ResetSettings();
        LoadSettings(settingsPath_.toStdU16String());
        QDir().mkpath(folders_.UserFolder());
        SetBoolSetting(kAutoCU, false);
        SetIntSetting(kSoundVolume, 35);
        ASSERT_TRUE(SaveSettings());
        ResetSettings();
    }

    // The attributes of the node "options" of the saved settings file.
    std::map<std::string, std::string> SavedOptions() {
        DocNode root;
        std::map<std::string, std::string> options;
        if (!root.LoadFromFile(settingsPath_.toStdU16String()))
            return options;
        const DocNode* node = root.Child("options");
        if (node == nullptr)
            return options;
        for (const auto& attribute : node->Attributes()) {
            const std::string& name = attribute->Name();
            if (name == kFirstRun || name == kAutoCU)
                options[name] = node->GetBool(name, false) ? "true" : "false";
            else if (name == kSoundVolume)
                options[name] = std::to_string(node->GetInt(name, -1));
            else if (name == kLanguage)
                options[name] = QString::fromStdU16String(node->GetWString(name)).toStdString();
            else
                options[name] = "?";
        }
        return options;
    }

    test::IsolatedUserFolders folders_;
    Application app_;
    QString settingsPath_;
};

// Runs `step` every `periodMs` until it answers true or the returned timer
// is destroyed.
std::unique_ptr<QTimer> Repeat(int periodMs, std::function<bool()> step) {
    auto timer = std::make_unique<QTimer>();
    QTimer* raw = timer.get();
    QObject::connect(raw, &QTimer::timeout, raw, [raw, step] {
        if (step())
            raw->stop();
    });
    raw->start(periodMs);
    return timer;
}

TEST_F(StartupTest, NormalExitReturnsOneAndSavesWhatTheRunRead) {
    WriteEarlierSettings();
    int firstRuns = 0;
    TheShellHooks().firstRunDialog = [&](QWidget*) {
        ++firstRuns;
        return true;
    };
    // Nothing may keep the test waiting for ever.
    QTimer guardTimer;
    guardTimer.setSingleShot(true);
    QObject::connect(&guardTimer, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guardTimer.start(20000);

    // While the program runs: another window takes the front, a second
    // instance starts, and this one must come back to the front; then Ctrl+Q.
    auto other = std::make_unique<QWidget>();
    std::unique_ptr<QProcess> second;
    bool secondDone = false;
    int secondExit = -1;
    bool raised = false;
    const auto driver = Repeat(20, [&] {
        MainFrame* frame = TheMainFrame();
        if (frame == nullptr || !frame->isVisible())
            return false;
        if (!second) {
            other->show();
            other->activateWindow();
            if (!QTest::qWaitForWindowActive(other.get()))
                return false;
            second = std::make_unique<QProcess>();
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            second->setProcessEnvironment(environment);
            QObject::connect(second.get(), &QProcess::finished, qApp, [&](int code) {
                secondExit = code;
                secondDone = true;
            });
            second->start(test::BuildDir() + QStringLiteral("/lumora"), QStringList());
            return false;
        }
        if (!secondDone)
            return false;
        raised = QTest::qWaitForWindowActive(frame, 3000);
        QTest::keyClick(frame, Qt::Key_Q, Qt::ControlModifier);
        return true;
    });

    const int exitCode = RunLumora(*qApp, QString());
    EXPECT_EQ(exitCode, kNormalExitCode);
    EXPECT_EQ(firstRuns, 1);  // the earlier run had not set "first_run" yet
    EXPECT_TRUE(secondDone);
    EXPECT_EQ(secondExit, 1);
    EXPECT_TRUE(raised);

    const auto options = SavedOptions();
    EXPECT_EQ(options.at("first_run"), "false");
    EXPECT_EQ(options.at("AutoCU"), "false");
    EXPECT_EQ(options.at("sound_volume"), "35");
    EXPECT_EQ(options.at("Language"), "en");
    // The user got a catalogue of his own from the shipped default.
    EXPECT_TRUE(QFile::exists(folders_.UserFolder() + QStringLiteral("/Channels.lmch")));
    EXPECT_EQ(TheMainFrame(), nullptr);
}

TEST_F(StartupTest, FirstRunConfirmedIsRememberedAndCancelledEndsWithZero) {
    // The very first start, cancelled: code 0, no main window, no catalogue,
    // the settings saved with "first_run" still true.
    int mainWindows = 0;
    TheShellHooks().firstRunDialog = [&](QWidget*) {
        SetBoolSetting(kAutoCU, false);  // keep the later run off the network
        return false;
    };
    auto watcher = Repeat(20, [&] {
        if (TheMainFrame() != nullptr)
            ++mainWindows;
        return false;
    });
    EXPECT_EQ(RunLumora(*qApp, QString()), kFirstRunCancelledExitCode);
    watcher.reset();
    EXPECT_EQ(mainWindows, 0);
    EXPECT_FALSE(QFile::exists(folders_.UserFolder() + QStringLiteral("/Channels.lmch")));
    EXPECT_EQ(SavedOptions().at("first_run"), "true");

    // The next start asks again; confirmed, it is not asked any more.
    ResetSettings();
    int asked = 0;
    TheShellHooks().firstRunDialog = [&](QWidget*) {
        ++asked;
        return true;
    };
    const auto closer = Repeat(20, [&] {
        MainFrame* frame = TheMainFrame();
        if (frame == nullptr || !frame->isVisible())
            return false;
        frame->close();
        return true;
    });
    EXPECT_EQ(RunLumora(*qApp, QString()), kNormalExitCode);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(SavedOptions().at("first_run"), "false");
}

// Closes the main window once it is up, after `beforeClose`; returns the
// timer that does it.
std::unique_ptr<QTimer> CloseMainWindowWhenShown(std::function<void(MainFrame&)> beforeClose) {
    return Repeat(20, [beforeClose] {
        MainFrame* frame = TheMainFrame();
        if (frame == nullptr || !frame->isVisible())
            return false;
        beforeClose(*frame);
        return true;
    });
}

// What the process writes to standard error while it lives.
class CapturedStandardError {
public:
    CapturedStandardError() {
        file_.open();
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        ::dup2(file_.handle(), STDERR_FILENO);
    }
    ~CapturedStandardError() { Restore(); }
    QString Text() {
        Restore();
        file_.seek(0);
        return QString::fromLocal8Bit(file_.readAll());
    }

private:
    void Restore() {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }
    QTemporaryFile file_;
    int saved_ = -1;
};

TEST_F(StartupTest, TerminationSignalsEndTheRunAsCtrlQDoes) {
    TheShellHooks().firstRunDialog = [](QWidget*) { return true; };
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        WriteEarlierSettings();
        const auto sender = CloseMainWindowWhenShown([signalNumber](MainFrame&) {
            SetIntSetting("changed_this_session", signalNumber);
            std::raise(signalNumber);
        });
        EXPECT_EQ(RunLumora(*qApp, QString()), kNormalExitCode) << signalNumber;
        EXPECT_EQ(TheMainFrame(), nullptr);
        DocNode saved;
        ASSERT_TRUE(saved.LoadFromFile(settingsPath_.toStdU16String()));
        EXPECT_EQ(saved.Child("options")->GetInt("changed_this_session", 0), signalNumber);
        // The earlier reaction is back once the run is over.
        struct sigaction now {};
        ::sigaction(signalNumber, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_DFL) << signalNumber;
    }
}

TEST_F(StartupTest, ASignalDuringTheFirstRunDialogEndsWithoutAMainWindow) {
    TheShellHooks().firstRunDialog = [](QWidget*) {
        SetBoolSetting(kAutoCU, false);
        // A dialog's own event loop, as the real one runs.
        QEventLoop loop;
        QTimer::singleShot(0, [] { std::raise(SIGTERM); });
        QTimer::singleShot(20000, &loop, [&loop] { loop.exit(99); });
        return loop.exec() == 99;
    };
    int mainWindows = 0;
    auto watcher = Repeat(20, [&] {
        mainWindows += TheMainFrame() != nullptr;
        return false;
    });
    EXPECT_EQ(RunLumora(*qApp, QString()), kNormalExitCode);
    EXPECT_EQ(mainWindows, 0);
    EXPECT_EQ(SavedOptions().at("first_run"), "true");
}

// A catalogue of an earlier run's user with one entry the load complains
// about ("No url!").
void WriteCatalogueWithABadEntry(const QString& userFolder) {
    ASSERT_TRUE(test::WriteCatalogue(userFolder + QStringLiteral("/Channels.lmch"), "1.0",
                                     {{"de", "one", u"Eins", "n", {u"http://127.0.0.1:9/1.ts"}},
                                      {"de", "bad", u"Kaputt", "n", {}}}));
}

// A load started before the settings' channel state is read waits for it;
// taken before anyone gave it, it gets the settings' state as read by then.
TEST_F(StartupTest, ALoadStartedBeforeTheChannelStateGetsTheSettingsStateWhenTakenFirst) {
    QDir().mkpath(folders_.UserFolder());
    WriteCatalogueWithABadEntry(folders_.UserFolder());
    DocNode root("set");
    root.AddChild("channels")->AddChild("de_one")->SetBool("f", true);
    ASSERT_TRUE(root.SaveToFile(settingsPath_.toStdU16String()));
    ResetSettings();
    LoadSettingsOptions(settingsPath_.toStdU16String());

    std::atomic<bool> loaded = false;
    PreloadedCatalogue taken;
    {
        CataloguePreload preload;
        preload.StartBeforeState(
            (folders_.UserFolder() + QStringLiteral("/Channels.lmch")).toStdU16String(), 5,
            [&loaded] { loaded = true; });
        FinishLoadingSettings();
        taken = preload.Take();
    }
    EXPECT_TRUE(loaded);
    ASSERT_TRUE(taken.read);
    EXPECT_EQ(taken.messages.size(), 1u);  // the entry without a stream
    taken.catalogue->Publish();
    ASSERT_NE(taken.catalogue->FindChannel("de_one"), nullptr);
    EXPECT_TRUE(taken.catalogue->FindChannel("de_one")->favourite);
    taken.catalogue.reset();
    ResetSettings();
}

TEST_F(StartupTest, ASignalDuringAMessageAboutTheCatalogueEndsTheStartAndSaves) {
    WriteEarlierSettings();
    LoadSettings(settingsPath_.toStdU16String());
    SetBoolSetting(kFirstRun, false);
    ASSERT_TRUE(SaveSettings());
    ResetSettings();
    WriteCatalogueWithABadEntry(folders_.UserFolder());
    // The box runs its own event loop, as a real one does; only the signal
    // may end it.
    bool endedBySignal = false;
    SetMessagePresenter([&](QWidget*, const QString&, const QString&, int) {
        SetIntSetting("changed_this_session", 7);
        QEventLoop loop;
        QTimer::singleShot(0, [] { std::raise(SIGTERM); });
        QTimer::singleShot(10000, &loop, [&loop] { loop.exit(99); });
        endedBySignal = loop.exec() != 99;
        return kMessageResultOk;
    });
    bool windowShown = false;
    auto watcher = Repeat(20, [&] {
        windowShown = windowShown || (TheMainFrame() != nullptr && TheMainFrame()->isVisible());
        return false;
    });
    EXPECT_EQ(RunLumora(*qApp, QString()), kNormalExitCode);
    SetMessagePresenter({});
    EXPECT_TRUE(endedBySignal);
    EXPECT_FALSE(windowShown);
    DocNode saved;
    ASSERT_TRUE(saved.LoadFromFile(settingsPath_.toStdU16String()));
    EXPECT_EQ(saved.Child("options")->GetInt("changed_this_session", 0), 7);
}

TEST_F(StartupTest, CatalogueMessagesComeOverTheSplashAndTheWindowOpensWithItsChannel) {
    WriteEarlierSettings();
    LoadSettings(settingsPath_.toStdU16String());
    SetBoolSetting(kFirstRun, false);
    SetStringSetting(kCurChannel, u"de_one");
    ASSERT_TRUE(SaveSettings());
    ResetSettings();
    WriteCatalogueWithABadEntry(folders_.UserFolder());
    struct Moment {
        bool overTheSplash = false;
        bool windowShown = false;
    };
    std::vector<Moment> messages;
    SetMessagePresenter([&](QWidget* owner, const QString&, const QString&, int) {
        LoadingDialog* splash = TheLoadingDialog();
        messages.push_back({splash != nullptr && owner == splash && splash->isVisible(),
                            TheMainFrame() != nullptr && TheMainFrame()->isVisible()});
        return kMessageResultOk;
    });
    QString nameWhenShown;
    bool splashOnTop = true;
    const auto closer = CloseMainWindowWhenShown([&](MainFrame& frame) {
        nameWhenShown = frame.View().ShownName();
        splashOnTop = TheLoadingDialog() != nullptr &&
                      TheLoadingDialog()->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        frame.close();
    });
    EXPECT_EQ(RunLumora(*qApp, QString()), kNormalExitCode);
    SetMessagePresenter({});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].overTheSplash);
    EXPECT_FALSE(messages[0].windowShown);
    EXPECT_EQ(nameWhenShown, QStringLiteral("Eins"));
    EXPECT_FALSE(splashOnTop);
}

TEST_F(StartupTest, DamagedUserFilesAreKeptAsBadAndTheShippedCatalogueReturns) {
    QDir().mkpath(folders_.UserFolder());
    const QString user = folders_.UserFolder() + QLatin1Char('/');
    for (const char* name :
         {"Settings.cfg", "Channels.lmch", "Settings.cfg.tmp", "Channels.lmch.tmp"}) {
        QFile file(user + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("damaged ") + name);
    }
    TheShellHooks().firstRunDialog = [](QWidget*) {
        SetBoolSetting(kAutoCU, false);
        return true;
    };
    bool strayGone = false;
    std::size_t channels = 0;
    const auto closer = CloseMainWindowWhenShown([&](MainFrame& frame) {
        strayGone = !QFile::exists(user + QStringLiteral("Settings.cfg.tmp")) &&
                    !QFile::exists(user + QStringLiteral("Channels.lmch.tmp"));
        channels = AllChannels().size();
        frame.close();
    });
    EXPECT_EQ(RunLumora(*qApp, QString()), kNormalExitCode);

    auto contents = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    EXPECT_TRUE(strayGone);
    EXPECT_EQ(contents(user + QStringLiteral("Settings.cfg.bad")), "damaged Settings.cfg");
    EXPECT_EQ(contents(user + QStringLiteral("Channels.lmch.bad")), "damaged Channels.lmch");
    EXPECT_EQ(contents(user + QStringLiteral("Channels.lmch")),
              contents(test::BuildDir() + QStringLiteral("/Channels.lmch")));
    EXPECT_GT(channels, 0u);
    EXPECT_EQ(SavedOptions().at("first_run"), "false");
}

TEST_F(StartupTest, AfterTheFirstStartADamagedCatalogueIsSetAsideAndTheFavouritesStay) {
    // An earlier run marked the shipped catalogue's first channel.
    WriteEarlierSettings();
    LoadSettings(settingsPath_.toStdU16String());
    SetBoolSetting(kFirstRun, false);
    const QString shipped = test::BuildDir() + QStringLiteral("/Channels.lmch");
    app_.LoadCatalogue(shipped.toStdU16String());
    ASSERT_FALSE(AllChannels().empty());
    const std::string favourite = AllChannels().front()->id;
    AddFavourite(*AllChannels().front());
    ASSERT_TRUE(SaveSettings());
    app_.ReleaseCatalogue();
    ResetSettings();
    const QString user = folders_.UserFolder() + QStringLiteral("/Channels.lmch");
    QFile damaged(user);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("damaged");
    damaged.close();

    // Closed as soon as it is shown: the catalogue may still be loading.
    const auto closer = CloseMainWindowWhenShown([](MainFrame& frame) { frame.close(); });
    EXPECT_EQ(RunLumora(*qApp, QString()), kNormalExitCode);

    QFile bad(user + QStringLiteral(".bad"));
    ASSERT_TRUE(bad.open(QIODevice::ReadOnly));
    EXPECT_EQ(bad.readAll(), "damaged");
    DocNode saved;
    ASSERT_TRUE(saved.LoadFromFile(settingsPath_.toStdU16String()));
    const DocNode* channels = saved.Child("channels");
    ASSERT_NE(channels, nullptr);
    ASSERT_NE(channels->Child(favourite), nullptr);
    EXPECT_TRUE(channels->Child(favourite)->GetBool("f", false));
}

TEST_F(StartupTest, ASaveThatFailsAtExitSaysWhyOnStandardError) {
    WriteEarlierSettings();
    TheShellHooks().firstRunDialog = [](QWidget*) { return true; };
    // A folder in the way of the temporary file makes the save fail.
    QDir().mkpath(folders_.UserFolder() + QStringLiteral("/Settings.cfg.tmp/inside"));
    const auto closer = CloseMainWindowWhenShown([](MainFrame& frame) { frame.close(); });
    CapturedStandardError captured;
    EXPECT_EQ(RunLumora(*qApp, QString()), kNormalExitCode);
    const QString said = captured.Text();
    EXPECT_TRUE(said.contains(settingsPath_)) << said.toStdString();
    EXPECT_TRUE(said.contains(QString::fromLocal8Bit(std::strerror(EISDIR)))) << said.toStdString();
}

}  // namespace
}  // namespace lumora
