#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "document/doc_format.h"
#include "document/doc_node.h"
#include "document/file_stream.h"
#include "document/memory_stream.h"
#include "document/text_encoding.h"
#include "scratch_folder.h"
#include "test_bytes.h"

// The largest single allocation since the last reset: hostile counts must
// not make the reader ask for memory the input cannot fill.
namespace {
std::atomic<std::size_t> largestAllocation{0};
}

#pragma GCC diagnostic push
// The replacements pair malloc with free themselves.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    std::size_t seen = largestAllocation.load(std::memory_order_relaxed);
    while (size > seen &&
           !largestAllocation.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

using namespace lumora;
using lumora::test::Contents;
using lumora::test::Hex;
using lumora::test::StreamOf;
using lumora::test::ToHex;

namespace {

// ---------------------------------------------------------------- byte builders

std::string Count(std::uint32_t n) {
    MemoryStream out;
    WriteCount(out, n);
    return Contents(out);
}

std::string U32(std::uint32_t n) {
    return std::string(reinterpret_cast<const char*>(&n), 4);
}

std::string Narrow(const std::string& text) {
    return Count(static_cast<std::uint32_t>(text.size())) + text;
}

std::string Record(const std::string& name, const std::vector<std::string>& attributes,
                   const std::vector<std::string>& children = {}) {
    std::string bytes = "VELT" + Narrow(name) + U32(static_cast<std::uint32_t>(attributes.size()));
    for (const auto& attribute : attributes)
        bytes += attribute;
    bytes += U32(static_cast<std::uint32_t>(children.size()));
    for (const auto& child : children)
        bytes += child;
    return bytes;
}

std::string WordAttribute(const std::string& name, std::uint8_t code, std::uint32_t word) {
    return Narrow(name) + static_cast<char>(code) + U32(word);
}

std::string Written(const DocNode& node) {
    MemoryStream out;
    EXPECT_TRUE(node.WriteAllTo(out));
    return Contents(out);
}

// Reads the bytes into a fresh node; the node is null when the read fails.
std::unique_ptr<DocNode> Read(const std::string& bytes) {
    MemoryStream in = StreamOf(bytes);
    auto node = std::make_unique<DocNode>();
    if (!node->ReadFrom(in))
        return nullptr;
    return node;
}

// A document with every kind of value, two levels deep.
std::string EveryTypeDocument() {
    std::string blob = Narrow("image") + '\x08' + U32(5) + std::string("\x89PNG\0", 5);
    return Record(
        "root",
        {WordAttribute("u", 0, 0x11223344), WordAttribute("i", 1, 0xFFFFFFFE),
         WordAttribute("b", 2, 1), WordAttribute("r3", 3, 0xDEADBEEF),
         WordAttribute("r4", 4, 0x80000000),
         Narrow("r64") + '\x05' + Hex("01 02 03 04 05 06 07 08"),
         Narrow("s") + '\x06' + Narrow("caf\xC3\xA9"), Narrow("w") + '\x07' + Hex("02 48 00 69 00"),
         blob, Narrow("bare9") + '\x09', Narrow("bare255") + '\xFF'},
        {Record("child", {WordAttribute("x", 1, 3)}, {Record("", {})}),
         Record("second", {Narrow("e") + '\x06' + '\0'})});
}

// ---------------------------------------------------------------- codecs

TEST(DocFormat, CountPrefixesHaveExactBytes) {
    const struct {
        std::uint32_t count;
        const char* hex;
    } cases[] = {
        {0, "00"},
        {1, "01"},
        {254, "FE"},
        {255, "FF FF 00"},
        {256, "FF 00 01"},
        {65534, "FF FE FF"},
        {65535, "FF FF FF FF FF 00 00"},
        {70000, "FF FF FF 70 11 01 00"},
        {0xFFFFFFFF, "FF FF FF FF FF FF FF"},
    };
    for (const auto& c : cases) {
        MemoryStream out;
        EXPECT_TRUE(WriteCount(out, c.count));
        EXPECT_EQ(ToHex(Contents(out)), ToHex(Hex(c.hex))) << c.count;
        EXPECT_EQ(CountSize(c.count), Hex(c.hex).size()) << c.count;
        out.Seek(0, SeekOrigin::Begin);
        std::uint32_t back = 12345;
        EXPECT_TRUE(ReadCount(out, back));
        EXPECT_EQ(back, c.count);
        EXPECT_EQ(out.Position(), out.Size());
    }
}

// The writer prefixes names with the same codec at every boundary.
TEST(DocFormat, RecordNamesUseTheCountCodec) {
    for (std::uint32_t length : {0u, 254u, 255u, 65534u, 65535u, 70000u}) {
        const std::string name(length, 'n');
        EXPECT_EQ(Written(DocNode(name)), "VELT" + Narrow(name) + U32(0) + U32(0)) << length;
        auto back = Read("VELT" + Narrow(name) + U32(0) + U32(0));
        ASSERT_NE(back, nullptr) << length;
        EXPECT_EQ(back->Name(), name);
    }
}

TEST(DocFormat, LongerCountFormsOfSmallValuesStillRead) {
    const struct {
        const char* hex;
        std::uint32_t count;
    } cases[] = {{"FF 05 00", 5}, {"FF FF FF 05 00 00 00", 5}, {"FF FE 00", 254}};
    for (const auto& c : cases) {
        MemoryStream in = StreamOf(Hex(c.hex));
        std::uint32_t back = 0;
        EXPECT_TRUE(ReadCount(in, back));
        EXPECT_EQ(back, c.count);
    }
}

TEST(DocFormat, CutCountsFail) {
    for (const char* hex : {"", "FF", "FF 01", "FF FF FF", "FF FF FF 01 02 03"}) {
        MemoryStream in = StreamOf(Hex(hex));
        std::uint32_t back = 0;
        EXPECT_FALSE(ReadCount(in, back)) << hex;
    }
}

TEST(DocFormat, NarrowStringsCarryAnyByte) {
    const std::string texts[] = {"",
                                 "a",
                                 std::string("\0\xFF\x80 x\0", 6),
                                 std::string(254, 'q'),
                                 std::string(255, 'r'),
                                 std::string(70000, 's')};
    for (const std::string& text : texts) {
        MemoryStream out;
        EXPECT_TRUE(WriteNarrow(out, text));
        EXPECT_EQ(Contents(out), Count(static_cast<std::uint32_t>(text.size())) + text);
        out.Seek(0, SeekOrigin::Begin);
        std::string back = "junk";
        EXPECT_TRUE(ReadNarrow(out, back));
        EXPECT_EQ(back, text);
    }
    MemoryStream empty;
    WriteNarrow(empty, "");
    EXPECT_EQ(ToHex(Contents(empty)), "00");
}

TEST(DocFormat, WideStringsCountUnits) {
    MemoryStream out;
    EXPECT_TRUE(WriteWide(out, u"Hi"));
    EXPECT_EQ(ToHex(Contents(out)), "02 48 00 69 00");
    MemoryStream empty;
    WriteWide(empty, u"");
    EXPECT_EQ(ToHex(Contents(empty)), "00");

    const std::u16string texts[] = {u"", u"\u00e9\U0001F600", std::u16string(1, char16_t(0xD800)),
                                    std::u16string(300, u'x')};
    for (const auto& text : texts) {
        MemoryStream stream;
        WriteWide(stream, text);
        EXPECT_EQ(stream.Size(),
                  Count(static_cast<std::uint32_t>(text.size())).size() + 2 * text.size());
        stream.Seek(0, SeekOrigin::Begin);
        std::u16string back = u"junk";
        EXPECT_TRUE(ReadWide(stream, back));
        EXPECT_EQ(back, text);
    }
}

TEST(DocFormat, StringsLongerThanTheBytesLeftFail) {
    std::string narrow = "keep";
    MemoryStream a = StreamOf(Hex("05 61 62"));
    EXPECT_FALSE(ReadNarrow(a, narrow));
    EXPECT_EQ(narrow, "keep");

    std::u16string wide = u"keep";
    MemoryStream b = StreamOf(Hex("02 48 00 69"));  // one byte short
    EXPECT_FALSE(ReadWide(b, wide));
    EXPECT_EQ(wide, u"keep");

    MemoryStream c = StreamOf(Hex("FF FF FF FF FF FF FF 00"));
    largestAllocation = 0;
    EXPECT_FALSE(ReadNarrow(c, narrow));
    EXPECT_LT(largestAllocation.load(), 1u << 20);
}

TEST(DocFormat, BlobsCarryTheWholeBufferWhateverThePosition) {
    MemoryStream empty;
    MemoryStream out;
    EXPECT_TRUE(WriteBlob(out, empty));
    EXPECT_EQ(ToHex(Contents(out)), "00 00 00 00");
    out.Seek(0, SeekOrigin::Begin);
    MemoryStream back = StreamOf("old");
    EXPECT_TRUE(ReadBlob(out, back));
    EXPECT_EQ(back.Size(), 0u);
    EXPECT_EQ(back.Data(), nullptr);

    MemoryStream blob = StreamOf("abcdef");
    blob.Seek(4, SeekOrigin::Begin);
    MemoryStream written;
    WriteBlob(written, blob);
    EXPECT_EQ(Contents(written), U32(6) + "abcdef");
    written.Seek(0, SeekOrigin::Begin);
    EXPECT_TRUE(ReadBlob(written, back));
    EXPECT_EQ(Contents(back), "abcdef");
    EXPECT_EQ(back.Position(), 0u);

    MemoryStream cut = StreamOf(U32(0xFFFFFFF0) + "xyz");
    largestAllocation = 0;
    EXPECT_FALSE(ReadBlob(cut, back));
    EXPECT_LT(largestAllocation.load(), 1u << 20);
    EXPECT_EQ(back.Size(), 0u);
}

// ---------------------------------------------------------------- records

TEST(DocFormat, AnUnnamedEmptyNodeIs13Bytes) {
    DocNode node;
    EXPECT_EQ(ToHex(Written(node)), "56 45 4C 54 00 00 00 00 00 00 00 00 00");
}

const char kWorkedExample[] =
    "56 45 4C 54  03 73 65 74  00 00 00 00  01 00 00 00"
    "56 45 4C 54  07 6F 70 74 69 6F 6E 73  01 00 00 00"
    "06 41 75 74 6F 43 55  02  01 00 00 00  00 00 00 00";

TEST(DocFormat, TheWorkedExampleByteForByte) {
    DocNode root("set");
    root.AddChild("options")->SetBool("AutoCU", true);
    std::string bytes = Written(root);
    EXPECT_EQ(bytes.size(), 48u);
    EXPECT_EQ(ToHex(bytes), ToHex(Hex(kWorkedExample)));

    auto back = Read(Hex(kWorkedExample));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Name(), "set");
    EXPECT_TRUE(back->Attributes().empty());
    ASSERT_EQ(back->Children().size(), 1u);
    const DocNode* options = back->Child("options");
    ASSERT_NE(options, nullptr);
    EXPECT_TRUE(options->GetBool("AutoCU", false));
    EXPECT_EQ(options->FindAttribute("AutoCU")->Type(), ValueType::Bool);
}

TEST(DocFormat, EveryValueTypeReadsWithItsValue) {
    auto root = Read(EveryTypeDocument());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Name(), "root");
    ASSERT_EQ(root->Attributes().size(), 11u);
    EXPECT_EQ(root->FindAttribute("u")->Type(), ValueType::Unset);
    EXPECT_EQ(root->FindAttribute("u")->Word(), 0x11223344u);
    EXPECT_EQ(root->GetInt("i", 0), -2);
    EXPECT_TRUE(root->GetBool("b", false));
    EXPECT_EQ(root->FindAttribute("r3")->Type(), ValueType::Raw32A);
    EXPECT_EQ(root->FindAttribute("r3")->Word(), 0xDEADBEEFu);
    EXPECT_EQ(root->FindAttribute("r4")->Type(), ValueType::Raw32B);
    ASSERT_NE(root->FindAttribute("r64")->Raw64(), nullptr);
    EXPECT_EQ((*root->FindAttribute("r64")->Raw64())[7], 8);
    EXPECT_EQ(root->GetString("s"), "caf\xC3\xA9");
    EXPECT_EQ(root->GetWString("w"), u"Hi");
    MemoryStream* blob = root->GetBlob("image");
    ASSERT_NE(blob, nullptr);
    EXPECT_EQ(blob->Size(), 5u);
    EXPECT_EQ(blob->Position(), 0u);
    EXPECT_EQ(root->FindAttribute("bare9")->TypeCode(), 9u);
    EXPECT_EQ(root->FindAttribute("bare255")->TypeCode(), 255u);
    EXPECT_EQ(root->Child("child")->GetInt("x", 0), 3);
    EXPECT_NE(root->Child("child")->Child(""), nullptr);
    EXPECT_EQ(root->Child("second")->GetString("e", "x"), "");
}

TEST(DocFormat, RawAndBareTypesSurviveByteForByte) {
    std::vector<std::string> records = {
        WordAttribute("a", 3, 0xFFFFFFFF), WordAttribute("b", 4, 0x01020304),
        WordAttribute("z", 0, 0xCAFEBABE), Narrow("c") + '\x05' + Hex("FF 00 FE 01 FD 02 FC 03")};
    for (int code = 9; code <= 255; ++code)
        records.push_back(Narrow("t" + std::to_string(code)) + static_cast<char>(code));
    std::string bytes = Record("raw", records);
    auto node = Read(bytes);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Attributes().size(), records.size());
    EXPECT_EQ(ToHex(Written(*node)), ToHex(bytes));
}

TEST(DocFormat, EveryTypeRoundTripsByteForByte) {
    std::string bytes = EveryTypeDocument();
    auto node = Read(bytes);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(ToHex(Written(*node)), ToHex(bytes));
}

// Trees built through the model, written, read and written again.
TEST(DocFormat, BuiltTreesRoundTrip) {
    const std::vector<std::pair<const char*, std::function<void(DocNode&)>>> builders = {
        {"empty", [](DocNode&) {}},
        {"settings",
         [](DocNode& r) {
             auto* options = r.AddChild("options");
             options->SetBool("first_run", false);
             options->SetInt("sound_volume", 80);
             options->SetWString("Language", u"de");
             r.AddChild("channels")->AddChild("de.ard")->SetBool("fav", true);
         }},
        {"long names and values",
         [](DocNode& r) {
             r.SetString(std::string(300, 'k'), std::string(70000, 'v'));
             r.SetWString("w", std::u16string(65535, u'\u4e2d'));
             r.AddChild(std::string(65534, 'c'));
         }},
        {"binary names",
         [](DocNode& r) {
             r.SetInt(std::string("\0\xFF", 2), 1);
             r.AddChild(std::string("\x80\x81", 2))->SetString("", std::string("\0", 1));
         }},
        {"blobs",
         [](DocNode& r) {
             MemoryStream big;
             std::string bytes(100000, '\x5A');
             big.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
             r.AddAttribute("big")->SetBlob(std::move(big));
             r.AddAttribute("none")->SetBlob(MemoryStream());
         }},
        {"deep",
         [](DocNode& r) {
             DocNode* at = &r;
             for (int i = 0; i < DocNode::kMaxDepth; ++i)
                 at = at->AddChild("d");
             at->SetInt("leaf", 1);
         }},
    };
    for (const auto& [label, build] : builders) {
        DocNode root("root");
        build(root);
        std::string once = Written(root);
        auto back = Read(once);
        ASSERT_NE(back, nullptr) << label;
        EXPECT_EQ(Written(*back), once) << label;
    }
}

TEST(DocFormat, BytesAfterTheRootRecordAreLeftUnread) {
    std::string record = Hex(kWorkedExample);
    MemoryStream in = StreamOf(record + "VELTtrailing garbage");
    DocNode node;
    EXPECT_TRUE(node.ReadFrom(in));
    EXPECT_EQ(in.Position(), record.size());
    EXPECT_NE(node.Child("options"), nullptr);
}

TEST(DocFormat, TwoRecordsInOneStreamReadOneAfterTheOther) {
    MemoryStream in = StreamOf(Record("first", {}) + Record("second", {}));
    DocNode a, b;
    EXPECT_TRUE(a.ReadFrom(in));
    EXPECT_TRUE(b.ReadFrom(in));
    EXPECT_EQ(a.Name(), "first");
    EXPECT_EQ(b.Name(), "second");
}

TEST(DocFormat, TheFirstOfTwoEqualNamesWins) {
    for (int padding : {0, 20}) {  // small nodes and indexed ones
        std::vector<std::string> attributes;
        std::vector<std::string> children;
        for (int i = 0; i < padding; ++i) {
            attributes.push_back(WordAttribute("p" + std::to_string(i), 1, i));
            children.push_back(Record("p" + std::to_string(i), {}));
        }
        attributes.push_back(WordAttribute("dup", 1, 1));
        attributes.push_back(Narrow("dup") + '\x06' + Narrow("second"));
        attributes.push_back(WordAttribute("dup", 1, 3));
        children.push_back(Record("kid", {WordAttribute("which", 1, 1)}));
        children.push_back(
            Record("kid", {WordAttribute("which", 1, 2)}, {Record("grandchild", {})}));

        auto node = Read(Record("n", attributes, children));
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->Attributes().size(), static_cast<std::size_t>(padding + 1));
        EXPECT_EQ(node->Children().size(), static_cast<std::size_t>(padding + 1));
        EXPECT_EQ(node->GetInt("dup", 0), 1);
        EXPECT_EQ(node->Child("kid")->GetInt("which", 0), 1);
        EXPECT_EQ(node->Child("kid")->Child("grandchild"), nullptr);
    }
}

TEST(DocFormat, AWrongMagicAtTheRootFailsAfterFourBytes) {
    DocNode node("kept");
    node.SetInt("old", 1);
    node.AddChild("old");
    MemoryStream in = StreamOf("velt" + Narrow("x") + U32(0) + U32(0));
    EXPECT_FALSE(node.ReadFrom(in));
    EXPECT_EQ(in.Position(), 4u);
    EXPECT_EQ(node.Name(), "kept");
    EXPECT_TRUE(node.Attributes().empty());
    EXPECT_TRUE(node.Children().empty());
}

TEST(DocFormat, AWrongMagicInANestedRecordFailsTheWholeRead) {
    std::string bad =
        Record("a", {}, {Record("good", {}), "VELX" + Narrow("bad") + U32(0) + U32(0)});
    DocNode node;
    MemoryStream in = StreamOf(bad);
    EXPECT_FALSE(node.ReadFrom(in));
    EXPECT_TRUE(node.Children().empty());
}

TEST(DocFormat, EveryCutShortDocumentFailsCleanly) {
    for (const std::string& full : {EveryTypeDocument(), Hex(kWorkedExample)}) {
        ASSERT_NE(Read(full), nullptr);
        for (std::size_t length = 0; length < full.size(); ++length) {
            MemoryStream in = StreamOf(full.substr(0, length));
            DocNode node;
            EXPECT_FALSE(node.ReadFrom(in)) << "prefix of " << length << " bytes";
            EXPECT_TRUE(node.Attributes().empty());
            EXPECT_TRUE(node.Children().empty());
            EXPECT_LE(in.Position(), in.Size());
        }
    }
}

TEST(DocFormat, CountsBeyondTheBytesLeftFailWithoutHugeAllocations) {
    const std::pair<const char*, std::string> cases[] = {
        {"attribute count", "VELT" + Narrow("n") + U32(0xFFFFFFFF) + std::string(40, '\0')},
        {"child count", "VELT" + Narrow("n") + U32(0) + U32(0x7FFFFFFF) + std::string(40, '\0')},
        {"name length", "VELT" + Hex("FF FF FF FF FF FF 7F") + std::string(40, 'a')},
        {"string length",
         Record("n", {Narrow("s") + '\x06' + Hex("FF FF FF 00 00 00 10") + "abc"})},
        {"wide length", Record("n", {Narrow("w") + '\x07' + Hex("FF FF FF 00 00 00 10") + "abcd"})},
        {"wide odd bytes",
         "VELT" + Narrow("n") + U32(1) + Narrow("w") + '\x07' + Hex("02 41 00 42")},
        {"blob length", Record("n", {Narrow("b") + '\x08' + U32(0xFFFFFFFF) + "abcd"})},
    };
    for (const auto& [label, bytes] : cases) {
        MemoryStream in = StreamOf(bytes);
        DocNode node;
        largestAllocation = 0;
        EXPECT_FALSE(node.ReadFrom(in)) << label;
        EXPECT_LT(largestAllocation.load(), 1u << 20) << label;
    }
}

std::string Chain(int levels) {
    // Every level is the same record head with one child, then the leaf.
    const std::string head = "VELT" + Narrow("d") + U32(0) + U32(1);
    std::string bytes;
    bytes.reserve(head.size() * levels + 16);
    for (int i = 0; i < levels; ++i)
        bytes += head;
    return bytes + Record("leaf", {});
}

TEST(DocFormat, NestingIsLimited) {
    auto deepest = Read(Chain(DocNode::kMaxDepth));
    ASSERT_NE(deepest, nullptr);
    EXPECT_FALSE(Read(Chain(DocNode::kMaxDepth + 1)));
    // Far too deep for the stack if nothing stopped it.
    EXPECT_FALSE(Read(Chain(200000)));
}

TEST(DocFormat, ANodeWithFiftyThousandChildren) {
    DocNode root("big");
    for (int i = 0; i < 50000; ++i) {
        DocNode* child = root.AddChild("c" + std::to_string(i));
        child->SetInt("i", i);
        root.SetInt("a" + std::to_string(i), i);
    }
    std::string bytes = Written(root);
    auto back = Read(bytes);
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->Children().size(), 50000u);
    ASSERT_EQ(back->Attributes().size(), 50000u);
    for (int i = 0; i < 50000; i += 4999) {
        EXPECT_EQ(back->Child("c" + std::to_string(i))->GetInt("i", -1), i);
        EXPECT_EQ(back->GetInt("a" + std::to_string(i), -1), i);
        EXPECT_EQ(back->Children()[i]->Name(), "c" + std::to_string(i));
    }
    EXPECT_EQ(Written(*back), bytes);

    // The same name fifty thousand times: one child, the first.
    std::string same = "VELT" + Narrow("s") + U32(0) + U32(50000);
    for (int i = 0; i < 50000; ++i)
        same += Record("x", {WordAttribute("i", 1, i)});
    auto one = Read(same);
    ASSERT_NE(one, nullptr);
    ASSERT_EQ(one->Children().size(), 1u);
    EXPECT_EQ(one->Child("x")->GetInt("i", -1), 0);
}

// A stream that only goes forward and does not know its size, like a pipe.
class ForwardOnlyStream final : public ByteStream {
public:
    explicit ForwardOnlyStream(std::string bytes) : bytes_(std::move(bytes)) {}
    std::uint32_t Write(const void*, std::uint32_t) override { return 0; }
    std::uint32_t Read(void* buffer, std::uint32_t count) override {
        // Hands out at most 7 bytes per call, as a pipe may.
        std::uint32_t n =
            std::min<std::uint32_t>({count, 7, static_cast<std::uint32_t>(bytes_.size() - at_)});
        std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }
    std::uint32_t Seek(std::int32_t, SeekOrigin) override { return 0; }
    std::uint32_t Size() override { return 0; }
    bool SetSize(std::uint32_t) override { return false; }
    std::uint32_t Position() override { return 0; }
    void Close() override {}

private:
    std::string bytes_;
    std::size_t at_ = 0;
};

TEST(DocFormat, ReadsFromAForwardOnlyStream) {
    ForwardOnlyStream in(EveryTypeDocument());
    DocNode node;
    ASSERT_TRUE(node.ReadFrom(in));
    EXPECT_EQ(Written(node), EveryTypeDocument());

    ForwardOnlyStream cut(EveryTypeDocument().substr(0, 50));
    EXPECT_FALSE(node.ReadFrom(cut));
}

// Collects whatever is written, like a file would; it is not a memory stream,
// so the writer takes its chunked road.
class CollectingStream final : public ByteStream {
public:
    std::uint32_t Write(const void* data, std::uint32_t count) override {
        bytes.append(static_cast<const char*>(data), count);
        return count;
    }
    std::uint32_t Read(void*, std::uint32_t) override { return 0; }
    std::uint32_t Seek(std::int32_t, SeekOrigin) override { return Size(); }
    std::uint32_t Size() override { return static_cast<std::uint32_t>(bytes.size()); }
    bool SetSize(std::uint32_t) override { return false; }
    std::uint32_t Position() override { return Size(); }
    void Close() override {}
    std::string bytes;
};

TEST(DocFormat, EveryStreamGetsTheSameBytes) {
    DocNode big("big");
    for (int i = 0; i < 20000; ++i)
        big.AddChild("c" + std::to_string(i))->SetWString("u", u"http://example.net/stream");
    MemoryStream blob;
    std::string payload(200000, 'b');
    blob.Write(payload.data(), static_cast<std::uint32_t>(payload.size()));
    big.AddAttribute("blob")->SetBlob(std::move(blob));
    auto every = Read(EveryTypeDocument());
    ASSERT_NE(every, nullptr);

    for (const DocNode* node :
         {static_cast<const DocNode*>(&big), static_cast<const DocNode*>(every.get())}) {
        CollectingStream collected;
        EXPECT_TRUE(node->WriteAllTo(collected));
        EXPECT_EQ(collected.bytes, Written(*node));
    }
}

TEST(DocFormat, WritingStartsAtTheStreamPosition) {
    DocNode node("n");
    std::string record = Written(node);

    MemoryStream after = StreamOf("abc");
    after.Seek(0, SeekOrigin::End);
    node.WriteTo(after);
    EXPECT_EQ(Contents(after), "abc" + record);
    EXPECT_EQ(after.Position(), after.Size());

    // Inside a longer stream the record overwrites its own length only.
    MemoryStream inside = StreamOf(std::string(40, 'x'));
    inside.Seek(2, SeekOrigin::Begin);
    node.WriteTo(inside);
    EXPECT_EQ(Contents(inside), "xx" + record + std::string(40 - 2 - record.size(), 'x'));
    EXPECT_EQ(inside.Position(), 2 + record.size());

    // Across the end it grows the stream to the record's end.
    MemoryStream across = StreamOf("0123456789");
    across.Seek(5, SeekOrigin::Begin);
    node.WriteTo(across);
    EXPECT_EQ(Contents(across), "01234" + record);
}

TEST(DocFormat, AttributesOfAMismatchedKindStillWriteAValidDocument) {
    // Kinds that the program never makes this way; the writer must not
    // trip over a payload that is missing.
    DocNode node("odd");
    node.AddAttribute("s")->SetWord(ValueType::String, 5);
    node.AddAttribute("b")->SetBareType(8);
    node.AddAttribute("r")->SetBareType(5);
    auto back = Read(Written(node));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Attributes().size(), 3u);
}

// ---------------------------------------------------------------- files

class DocFileTest : public ::testing::Test {
protected:
    std::u16string PathOf(const std::string& name) const { return FromUtf8(folder_ / name); }
    std::string ReadAll(const std::string& name) const {
        std::ifstream in(folder_.Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void WriteAll(const std::string& name, const std::string& bytes) const {
        std::ofstream(folder_.Path(name), std::ios::binary) << bytes;
    }
    bool Exists(const std::string& name) const {
        return std::filesystem::exists(folder_.Path(name));
    }

    static const DocNode& Sample() {
        static const DocNode* root = [] {
            auto* r = new DocNode("set");
            r->AddChild("options")->SetBool("AutoCU", true);
            return r;
        }();
        return *root;
    }

    test::ScratchFolder folder_;
};

TEST_F(DocFileTest, SaveThenLoad) {
    ASSERT_TRUE(Sample().SaveToFile(PathOf("Settings.cfg")));
    EXPECT_EQ(ToHex(ReadAll("Settings.cfg")), ToHex(Hex(kWorkedExample)));
    EXPECT_FALSE(Exists("Settings.cfg.tmp"));
    DocNode back;
    ASSERT_TRUE(back.LoadFromFile(PathOf("Settings.cfg")));
    EXPECT_TRUE(back.Child("options")->GetBool("AutoCU", false));
}

TEST_F(DocFileTest, LoadingAMissingFileLeavesTheNodeAlone) {
    DocNode node("mine");
    node.SetInt("x", 1);
    EXPECT_FALSE(node.LoadFromFile(PathOf("missing.cfg")));
    EXPECT_EQ(node.Name(), "mine");
    EXPECT_EQ(node.GetInt("x", 0), 1);
}

TEST_F(DocFileTest, LoadingAFileWithoutTheMagicFails) {
    for (const std::string& bytes : {std::string("VELU") + std::string(9, '\0'), std::string(""),
                                     std::string("VEL"), std::string("PK\x03\x04 zip file")}) {
        WriteAll("bad.lmch", bytes);
        DocNode node;
        EXPECT_FALSE(node.LoadFromFile(PathOf("bad.lmch"))) << ToHex(bytes);
    }
}

TEST_F(DocFileTest, LoadingIgnoresBytesAfterTheRoot) {
    WriteAll("extra.cfg", Hex(kWorkedExample) + "more bytes");
    DocNode node;
    EXPECT_TRUE(node.LoadFromFile(PathOf("extra.cfg")));
    EXPECT_EQ(node.Name(), "set");
}

TEST_F(DocFileTest, EveryCutShortFileFailsToLoad) {
    std::string full = EveryTypeDocument();
    for (std::size_t length = 0; length < full.size(); length += 3) {
        WriteAll("cut.cfg", full.substr(0, length));
        DocNode node;
        EXPECT_FALSE(node.LoadFromFile(PathOf("cut.cfg"))) << length;
        EXPECT_TRUE(node.Children().empty());
    }
}

TEST_F(DocFileTest, SaveReplacesTheFileInsteadOfRewritingIt) {
    WriteAll("Settings.cfg", "old bytes");
    // A second name for the old file: writing in place would change it too.
    std::filesystem::create_hard_link(folder_.Path("Settings.cfg"), folder_.Path("backup"));
    ASSERT_TRUE(Sample().SaveToFile(PathOf("Settings.cfg")));
    EXPECT_EQ(ReadAll("backup"), "old bytes");
    EXPECT_EQ(ReadAll("Settings.cfg").size(), 48u);
}

// A file kept in a dotfiles repository and linked into place, readable by
// its owner only: after the save the link is still a link (relative or
// absolute, through a second link), its target holds the new document
// beside its old place, and the mode is the file's own.
TEST_F(DocFileTest, SaveFollowsSymbolicLinksAndKeepsTheFilesMode) {
    namespace fs = std::filesystem;
    fs::create_directory(folder_.Path("dotfiles"));
    const fs::path target = folder_.Path("dotfiles/Settings.cfg");
    struct Case {
        std::string link;
        fs::path pointsTo;
    };
    const Case cases[] = {{"relative.cfg", "dotfiles/Settings.cfg"},
                          {"absolute.cfg", target},
                          {"twice.cfg", "relative.cfg"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        WriteAll("dotfiles/Settings.cfg", "old bytes");
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
        if (!fs::is_symlink(folder_.Path(c.link)))
            fs::create_symlink(c.pointsTo, folder_.Path(c.link));
        ASSERT_TRUE(Sample().SaveToFile(PathOf(c.link)));
        EXPECT_TRUE(fs::is_symlink(folder_.Path(c.link)));
        EXPECT_EQ(ToHex(ReadAll("dotfiles/Settings.cfg")), ToHex(Hex(kWorkedExample)));
        EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_FALSE(Exists("dotfiles/Settings.cfg.tmp"));
        EXPECT_FALSE(Exists(c.link + ".tmp"));
    }
    // A plain file keeps its mode too.
    WriteAll("plain.cfg", "old");
    fs::permissions(folder_.Path("plain.cfg"), fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(Sample().SaveToFile(PathOf("plain.cfg")));
    EXPECT_EQ(fs::status(folder_.Path("plain.cfg")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(DocFileTest, ALeftoverTemporaryFileIsReplaced) {
    WriteAll("Settings.cfg.tmp", std::string(1000, 'x'));
    ASSERT_TRUE(Sample().SaveToFile(PathOf("Settings.cfg")));
    EXPECT_FALSE(Exists("Settings.cfg.tmp"));
    EXPECT_EQ(ReadAll("Settings.cfg").size(), 48u);
}

TEST_F(DocFileTest, WhenTheTemporaryFileCannotBeMadeTheOldFileStays) {
    WriteAll("Settings.cfg", "precious");
    std::filesystem::create_directory(folder_.Path("Settings.cfg.tmp"));
    EXPECT_FALSE(Sample().SaveToFile(PathOf("Settings.cfg")));
    EXPECT_EQ(ReadAll("Settings.cfg"), "precious");
}

TEST_F(DocFileTest, WhenTheFolderIsReadOnlyTheOldFileStays) {
    WriteAll("Settings.cfg", "precious");
    std::filesystem::permissions(
        folder_.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (::access(folder_.Path().c_str(), W_OK) == 0)
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    EXPECT_FALSE(Sample().SaveToFile(PathOf("Settings.cfg")));
    EXPECT_EQ(ReadAll("Settings.cfg"), "precious");
}

TEST_F(DocFileTest, SavingIntoAMissingFolderFails) {
    EXPECT_FALSE(Sample().SaveToFile(PathOf("absent/Settings.cfg")));
    EXPECT_FALSE(Exists("absent"));
}

TEST_F(DocFileTest, WhenTheRenameFailsNothingIsLeftBehind) {
    // The target is a folder that is not empty, so the rename cannot happen.
    std::filesystem::create_directories(folder_.Path("Channels.lmch") / "inside");
    EXPECT_FALSE(Sample().SaveToFile(PathOf("Channels.lmch")));
    EXPECT_FALSE(Exists("Channels.lmch.tmp"));
    EXPECT_TRUE(std::filesystem::is_directory(folder_.Path("Channels.lmch") / "inside"));
}

}  // namespace
