// Finding and switching channels: the search in the channel list, zapping
// in the main window, choosing a channel's stream from the row menu, and
// choosers in the order of the interface language.

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "document/doc_node.h"
#include "net/update_logic.h"
#include "player/media_player_host.h"
#include "player/player_texts.h"
#include "player/video_widget.h"
#include "player_test_support.h"
#include "process_state.h"
#include "resources/resources.h"
#include "shell/app/app_startup.h"
#include "shell/app/commands.h"
#include "shell/app/interface_collation.h"
#include "shell/app/localise.h"
#include "shell/app/shell_hooks.h"
#include "shell/dialogs/channel_list_dialog.h"
#include "shell/dialogs/channel_list_model.h"
#include "shell/dialogs/channel_list_view.h"
#include "shell/dialogs/settings_dialog.h"
#include "shell/main_window/channel_title_bar.h"
#include "shell/main_window/control_bar.h"
#include "shell/main_window/main_frame.h"
#include "shell/widgets/volume_slider.h"
#include "shell_test_support.h"

namespace lumora {
namespace {

using test::FakeOutput;
using test::TestChannel;

QStringList Names(const ChannelListView& list) {
    QStringList names;
    for (int row = 0; row < list.RowCount(); ++row)
        names << list.model()->index(row, 0).data().toString();
    return names;
}

class ChannelSwitchingTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetProcessState();
        SetBoolSetting(kAutoCU, false);
        test::LoadShippedInterface(96);
    }

    void TearDown() override {
        frame_.reset();
        app_.ReleaseCatalogue();
        test::ResetProcessState();
    }

    // Germany sorts as Café Eins, München TV, Zwei.
    MainFrame& MakeFrame() {
        const QString path = folders_.DataHome() + QStringLiteral("/Channels.lmch");
        const std::vector<TestChannel> channels = {
            {"de", "zwei", u"Zwei", "sp", {u"http://127.0.0.1:9/zwei.ts"}},
            {"de",
             "cafe",
             u"Café Eins",
             "n",
             {u"http://cdn.example.net/eins.ts", u"http://backup.example.org:8080/eins-hd.ts"}},
            {"de", "muenchen", u"München TV", "n", {u"http://127.0.0.1:9/m.ts"}},
            {"fr", "trois", u"Trois", "n", {u"http://127.0.0.1:9/trois.ts"}}};
        EXPECT_TRUE(test::WriteCatalogue(path, "1.0", channels));
        frame_ = std::make_unique<MainFrame>(app_, test::FakePlayerOptions(path, player_));
        frame_->resize(360, 640);
        return *frame_;
    }

    static Channel* Find(std::string_view id) { return TheCatalogue()->FindChannel(id); }

    static void ShowActive(QWidget& window) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    test::IsolatedUserFolders folders_;
    ZapOrder zapOrder_;
    // The program's state, which outlives the window.
    Application app_;
    std::unique_ptr<MainFrame> frame_;
    FakeOutput* player_ = nullptr;
};

TEST_F(ChannelSwitchingTest, TypingInTheListSearchesAndReturnPlaysTheMatch) {
    MakeFrame();
    ChannelListDialog dialog(nullptr, zapOrder_);
    ShowActive(dialog);
    ChannelListView& list = *dialog.ChannelList();
    ASSERT_TRUE(list.hasFocus());
    // Without a search the lists keep their places under the choosers and
    // under the tab strip; a search moves them one bar down.
    const int bar = BarHeight();
    const int margin = BarMargin();
    auto listTops = [&] {
        return std::pair(list.geometry().top(), dialog.FavouritesList()->geometry().top());
    };
    EXPECT_FALSE(dialog.SearchField()->isVisible());
    EXPECT_EQ(listTops(), std::pair(margin + 3 * bar, margin + bar));

    // Type-to-search: the characters land in the search field.
    QTest::keyClicks(&list, QStringLiteral("munchen"));
    EXPECT_EQ(dialog.SearchField()->text(), QStringLiteral("munchen"));
    EXPECT_TRUE(dialog.SearchField()->hasFocus());
    EXPECT_TRUE(dialog.SearchField()->isVisible());
    EXPECT_EQ(listTops(), std::pair(margin + 4 * bar, margin + 2 * bar));
    EXPECT_EQ(Names(list), QStringList({"München TV"}));
    EXPECT_EQ(list.SelectedRow(), 0);
    EXPECT_EQ(dialog.TabCaption(ChannelTab::Channels),
              Text("tab_channels") + " (4)");  // the whole list's count

    // Esc ends the search first; the channel found stays selected.
    QTest::keyClick(dialog.SearchField(), Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.SearchField()->text().isEmpty());
    EXPECT_FALSE(dialog.SearchField()->isVisible());
    EXPECT_EQ(listTops(), std::pair(margin + 3 * bar, margin + bar));
    EXPECT_TRUE(list.hasFocus());
    // Ctrl+F opens an empty search; Esc ends it without closing.
    QTest::keyClick(&list, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(dialog.SearchField()->hasFocus());
    QTest::keyClick(dialog.SearchField(), Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.SearchOpen());
    EXPECT_EQ(list.RowCount(), 4);
    EXPECT_EQ(list.SelectedChannel(), Find("de_muenchen"));

    // Down in the search field moves in the list; Return plays.
    QTest::keyClicks(&list, QStringLiteral("EI"));
    EXPECT_EQ(Names(list), QStringList({"Café Eins", "Zwei"}));
    QTest::keyClick(dialog.SearchField(), Qt::Key_Down);
    EXPECT_EQ(list.SelectedChannel(), Find("de_zwei"));
    QTest::keyClick(dialog.SearchField(), Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_TRUE(dialog.PlayRequested());
    frame_->View().OnMessage(UM_PLAY, dialog.ChosenChannel());
    EXPECT_EQ(player_->played.back(), u"http://127.0.0.1:9/zwei.ts");

    // The next opening starts without a search, on the channel played.
    ChannelListDialog next(nullptr, zapOrder_);
    ShowActive(next);
    EXPECT_TRUE(next.SearchField()->text().isEmpty());
    EXPECT_EQ(next.ChannelList()->SelectedChannel(), Find("de_zwei"));
    // With the search empty, Esc closes.
    QTest::keyClick(next.ChannelList(), Qt::Key_Escape);
    EXPECT_FALSE(next.isVisible());
    EXPECT_EQ(next.result(), kDialogResultCancel);
}

TEST_F(ChannelSwitchingTest, ZappingStepsThroughTheListLastChosenAndWraps) {
    MainFrame& frame = MakeFrame();
    {
        ChannelListDialog dialog(nullptr, frame.Zapping());
        dialog.CountryChooser()->setCurrentIndex(dialog.CountryChooser()->findText(Text("c_de")));
        dialog.DispatchCommand(ChannelListDialog::kCloseCommand);
    }
    ShowActive(frame);
    frame.View().OnMessage(UM_PLAY, Find("de_zwei"));

    struct ZapStep {
        Qt::Key key;
        const char* expected;
    };
    const ZapStep steps[] = {{Qt::Key_Down, "de_cafe"},      {Qt::Key_Up, "de_zwei"},
                             {Qt::Key_Up, "de_muenchen"},    {Qt::Key_PageDown, "de_zwei"},
                             {Qt::Key_Forward, "de_cafe"},   {Qt::Key_Back, "de_zwei"},
                             {Qt::Key_ChannelUp, "de_cafe"}, {Qt::Key_PageUp, "de_zwei"}};
    for (const ZapStep& step : steps) {
        // Media keys have no ASCII text; QTest::keyClick would refuse them.
        QTest::sendKeyEvent(QTest::Click, &frame, step.key, char(0), Qt::NoModifier);
        ASSERT_EQ(TheCatalogue()->CurrentChannel(), Find(step.expected)) << step.expected;
        EXPECT_EQ(frame.View().TitleBar()->channelName(),
                  QString::fromStdU16String(Find(step.expected)->name));
    }
    EXPECT_EQ(player_->played.back(), u"http://127.0.0.1:9/zwei.ts");

    // The focused volume slider keeps every key of its own; the channel keys
    // still zap from it.
    VolumeSlider* slider = frame.View().Controls()->volumeSlider();
    slider->setFocus(Qt::TabFocusReason);
    slider->setValue(50);
    struct SliderStep {
        Qt::Key key;
        int volume;
    };
    const SliderStep sliderSteps[] = {
        {Qt::Key_PageUp, 70}, {Qt::Key_PageDown, 50}, {Qt::Key_Up, 55},   {Qt::Key_Down, 50},
        {Qt::Key_Left, 45},   {Qt::Key_Right, 50},    {Qt::Key_End, 100}, {Qt::Key_Home, 0}};
    for (const SliderStep& step : sliderSteps) {
        QTest::sendKeyEvent(QTest::Click, slider, step.key, char(0), Qt::NoModifier);
        EXPECT_EQ(slider->value(), step.volume) << step.key;
        EXPECT_EQ(TheCatalogue()->CurrentChannel(), Find("de_zwei")) << step.key;
    }
    QTest::sendKeyEvent(QTest::Click, slider, Qt::Key_ChannelUp, char(0), Qt::NoModifier);
    EXPECT_EQ(TheCatalogue()->CurrentChannel(), Find("de_cafe"));
    EXPECT_EQ(slider->value(), 0);

    // An empty list (the favourites tab without favourites) plays nothing.
    SetIntSetting(kSelTab, SettingOfChannelTab(ChannelTab::Favourites));
    const std::size_t played = player_->played.size();
    EXPECT_FALSE(frame.Zap(ZapDirection::Next));
    EXPECT_EQ(player_->played.size(), played);
}

TEST_F(ChannelSwitchingTest, StreamChosenFromTheRowMenuPlaysAndIsSaved) {
    const QString settingsPath = folders_.DataHome() + QStringLiteral("/Settings.cfg");
    LoadSettings(settingsPath.toStdU16String());
    SetBoolSetting(kAutoCU, false);
    MakeFrame();
    ChannelListDialog dialog(nullptr, zapOrder_);
    ShowActive(dialog);
    ChannelListView& list = *dialog.ChannelList();

    // One stream: no streams entry.
    list.SelectRow(list.Model().RowOf(Find("de_muenchen")));
    QMenu* menu = list.MenuForSelection();
    ASSERT_NE(menu, nullptr);
    auto streamsEntry = [&menu] {
        const QList<QAction*> actions = menu->actions();
        auto found = std::find_if(actions.begin(), actions.end(),
                                  [](QAction* a) { return a->menu() != nullptr; });
        return found == actions.end() ? nullptr : *found;
    };
    EXPECT_EQ(streamsEntry(), nullptr);
    EXPECT_EQ(menu->actions().size(), 5);  // play, add, the guide, two separators

    // Two streams: numbered, with bit rate and host, the chosen one checked.
    list.SelectRow(list.Model().RowOf(Find("de_cafe")));
    menu = list.MenuForSelection();
    ASSERT_NE(streamsEntry(), nullptr);
    EXPECT_EQ(streamsEntry()->text(), Text("menu_streams"));
    EXPECT_EQ(menu->actions().indexOf(streamsEntry()), 1);  // right after "menu_play"
    const QList<QAction*> streams = streamsEntry()->menu()->actions();
    ASSERT_EQ(streams.size(), 2);
    EXPECT_EQ(streams[0]->text(), QStringLiteral("1: 500") + Text("str_kb") +
                                      QStringLiteral(" \u00B7 cdn.example.net"));
    EXPECT_EQ(streams[1]->text(), QStringLiteral("2: 500") + Text("str_kb") +
                                      QStringLiteral(" \u00B7 backup.example.org"));
    EXPECT_TRUE(streams[0]->isChecked());
    EXPECT_FALSE(streams[1]->isChecked());

    streams[1]->trigger();
    ASSERT_TRUE(dialog.PlayRequested());
    EXPECT_EQ(dialog.ChosenChannel(), Find("de_cafe"));
    frame_->View().OnMessage(UM_PLAY, dialog.ChosenChannel());
    EXPECT_EQ(player_->played.back(), u"http://backup.example.org:8080/eins-hd.ts");

    // Saved as "cu" of the channel; the first stream is not written.
    ASSERT_TRUE(SaveSettings());
    DocNode saved;
    ASSERT_TRUE(saved.LoadFromFile(settingsPath.toStdU16String()));
    const DocNode* channels = std::as_const(saved).Child("channels");
    ASSERT_NE(channels, nullptr);
    EXPECT_EQ(channels->Child("de_cafe")->GetInt("cu", 0), 1);
    EXPECT_EQ(channels->Child("de_muenchen")->FindAttribute("cu"), nullptr);
}

TEST_F(ChannelSwitchingTest, ChoosersSortAsTheReaderOfTheLanguageExpects) {
    struct CollationCase {
        const char* language;
        std::vector<std::u16string> expected;
    };
    const CollationCase cases[] = {
        {"de", {u"Afghanistan", u"Ägypten", u"albanien", u"Zypern"}},
        {"fr", {u"Espagne", u"Estonie", u"États-Unis", u"Éthiopie", u"zambie"}},
        {"pl", {u"Litwa", u"luksemburg", u"Łotwa", u"Zimbabwe"}},
        {"el", {u"άλφα", u"Βήτα", u"γάμμα", u"Ωμέγα"}},
    };
    for (const CollationCase& row : cases) {
        std::vector<std::u16string> texts = row.expected;
        std::reverse(texts.begin(), texts.end());
        std::sort(texts.begin(), texts.end(), CollationOf(QString::fromLatin1(row.language)));
        EXPECT_EQ(texts, row.expected) << row.language;
    }

    // The country chooser in the interface language, German here.
    SelectLanguage(FindLanguage(u"de"));
    const QString path = folders_.DataHome() + QStringLiteral("/Channels.lmch");
    std::vector<TestChannel> channels;
    for (const char* code : {"zw", "eg", "cy", "al", "af"})
        channels.push_back({code, "x", u"X", "n", {u"http://127.0.0.1:9/x.ts"}});
    ASSERT_TRUE(test::WriteCatalogue(path, "1.0", channels));
    app_.LoadCatalogue(path.toStdU16String());
    ChannelListDialog dialog(nullptr, zapOrder_);
    QStringList entries;
    for (int i = 1; i < dialog.CountryChooser()->count(); ++i)
        entries << dialog.CountryChooser()->itemText(i);
    EXPECT_EQ(entries, QStringList({"Afghanistan", "Ägypten", "Albanien", "Simbabwe", "Zypern"}));
}

// ------------------------------------------------------------------ fallback

TEST_F(ChannelSwitchingTest, SettingsOfferTheFallbackOnByDefault) {
    for (const bool confirm : {false, true}) {
        SettingsDialog dialog(nullptr);
        EXPECT_EQ(dialog.FallbackCheck()->text(), Text("check_fallback"));
        EXPECT_TRUE(dialog.FallbackCheck()->isChecked());
        dialog.FallbackCheck()->setChecked(false);
        dialog.DispatchCommand(confirm ? ID_SOFTKEY_DONE : ID_SOFTKEY_CANCEL);
        EXPECT_EQ(GetBoolSetting(kAutoFallback, true), !confirm);
    }
}

// A channel whose streams are a refused port, a missing file (404) and, when
// asked, a working TS, all on loopback, played by the real player.
class StreamFallbackTest : public ChannelSwitchingTest {
protected:
    MediaPlayerHost* PlayChannel(bool withWorkingStream) {
        std::vector<std::u16string> addresses = {
            u"http://127.0.0.1:" + QString::number(test::UnusedPort()).toStdU16String() +
                u"/live.ts",
            server_.Url(QStringLiteral("missing.ts"))};
        if (withWorkingStream)
            addresses.push_back(server_.Url(QStringLiteral("stream.ts")));
        MediaPlayerHost* host = MakeRealFrame({{"de", "three", u"Drei", "n", addresses}});
        if (host == nullptr)
            return nullptr;
        QObject::connect(&frame_->View(), &PlayerView::statusShown,
                         [this](const QString& text) { statuses_ << text; });
        frame_->View().OnMessage(UM_PLAY, Find("de_three"));
        return host;
    }

    // The main window over a catalogue of these channels with the program's
    // own player; null when mpv cannot start here.
    MediaPlayerHost* MakeRealFrame(const std::vector<test::TestChannel>& channels) {
        const QString path = folders_.DataHome() + QStringLiteral("/Channels.lmch");
        EXPECT_TRUE(test::WriteCatalogue(path, "1.0", channels));
        PlayerViewOptions options;
        options.cataloguePath = path.toStdU16String();
        frame_ = std::make_unique<MainFrame>(app_, std::move(options));
        frame_->resize(360, 640);
        frame_->show();
        frame_->View().EnsurePlayer();
        auto* host = dynamic_cast<MediaPlayerHost*>(frame_->View().Player());
        return host != nullptr && host->Ready() ? host : nullptr;
    }

    // The status line settled: the button offers play again, or a picture.
    bool Settled(MediaPlayerHost& host) {
        return QTest::qWaitFor(
            [&] { return !frame_->View().Playing() || host.Video()->FramesRendered() > 2; }, 30000);
    }

    test::StreamServer server_;
    QStringList statuses_;
};

TEST_F(StreamFallbackTest, ADeadStreamFallsOverToTheNextWorkingOne) {
    MediaPlayerHost* host = PlayChannel(true);
    if (host == nullptr)
        GTEST_SKIP() << "mpv could not start here";
    ASSERT_TRUE(Settled(*host));
    EXPECT_TRUE(frame_->View().Playing());
    EXPECT_GT(host->Video()->FramesRendered(), 2);
    const int second = statuses_.indexOf(QStringLiteral("Trying stream 2 of 3..."));
    const int third = statuses_.indexOf(QStringLiteral("Trying stream 3 of 3..."));
    EXPECT_GE(second, 0) << statuses_.join(" | ").toStdString();
    EXPECT_GT(third, second);
    EXPECT_GT(statuses_.indexOf(QStringLiteral("Playing")), third);
    // The stream that plays is not made the channel's choice.
    EXPECT_EQ(Find("de_three")->streamIndex, 0);
    frame_->View().OnMessage(UM_STOP);
}

// The second stream is served only to its own user agent: the fallback
// sends it, as the first choice would.
TEST_F(StreamFallbackTest, AFallbackStreamKeepsItsUserAgent) {
    test::StreamServer picky({QStringLiteral("--require-agent"), QStringLiteral("PickyBox/2.1")});
    const std::u16string dead =
        u"http://127.0.0.1:" + QString::number(test::UnusedPort()).toStdU16String() + u"/live.ts";
    MediaPlayerHost* host = MakeRealFrame({{"de",
                                            "four",
                                            u"Vier",
                                            "n",
                                            {dead, picky.Url(QStringLiteral("stream.ts"))},
                                            {u"", u"PickyBox/2.1"}}});
    if (host == nullptr)
        GTEST_SKIP() << "mpv could not start here";
    frame_->View().OnMessage(UM_PLAY, Find("de_four"));
    ASSERT_TRUE(Settled(*host));
    EXPECT_TRUE(frame_->View().Playing()) << frame_->View().StatusText().toStdString();
    EXPECT_GT(host->Video()->FramesRendered(), 2);
    frame_->View().OnMessage(UM_STOP);
}

TEST_F(StreamFallbackTest, WhenAllFailTheFirstFailureShowsAndOffTriesNothing) {
    MediaPlayerHost* host = PlayChannel(false);
    if (host == nullptr)
        GTEST_SKIP() << "mpv could not start here";
    ASSERT_TRUE(Settled(*host));
    EXPECT_FALSE(frame_->View().Playing());
    EXPECT_TRUE(statuses_.contains(QStringLiteral("Trying stream 2 of 2...")));
    EXPECT_EQ(frame_->View().StatusText(),
              QString::fromStdU16String(Localised(kTextCannotConnect)));

    // Switched off: the first failure ends the request, as without fallback.
    SetBoolSetting(kAutoFallback, false);
    statuses_.clear();
    frame_->View().OnMessage(UM_PLAY, Find("de_three"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame_->View().Playing(); }, 30000));
    QTest::qWait(500);
    EXPECT_EQ(frame_->View().StatusText(),
              QString::fromStdU16String(Localised(kTextCannotConnect)));
    EXPECT_FALSE(statuses_.join(" ").contains(QStringLiteral("Trying")));
    EXPECT_FALSE(frame_->View().Playing());
}

}  // namespace
}  // namespace lumora
