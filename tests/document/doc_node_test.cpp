#include <gtest/gtest.h>

#include <string>

#include "document/doc_node.h"
#include "document/memory_stream.h"

using namespace lumora;

namespace {

std::string NameOf(int i) {
    return "n" + std::to_string(i);
}

TEST(DocNode, ConstructedEmptyOrNamed) {
    DocNode unnamed;
    EXPECT_EQ(unnamed.Name(), "");
    EXPECT_TRUE(unnamed.Attributes().empty());
    EXPECT_TRUE(unnamed.Children().empty());
    DocNode named("set");
    EXPECT_EQ(named.Name(), "set");
}

TEST(DocNode, AddingATakenNameIsRefusedAndKeepsTheOldEntry) {
    DocNode root("r");
    DocNode* child = root.AddChild("options");
    ASSERT_NE(child, nullptr);
    child->SetInt("x", 5);
    EXPECT_EQ(root.AddChild("options"), nullptr);
    EXPECT_EQ(root.Child("options"), child);
    EXPECT_EQ(child->GetInt("x", 0), 5);

    DocAttribute* attribute = root.AddAttribute("volume");
    ASSERT_NE(attribute, nullptr);
    EXPECT_EQ(attribute->Type(), ValueType::Unset);
    EXPECT_EQ(attribute->Word(), 0u);
    attribute->SetInt(42);
    EXPECT_EQ(root.AddAttribute("volume"), nullptr);
    EXPECT_EQ(root.GetInt("volume", 0), 42);
    EXPECT_EQ(root.Attributes().size(), 1u);
}

TEST(DocNode, NodeSettersReplaceAnAttributeOfAnotherType) {
    DocNode node;
    node.SetInt("v", 7);
    node.SetBool("v", true);
    EXPECT_EQ(node.FindAttribute("v")->Type(), ValueType::Bool);
    EXPECT_TRUE(node.GetBool("v", false));
    node.SetString("v", "text");
    EXPECT_EQ(node.FindAttribute("v")->Type(), ValueType::String);
    EXPECT_EQ(node.GetString("v"), "text");
    node.SetWString("v", u"wide");
    EXPECT_EQ(node.FindAttribute("v")->Type(), ValueType::WString);
    EXPECT_EQ(node.GetWString("v"), u"wide");
    EXPECT_EQ(node.GetString("v", "fallback"), "fallback");
    EXPECT_EQ(node.Attributes().size(), 1u);
}

TEST(DocNode, AttributeSettersReleaseTheOldPayload) {
    DocAttribute attribute("a");
    attribute.SetBlob(lumora::MemoryStream());
    ASSERT_NE(attribute.Blob(), nullptr);
    attribute.SetString("s");
    EXPECT_EQ(attribute.Blob(), nullptr);
    EXPECT_EQ(*attribute.String(), "s");
    attribute.SetInt(-3);
    EXPECT_EQ(attribute.String(), nullptr);
    EXPECT_EQ(attribute.Word(), 0xFFFFFFFDu);
    attribute.SetBareType(200);
    EXPECT_EQ(attribute.TypeCode(), 200u);
    EXPECT_EQ(attribute.Word(), 0u);
}

TEST(DocNode, GettersTreatAWrongTypeAsAbsent) {
    DocNode node;
    node.SetBool("flag", true);
    node.SetInt("number", 9);
    node.SetString("text", "abc");
    EXPECT_EQ(node.GetInt("flag", -1), -1);
    EXPECT_FALSE(node.GetBool("number", false));
    EXPECT_TRUE(node.GetBool("number", true));
    EXPECT_EQ(node.GetWString("text", u"dflt"), u"dflt");
    EXPECT_EQ(node.GetBlob("text"), nullptr);
    EXPECT_EQ(node.GetInt("missing", 12), 12);
    EXPECT_EQ(node.GetString("missing", "d"), "d");
    EXPECT_EQ(node.RequireString("number"), "");
    EXPECT_EQ(node.RequireWString("missing"), u"");
    EXPECT_EQ(node.RequireString("text"), "abc");
}

TEST(DocNode, GetBoolLooksAtTheLowByteOnly) {
    const struct {
        std::uint32_t word;
        bool expected;
    } cases[] = {{0, false},   {1, true},     {2, true},           {255, true},
                 {256, false}, {0x101, true}, {0xFFFFFF00u, false}};
    for (const auto& c : cases) {
        DocNode node;
        node.AddAttribute("b")->SetWord(ValueType::Bool, c.word);
        EXPECT_EQ(node.GetBool("b", !c.expected), c.expected) << "word " << c.word;
    }
}

TEST(DocNode, GetIntKeepsTheSign) {
    DocNode node;
    node.SetInt("min", INT32_MIN);
    node.SetInt("neg", -1);
    EXPECT_EQ(node.GetInt("min", 0), INT32_MIN);
    EXPECT_EQ(node.GetInt("neg", 0), -1);
}

TEST(DocNode, NamesAreExactBytes) {
    DocNode node;
    node.AddChild("Options");
    node.AddChild("options");
    node.AddChild("");
    node.AddChild(std::string("a\0b", 3));
    node.SetInt("", 1);
    node.SetInt("Key", 2);
    node.SetInt("key", 3);
    node.SetInt("key ", 4);
    EXPECT_EQ(node.Children().size(), 4u);
    EXPECT_NE(node.Child("Options"), node.Child("options"));
    EXPECT_NE(node.Child(""), nullptr);
    EXPECT_NE(node.Child(std::string("a\0b", 3)), nullptr);
    EXPECT_EQ(node.Child("a"), nullptr);
    EXPECT_EQ(node.GetInt("", 0), 1);
    EXPECT_EQ(node.GetInt("Key", 0), 2);
    EXPECT_EQ(node.GetInt("key", 0), 3);
    EXPECT_EQ(node.GetInt("key ", 0), 4);
    // A child and an attribute may share a name.
    node.SetInt("options", 5);
    EXPECT_EQ(node.GetInt("options", 0), 5);
    EXPECT_NE(node.Child("options"), nullptr);
}

TEST(DocNode, ChildWithCreateReturnsTheSameNodeTwice) {
    DocNode root;
    EXPECT_EQ(root.Child("c"), nullptr);
    EXPECT_TRUE(root.Children().empty());
    DocNode* first = root.Child("c", ChildMode::CreateIfMissing);
    DocNode* second = root.Child("c", ChildMode::CreateIfMissing);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->Name(), "c");
    EXPECT_EQ(root.Children().size(), 1u);
}

TEST(DocNode, ClearKeepsTheName) {
    DocNode root("keep");
    root.AddChild("a")->AddChild("b");
    root.SetInt("x", 1);
    root.Clear();
    EXPECT_EQ(root.Name(), "keep");
    EXPECT_TRUE(root.Children().empty());
    EXPECT_TRUE(root.Attributes().empty());
    EXPECT_EQ(root.Child("a"), nullptr);
    EXPECT_EQ(root.FindAttribute("x"), nullptr);
    // Usable again after clearing.
    EXPECT_NE(root.AddChild("a"), nullptr);
}

TEST(DocNode, EntriesKeepTheOrderTheyWereAdded) {
    DocNode node;
    for (int i = 20; i > 0; --i) {
        node.AddChild(NameOf(i));
        node.SetInt(NameOf(i), i);
    }
    ASSERT_EQ(node.Children().size(), 20u);
    for (int k = 0; k < 20; ++k) {
        EXPECT_EQ(node.Children()[k]->Name(), NameOf(20 - k));
        EXPECT_EQ(node.Attributes()[k]->Name(), NameOf(20 - k));
    }
}

// Past a handful of entries the lookups go through an index; replacing an
// entry must keep that index pointing at the live entry.
TEST(DocNode, ReplacingInALargeNodeKeepsLookupsRight) {
    for (int count : {3, 8, 9, 40}) {
        DocNode node;
        for (int i = 0; i < count; ++i)
            node.SetInt(NameOf(i), i);
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < count; i += 2)
                node.SetString(NameOf(i), "v" + std::to_string(round));
        }
        ASSERT_EQ(node.Attributes().size(), static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const DocAttribute* attribute = node.FindAttribute(NameOf(i));
            ASSERT_NE(attribute, nullptr) << count << " " << i;
            EXPECT_EQ(attribute->Name(), NameOf(i));
            EXPECT_EQ(node.Attributes()[i].get(), attribute)
                << "the replacement takes the old place";
            if (i % 2 == 0)
                EXPECT_EQ(node.GetString(NameOf(i)), "v2");
            else
                EXPECT_EQ(node.GetInt(NameOf(i), -1), i);
        }
        EXPECT_EQ(node.AddAttribute(NameOf(0)), nullptr);
        EXPECT_NE(node.AddAttribute("new"), nullptr);
        EXPECT_NE(node.FindAttribute("new"), nullptr);
    }
}

TEST(DocNode, ManyChildrenStayFindableAndStable) {
    DocNode root;
    DocNode* first = root.AddChild(NameOf(0));
    for (int i = 1; i < 1000; ++i)
        ASSERT_NE(root.AddChild(NameOf(i)), nullptr);
    EXPECT_EQ(root.Child(NameOf(0)), first);  // pointers survive growth
    for (int i = 0; i < 1000; i += 37)
        EXPECT_EQ(root.Child(NameOf(i))->Name(), NameOf(i));
    EXPECT_EQ(root.AddChild(NameOf(500)), nullptr);
    EXPECT_EQ(root.Child("n1000"), nullptr);
}

TEST(DocNode, SetAttributeTakesAReadyMadeAttribute) {
    DocNode node;
    node.SetInt("a", 1);
    auto attribute = std::make_unique<DocAttribute>("a");
    attribute->SetWString(u"new");
    DocAttribute* raw = attribute.get();
    EXPECT_EQ(node.SetAttribute(std::move(attribute)), raw);
    EXPECT_EQ(node.FindAttribute("a"), raw);
    EXPECT_EQ(node.GetWString("a"), u"new");
}

TEST(DocNode, GetBlobHandsOutTheStoredStream) {
    DocNode node;
    MemoryStream bytes;
    bytes.Write("abc", 3);
    node.AddAttribute("image")->SetBlob(std::move(bytes));
    MemoryStream* blob = node.GetBlob("image");
    ASSERT_NE(blob, nullptr);
    EXPECT_EQ(blob->View(), "abc");
    EXPECT_EQ(node.GetBlob("image"), blob);
    MemoryStream fallback;
    EXPECT_EQ(node.GetBlob("other", &fallback), &fallback);
}

// A stream that takes a limited number of bytes, like a full disk.
class FullStream final : public ByteStream {
public:
    explicit FullStream(std::uint32_t room) : room_(room) {}
    std::uint32_t Write(const void*, std::uint32_t count) override {
        std::uint32_t taken = std::min(count, room_);
        room_ -= taken;
        written_ += taken;
        return taken;
    }
    std::uint32_t Read(void*, std::uint32_t) override { return 0; }
    std::uint32_t Seek(std::int32_t, SeekOrigin) override { return written_; }
    std::uint32_t Size() override { return written_; }
    bool SetSize(std::uint32_t) override { return false; }
    std::uint32_t Position() override { return written_; }
    void Close() override {}

private:
    std::uint32_t room_;
    std::uint32_t written_ = 0;
};

TEST(DocNode, WriteAllToReportsBytesThatDidNotArrive) {
    DocNode root("set");
    root.AddChild("options")->SetBool("AutoCU", true);
    FullStream roomy(48);
    EXPECT_TRUE(root.WriteAllTo(roomy));
    FullStream tight(47);
    EXPECT_FALSE(root.WriteAllTo(tight));
    FullStream none(0);
    EXPECT_FALSE(root.WriteAllTo(none));
}

}  // namespace
