// The language pack maker: JSON files in, "Languages.lngp" out.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "tests/tools/data_verb_runner.h"

namespace lumora::tools {
namespace {

using verbtest::LoadDocument;
using verbtest::ReadBytes;
using verbtest::RunDataTool;
using verbtest::ScratchFolder;
using verbtest::ToolResult;
using verbtest::WriteBytes;

const std::string kEnglish = R"({"language": "English", "ext": "en", "order": 0,
  "texts": {"app_kavri": "Lumora", "menu_play": "Play", "c_int_TestCard": "Test card"}})";
const std::string kGerman = R"({"language": "Deutsch", "ext": "de", "order": 1,
  "texts": {"app_kavri": "Lumora", "menu_play": "Abspielen"}})";
const std::string kHungarian = R"({"language": "Magyar", "ext": "hu", "order": 7,
  "texts": {"menu_play": "Lejátszás", "app_kavri": "Lumora"}})";

class LangTest : public ::testing::Test {
protected:
    std::string Folder() const { return scratch / "languages"; }
    std::string Pack() const { return scratch / "Languages.lngp"; }

    void Add(const std::string& fileName, const std::string& json) {
        WriteBytes(scratch / ("languages/" + fileName), json);
    }

    ToolResult Make() { return RunDataTool(scratch, {"lang", Folder(), Pack()}); }

    ScratchFolder scratch;
};

TEST_F(LangTest, LanguagesAreWrittenInTheirOrderWithEveryText) {
    // File names sort the other way round from the orders.
    Add("a_hungarian.json", kHungarian);
    Add("b_german.json", kGerman);
    Add("c_english.json", kEnglish);
    Add("notes.txt", "not a language");
    ToolResult result = Make();
    ASSERT_EQ(result.exitCode, 0) << result.errors;

    DocNode pack;
    ASSERT_TRUE(LoadDocument(Pack(), pack));
    EXPECT_EQ(pack.Name(), "lang_doc_1.0");
    ASSERT_EQ(pack.Children().size(), 3u);
    const char* expected[][2] = {{"English", "en"}, {"Deutsch", "de"}, {"Magyar", "hu"}};
    for (int index = 0; index < 3; ++index) {
        const DocNode* language = pack.Child("lang_" + std::to_string(index));
        ASSERT_TRUE(language) << index;
        const DocAttribute* name = language->FindAttribute("language");
        ASSERT_TRUE(name && name->Type() == ValueType::WString);
        EXPECT_EQ(ToUtf8(*name->WString()), expected[index][0]);
        EXPECT_EQ(ToUtf8(language->GetWString("ext")), expected[index][1]);
    }
    const DocNode* english = pack.Child("lang_0");
    ASSERT_EQ(english->Children().size(), 3u);
    EXPECT_EQ(english->Children()[0]->Name(), "app_kavri");  // the file's order is kept
    EXPECT_EQ(ToUtf8(english->Child("c_int_TestCard")->GetWString("text")), "Test card");
    const DocAttribute* text = pack.Child("lang_2")->Child("menu_play")->FindAttribute("text");
    ASSERT_TRUE(text && text->Type() == ValueType::WString);
    EXPECT_EQ(*text->WString(), u"Lejátszás");
}

TEST_F(LangTest, MissingTextsAreReportedButDoNotStopThePack) {
    Add("en.json", kEnglish);
    Add("de.json", kGerman);
    ToolResult result = Make();
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_NE(result.errors.find("de.json lacks 1 keys"), std::string::npos) << result.errors;
    EXPECT_NE(result.errors.find("c_int_TestCard"), std::string::npos) << result.errors;
}

// Each row: a second language file that must be refused, and the words the
// message must contain besides the file's name.
TEST_F(LangTest, BadFilesAreRefusedByNameAndNothingIsWritten) {
    struct Row {
        const char* json;
        const char* mentions;
    };
    const Row rows[] = {
        {"{\"language\": \"Deutsch\", \"ext\": \"de\", ", "JSON"},
        {"[1, 2, 3]", "one object"},
        {R"({"ext": "de", "order": 1, "texts": {}})", "\"language\""},
        {R"({"language": "Deutsch", "ext": "", "order": 1, "texts": {}})", "\"ext\""},
        {R"({"language": "", "ext": "de", "order": 1, "texts": {}})", "\"language\""},
        {R"({"language": "Deutsch", "ext": 5, "order": 1, "texts": {}})", "\"ext\""},
        {R"({"language": "Deutsch", "ext": "de", "order": -1, "texts": {}})", "\"order\""},
        {R"({"language": "Deutsch", "ext": "de", "order": 1.5, "texts": {}})", "\"order\""},
        {R"({"language": "Deutsch", "ext": "de", "order": "1", "texts": {}})", "\"order\""},
        {R"({"language": "Deutsch", "ext": "de", "order": 1})", "\"texts\""},
        {R"({"language": "Deutsch", "ext": "de", "order": 1, "texts": []})", "\"texts\""},
        {R"({"language": "Deutsch", "ext": "de", "order": 1, "texts": {"menu_play": 3}})",
         "menu_play"},
        {R"({"language": "Deutsch", "ext": "de", "order": 1, "texts": {"": "leer"}})", "key"},
        {R"({"language": "Deutsch", "ext": "de", "order": 1, "texts": {"menu play": "x"}})",
         "menu play"},
        {R"({"language": "Deutsch", "ext": "de", "order": 1, "texts": {"menu_play": "a", "menu_play": "b"}})",
         "menu_play"},
        {R"({"language": "Deutsch", "ext": "de", "order": 1, "text": {}})", "\"text\""},
        {R"({"language": "Deutsch", "ext": "de", "order": 0, "texts": {}})", "order 0"},
        {R"({"language": "English again", "ext": "en", "order": 1, "texts": {}})", "\"en\""},
        {"{\"language\": \"Deutsch\xFF\", \"ext\": \"de\", \"order\": 1, \"texts\": {}}", "JSON"},
    };
    for (const Row& row : rows) {
        std::filesystem::remove_all(Folder());
        WriteBytes(Pack(), "old pack");
        Add("en.json", kEnglish);
        Add("xx.json", row.json);
        ToolResult result = Make();
        EXPECT_EQ(result.exitCode, 1) << row.json;
        EXPECT_NE(result.errors.find("xx.json"), std::string::npos) << row.json << "\n"
                                                                    << result.errors;
        EXPECT_NE(result.errors.find(row.mentions), std::string::npos) << row.json << "\n"
                                                                       << result.errors;
        EXPECT_EQ(ReadBytes(Pack()), "old pack") << row.json;
    }
}

TEST_F(LangTest, AFolderWithoutLanguagesOrABadCommandLineFails) {
    std::filesystem::create_directories(Folder());
    ToolResult empty = Make();
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_NE(empty.errors.find("no *.json"), std::string::npos) << empty.errors;
    EXPECT_EQ(RunDataTool(scratch, {"lang", scratch / "no-such-folder", Pack()}).exitCode, 1);
    EXPECT_EQ(RunDataTool(scratch, {"lang", Folder()}).exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(Pack()));
}

// The project's own language files make a pack whose first language is
// English and in which every language has the application title.
TEST_F(LangTest, TheProjectsLanguagesMakeAPack) {
    const std::filesystem::path source =
        std::filesystem::path(LUMORA_SOURCE_DIR) / "data" / "languages";
    bool anyJson = false;
    for (const auto& file : std::filesystem::directory_iterator(source))
        anyJson = anyJson || file.path().extension() == ".json";
    if (!anyJson)
        GTEST_SKIP() << "no language files in " << source;
    ToolResult result = RunDataTool(scratch, {"lang", source.string(), Pack()});
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    DocNode pack;
    ASSERT_TRUE(LoadDocument(Pack(), pack));
    ASSERT_TRUE(pack.Child("lang_0"));
    EXPECT_EQ(ToUtf8(pack.Child("lang_0")->GetWString("ext")), "en");
    for (const auto& language : pack.Children())
        EXPECT_TRUE(language->Child("app_kavri")) << language->Name();
}

}  // namespace
}  // namespace lumora::tools
