// The update tied to the settings: the server setting and "AutoCU".

#include <gtest/gtest.h>

#include <atomic>

#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "document/text_encoding.h"
#include "net/catalogue_update.h"
#include "process_state.h"
#include "scratch_folder.h"

namespace lumora {
namespace {

TEST(CatalogueUpdateSettings, ServerComesFromTheSettingWithTheBuiltInDefault) {
    test::ResetProcessState();
    EXPECT_EQ(UpdateServer(), FromUtf8(LUMORA_UPDATE_SERVER));
    SetStringSetting(kUpdateServer, u"http://updates.example.org:9000");
    EXPECT_EQ(CurrentUpdateSource({}).server, u"http://updates.example.org:9000");
    test::ResetProcessState();
}

// The built-in source is used without being written, so a later build's
// default reaches every user who never chose one.
TEST(CatalogueUpdateSettings, OnlyASourceTheUserChoseIsStored) {
    test::ResetProcessState();
    // Settings of an earlier build, which wrote its default into every file.
    SetStringSetting(kUpdateServer, u"http://localhost:8080");
    EXPECT_EQ(UpdateServer(), DefaultUpdateServer());
    EXPECT_FALSE(FindStringSetting(kUpdateServer)) << "the old default is forgotten";

    struct Row {
        const char16_t* typed;
        bool changed;
        const char16_t* inUse;
    } rows[] = {
        {u" https://lists.example/tv.m3u ", true, u"https://lists.example/tv.m3u"},
        {u"https://lists.example/tv.m3u", false, u"https://lists.example/tv.m3u"},
        {u"", true, nullptr},
        {u"", false, nullptr},
    };
    for (const Row& row : rows) {
        UpdateState updates;
        updates.SetPending(true);
        EXPECT_EQ(SetUpdateServer(row.typed, updates), row.changed);
        EXPECT_EQ(UpdateServer(), row.inUse ? std::u16string(row.inUse) : DefaultUpdateServer());
        EXPECT_EQ(FindStringSetting(kUpdateServer).has_value(), row.inUse != nullptr);
        EXPECT_EQ(updates.Pending(), !row.changed)
            << "a pending update of the old source is dropped";
    }
    test::ResetProcessState();
}

// The old built-in default is forgotten only in settings written before the
// source was kept as typed; typed now (the curator example's own server), it
// stays, also across a save and a load.
TEST(CatalogueUpdateSettings, TheOldDefaultTypedNowIsKept) {
    test::ResetProcessState();
    test::ScratchFolder folder;
    const std::u16string path = folder.File("Settings.cfg");
    LoadSettings(path);
    UpdateState updates;
    EXPECT_TRUE(SetUpdateServer(u"http://localhost:8080", updates));
    EXPECT_EQ(UpdateServer(), u"http://localhost:8080");
    ASSERT_TRUE(SaveSettings());

    test::ResetProcessState();
    LoadSettings(path);
    EXPECT_EQ(UpdateServer(), u"http://localhost:8080");
    test::ResetProcessState();
}

TEST(CatalogueUpdateSettings, AutoCUOffStartsNoCheck) {
    test::ResetProcessState();
    SetBoolSetting(kAutoCU, false);
    std::atomic<int> fetches{0};
    auto updates = std::make_shared<UpdateState>();
    const std::shared_future<void> check =
        StartUpdateCheckAtStart(updates, [&fetches](const std::u16string&) {
            ++fetches;
            return std::unique_ptr<MemoryStream>();
        });
    EXPECT_FALSE(check.valid());
    EXPECT_EQ(fetches.load(), 0);
    EXPECT_FALSE(updates->Pending());
    test::ResetProcessState();
}

}  // namespace
}  // namespace lumora
