// `lumora-data dump` and `lumora-data build`, driven through the executable.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "scratch_folder.h"

using namespace lumora;
using nlohmann::json;

namespace {

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

class DumpBuildTest : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const { return folder_ / name; }

    static std::string Quote(const std::string& arg) {
        std::string quoted = "'";
        for (char c : arg)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + "'";
    }

    Outcome Run(const std::vector<std::string>& args) const {
        std::string command = Quote(LUMORA_DATA_EXE);
        for (const auto& arg : args)
            command += " " + Quote(arg);
        command += " >" + Quote(PathOf("stdout")) + " 2>" + Quote(PathOf("stderr"));
        int status = std::system(command.c_str());
        Outcome outcome;
        outcome.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        outcome.out = ReadAll("stdout");
        outcome.err = ReadAll("stderr");
        return outcome;
    }

    std::string ReadAll(const std::string& name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void WriteAll(const std::string& name, const std::string& bytes) const {
        std::ofstream(PathOf(name), std::ios::binary) << bytes;
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(PathOf(name)); }

    // Builds the JSON text into OUT and returns the outcome.
    Outcome Build(const std::string& jsonText, const std::string& out = "out.doc") {
        WriteAll("in.json", jsonText);
        return Run({"build", PathOf("in.json"), PathOf(out)});
    }

    test::ScratchFolder folder_;
};

std::string Hex(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        bytes.push_back(static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

TEST_F(DumpBuildTest, BuildWritesTheWorkedExampleByteForByte) {
    const char* text = R"({"name": "set", "attributes": [], "children": [
        {"name": "options", "attributes": [{"name": "AutoCU", "type": "Bool", "value": true}], "children": []}]})";
    Outcome outcome = Build(text);
    ASSERT_EQ(outcome.code, 0) << outcome.err;
    EXPECT_EQ(ReadAll("out.doc"),
              Hex("56 45 4C 54 03 73 65 74 00 00 00 00 01 00 00 00 56 45 4C 54 07 6F 70 74 "
                  "69 6F 6E 73 01 00 00 00 06 41 75 74 6F 43 55 02 01 00 00 00 00 00 00 00"));
    EXPECT_FALSE(Exists("out.doc.tmp"));
}

TEST_F(DumpBuildTest, AttributesAndChildrenMayBeLeftOut) {
    Outcome outcome = Build(R"({"name": ""})");
    ASSERT_EQ(outcome.code, 0) << outcome.err;
    EXPECT_EQ(ReadAll("out.doc"), Hex("56 45 4C 54 00 00 00 00 00 00 00 00 00"));
}

// A document with every kind of value and the names and texts that JSON
// cannot hold as strings.
void FillEveryKind(DocNode& root) {
    root.AddAttribute("unset")->SetWord(ValueType::Unset, 0xFFFFFFFF);
    root.SetInt("int", INT32_MIN);
    root.SetBool("yes", true);
    root.SetBool("no", false);
    root.AddAttribute("bool2")->SetWord(ValueType::Bool, 2);
    root.AddAttribute("r3")->SetWord(ValueType::Raw32A, 0xDEADBEEF);
    root.AddAttribute("r4")->SetWord(ValueType::Raw32B, 0);
    root.AddAttribute("r64")->SetRaw64({0xFF, 0, 0xAB, 1, 2, 3, 4, 0x80});
    root.SetString("utf8", "caf\xC3\xA9 \xF0\x9F\x98\x80");
    root.SetString("bytes", std::string("\xFF\xFE\0latin1 \xE9", 11));
    root.SetString("empty", "");
    root.SetWString("wide", u"\u65e5\u672c \U0001F600");
    root.SetWString("lone", std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDFFF)});
    MemoryStream blob;
    for (int i = 0; i < 256; ++i) {
        auto byte = static_cast<std::uint8_t>(i);
        blob.Write(&byte, 1);
    }
    root.AddAttribute("blob")->SetBlob(std::move(blob));
    root.AddAttribute("none")->SetBlob(MemoryStream());
    root.AddAttribute(std::string("\x80name", 5))->SetInt(1);
    root.AddAttribute(std::string("nul\0", 4))->SetInt(2);
    for (int code : {9, 100, 255})
        root.AddAttribute("bare" + std::to_string(code))
            ->SetBareType(static_cast<std::uint32_t>(code));
    DocNode* child = root.AddChild(std::string("\xC0\xAF", 2));
    child->AddChild("")->AddChild("grandchild")->SetWString("w", u"");
    root.AddChild("second");
}

TEST_F(DumpBuildTest, DumpThenBuildGivesTheSameBytes) {
    DocNode root(std::string("root\xFF", 5));
    FillEveryKind(root);
    ASSERT_TRUE(root.SaveToFile(FromUtf8(PathOf("every.doc"))));

    Outcome dumped = Run({"dump", PathOf("every.doc")});
    ASSERT_EQ(dumped.code, 0) << dumped.err;
    EXPECT_EQ(dumped.err, "");
    WriteAll("every.json", dumped.out);
    Outcome built = Run({"build", PathOf("every.json"), PathOf("again.doc")});
    ASSERT_EQ(built.code, 0) << built.err;
    EXPECT_EQ(ReadAll("again.doc"), ReadAll("every.doc"));
}

TEST_F(DumpBuildTest, DumpShowsTheDocumentedForm) {
    DocNode root(std::string("root\xFF", 5));
    FillEveryKind(root);
    ASSERT_TRUE(root.SaveToFile(FromUtf8(PathOf("every.doc"))));
    Outcome dumped = Run({"dump", PathOf("every.doc")});
    ASSERT_EQ(dumped.code, 0) << dumped.err;
    json doc = json::parse(dumped.out);

    EXPECT_EQ(doc["name"], json({{"hex", "726f6f74ff"}}));
    std::map<std::string, json> byName;
    for (const json& attribute : doc["attributes"])
        byName[attribute["name"].is_string() ? attribute["name"].get<std::string>()
                                             : attribute["name"].dump()] = attribute;
    auto value = [&](const std::string& name) { return byName.at(name).value("value", json()); };
    auto type = [&](const std::string& name) { return byName.at(name).at("type"); };

    EXPECT_EQ(type("unset"), "Unset");
    EXPECT_EQ(value("unset"), 4294967295u);
    EXPECT_EQ(value("int"), INT32_MIN);
    EXPECT_EQ(value("yes"), true);
    EXPECT_EQ(value("no"), false);
    EXPECT_EQ(value("bool2"), 2);
    EXPECT_EQ(type("r3"), "Raw32A");
    EXPECT_EQ(value("r3"), 0xDEADBEEFu);
    EXPECT_EQ(type("r4"), "Raw32B");
    EXPECT_EQ(value("r64"), "ff00ab0102030480");
    EXPECT_EQ(value("utf8"), "caf\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(value("bytes"), json({{"hex", "fffe006c6174696e3120e9"}}));
    EXPECT_EQ(value("empty"), "");
    EXPECT_EQ(type("wide"), "WString");
    EXPECT_EQ(value("wide"), "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(value("lone"), json({{"units", {97, 0xD800, 98, 0xDFFF}}}));
    EXPECT_EQ(value("none"), json({{"base64", ""}}));
    EXPECT_EQ(value("blob")["base64"].get<std::string>().substr(0, 8), "AAECAwQF");
    EXPECT_EQ(byName.count(json({{"hex", "806e616d65"}}).dump()), 1u);
    EXPECT_EQ(byName.count(std::string("nul\0", 4)), 1u);
    EXPECT_EQ(type("bare9"), 9);
    EXPECT_EQ(type("bare255"), 255);
    EXPECT_FALSE(byName.at("bare100").contains("value"));

    ASSERT_EQ(doc["children"].size(), 2u);
    EXPECT_EQ(doc["children"][0]["name"], json({{"hex", "c0af"}}));
    EXPECT_EQ(doc["children"][1]["name"], "second");
    EXPECT_EQ(doc["children"][0]["children"][0]["children"][0]["name"], "grandchild");
}

TEST_F(DumpBuildTest, ListsKeepFileOrder) {
    DocNode root("r");
    for (const char* name : {"z", "a", "m"}) {
        root.SetInt(name, 1);
        root.AddChild(name);
    }
    ASSERT_TRUE(root.SaveToFile(FromUtf8(PathOf("order.doc"))));
    Outcome dumped = Run({"dump", PathOf("order.doc")});
    ASSERT_EQ(dumped.code, 0);
    json doc = json::parse(dumped.out);
    EXPECT_EQ(doc["attributes"][0]["name"], "z");
    EXPECT_EQ(doc["attributes"][2]["name"], "m");
    EXPECT_EQ(doc["children"][1]["name"], "a");
}

TEST_F(DumpBuildTest, DumpRefusesWhatIsNotADocument) {
    Outcome missing = Run({"dump", PathOf("missing.lmch")});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos) << missing.err;
    EXPECT_EQ(missing.out, "");

    WriteAll("text.lmch", "this is text, not a document");
    Outcome text = Run({"dump", PathOf("text.lmch")});
    EXPECT_EQ(text.code, 1);
    EXPECT_NE(text.err.find("not a Lumora document"), std::string::npos) << text.err;
    EXPECT_EQ(text.out, "");

    WriteAll("cut.lmch", std::string("VELT\x03set\x01\0\0\0", 12));
    EXPECT_EQ(Run({"dump", PathOf("cut.lmch")}).code, 1);

    Outcome folder = Run({"dump", folder_.Path().string()});
    EXPECT_EQ(folder.code, 1);
}

TEST_F(DumpBuildTest, DumpMentionsIgnoredTrailingBytes) {
    WriteAll("extra.doc", std::string("VELT\0\0\0\0\0\0\0\0\0", 13) + "tail");
    Outcome outcome = Run({"dump", PathOf("extra.doc")});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_NE(outcome.err.find("4 bytes after the document"), std::string::npos) << outcome.err;
    EXPECT_EQ(json::parse(outcome.out)["name"], "");
}

TEST_F(DumpBuildTest, WrongCommandLinesGetTheUsage) {
    const std::vector<std::vector<std::string>> lines = {
        {"dump"},
        {"dump", "a", "b"},
        {"build"},
        {"build", "only-one"},
        {"build", "a", "b", "c"},
        {"dump", "--x"},
    };
    for (const auto& line : lines) {
        Outcome outcome = Run(line);
        EXPECT_EQ(outcome.code, 2) << line.size();
        EXPECT_NE(outcome.err.find("usage"), std::string::npos) << outcome.err;
    }
}

struct BadJson {
    const char* text;
    const char* expected;  // part of the message, usually the JSON path
};

TEST_F(DumpBuildTest, BuildNamesThePlaceOfEveryFault) {
    // Child 3 of the root, so paths with indices are checked too.
    auto nested = [](const std::string& attribute) {
        return R"({"name": "r", "children": [{"name": "a"}, {"name": "b"}, {"name": "c"}, {"name": "d", "attributes": [)" +
               attribute + "]}]}";
    };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {nested(R"({"name": "x", "type": "Int", "value": 1, "extra": 0})"),
         "$.children[3].attributes[0]: unknown key \"extra\""},
        {nested(R"({"name": "x", "type": "Int", "value": "5"})"),
         "$.children[3].attributes[0].value: Int needs"},
        {nested(R"({"name": "x", "type": "Int", "value": 2147483648})"),
         "$.children[3].attributes[0].value"},
        {nested(R"({"name": "x", "type": "Int", "value": -2147483649})"),
         "$.children[3].attributes[0].value"},
        {nested(R"({"name": "x", "type": "Int", "value": 1.5})"),
         "$.children[3].attributes[0].value"},
        {nested(R"({"name": "x", "type": "Raw32A", "value": -1})"),
         "$.children[3].attributes[0].value"},
        {nested(R"({"name": "x", "type": "Raw32B", "value": 4294967296})"),
         "$.children[3].attributes[0].value"},
        {nested(R"({"name": "x", "type": "Unset", "value": null})"),
         "$.children[3].attributes[0].value"},
        {nested(R"({"name": "x", "type": "Bool", "value": "true"})"),
         "$.children[3].attributes[0].value"},
        {nested(R"({"name": "x", "type": "Raw64", "value": "0011223344556677aa"})"),
         "$.children[3].attributes[0].value"},
        {nested(R"({"name": "x", "type": "Raw64", "value": "00112233445566AA"})"),
         "$.children[3].attributes[0].value"},
        {nested(R"({"name": "x", "type": "String", "value": 5})"),
         "$.children[3].attributes[0].value"},
        {nested(R"({"name": "x", "type": "String", "value": {"hex": "abc"}})"),
         "$.children[3].attributes[0].value.hex"},
        {nested(R"({"name": "x", "type": "String", "value": {"hex": "zz"}})"),
         "$.children[3].attributes[0].value.hex"},
        {nested(R"({"name": "x", "type": "WString", "value": {"units": [1, 65536]}})"),
         "$.children[3].attributes[0].value.units[1]"},
        {nested(R"({"name": "x", "type": "WString", "value": {"units": "ab"}})"),
         "$.children[3].attributes[0].value.units"},
        {nested(R"({"name": "x", "type": "Blob", "value": {"base64": "abc"}})"),
         "$.children[3].attributes[0].value.base64"},
        {nested(R"({"name": "x", "type": "Blob", "value": {"base64": "ab!="}})"),
         "$.children[3].attributes[0].value.base64"},
        {nested(R"({"name": "x", "type": "Blob", "value": {"base64": "YR=="}})"),
         "$.children[3].attributes[0].value.base64"},
        {nested(R"({"name": "x", "type": "Blob", "value": "YQ=="})"),
         "$.children[3].attributes[0].value"},
        {nested(R"({"name": "x", "type": "Float", "value": 1})"),
         "$.children[3].attributes[0].type"},
        {nested(R"({"name": "x", "type": 8, "value": 1})"), "$.children[3].attributes[0].type"},
        {nested(R"({"name": "x", "type": 256})"), "$.children[3].attributes[0].type"},
        {nested(R"({"name": "x", "type": 9, "value": 0})"), "$.children[3].attributes[0].value"},
        {nested(R"({"name": "x", "type": "Int"})"),
         "$.children[3].attributes[0]: missing key \"value\""},
        {nested(R"({"type": "Int", "value": 1})"),
         "$.children[3].attributes[0]: missing key \"name\""},
        {nested(R"({"name": 5, "type": "Int", "value": 1})"), "$.children[3].attributes[0].name"},
        {nested(
             R"({"name": "x", "type": "Int", "value": 1}, {"name": "x", "type": "Bool", "value": true})"),
         "$.children[3].attributes[1].name: duplicate attribute name (first at "
         "$.children[3].attributes[0])"},
        {nested(
             R"({"name": {"hex": "78"}, "type": "Int", "value": 1}, {"name": "x", "type": "Int", "value": 1})"),
         "$.children[3].attributes[1].name: duplicate attribute name"},
        {nested(R"({"name": "x", "name": "y", "type": "Int", "value": 1})"),
         "$.children[3].attributes[0]: the key \"name\" is given twice"},
        {nested("5"), "$.children[3].attributes[0]: expected an object"},
        {R"({"name": "r", "children": [{"name": "k"}, {"name": "k"}]})",
         "$.children[1].name: duplicate child name (first at $.children[0])"},
        {R"({"name": "r", "children": {"name": "k"}})", "$.children: expected an array"},
        {R"({"name": "r", "attributes": null})", "$.attributes: expected an array"},
        {R"({"name": "r", "children": [{"name": "k", "kids": []}]})",
         "$.children[0]: unknown key \"kids\""},
        {R"({"attributes": []})", "$: missing key \"name\""},
        {R"([])", "$: expected an object"},
        {R"({"name": "r",})", "parse error"},
        {"", "parse error"},
        {R"({"name": "r"} trailing)", "parse error"},
    };
    for (const auto& [text, expected] : cases) {
        Outcome outcome = Build(text);
        EXPECT_EQ(outcome.code, 1) << text;
        EXPECT_NE(outcome.err.find(expected), std::string::npos) << text << "\n" << outcome.err;
        EXPECT_FALSE(Exists("out.doc")) << text;
    }
}

TEST_F(DumpBuildTest, BuildRefusesDocumentsTooDeepToRead) {
    auto chain = [](int levels) {
        std::string text;
        for (int i = 0; i < levels; ++i)
            text += R"({"name": "d", "children": [)";
        text += R"({"name": "leaf"})";
        for (int i = 0; i < levels; ++i)
            text += "]}";
        return text;
    };
    EXPECT_EQ(Build(chain(DocNode::kMaxDepth)).code, 0);
    Outcome deep = Build(chain(DocNode::kMaxDepth + 1));
    EXPECT_EQ(deep.code, 1);
    EXPECT_NE(deep.err.find("nested deeper"), std::string::npos) << deep.err;
}

TEST_F(DumpBuildTest, AFailedBuildLeavesTheOldFile) {
    WriteAll("out.doc", "old");
    EXPECT_EQ(Build(R"({"name": 1})").code, 1);
    EXPECT_EQ(ReadAll("out.doc"), "old");

    Outcome missingJson = Run({"build", PathOf("missing.json"), PathOf("out.doc")});
    EXPECT_EQ(missingJson.code, 1);
    EXPECT_NE(missingJson.err.find("cannot read"), std::string::npos);
    EXPECT_EQ(ReadAll("out.doc"), "old");

    Outcome unwritable = Build(R"({"name": "r"})", "no/such/folder.doc");
    EXPECT_EQ(unwritable.code, 1);
    EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos) << unwritable.err;
}

}  // namespace
