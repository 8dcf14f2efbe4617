#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "document/doc_node.h"
#include "document/doc_view.h"
#include "document/memory_stream.h"
#include "document/whole_file.h"
#include "scratch_folder.h"
#include "test_bytes.h"

using namespace lumora;

namespace {

// A document with every kind of value, nesting and a node with many
// children (past the tree's linear search).
std::string SampleBytes() {
    DocNode root("1.0.2");
    root.SetInt("i", -7);
    DocNode* country = root.AddChild("X1");
    for (int i = 0; i < 12; ++i) {
        DocNode* channel = country->AddChild("c" + std::to_string(i));
        channel->SetWString("n",
                            u"Kanal \u0422\u0412 " + std::u16string(1, char16_t(u'0' + i % 10)));
        channel->SetString("p", "page");
        channel->SetBool("f", i % 2 == 0);
        DocNode* stream = channel->AddChild("0");
        stream->SetInt("b", 300 + i);
        stream->SetWString("u", u"http://127.0.0.1/live.ts");
    }
    DocNode* other = root.AddChild("X2");
    other->AddAttribute("raw")->SetWord(ValueType::Raw32A, 0xDEADBEEF);
    other->AddAttribute("r64")->SetRaw64({1, 2, 3, 4, 5, 6, 7, 8});
    MemoryStream blob;
    blob.Write("blob", 4);
    other->AddAttribute("blob")->SetBlob(std::move(blob));
    other->AddAttribute("bare")->SetBareType(200);
    other->SetString("X1", "a value named like a sibling");
    other->AddChild("deep")->AddChild("deeper")->SetInt("b", 1);
    MemoryStream out;
    root.WriteTo(out);
    return test::Contents(out);
}

struct Both {
    bool treeRead = false;
    bool viewRead = false;
    DocNode tree;
    DocView view;
};

void ReadBoth(const std::string& bytes, Both& both) {
    MemoryStream stream = test::StreamOf(bytes);
    both.treeRead = both.tree.ReadFrom(stream);
    both.viewRead = both.view.Read(bytes.data(), bytes.size());
}

// The view answers every question the catalogue asks as the tree does.
void ExpectSameContent(const DocNode& tree, DocView::Node view, const std::string& path) {
    SCOPED_TRACE(path);
    ASSERT_EQ(view.Name(), tree.Name());
    for (const auto& attribute : tree.Attributes()) {
        const std::string& name = attribute->Name();
        EXPECT_EQ(view.GetInt(name, 12345), tree.GetInt(name, 12345)) << name;
        EXPECT_EQ(view.GetBool(name, false), tree.GetBool(name, false)) << name;
        EXPECT_EQ(view.GetBool(name, true), tree.GetBool(name, true)) << name;
        EXPECT_EQ(view.RequireString(name), tree.RequireString(name)) << name;
        EXPECT_EQ(view.RequireWString(name), tree.RequireWString(name)) << name;
    }
    // The first child of each name, in file order, is the tree's child.
    std::vector<std::string> firstNames;
    std::set<std::string> seen;
    for (DocView::Node child : view.Children()) {
        if (seen.insert(std::string(child.Name())).second)
            firstNames.emplace_back(child.Name());
    }
    std::vector<std::string> treeNames;
    for (const auto& child : tree.Children())
        treeNames.push_back(child->Name());
    ASSERT_EQ(firstNames, treeNames);
    for (const auto& child : tree.Children()) {
        DocView::Node found = view;
        ASSERT_TRUE(view.FindChild(child->Name(), found));
        ExpectSameContent(*child, found, path + "/" + child->Name());
    }
}

void ExpectSameAsTree(const std::string& bytes, const std::string& what) {
    SCOPED_TRACE(what);
    Both both;
    ReadBoth(bytes, both);
    ASSERT_EQ(both.viewRead, both.treeRead);
    EXPECT_EQ(both.view.Empty(), !both.viewRead);
    if (both.viewRead)
        ExpectSameContent(both.tree, both.view.Root(), "");
}

TEST(DocView, ReadsWhatTheTreeReads) {
    const std::string bytes = SampleBytes();
    ExpectSameAsTree(bytes, "whole");
    ExpectSameAsTree(bytes + "trailing bytes", "with bytes after the record");
}

TEST(DocView, RefusesEveryCutAndAgreesWithTheTreeOnEveryDamagedByte) {
    const std::string bytes = SampleBytes();
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        Both both;
        ReadBoth(bytes.substr(0, size), both);
        EXPECT_FALSE(both.viewRead) << "cut at " << size;
        EXPECT_TRUE(both.view.Empty());
    }
    // Each byte set to 0x00 and to 0xFF: counts, type codes, magic words
    // and names all pass through one of these.
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        for (char value : {'\x00', '\xFF'}) {
            std::string damaged = bytes;
            damaged[at] = value;
            ExpectSameAsTree(
                damaged, "byte " + std::to_string(at) + " = " + test::ToHex(std::string(1, value)));
        }
    }
}

TEST(DocView, OfTwoEntriesWithOneNameTheFirstCounts) {
    // Written with distinct names, then renamed in place: "X2" becomes a
    // second "X1" country, "c11" a second "c10" channel.
    std::string bytes = SampleBytes();
    for (auto [from, to] : {std::pair{"X2", "X1"}, std::pair{"c11", "c10"}}) {
        const std::string pattern = std::string(1, char(std::string(from).size())) + from;
        const auto found = bytes.find(pattern);
        ASSERT_NE(found, std::string::npos) << from;
        bytes.replace(found + 1, std::string(from).size(), to);
    }
    // The renamed attribute "X1" of the old "X2" stays; the tree drops
    // the second country and the second channel.
    ExpectSameAsTree(bytes, "duplicates");
    DocView view;
    ASSERT_TRUE(view.Read(bytes.data(), bytes.size()));
    EXPECT_EQ(view.Root().ChildCount(), 2u);
}

TEST(DocView, NestingIsBoundedAsInTheTree) {
    for (int depth : {DocNode::kMaxDepth, DocNode::kMaxDepth + 1}) {
        DocNode root("r");
        DocNode* node = &root;
        for (int i = 0; i < depth; ++i)
            node = node->AddChild("d");
        MemoryStream out;
        root.WriteTo(out);
        ExpectSameAsTree(test::Contents(out), "depth " + std::to_string(depth));
    }
}

TEST(DocView, LoadsAFileAndRefusesAMissingOne) {
    const std::string bytes = SampleBytes();
    const test::ScratchFolder folder;
    const std::string path = folder / "doc_view_test.velt";
    {
        DocNode tree;
        MemoryStream stream = test::StreamOf(bytes);
        ASSERT_TRUE(tree.ReadFrom(stream));
        ASSERT_TRUE(tree.SaveToFile(std::u16string(path.begin(), path.end())));
    }
    DocView view;
    ASSERT_TRUE(view.LoadFromFile(std::u16string(path.begin(), path.end())));
    EXPECT_EQ(view.Root().Name(), "1.0.2");
    EXPECT_EQ(view.Root().GetInt("i", 0), -7);
    std::remove(path.c_str());
    EXPECT_FALSE(view.LoadFromFile(std::u16string(path.begin(), path.end())));
    EXPECT_TRUE(view.Empty());
}

// Another program cuts the file short or writes on at its end: after the
// open (the read fails, so the caller takes the file as damaged) or after
// the load (the view keeps what it read; a mapped file would have ended the
// process with SIGBUS at the first touch of a lost page).
TEST(DocView, AFileChangedWhileItIsReadIsRefusedAndOneChangedAfterwardsStaysReadable) {
    const std::string bytes = SampleBytes();
    const test::ScratchFolder folder;
    const std::string path = folder / "changing.velt";
    const std::u16string widePath(path.begin(), path.end());
    const auto write = [&] { std::ofstream(path, std::ios::binary) << bytes; };
    const auto cut = [&] { std::filesystem::resize_file(path, 3); };
    const auto grow = [&] { std::ofstream(path, std::ios::binary | std::ios::app) << "more"; };
    for (const auto& change : {std::function<void()>(cut), std::function<void()>(grow)}) {
        write();
        WholeFile file;
        ASSERT_TRUE(file.Open(widePath));
        change();
        LargePageVector<std::uint8_t> read(1);
        EXPECT_FALSE(file.ReadAll(read));
        EXPECT_TRUE(read.empty());
    }

    write();
    Both both;
    ReadBoth(bytes, both);
    DocView view;
    ASSERT_TRUE(view.LoadFromFile(widePath));
    std::filesystem::resize_file(path, 0);
    ExpectSameContent(both.tree, view.Root(), "");
}

}  // namespace
