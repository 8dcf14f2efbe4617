// A channel's catch-up read back from catalogue files that may have been
// written by anyone, found by channel id as the catalogue load finds it.

#include "catalogue/catchup_attributes.h"

#include <functional>

#include "catalogue_test_support.h"

namespace lumora {
namespace {

class CatchupAttributesTest : public test::CatalogueTestBase {
protected:
    std::u16string path = folder.File("Channels.lmch");
};

TEST_F(CatchupAttributesTest, HostileValuesReadBoundedOrAsNone) {
    DocNode root("2026.1");
    DocNode* country = root.AddChild("de");
    const struct {
        const char* node;
        std::function<void(DocNode&)> write;
        CatchupAttributes read;
    } rows[] = {
        {"plain",
         [](DocNode& n) {
             n.SetString("catchup", "flussonic-ts");
             n.SetWString("catchup-source", u"http://a/{utc}");
             n.SetInt("catchup-days", 7);
             n.SetInt("catchup-correction", -90);
         },
         {CatchupStyle::FlussonicTs, "http://a/{utc}", 7, -90}},
        {"alias and case",
         [](DocNode& n) { n.SetString("catchup", "FS"); },
         {CatchupStyle::FlussonicTs, "", {}, 0}},
        {"out of bounds",
         [](DocNode& n) {
             n.SetString("catchup", "shift");
             n.SetWString("catchup-source", u"http://a/\n{utc}");
             n.SetInt("catchup-days", 100000);
             n.SetInt("catchup-correction", 24 * 60 + 1);
         },
         {CatchupStyle::Shift, "", 365, 0}},
        {"no days, too long a source",
         [](DocNode& n) {
             n.SetString("catchup", "xc");
             n.SetWString("catchup-source", std::u16string(kMaxCatchupSourceBytes + 1, u'a'));
             n.SetInt("catchup-days", -3);
         },
         {CatchupStyle::Xc, "", {}, 0}},
        {"mistyped", [](DocNode& n) { n.SetWString("catchup", u"shift"); }, {}},
        {"unknown style",
         [](DocNode& n) {
             n.SetString("catchup", "vod");
             n.SetInt("catchup-days", 3);
         },
         {}},
    };
    for (const auto& row : rows)
        row.write(*country->AddChild(row.node));
    ASSERT_TRUE(root.SaveToFile(path));
    for (const auto& row : rows)
        EXPECT_EQ(ReadChannelCatchup(path, std::string("de_") + row.node), row.read) << row.node;
    EXPECT_EQ(ReadChannelCatchup(folder.File("missing.lmch"), "de_plain"), std::nullopt);
}

TEST_F(CatchupAttributesTest, ChannelIdsFindTheNodeTheLoadKeeps) {
    DocNode root("2026.1");
    const auto add = [&](const char* code, const char* node, const char* style) {
        root.Child(code, ChildMode::CreateIfMissing)->AddChild(node)->SetString("catchup", style);
    };
    add("de", "one", "shift");
    add("de", "onY", "xc");     // renamed below: a second "one" in "de"
    add("dY", "two", "shift");  // renamed below: a second "de", never loaded
    add("a_b", "c", "xc");      // "a_b" + "c" and "a" + "b_c": the smaller code counts
    add("a", "b_c", "append");
    ASSERT_TRUE(root.SaveToFile(path));
    // Written with distinct names, then renamed in place, since a tree keeps
    // one child of a name.
    std::string bytes = test::ReadBytes(std::filesystem::path(path));
    for (std::string_view from : {std::string_view("\x03"
                                                   "onY"),
                                  std::string_view("\x02"
                                                   "dY")}) {
        const std::size_t at = bytes.find(from);
        ASSERT_NE(at, std::string::npos);
        bytes[at + from.size() - 1] = 'e';  // "onY" -> "one", "dY" -> "de"
    }
    test::WriteBytes(std::filesystem::path(path), bytes);

    const struct {
        const char* id;
        std::optional<CatchupStyle> style;  // none: no such channel
    } rows[] = {
        {"de_one", CatchupStyle::Shift},
        {"de_two", {}},
        {"a_b_c", CatchupStyle::Append},
        {"de", {}},
        {"de_", {}},
        {"_one", {}},
        {"xx_one", {}},
    };
    // The whole catalogue at once finds what the lookup of one finds.
    const CatchupDirectory directory = ReadCatalogueCatchup(path);
    EXPECT_EQ(directory.size(), 2u);
    for (const auto& row : rows) {
        const std::optional<CatchupAttributes> read = ReadChannelCatchup(path, row.id);
        EXPECT_EQ(read.has_value(), row.style.has_value()) << row.id;
        EXPECT_EQ(read.value_or(CatchupAttributes{}).style, row.style) << row.id;
        const auto listed = directory.find(row.id);
        EXPECT_EQ(listed != directory.end() ? listed->second.style : std::nullopt, row.style)
            << row.id;
    }
    EXPECT_TRUE(ReadCatalogueCatchup(path + u".missing").empty());
}

}  // namespace
}  // namespace lumora
