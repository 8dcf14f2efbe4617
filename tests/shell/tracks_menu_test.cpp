// The "Tracks" command of the main window over a fake player: greyed or
// "no other tracks" without a choice, the list by language name and codec,
// choosing applies and is remembered for the channel, the next play of the
// channel asks for it; the preferred languages in the settings.

#include <memory>

#include <QComboBox>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "catalogue/channel_state.h"
#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "document/doc_node.h"
#include "process_state.h"
#include "shell/app/app_startup.h"
#include "shell/app/commands.h"
#include "shell/dialogs/settings_dialog.h"
#include "shell/main_window/main_frame.h"
#include "shell/main_window/track_labels.h"
#include "shell/main_window/track_menu.h"
#include "shell_test_support.h"

namespace lumora {
namespace {

using test::FakeOutput;

MediaTrack Track(std::int64_t id, TrackKind kind, std::string language, std::string codec,
                 bool selected = false, std::string title = {}) {
    return {id,    kind,    std::move(language), std::move(title), std::move(codec), false,
            false, selected};
}

// English and German audio (the German one with a title), German subtitles.
std::vector<MediaTrack> BroadcastTracks() {
    return {Track(1, TrackKind::Audio, "eng", "aac", true),
            Track(2, TrackKind::Audio, "deu", "ac3", false, "Audiodeskription"),
            Track(1, TrackKind::Subtitle, "ger", "dvb_subtitle")};
}

class TracksMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetProcessState();
        SetBoolSetting(kAutoCU, false);
        test::LoadShippedInterface(96);
        const QString path = folders_.DataHome() + QStringLiteral("/Channels.lmch");
        ASSERT_TRUE(test::WriteCatalogue(path, "1.0",
                                         {{"de", "one", u"Eins", "n", {u"http://127.0.0.1:9/1"}},
                                          {"de", "two", u"Zwei", "n", {u"http://127.0.0.1:9/2"}}}));
        frame_ = std::make_unique<MainFrame>(app_, test::FakePlayerOptions(path, player_));
    }

    void TearDown() override {
        frame_.reset();
        app_.ReleaseCatalogue();
        test::ResetProcessState();
    }

    Channel* Play(std::string_view id) {
        Channel* channel = TheCatalogue()->FindChannel(id);
        frame_->View().OnMessage(UM_PLAY, channel);
        return channel;
    }

    // The entries of the open tracks popup: text, checked, or a section.
    QStringList Entries() {
        QStringList entries;
        for (const QAction* action : frame_->TracksPopup().actions()) {
            if (action->isSeparator())
                entries << "[" + action->text() + "]";
            else
                entries << action->text() + (action->isChecked() ? " *" : "");
        }
        return entries;
    }

    QAction* Entry(const QString& text) {
        for (QAction* action : frame_->TracksPopup().actions()) {
            if (action->text() == text)
                return action;
        }
        ADD_FAILURE() << "no entry " << text.toStdString();
        return nullptr;
    }

    test::IsolatedUserFolders folders_;
    // The program's state, which outlives the window.
    Application app_;
    std::unique_ptr<MainFrame> frame_;
    FakeOutput* player_ = nullptr;
};

TEST_F(TracksMenuTest, WithoutAChoiceTheEntryIsGreyedAndTheCommandSaysSo) {
    Play("de_one");
    EXPECT_FALSE(frame_->TracksEntry().isEnabled());
    player_->SetTracks({Track(1, TrackKind::Audio, "eng", "aac", true)});
    EXPECT_FALSE(frame_->TracksEntry().isEnabled());
    test::RecordedMessages messages;
    frame_->OnCommand(ID_TRACKS);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(messages.texts[0].toStdU16String(), LookupText("msg_no_other_tracks"));
    EXPECT_FALSE(frame_->TracksPopup().isVisible());

    // One subtitle track is a choice already.
    player_->SetTracks(
        {Track(1, TrackKind::Audio, "eng", "aac", true), Track(1, TrackKind::Subtitle, "", "")});
    EXPECT_TRUE(frame_->TracksEntry().isEnabled());
}

TEST_F(TracksMenuTest, ListsByLanguageAndCodecAndChoosingAppliesAndIsRemembered) {
    Channel* channel = Play("de_one");
    player_->SetTracks(BroadcastTracks());
    ASSERT_TRUE(frame_->TracksEntry().isEnabled());
    frame_->OnCommand(ID_TRACKS);
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame_->TracksPopup().isVisible(); }));
    EXPECT_EQ(Entries(),
              (QStringList{"[Audio]", "English (AAC) *", "German, Audiodeskription (AC-3)",
                           "[Subtitles]", "Off *", "German (DVB)"}));
    test::SaveScreenshot(frame_->TracksPopup(), "tracks_menu");

    Entry("German, Audiodeskription (AC-3)")->trigger();
    EXPECT_TRUE(player_->tracks[1].selected);
    EXPECT_FALSE(player_->tracks[0].selected);
    EXPECT_EQ(channel->trackChoice, "deu/");
    Entry("German (DVB)")->trigger();
    EXPECT_TRUE(player_->tracks[2].selected);
    EXPECT_EQ(channel->trackChoice, "deu/ger");
    frame_->TracksPopup().hide();

    // The list follows the player; "Off" turns the subtitles off again.
    frame_->OnCommand(ID_TRACKS);
    EXPECT_EQ(Entries()[2], "German, Audiodeskription (AC-3) *");
    Entry("Off")->trigger();
    EXPECT_FALSE(player_->tracks[2].selected);
    EXPECT_EQ(channel->trackChoice, "deu/-");
    frame_->TracksPopup().hide();

    // Another channel keeps nothing of it; this one asks for it when it
    // plays again, and the settings child carries it.
    Play("de_two");
    EXPECT_TRUE(player_->preferences.back().subtitle.languages.empty());
    EXPECT_FALSE(player_->preferences.back().subtitle.off);
    Play("de_one");
    const TrackPreference& asked = player_->preferences.back();
    ASSERT_FALSE(asked.audio.languages.empty());
    EXPECT_EQ(asked.audio.languages.front(), "deu");
    EXPECT_TRUE(asked.subtitle.off);
    DocNode channels("channels");
    TheCatalogue()->WriteChannelState(channels);
    EXPECT_EQ(channels.Child("de_one")->GetWString(kTrackChoiceAttribute), u"deu/-");
    EXPECT_TRUE(channels.Child("de_two")->Attributes().empty());
}

TEST_F(TracksMenuTest, LabelsNameLanguagesInTheInterfaceLanguage) {
    struct Row {
        const char16_t* interfaceLanguage;
        MediaTrack track;
        int position;
        QString label;
    };
    const std::vector<Row> rows = {
        {u"en", Track(1, TrackKind::Audio, "ger", "mp2"), 1, "German (MPEG audio)"},
        {u"de", Track(1, TrackKind::Audio, "ger", "mp2"), 1, "Deutsch (MPEG audio)"},
        {u"fr", Track(1, TrackKind::Audio, "eng", "eac3"), 1, "Anglais (E-AC-3)"},
        {u"de", Track(2, TrackKind::Subtitle, "fre", "dvb_teletext"), 2, "Französisch (Teletext)"},
        // A title that only repeats the language is left out.
        {u"en", Track(1, TrackKind::Audio, "eng", "aac", false, "English"), 1, "English (AAC)"},
        // Without a language, the track's number; an unknown code as is.
        {u"en", Track(3, TrackKind::Audio, "", "opus"), 3, "Track 3 (Opus)"},
        {u"en", Track(1, TrackKind::Audio, "und", "aac"), 1, "Track 1 (AAC)"},
        {u"en", Track(1, TrackKind::Audio, "qaa", "pcm_s16le"), 1, "qaa (PCM_S16LE)"},
    };
    for (const Row& row : rows) {
        SetStringSetting(kLanguage, row.interfaceLanguage);
        EXPECT_EQ(TrackLabel(row.track, row.position), row.label);
    }
}

TEST_F(TracksMenuTest, SettingsStoreThePreferredLanguagesAndKeepAnUnlistedOne) {
    SetStringSetting(kSubtitleLanguage, u"gsw");
    {
        SettingsDialog dialog(nullptr);
        QComboBox& audio = *dialog.AudioLanguageChooser();
        QComboBox& subtitles = *dialog.SubtitleLanguageChooser();
        EXPECT_EQ(audio.currentText().toStdU16String(), LookupText("str_language_auto"));
        EXPECT_EQ(subtitles.currentData().toString(), "gsw");
        const int german = audio.findData("de");
        ASSERT_GE(german, 0);
        EXPECT_EQ(audio.itemText(german), "German");
        audio.setCurrentIndex(german);
        dialog.DispatchCommand(ID_SOFTKEY_DONE);
    }
    EXPECT_EQ(FindStringSetting(kAudioLanguage), u"de");
    EXPECT_EQ(FindStringSetting(kSubtitleLanguage), u"gsw");
    // The next play asks for German audio, in every spelling, and no
    // longer for the interface language.
    Play("de_one");
    EXPECT_EQ(player_->preferences.back().audio.languages,
              (std::vector<std::string>{"de", "ger", "deu"}));
}

}  // namespace
}  // namespace lumora
