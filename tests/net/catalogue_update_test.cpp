// The update tied to the settings: the server setting and "AutoCU".

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "catalogue/setting_names.h"
#include "catalogue/settings.h"
#include "document/text_encoding.h"
#include "net/catalogue_update.h"

namespace lumora {
namespace {

TEST(CatalogueUpdateSettings, ServerComesFromTheSettingWithTheBuiltInDefault)
{
    ResetSettings();
    EXPECT_EQ(UpdateServer(), FromUtf8(LUMORA_UPDATE_SERVER));
    SetStringSetting(kUpdateServer, u"http://updates.example.org:9000");
    EXPECT_EQ(CurrentUpdateSource({}).server, u"http://updates.example.org:9000");
    ResetSettings();
}

TEST(CatalogueUpdateSettings, AutoCUOffStartsNoCheck)
{
    ResetSettings();
    ResetUpdateState();
    SetBoolSetting(kAutoCU, false);
    std::atomic<int> fetches{0};
    StartUpdateCheckAtStart([&fetches](const std::u16string&) {
        ++fetches;
        return std::unique_ptr<MemoryStream>();
    });
    // A started check would have fetched at once on its own thread.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(fetches.load(), 0);
    EXPECT_FALSE(updatePending.load());
    ResetSettings();
}

}  // namespace
}  // namespace lumora
