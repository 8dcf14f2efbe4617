// What the catalogue load keeps for the programme guide, from files that
// may have been written by anyone.

#include "catalogue/guide_attributes.h"

#include "catalogue_test_support.h"

namespace lumora {
namespace {

class GuideAttributesTest : public test::CatalogueTestBase {
protected:
    std::u16string path = folder.File("Channels.lmch");
};

TEST_F(GuideAttributesTest, TheLoadKeepsGuidesAndMatchingFieldsWithinBounds) {
    DocNode root("2026.1");
    root.SetWString("url-tvg",
                    u" http://g.example/a.xml,,http://g.example/b.xml.gz,"
                    u"http://g.example/a.xml,http://a b,file:///etc/x");
    DocNode* country = root.AddChild("de");
    const struct {
        const char* node;
        std::u16string tvgId;
        std::u16string tvgName;
        std::int32_t shift;
        std::string keptId;
        std::string keptName;
        std::int32_t keptShift;
    } rows[] = {
        {"plain", u"Eins.de", u"Das Erste", -90, "Eins.de", "Das Erste", -90},
        {"none", u"", u"", 0, "", "", 0},
        {"accents", u"Zw\u00f6lf.de", u"Zw\u00f6lf", 48 * 60, "Zw\xc3\xb6lf.de", "Zw\xc3\xb6lf",
         48 * 60},
        {"hostile", std::u16string(300, u'x'), u"a\nb", 48 * 60 + 1, "", "", 0},
    };
    for (const auto& row : rows) {
        DocNode* channel = country->AddChild(row.node);
        channel->SetWString("n", u"Name");
        channel->SetString("c", "n");
        if (!row.tvgId.empty())
            channel->SetWString("tvg-id", row.tvgId);
        if (!row.tvgName.empty())
            channel->SetWString("tvg-name", row.tvgName);
        if (row.shift != 0)
            channel->SetInt("tvg-shift", row.shift);
        channel->AddChild("0")->SetWString("u", u"http://x/" + FromUtf8(row.node));
    }
    ASSERT_TRUE(root.SaveToFile(path));

    Catalogue catalogue;
    ASSERT_TRUE(catalogue.LoadDetached(path, {}, {}));
    EXPECT_EQ(catalogue.GuideAddresses(),
              (std::vector<std::string>{"http://g.example/a.xml", "http://g.example/b.xml.gz",
                                        "file:///etc/x"}));
    for (const auto& row : rows) {
        const Channel* channel = catalogue.FindChannel(std::string("de_") + row.node);
        ASSERT_NE(channel, nullptr) << row.node;
        EXPECT_EQ(channel->tvgId, row.keptId) << row.node;
        EXPECT_EQ(channel->tvgName, row.keptName) << row.node;
        EXPECT_EQ(channel->tvgShiftMinutes, row.keptShift) << row.node;
    }
    catalogue.ReleaseCatalogue();
    EXPECT_TRUE(catalogue.GuideAddresses().empty());
}

}  // namespace
}  // namespace lumora
