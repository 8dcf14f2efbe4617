#include "catalogue/shown_name.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

TEST(ShownName, HiddenControlsGoAndLineBreaksBecomeSpaces) {
    const struct {
        std::u16string in;
        std::u16string shown;
    } cases[] = {
        {u"", u""},
        {u"Das Erste HD", u"Das Erste HD"},
        {u"\u202Eevil.exe\u202C TV", u"evil.exe TV"},
        {u"a\u202Ab\u202Bc\u202Dd", u"abcd"},
        {u"\u2066x\u2067y\u2068z\u2069", u"xyz"},
        {u"News\nof the\tday\r", u"News of the day "},
        {u"Line\u2028two\u2029three\u0085four", u"Line two three four"},
        {std::u16string(u"nul\0here", 8), u"nulhere"},
        {u"bell\u0007 del\u007F c1\u0080\u009F", u"bell del c1"},
        // Marks that shape right-to-left names without hiding anything stay.
        {u"\u05E2\u05E8\u05D5\u05E5 \u200F1", u"\u05E2\u05E8\u05D5\u05E5 \u200F1"},
        {u"caf\u00E9 \U0001F4FA", u"caf\u00E9 \U0001F4FA"},
    };
    for (const auto& c : cases) {
        std::u16string name = c.in;
        RemoveHiddenControls(name);
        EXPECT_EQ(name, c.shown) << "case " << (&c - cases);
    }
}

}  // namespace
}  // namespace lumora
