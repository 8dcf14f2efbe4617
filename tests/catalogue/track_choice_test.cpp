#include "catalogue/track_choice.h"

#include <gtest/gtest.h>

#include <map>

#include "catalogue/channel_state.h"
#include "document/doc_node.h"
#include "document/doc_view.h"
#include "document/memory_stream.h"

namespace lumora {
namespace {

// The spellings the player adapter gives, for the languages of the cases.
std::vector<std::string> Spell(std::string_view tag) {
    static const std::map<std::string, std::vector<std::string>, std::less<>> known = {
        {"de", {"de", "ger", "deu"}}, {"deu", {"deu", "de", "ger"}}, {"ger", {"ger", "de", "deu"}},
        {"en", {"en", "eng"}},        {"eng", {"eng", "en"}},        {"fr", {"fr", "fre", "fra"}},
    };
    auto found = known.find(tag);
    return found != known.end() ? found->second : std::vector<std::string>{std::string(tag)};
}

MediaTrack Audio(std::int64_t id, std::string language, bool isDefault = false) {
    return {id, TrackKind::Audio, std::move(language), {}, "aac", isDefault, false, false};
}
MediaTrack Sub(std::int64_t id, std::string language, bool isDefault = false) {
    return {id,   TrackKind::Subtitle, std::move(language), {}, "dvb_subtitle", isDefault, false,
            false};
}

struct ResolveRow {
    const char* name;
    std::vector<MediaTrack> tracks;
    std::string remembered;  // EncodeTrackChoice's text
    std::string audioSetting;
    std::string subtitleSetting;
    std::string interfaceLanguage;
    std::optional<std::int64_t> audio;
    std::optional<std::int64_t> subtitle;
};

void PrintTo(const ResolveRow& row, std::ostream* out) {
    *out << row.name;
}

class TrackResolution : public ::testing::TestWithParam<ResolveRow> {};

TEST_P(TrackResolution, PicksTheRememberedThenThePreferredThenTheStreamsOwn) {
    const ResolveRow& row = GetParam();
    const std::optional<TrackChoice> remembered = DecodeTrackChoice(row.remembered);
    ASSERT_TRUE(remembered.has_value());
    const TrackPreference preference = MakeTrackPreference(
        *remembered, row.audioSetting, row.subtitleSetting, row.interfaceLanguage, Spell);
    EXPECT_EQ(ResolveTrack(row.tracks, TrackKind::Audio, preference), row.audio);
    EXPECT_EQ(ResolveTrack(row.tracks, TrackKind::Subtitle, preference), row.subtitle);
}

const std::vector<MediaTrack> kEnglishGerman = {Audio(1, "eng"), Audio(2, "ger"), Sub(1, "deu"),
                                                Sub(2, "eng")};
const std::vector<MediaTrack> kFrenchFirstDefault = {Audio(1, "fre"), Audio(2, "eng", true)};

INSTANTIATE_TEST_SUITE_P(
    Rows, TrackResolution,
    ::testing::Values(
        // Nothing chosen, nothing set: the interface language, subtitles off.
        ResolveRow{"interface_language", kEnglishGerman, "", "", "", "de", 2, std::nullopt},
        ResolveRow{"interface_language_in_another_spelling", kEnglishGerman, "", "", "", "en", 1,
                   std::nullopt},
        // The stream lacks the interface language: its default, then its first.
        ResolveRow{"stream_default", kFrenchFirstDefault, "", "", "", "de", 2, std::nullopt},
        ResolveRow{
            "stream_first", {Audio(1, "fre"), Audio(2, "ita")}, "", "", "", "de", 1, std::nullopt},
        // The settings outweigh the interface language.
        ResolveRow{"preferred_audio", kEnglishGerman, "", "de", "", "en", 2, std::nullopt},
        ResolveRow{"preferred_subtitles", kEnglishGerman, "", "", "en", "en", 1, 2},
        // The remembered choice outweighs both; a language spelt otherwise
        // in the stream still matches.
        ResolveRow{"remembered_language", kEnglishGerman, "deu/", "en", "", "en", 2, std::nullopt},
        ResolveRow{"remembered_position", kEnglishGerman, "#2/", "en", "", "en", 2, std::nullopt},
        ResolveRow{"remembered_subtitles", kEnglishGerman, "/ger", "", "en", "en", 1, 1},
        ResolveRow{"remembered_off", kEnglishGerman, "/-", "", "en", "de", 2, std::nullopt},
        ResolveRow{"remembered_subtitle_position", kEnglishGerman, "/#2", "", "", "en", 1, 2},
        // A remembered language or position the stream lacks falls through.
        ResolveRow{"remembered_language_missing", kEnglishGerman, "fra/", "", "", "de", 2,
                   std::nullopt},
        ResolveRow{"remembered_position_missing", kEnglishGerman, "#5/#9", "", "", "en", 1,
                   std::nullopt},
        // Subtitles: the stream's default or forced track shows.
        ResolveRow{"subtitle_default",
                   {Audio(1, "eng"), Sub(1, "fre"), Sub(2, "eng", true)},
                   "",
                   "",
                   "",
                   "en",
                   1,
                   2},
        // Audio in a language other than the interface's: its subtitles.
        ResolveRow{"subtitles_for_foreign_audio",
                   {Audio(1, "fre"), Sub(1, "fre"), Sub(2, "deu")},
                   "",
                   "",
                   "",
                   "de",
                   1,
                   2},
        ResolveRow{"no_subtitles_for_untagged_audio",
                   {Audio(1, ""), Sub(1, "deu")},
                   "",
                   "",
                   "",
                   "de",
                   1,
                   std::nullopt},
        // The remembered German audio: no German subtitles for German users.
        ResolveRow{"no_subtitles_for_own_language", kEnglishGerman, "ger/", "", "", "de", 2,
                   std::nullopt},
        // Two tracks of one language: the default one of them.
        ResolveRow{"default_within_language",
                   {Audio(1, "deu"), Audio(2, "deu", true), Audio(3, "eng")},
                   "",
                   "",
                   "",
                   "de",
                   2,
                   std::nullopt},
        // No tracks of a kind: none.
        ResolveRow{"nothing_to_pick", {}, "deu/deu", "", "", "de", std::nullopt, std::nullopt}));

TEST(TrackChoice, TextRoundTripsAndBadTextIsRefused) {
    const std::vector<std::pair<std::string, TrackChoice>> good = {
        {"", {}},
        {"deu/", {{TrackPick::By::Language, "deu", 0}, {}}},
        {"#2/-", {{TrackPick::By::Position, {}, 2}, {TrackPick::By::Off, {}, 0}}},
        {"/pt-BR", {{}, {TrackPick::By::Language, "pt-BR", 0}}},
        {"#999/#1", {{TrackPick::By::Position, {}, 999}, {TrackPick::By::Position, {}, 1}}},
    };
    for (const auto& [text, choice] : good) {
        EXPECT_EQ(DecodeTrackChoice(text), choice) << text;
        EXPECT_EQ(EncodeTrackChoice(choice), text) << text;
    }
    for (std::string_view bad : {"deu", "-/", "#0/", "#1000/", "#/", "#2x/", "/#01", "de u/",
                                 "a/b/c", "de,en/", "abcdefghijklmnop/", "/\xc3\xa4", "%s/"})
        EXPECT_FALSE(DecodeTrackChoice(bad).has_value()) << bad;
}

TEST(TrackChoice, PickBringsBackTheSameTrack) {
    const std::vector<MediaTrack> tracks = {Audio(1, "deu"), Audio(2, "deu"), Audio(3, ""),
                                            Audio(4, "eng"), Sub(1, "deu")};
    struct Row {
        TrackKind kind;
        std::optional<std::int64_t> id;
        TrackPick pick;
    };
    const std::vector<Row> rows = {
        {TrackKind::Audio, 1, {TrackPick::By::Language, "deu", 0}},
        // The second German track (say, audio description) by position.
        {TrackKind::Audio, 2, {TrackPick::By::Position, {}, 2}},
        {TrackKind::Audio, 3, {TrackPick::By::Position, {}, 3}},
        {TrackKind::Audio, 4, {TrackPick::By::Language, "eng", 0}},
        {TrackKind::Audio, 9, {}},
        {TrackKind::Audio, std::nullopt, {}},
        {TrackKind::Subtitle, std::nullopt, {TrackPick::By::Off, {}, 0}},
        {TrackKind::Subtitle, 1, {TrackPick::By::Language, "deu", 0}},
    };
    for (const Row& row : rows) {
        const TrackPick pick = PickFor(tracks, row.kind, row.id);
        EXPECT_EQ(pick, row.pick) << row.id.value_or(-1);
        // Played again with that pick alone, the same track comes back.
        if (row.id && pick.by != TrackPick::By::Nothing) {
            const TrackPreference again =
                MakeTrackPreference(WithPick({}, row.kind, pick), "", "", "fr", Spell);
            EXPECT_EQ(ResolveTrack(tracks, row.kind, again), row.id);
        }
    }
}

TEST(TrackChoice, SettingsChildKeepsTheChoiceAndDropsADamagedOne) {
    DocNode channels("channels");
    AddChannelStateChild(channels, "de_one", {false, 0, {}, "deu/-"});
    AddChannelStateChild(channels, "de_two", {true, 0, {}, ""});
    channels.AddChild("de_bad")->SetWString(kTrackChoiceAttribute, u"../etc/");
    channels.AddChild("de_wide")->SetWString(kTrackChoiceAttribute, u"d\u00e9u/");
    EXPECT_EQ(channels.Child("de_two")->Attributes().size(), 1u);
    MemoryStream bytes;
    ASSERT_TRUE(channels.WriteAllTo(bytes));
    DocView view;
    ASSERT_TRUE(view.Read(bytes.Data(), bytes.Size()));
    const ChannelStateTable table = ReadChannelStates(view.Root());
    EXPECT_EQ(table.Find("de_one")->trackChoice, "deu/-");
    EXPECT_EQ(table.Find("de_two")->trackChoice, "");
    EXPECT_EQ(table.Find("de_bad")->trackChoice, "");
    EXPECT_EQ(table.Find("de_wide")->trackChoice, "");
}

}  // namespace
}  // namespace lumora
