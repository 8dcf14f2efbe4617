// The command line: what it asks for, which playlist entry a playlist
// plays, what the launcher does with each kind of target, and an address
// handed from a second start to the running program.

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "document/memory_stream.h"
#include "net/update_logic.h"
#include "process_state.h"
#include "scratch_folder_qt.h"
#include "shell/app/app_startup.h"
#include "shell/app/data_folders.h"
#include "shell/app/shell_hooks.h"
#include "shell/desktop/address_launcher.h"
#include "shell/desktop/command_line.h"
#include "shell/dialogs/first_playlist_entry.h"
#include "shell/main_window/channel_title_bar.h"
#include "shell/main_window/main_frame.h"
#include "shell_test_support.h"

namespace lumora {
namespace {

using Action = CommandLineAction;

TEST(CommandLineTest, ArgumentsGiveOneRequest) {
    struct Case {
        std::vector<std::string> arguments;
        Action action;
        std::string target;
    };
    const Case cases[] = {
        {{}, Action::Start, ""},
        {{"http://tv.example/live.ts"}, Action::Start, "http://tv.example/live.ts"},
        {{"list.m3u"}, Action::Start, "list.m3u"},
        {{"--help"}, Action::ShowHelp, ""},
        {{"-h"}, Action::ShowHelp, ""},
        {{"http://a/b", "--version"}, Action::ShowVersion, ""},
        {{"--bogus"}, Action::Refuse, ""},
        {{"-x"}, Action::Refuse, ""},
        {{"--help=1"}, Action::Refuse, ""},
        {{"http://a/1", "http://a/2"}, Action::Refuse, ""},
        {{""}, Action::Refuse, ""},
        // Qt's own options are Qt's, with or without their value.
        {{"-platform", "offscreen", "http://a/b"}, Action::Start, "http://a/b"},
        {{"-style=fusion", "-reverse"}, Action::Start, ""},
        {{"-platform"}, Action::Refuse, ""},
        // After "--" everything is the target.
        {{"--", "-odd-name.m3u"}, Action::Start, "-odd-name.m3u"},
        {{"-"}, Action::Start, "-"},
    };
    for (const Case& c : cases) {
        const CommandLineRequest request = ParseCommandLine(c.arguments);
        const std::string shown = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(request.action, c.action) << shown;
        EXPECT_EQ(request.target, c.target) << shown;
        EXPECT_EQ(request.error.empty(), c.action != Action::Refuse) << shown;
    }
}

TEST(CommandLineTest, FilePathsBecomeAbsoluteAddressesStay) {
    EXPECT_EQ(LaunchTargetFromArgument("rtsp://cam/1"), QStringLiteral("rtsp://cam/1"));
    EXPECT_EQ(LaunchTargetFromArgument("list.m3u"),
              QDir::currentPath() + QStringLiteral("/list.m3u"));
    EXPECT_EQ(LaunchTargetFromArgument("/srv/a.m3u"), QStringLiteral("/srv/a.m3u"));
}

TEST(FirstPlaylistEntryTest, FirstEntryTheRuleAccepts) {
    struct Case {
        std::string playlist;
        std::optional<std::string> name;
        std::string address;
    };
    const Case cases[] = {
        {"#EXTM3U\n#EXTINF:-1 tvg-id=\"a\",One\nhttp://a/1.ts\n#EXTINF:-1,Two\nhttp://a/2.ts\n",
         "One", "http://a/1.ts"},
        {"\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:-1 group-title=\"x,y\",Comma, name\r\nhttp://a/1.ts\r\n",
         "Comma, name", "http://a/1.ts"},
        // Refused addresses are skipped, with their titles.
        {"#EXTINF:-1,Local\nfile:///etc/passwd\n#EXTINF:-1,Desc\nfd://0\n#EXTINF:-1,Net\n  "
         "rtmp://b/live  \n",
         "Net", "rtmp://b/live"},
        {"http://a/untitled.ts\n", "", "http://a/untitled.ts"},
        {"#EXTM3U\n#EXTINF:-1,Only local\n/home/me/video.mkv\n", std::nullopt, ""},
        {"", std::nullopt, ""},
        {"<html>not found</html>", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        const auto entry = FirstPlayableEntry(c.playlist);
        ASSERT_EQ(entry.has_value(), c.name.has_value()) << c.playlist;
        if (entry) {
            EXPECT_EQ(entry->name, *c.name);
            EXPECT_EQ(entry->address, c.address);
        }
    }
}

TEST(FirstPlaylistEntryTest, PlaylistEndingsAndHls) {
    for (const char* yes :
         {"a.m3u", "/x/A.M3U8", "http://h/p/list.m3u?token=1", "https://h/l.m3u8#top"})
        EXPECT_TRUE(HasPlaylistEnding(yes)) << yes;
    for (const char* no :
         {"a.ts", "http://h/list.m3u/", "http://h/x?f=a.m3u", "m3u", "http://h/a.mp4"})
        EXPECT_FALSE(HasPlaylistEnding(no)) << no;
    EXPECT_TRUE(IsHlsPlaylist("#EXTM3U\n#EXT-X-TARGETDURATION:6\n#EXTINF:6,\nseg1.ts\n"));
    EXPECT_FALSE(IsHlsPlaylist("#EXTM3U\n#EXTINF:-1,News\nhttp://a/1.ts\n"));
}

// Runs the launcher on one target and returns what it asked for:
// "play ADDRESS | NAME", followed by " | offer SOURCE" when the played
// entry came from a playlist, or "refuse TARGET | KEY".
std::string Launch(const QString& target, AddressLauncher::Fetch fetch = {}, int waitMs = 5000) {
    AddressLauncher launcher(std::move(fetch));
    std::string outcome;
    QObject::connect(&launcher, &AddressLauncher::playRequested,
                     [&](const QString& address, const QString& name) {
                         outcome = "play " + address.toStdString() + " | " + name.toStdString();
                     });
    QObject::connect(&launcher, &AddressLauncher::refused,
                     [&](const QString& what, const char* key) {
                         outcome = "refuse " + what.toStdString() + " | " + key;
                     });
    QObject::connect(&launcher, &AddressLauncher::playlistPlayed,
                     [&](const QString& source) { outcome += " | offer " + source.toStdString(); });
    launcher.Open(target);
    // An empty outcome after the wait is itself the answer "nothing happened".
    (void)QTest::qWaitFor([&] { return !outcome.empty(); }, waitMs);
    return outcome;
}

AddressLauncher::Fetch Serving(std::string body, std::vector<std::u16string>* asked = nullptr) {
    return [body, asked](const std::u16string& url) -> std::unique_ptr<MemoryStream> {
        if (asked != nullptr)
            asked->push_back(url);  // the test waits for the answer, so no race
        auto stream = std::make_unique<MemoryStream>();
        stream->Write(body.data(), std::uint32_t(body.size()));
        return stream;
    };
}

TEST(AddressLauncherTest, EachKindOfTarget) {
    test::ScratchFolder folder;
    const QString playlist = test::QtPath(folder, "channels.m3u");
    QFile file(playlist);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#EXTM3U\n#EXTINF:-1,Bad\nfile:///dev/zero\n#EXTINF:-1,Good\nhttp://a/good.ts\n");
    file.close();
    const QString media = test::QtPath(folder, "movie.mkv");
    QFile(media).open(QIODevice::WriteOnly);

    EXPECT_EQ(Launch(QStringLiteral("http://a/live.ts")),
              "play http://a/live.ts | http://a/live.ts");
    EXPECT_EQ(Launch(playlist), "play http://a/good.ts | Good | offer " + playlist.toStdString());
    // Local media, descriptors and filter graphs never reach the player.
    EXPECT_EQ(Launch(media), "refuse " + media.toStdString() + " | str_address_refused");
    EXPECT_EQ(Launch(QStringLiteral("file:///dev/zero")),
              "refuse file:///dev/zero | str_address_refused");
    EXPECT_EQ(Launch(QStringLiteral("fd://0")), "refuse fd://0 | str_address_refused");
    EXPECT_EQ(
        Launch(test::QtPath(folder, "missing.m3u")),
        "refuse " + test::QtPath(folder, "missing.m3u").toStdString() + " | str_address_refused");
    EXPECT_EQ(Launch(QString(), {}, 200), "");
}

TEST(AddressLauncherTest, PlaylistAddressesAreFetched) {
    std::vector<std::u16string> asked;
    EXPECT_EQ(Launch(QStringLiteral("http://h/list.m3u"),
                     Serving("#EXTINF:-1,First\nudp://239.0.0.1:1234\n", &asked)),
              "play udp://239.0.0.1:1234 | First | offer http://h/list.m3u");
    EXPECT_EQ(asked, std::vector<std::u16string>{u"http://h/list.m3u"});
    // An HLS playlist is one stream: it plays by its own address.
    EXPECT_EQ(Launch(QStringLiteral("https://h/live.m3u8"),
                     Serving("#EXTM3U\n#EXT-X-VERSION:3\n#EXTINF:6,\nfile:///etc/passwd\n")),
              "play https://h/live.m3u8 | https://h/live.m3u8");
    EXPECT_EQ(Launch(QStringLiteral("http://h/list.m3u"), Serving("#EXTINF:-1,X\nfile:///x\n")),
              "refuse http://h/list.m3u | str_playlist_unusable");
    EXPECT_EQ(Launch(QStringLiteral("http://h/list.m3u"),
                     [](const std::u16string&) { return std::unique_ptr<MemoryStream>(); }),
              "refuse http://h/list.m3u | str_playlist_unusable");
}

TEST(AddressLauncherTest, OnlyTheNewestRequestIsAnswered) {
    std::atomic<bool> release{false};
    AddressLauncher launcher([&](const std::u16string&) {
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return Serving("http://a/late.ts\n")(u"");
    });
    QStringList played;
    QObject::connect(&launcher, &AddressLauncher::playRequested,
                     [&](const QString& address, const QString&) { played << address; });
    launcher.Open(QStringLiteral("http://h/slow.m3u"));
    launcher.Open(QStringLiteral("http://a/now.ts"));
    release.store(true);
    QTest::qWait(300);
    EXPECT_EQ(played, QStringList{QStringLiteral("http://a/now.ts")});
}

// The running program is given an address by a second start: it plays it,
// shows it in the title bar, and the second start ends with 1.
TEST(CommandLineTest, SecondStartHandsItsAddressToTheRunningProgram) {
    test::IsolatedUserFolders folders;
    test::ResetProcessState();
    OverrideShippedDataFolder(test::BuildDir());
    LoadSettings((folders.UserFolder() + QStringLiteral("/Settings.cfg")).toStdU16String());
    SetBoolSetting(kAutoCU, false);
    TheShellHooks().firstRunDialog = [](QWidget*) { return true; };

    const QString handed = QStringLiteral("av://lavfi:testsrc2=size=160x120:rate=10");
    QString firstShown;
    QString handedShown;
    int secondExit = -1;
    std::unique_ptr<QProcess> second;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        MainFrame* frame = TheMainFrame();
        if (frame == nullptr || !frame->isVisible())
            return;
        const QString shown = frame->View().TitleBar()->channelName();
        if (!second) {
            firstShown = shown;
            second = std::make_unique<QProcess>();
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            second->setProcessEnvironment(environment);
            QObject::connect(second.get(), &QProcess::finished,
                             [&](int code) { secondExit = code; });
            second->start(test::BuildDir() + QStringLiteral("/lumora"), {handed});
        } else if (secondExit >= 0 && shown == handed && frame->View().Playing()) {
            handedShown = shown;
            frame->close();
        }
    });
    driver.start(20);
    QTimer::singleShot(20000, [] { QCoreApplication::exit(99); });

    EXPECT_EQ(RunLumora(*qApp, QStringLiteral("file:///etc/passwd")), kNormalExitCode);
    driver.stop();
    // The program's own target was refused and shown as such.
    EXPECT_EQ(firstShown, QStringLiteral("file:///etc/passwd"));
    EXPECT_EQ(secondExit, 1);
    EXPECT_EQ(handedShown, handed);

    OverrideShippedDataFolder({});
    test::ResetProcessState();
}

}  // namespace
}  // namespace lumora
