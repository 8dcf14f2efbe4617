#include "catalogue/text_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace lumora {
namespace {

TEST(FormatTextTest, DirectivesTakeTheArgumentsInTurn) {
    EXPECT_EQ(FormatText(u"%s (%d%s)", {u"Germany", 800, u"kb"}), u"Germany (800kb)");
    EXPECT_EQ(FormatText(u"%s %s", {u"A", u"B"}), u"A B");
    EXPECT_EQ(FormatText(u"%s (%d)", {u"Tab", std::size_t{0}}), u"Tab (0)");
    EXPECT_EQ(FormatText(u"%d|%d|%d", {-5, std::numeric_limits<std::int64_t>::min(), 2147483647}),
              u"-5|-9223372036854775808|2147483647");
}

TEST(FormatTextTest, PercentSignsInTheDataAreNeverDirectives) {
    EXPECT_EQ(FormatText(u"%s : %s - No url!", {u"100%", u"%s%d%n%"}), u"100% : %s%d%n% - No url!");
}

TEST(FormatTextTest, OddFormatsAreCopiedAndMissingArgumentsShowNothing) {
    EXPECT_EQ(FormatText(u"50%% %x %", {}), u"50% %x %");
    EXPECT_EQ(FormatText(u"[%s][%d]", {u"only"}), u"[only][]");
    EXPECT_EQ(FormatText(u"no directives", {u"extra"}), u"no directives");
    EXPECT_EQ(FormatText(u"", {}), u"");
}

}  // namespace
}  // namespace lumora
