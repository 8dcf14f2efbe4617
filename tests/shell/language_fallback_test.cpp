// A language pack that holds only the first set of keys (made before the
// program added its later texts): every added text shows in English, never
// as a raw key or blank.

#include <algorithm>
#include <set>
#include <string>

#include <QCheckBox>
#include <QLabel>
#include <QMenu>

#include <gtest/gtest.h>

#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "document/doc_node.h"
#include "process_state.h"
#include "scratch_folder.h"
#include "shell/app/app_startup.h"
#include "shell/dialogs/channel_list_dialog.h"
#include "shell/dialogs/channel_list_model.h"
#include "shell/dialogs/channel_list_view.h"
#include "shell/dialogs/settings_dialog.h"
#include "shell_test_support.h"

namespace lumora {
namespace {

// The keys of the first packs; "c_" and "cat_" keys are names, not texts.
const std::set<std::string> kFirstKeys = {"app_kavri",
                                          "menu_menu",
                                          "menu_channels",
                                          "menu_fullscreen",
                                          "menu_settings",
                                          "menu_channel_update",
                                          "menu_about",
                                          "menu_exit",
                                          "static_language",
                                          "check_cupdate",
                                          "button_ok",
                                          "button_cancel",
                                          "msg_lang_restart",
                                          "str_attention",
                                          "static_attentionx",
                                          "button_continue",
                                          "static_loading",
                                          "static_country",
                                          "static_genre",
                                          "str_all_countries",
                                          "str_all_channels",
                                          "tab_channels",
                                          "tab_favorites",
                                          "menu_play",
                                          "menu_close",
                                          "menu_add_favorites",
                                          "menu_remove_favorites",
                                          "str_kb",
                                          "msg_error_connection",
                                          "msg_noupdates",
                                          "msg_cupdated",
                                          "str_check_updates",
                                          "str_wait",
                                          "str_down_channels",
                                          "static_copyright",
                                          "str_version"};

bool IsFirstKey(const std::string& key) {
    return kFirstKeys.count(key) != 0 || key.rfind("c_", 0) == 0 || key.rfind("cat_", 0) == 0;
}

class LanguageFallbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetProcessState();
        test::LoadShippedInterface(96);
        shipped_ = std::make_unique<DocNode>();
        ASSERT_TRUE(shipped_->LoadFromFile(
            (test::BuildDir() + QStringLiteral("/Languages.lngp")).toStdU16String()));
        // The shipped pack, with every key that is not a first one removed.
        DocNode old(shipped_->Name());
        for (const auto& language : shipped_->Children()) {
            DocNode* copy = old.AddChild(language->Name());
            for (const auto& attribute : language->Attributes())
                copy->SetWString(attribute->Name(), *attribute->WString());
            for (const auto& entry : language->Children()) {
                if (IsFirstKey(entry->Name()))
                    copy->AddChild(entry->Name())->SetWString("text", entry->GetWString("text"));
                else
                    added_.insert(entry->Name());
            }
        }
        ASSERT_TRUE(old.SaveToFile(folder_.File("Languages.lngp")));
        SetStringSetting(kLanguage, u"de");
        LoadLanguages(folder_.File("Languages.lngp"));
    }

    void TearDown() override {
        app_.ReleaseCatalogue();
        test::ResetProcessState();
        test::LoadShippedInterface(96);
    }

    // The shipped English text of a key.
    std::u16string English(const std::string& key) const {
        for (const auto& language : shipped_->Children()) {
            if (language->GetWString("ext") == u"en")
                return language->Child(key)->GetWString("text");
        }
        return {};
    }

    test::IsolatedUserFolders folders_;
    Application app_;
    test::ScratchFolder folder_;
    std::unique_ptr<DocNode> shipped_;
    std::set<std::string> added_;
};

TEST_F(LanguageFallbackTest, EveryAddedKeyShowsItsShippedEnglishText) {
    ASSERT_FALSE(added_.empty());
    for (const std::string& key : added_)
        EXPECT_EQ(LookupText(key), English(key)) << key;
    EXPECT_EQ(LookupText("menu_play"), u"Abspielen");
}

TEST_F(LanguageFallbackTest, DialogsShowNoRawKeyAndNoBlankLabel) {
    SettingsDialog settings(nullptr);
    EXPECT_EQ(settings.FallbackCheck()->text().toStdU16String(), English("check_fallback"));
    QStringList shown;
    for (const QLabel* label : settings.findChildren<QLabel*>())
        shown << label->text();
    EXPECT_TRUE(shown.contains(QString::fromStdU16String(English("static_channel_source"))))
        << shown.join('|').toStdString();

    const QString path = folders_.DataHome() + QStringLiteral("/Channels.lmch");
    ASSERT_TRUE(test::WriteCatalogue(
        path, "1.0", {{"de", "two", u"Zwei", "n", {u"http://a/1", u"http://a/2"}}}));
    app_.LoadCatalogue(path.toStdU16String());
    ZapOrder zapOrder;
    ChannelListDialog list(nullptr, zapOrder);
    for (const QLabel* label : list.findChildren<QLabel*>())
        shown << label->text();
    EXPECT_TRUE(shown.contains(QString::fromStdU16String(English("static_search"))))
        << shown.join('|').toStdString();
    ChannelListView& view = *list.ChannelList();
    view.SelectRow(0);
    QMenu* menu = view.MenuForSelection();
    ASSERT_NE(menu, nullptr);
    QStringList entries;
    for (const QAction* action : menu->actions())
        entries << action->text();
    EXPECT_TRUE(entries.contains(QString::fromStdU16String(English("menu_streams"))))
        << entries.join('|').toStdString();

    for (const QString& text : shown + entries)
        EXPECT_EQ(added_.count(text.toStdString()), 0u) << text.toStdString();
}

}  // namespace
}  // namespace lumora
