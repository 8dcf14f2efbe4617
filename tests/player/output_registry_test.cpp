// The output registry, the base output and the volume broadcast.

#include <string>
#include <vector>

#include <QWidget>

#include <gtest/gtest.h>

#include "catalogue/settings.h"
#include "catalogue/settings_format.h"
#include "player/media_output.h"
#include "player/output_registry.h"

namespace lumora::test {
namespace {

std::vector<std::string> volumeCalls;

class FakeOutput : public MediaOutput {
public:
    explicit FakeOutput(std::string name, QWidget* window = nullptr)
        : MediaOutput(std::move(name)) {
        window_ = window;
    }
    void Play(const std::u16string&) override {}
    void Stop() override {}
    void SetVolume(int volume) override {
        volumeCalls.push_back(Name() + "=" + std::to_string(volume));
    }
};

class OutputRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { volumeCalls.clear(); }
    void TearDown() override { ResetSettings(); }
};

TEST_F(OutputRegistryTest, VolumeGoesToEveryOutputInNameOrderThenToTheSetting) {
    FakeOutput zulu("zulu");
    FakeOutput alpha("alpha");
    ApplyVolume(35);
    EXPECT_EQ(volumeCalls, (std::vector<std::string>{"alpha=35", "zulu=35"}));
    EXPECT_EQ(GetIntSetting(kSoundVolume, 50), 35);
}

TEST_F(OutputRegistryTest, EmptyRegistryOnlySavesTheVolume) {
    ASSERT_TRUE(TheOutputRegistry().Outputs().empty());
    ApplyVolume(70);
    EXPECT_TRUE(volumeCalls.empty());
    EXPECT_EQ(GetIntSetting(kSoundVolume, 50), 70);
}

TEST_F(OutputRegistryTest, SameNameReplacesAndTheReplacedOneCannotRemoveItsSuccessor) {
    auto first = std::make_unique<FakeOutput>("m");
    FakeOutput second("m");
    EXPECT_EQ(TheOutputRegistry().Find("m"), &second);
    first.reset();
    EXPECT_EQ(TheOutputRegistry().Find("m"), &second);
    EXPECT_EQ(TheOutputRegistry().Outputs().size(), 1u);
}

TEST_F(OutputRegistryTest, BaseOutputDefaults) {
    QWidget parent;
    auto* window = new QWidget(&parent);
    FakeOutput output("x", window);
    output.Move(1, 2, 30, 40);
    EXPECT_EQ(window->geometry(), QRect(1, 2, 30, 40));
    output.ToggleFullScreen();
    EXPECT_FALSE(output.IsFullScreen());
    EXPECT_FALSE(output.Ready());

    FakeOutput windowless("y");
    windowless.Move(1, 2, 3, 4);  // nothing to place, nothing happens
}

}  // namespace
}  // namespace lumora::test
