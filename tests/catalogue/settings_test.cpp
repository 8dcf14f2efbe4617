#include "catalogue/settings.h"

#include "catalogue/settings_format.h"
#include "catalogue_test_support.h"

namespace lumora {
namespace {

using test::CatalogueTestBase;
using test::ReadDocument;

class SettingsTest : public CatalogueTestBase {
protected:
    std::u16string path = folder.File("Settings.cfg");

    // A file as another version of the program could have left it.
    void WriteRichSettingsFile() {
        DocNode root("anything");  // the root name is not checked at load
        DocNode* options = root.AddChild("options");
        options->SetBool("first_run", false);
        options->SetInt("sel_tab", 1);
        options->SetWString("Language", u"de");
        options->SetInt("unknown_int", -7);
        options->SetBool("unknown_bool", true);
        options->SetWString("unknown_wide", u"kept");
        options->SetString("unknown_narrow", "dropped");
        options->AddAttribute("unknown_unset");
        root.AddChild("extra")->SetInt("x", 1);
        DocNode* channels = root.AddChild("channels");
        channels->AddChild("de_a")->SetBool("f", true);
        channels->Child("de_a")->SetInt("cu", 1);
        ASSERT_TRUE(root.SaveToFile(path));
    }
};

TEST_F(SettingsTest, KnownKindsSurviveALoadAndASaveOthersAreDropped) {
    WriteRichSettingsFile();
    LoadSettings(path);
    EXPECT_FALSE(GetBoolSetting(kFirstRun, true));
    EXPECT_EQ(GetIntSetting(kSelTab, 0), 1);
    EXPECT_EQ(GetStringSetting(kLanguage, u"en"), u"de");
    ASSERT_TRUE(SaveSettings());

    auto saved = ReadDocument(path);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->Name(), "set");
    const DocNode* options = std::as_const(*saved).Child("options");
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->GetInt("unknown_int", 0), -7);
    EXPECT_TRUE(options->GetBool("unknown_bool", false));
    EXPECT_EQ(options->GetWString("unknown_wide"), u"kept");
    EXPECT_EQ(options->FindAttribute("unknown_narrow"), nullptr);
    EXPECT_EQ(options->FindAttribute("unknown_unset"), nullptr);
    EXPECT_EQ(std::as_const(*saved).Child("extra"), nullptr);
    // Booleans, then integers, then strings, each in name order.
    std::vector<std::string> names;
    for (const auto& attribute : options->Attributes())
        names.push_back(attribute->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"first_run", "unknown_bool", "sel_tab",
                                               "unknown_int", "Language", "unknown_wide"}));
    EXPECT_FALSE(std::filesystem::exists(folder.Path("Settings.cfg.tmp")));
}

TEST_F(SettingsTest, ChannelStateIsReadFromTheLoadedFile) {
    WriteRichSettingsFile();
    LoadSettings(path);
    const auto saved = SavedChannelStates();
    const ChannelState* state = saved->Find("de_a");
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->favourite);
    EXPECT_EQ(state->streamIndex, 1);
    EXPECT_EQ(saved->Find("de_b"), nullptr);
}

// Loaded in two steps, the options come first and the channel state with
// the second; a damaged file is set aside at the first and the second
// gives no state.
TEST_F(SettingsTest, InTwoStepsTheOptionsComeFirstAndTheChannelStateWithTheSecond) {
    WriteRichSettingsFile();
    LoadSettingsOptions(path);
    EXPECT_FALSE(GetBoolSetting(kFirstRun, true));
    EXPECT_TRUE(SavedChannelStates()->Empty());
    FinishLoadingSettings();
    const ChannelState* state = SavedChannelStates()->Find("de_a");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->streamIndex, 1);
    FinishLoadingSettings();  // a second call changes nothing
    EXPECT_EQ(SavedChannelStates()->Size(), 1u);

    ResetSettings();
    test::WriteBytes(folder.Path("Settings.cfg"), "VELT\x05se");
    LoadSettingsOptions(path);
    EXPECT_TRUE(std::filesystem::exists(folder.Path("Settings.cfg.bad")));
    FinishLoadingSettings();
    EXPECT_TRUE(SavedChannelStates()->Empty());
}

TEST_F(SettingsTest, WithoutACatalogueTheMarksAndChosenStreamsAreWrittenBack) {
    WriteRichSettingsFile();
    LoadSettings(path);
    ASSERT_TRUE(SaveSettings());
    auto saved = ReadDocument(path);
    const DocNode* channel = std::as_const(*saved).Child("channels")->Child("de_a");
    ASSERT_NE(channel, nullptr);
    EXPECT_TRUE(channel->GetBool("f", false));
    EXPECT_EQ(channel->GetInt("cu", 0), 1);
}

TEST_F(SettingsTest, GettersStoreTheirDefaults) {
    LoadSettings(path);  // no file: a first start
    EXPECT_EQ(GetIntSetting(kSoundVolume, 50), 50);
    EXPECT_EQ(GetIntSetting(kSoundVolume, 70), 50);  // stored by the first read
    EXPECT_TRUE(GetBoolSetting(kAutoCU, true));
    EXPECT_EQ(GetStringSetting(kCurChannel, u""), u"");
    SetBoolSetting(kFirstRun, false);
    ASSERT_TRUE(SaveSettings());

    auto saved = ReadDocument(path);
    const DocNode* options = std::as_const(*saved).Child("options");
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->GetInt("sound_volume", 0), 50);
    EXPECT_TRUE(options->GetBool("AutoCU", false));
    EXPECT_FALSE(options->GetBool("first_run", true));
    ASSERT_NE(options->FindAttribute("cur_channel"), nullptr);
    EXPECT_EQ(options->FindAttribute("cur_channel")->Type(), ValueType::WString);
    ASSERT_NE(std::as_const(*saved).Child("channels"), nullptr);
}

TEST_F(SettingsTest, DamagedOrMissingFilesGiveDefaults) {
    for (const std::string& bytes : {std::string(), std::string("not a document at all"),
                                     std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)}) {
        ResetSettings();
        test::WriteBytes(folder.Path("Settings.cfg"), bytes);
        LoadSettings(path);
        EXPECT_TRUE(GetBoolSetting(kFirstRun, true));
        EXPECT_EQ(GetStringSetting(kLanguage, u"en"), u"en");
        EXPECT_TRUE(SavedChannelStates()->Empty());
    }
    ResetSettings();
    LoadSettings(folder.File("missing.cfg"));
    EXPECT_EQ(GetIntSetting(kSelTab, 0), 0);
    EXPECT_TRUE(SavedChannelStates()->Empty());
}

TEST_F(SettingsTest, ADamagedFileIsKeptAsBadTheNewestOne) {
    const auto bad = folder.Path("Settings.cfg.bad");
    for (const std::string& bytes : {std::string("first damage"), std::string("VELT\x05se")}) {
        ResetSettings();
        test::WriteBytes(folder.Path("Settings.cfg"), bytes);
        LoadSettings(path);
        EXPECT_EQ(test::ReadBytes(bad), bytes);
        EXPECT_FALSE(std::filesystem::exists(folder.Path("Settings.cfg")));
        // The defaults are saved beside it; the kept file stays as it was.
        ASSERT_TRUE(SaveSettings());
        EXPECT_EQ(test::ReadBytes(bad), bytes);
    }
}

TEST_F(SettingsTest, AMissingOrSoundFileIsNotSetAside) {
    LoadSettings(path);
    EXPECT_FALSE(std::filesystem::exists(folder.Path("Settings.cfg.bad")));
    WriteRichSettingsFile();
    LoadSettings(path);
    EXPECT_FALSE(std::filesystem::exists(folder.Path("Settings.cfg.bad")));
    EXPECT_TRUE(std::filesystem::exists(folder.Path("Settings.cfg")));
}

TEST_F(SettingsTest, ALaterLoadOverwritesButKeepsOtherEntries) {
    SetIntSetting("only_here", 3);
    SetIntSetting(kSelTab, 0);
    WriteRichSettingsFile();
    LoadSettings(path);
    EXPECT_EQ(GetIntSetting(kSelTab, 0), 1);
    EXPECT_EQ(GetIntSetting("only_here", 0), 3);
}

// Easy to get by editing a dump: a setting stored under another type must
// not shadow the user's choice at every start.
TEST_F(SettingsTest, AKnownSettingOfAnotherTypeIsDroppedAtLoadAndNeverWritten) {
    DocNode root("set");
    DocNode* stored = root.AddChild("options");
    stored->SetInt("first_run", 0);
    stored->SetWString("sound_volume", u"80");
    stored->SetInt("AutoCU", 0);
    stored->SetBool("Language", true);
    ASSERT_TRUE(root.SaveToFile(path));
    LoadSettings(path);
    EXPECT_TRUE(GetBoolSetting(kFirstRun, true));
    EXPECT_TRUE(GetBoolSetting(kAutoCU, true));
    SetBoolSetting(kFirstRun, false);
    SetIntSetting(kSoundVolume, 30);
    // Even set in a wrong map by mistake, a known name keeps its own type.
    SetIntSetting(kFirstRun, 1);
    // A name the program does not know: written once, the later map's value.
    SetBoolSetting("twice", true);
    SetIntSetting("twice", 5);
    ASSERT_TRUE(SaveSettings());

    auto saved = ReadDocument(path);
    const DocNode* options = std::as_const(*saved).Child("options");
    ASSERT_NE(options, nullptr);
    std::vector<std::pair<std::string, ValueType>> written;
    for (const auto& attribute : options->Attributes())
        written.emplace_back(attribute->Name(), attribute->Type());
    EXPECT_EQ(written,
              (std::vector<std::pair<std::string, ValueType>>{{"AutoCU", ValueType::Bool},
                                                              {"first_run", ValueType::Bool},
                                                              {"twice", ValueType::Int},
                                                              {"sound_volume", ValueType::Int}}));
    EXPECT_FALSE(options->GetBool("first_run", true));
    EXPECT_EQ(options->GetInt("sound_volume", 0), 30);
    EXPECT_EQ(options->GetInt("twice", 0), 5);
}

TEST_F(SettingsTest, AFailedSaveReportsItAndKeepsTheOldFile) {
    WriteRichSettingsFile();
    LoadSettings(path);
    // A folder where the temporary file should go makes the write fail.
    std::filesystem::create_directory(folder.Path("Settings.cfg.tmp"));
    bool saved = SaveSettings();
    EXPECT_FALSE(saved);
    auto old = ReadDocument(path);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->Name(), "anything");

    ResetSettings();
    EXPECT_FALSE(SaveSettings());  // no path remembered
}

TEST_F(SettingsTest, ResetForgetsEverything) {
    WriteRichSettingsFile();
    LoadSettings(path);
    ResetSettings();
    EXPECT_TRUE(SavedChannelStates()->Empty());
    EXPECT_TRUE(GetBoolSetting(kFirstRun, true));
}

}  // namespace
}  // namespace lumora
