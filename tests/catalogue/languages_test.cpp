#include "catalogue/languages.h"

#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/settings_format.h"
#include "catalogue_test_support.h"

namespace lumora {
namespace {

using test::LanguageSpec;

class LanguagesTest : public test::CatalogueTestBase {
protected:
    std::u16string path = folder.File("Languages.lngp");

    static LanguageSpec English() {
        return {u"English",
                u"en",
                {{"app_kavri", u"Lumora"}, {"menu_play", u"Play"}, {"static_country", u"Country"}}};
    }
    static LanguageSpec German() {
        return {u"Deutsch", u"de", {{"app_kavri", u"Lumora DE"}, {"menu_play", u"Abspielen"}}};
    }
};

TEST_F(LanguagesTest, TheLanguageOfTheSettingIsCurrent) {
    SetStringSetting(kLanguage, u"de");
    test::WriteLanguagePack(path, {{0, English()}, {1, German()}});
    LoadLanguages(path);
    ASSERT_EQ(LanguageCount(), 2);
    EXPECT_EQ(LanguageName(1), u"Deutsch");
    EXPECT_EQ(LanguageCode(0), u"en");
    EXPECT_EQ(CurrentLanguage(), 1);
    EXPECT_EQ(LookupText("menu_play"), u"Abspielen");
    EXPECT_EQ(AppTitle(), u"Lumora DE");
    EXPECT_EQ(LookupText("static_country"), u"");  // only English has it
    EXPECT_EQ(FindLanguage(u"de"), 1);
    EXPECT_EQ(FindLanguage(u"DE"), -1);
    EXPECT_EQ(FindLanguage(u"fr"), -1);
}

TEST_F(LanguagesTest, WithoutTheSettingEnglishIsUsedAndStored) {
    test::WriteLanguagePack(path, {{0, German()}, {1, English()}});
    LoadLanguages(path);
    EXPECT_EQ(CurrentLanguage(), 1);
    EXPECT_EQ(GetStringSetting(kLanguage, u"zz"), u"en");
}

TEST_F(LanguagesTest, NumberingStopsAtTheFirstGap) {
    test::WriteLanguagePack(path, {{0, English()}, {2, German()}});
    LoadLanguages(path);
    EXPECT_EQ(LanguageCount(), 1);
    EXPECT_EQ(FindLanguage(u"de"), -1);
}

TEST_F(LanguagesTest, OfTwoLanguagesWithOneCodeTheLowerIndexWins) {
    LanguageSpec second = English();
    second.name = u"English (second)";
    second.texts = {{"menu_play", u"Second"}};
    test::WriteLanguagePack(path, {{0, English()}, {1, second}});
    LoadLanguages(path);
    EXPECT_EQ(CurrentLanguage(), 0);
    EXPECT_EQ(FindLanguage(u"en"), 0);
    EXPECT_EQ(LookupText("menu_play"), u"Play");
}

TEST_F(LanguagesTest, AnIncompleteLanguageEndsTheListAndNoneIsCurrent) {
    for (LanguageSpec broken : {LanguageSpec{u"", u"de", {}}, LanguageSpec{u"Deutsch", u"", {}}}) {
        ResetSettings();
        test::WriteLanguagePack(path, {{0, English()}, {1, broken}, {2, German()}});
        LoadLanguages(path);
        EXPECT_EQ(LanguageCount(), 1);
        EXPECT_EQ(CurrentLanguage(), -1);
        EXPECT_EQ(LookupText("menu_play"), u"");
        // The selection step never ran, so the setting was not read.
        EXPECT_EQ(GetStringSetting(kLanguage, u"zz"), u"zz");
    }
}

TEST_F(LanguagesTest, BadFilesGiveNoLanguages) {
    test::WriteLanguagePack(path, {{0, English()}}, "lang_doc_1.1");
    LoadLanguages(path);
    EXPECT_EQ(LanguageCount(), 0);
    EXPECT_EQ(LookupText("menu_play"), u"");

    test::WriteBytes(folder.Path("Languages.lngp"), "garbage");
    LoadLanguages(path);
    EXPECT_EQ(LanguageCount(), 0);

    LoadLanguages(folder.File("missing.lngp"));
    EXPECT_EQ(LanguageCount(), 0);
    EXPECT_EQ(AppTitle(), u"");
}

TEST_F(LanguagesTest, OnlyTheWideTextAttributeIsAText) {
    DocNode root("lang_doc_1.0");
    DocNode* language = root.AddChild("lang_0");
    language->SetWString("language", u"English");
    language->SetWString("ext", u"en");
    language->AddChild("only_other")->SetWString("tooltip", u"a tip");
    language->AddChild("narrow_text")->SetString("text", "narrow");
    language->AddChild("empty_entry");
    language->AddChild("both")->SetWString("text", u"Both");
    language->Child("both")->SetWString("tooltip", u"tip");
    ASSERT_TRUE(root.SaveToFile(path));
    LoadLanguages(path);
    EXPECT_EQ(LookupText("only_other"), u"");
    EXPECT_EQ(LookupText("narrow_text"), u"");
    EXPECT_EQ(LookupText("empty_entry"), u"");
    EXPECT_EQ(LookupText("both"), u"Both");
    EXPECT_EQ(LookupText("Both"), u"");  // keys are case-sensitive
}

TEST_F(LanguagesTest, SelectingALanguageSwitchesAtOnceWithoutTouchingTheSetting) {
    test::WriteLanguagePack(path, {{0, English()}, {1, German()}});
    LoadLanguages(path);
    SelectLanguage(1);
    EXPECT_EQ(LookupText("menu_play"), u"Abspielen");
    EXPECT_EQ(GetStringSetting(kLanguage, u"zz"), u"en");
    // A chooser without a selection changes nothing.
    SelectLanguage(-1);
    SelectLanguage(2);
    EXPECT_EQ(CurrentLanguage(), 1);
    EXPECT_EQ(LanguageName(-1), u"");
    EXPECT_EQ(LanguageCode(5), u"");
}

TEST_F(LanguagesTest, LocalisedTextReplacesOnlyTranslatedKeys) {
    test::WriteLanguagePack(path, {{0, English()}});
    LoadLanguages(path);
    EXPECT_EQ(LocalisedText(u"menu_play"), std::optional<std::u16string>(u"Play"));
    EXPECT_EQ(LocalisedText(u"static_language"), std::nullopt);  // the key stays visible
    EXPECT_EQ(LocalisedText(u"Some caption"), std::nullopt);
    EXPECT_EQ(LocalisedText(u""), std::nullopt);
}

TEST_F(LanguagesTest, KeysAPackLacksFallBackToTheProgramsEnglish) {
    test::WriteLanguagePack(path, {{0, English()}, {1, German()}});
    SetStringSetting(kLanguage, u"de");
    LoadLanguages(path);
    EXPECT_EQ(LookupTextOr("menu_play", u"Play"), u"Abspielen");
    // German lacks the key; no language at all has this one.
    EXPECT_EQ(LookupTextOr("static_country", u"Country:"), u"Country:");
    EXPECT_EQ(LookupTextOr("str_status_playing", u"Playing"), u"Playing");
    ReleaseLanguages();
    EXPECT_EQ(LookupTextOr("menu_play", u"Play"), u"Play");
}

TEST_F(LanguagesTest, AddedKeysAPackLacksShowTheirEnglishText) {
    LanguageSpec german = German();
    german.texts.push_back({"static_search", u""});
    test::WriteLanguagePack(path, {{0, german}});
    SetStringSetting(kLanguage, u"de");
    LoadLanguages(path);
    EXPECT_EQ(LookupText("check_fallback"), u"Try other streams when one fails");
    EXPECT_EQ(LookupText("static_search"), u"Search:");  // an empty text counts as none
    EXPECT_EQ(LocalisedText(u"static_channel_source"),
              std::optional<std::u16string>(u"Channel source"));
    // A key of the first packs keeps the empty text; its callers have their
    // own fallbacks.
    EXPECT_EQ(LookupText("static_country"), u"");
    ReleaseLanguages();
    EXPECT_EQ(LookupText("menu_streams"), u"Streams");
}

// A start that no key of the current language or of the English texts
// has gives no text for any key with it; the others may.
TEST_F(LanguagesTest, AKeyStartIsKnownWhereTheLanguageOrTheEnglishTextsHaveIt) {
    test::WriteLanguagePack(path, {{0, English()}, {1, German()}});
    SetStringSetting(kLanguage, u"de");
    LoadLanguages(path);
    const std::vector<std::pair<std::string_view, bool>> cases = {
        {"menu_", true},  {"menu_play", true},  {"menu_play_", false},
        {"c_de_", false}, {"static_sea", true}, {"static_country", false},
        {"", true}};
    for (const auto& [prefix, known] : cases)
        EXPECT_EQ(HasTextStartingWith(prefix), known) << prefix;
    ReleaseLanguages();
    EXPECT_FALSE(HasTextStartingWith("menu_play"));
    EXPECT_TRUE(HasTextStartingWith("static_search"));
}

TEST_F(LanguagesTest, ReleaseEmptiesThePack) {
    test::WriteLanguagePack(path, {{0, English()}});
    LoadLanguages(path);
    ReleaseLanguages();
    EXPECT_EQ(LanguageCount(), 0);
    EXPECT_EQ(LookupText("menu_play"), u"");
    ReleaseLanguages();  // twice is harmless
    // A second load replaces the pack instead of adding to it.
    LoadLanguages(path);
    LoadLanguages(path);
    EXPECT_EQ(LanguageCount(), 1);
}

}  // namespace
}  // namespace lumora
