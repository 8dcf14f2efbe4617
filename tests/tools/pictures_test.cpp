// The picture documents: "Resources.velt" with the flags and "cbuild.velt"
// with the splash picture.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "document/doc_node.h"
#include "tests/tools/data_verb_runner.h"
#include "tools/picture_file.h"

namespace lumora::tools {
namespace {

using verbtest::LoadDocument;
using verbtest::ReadBytes;
using verbtest::RunDataTool;
using verbtest::ScratchFolder;
using verbtest::ToolResult;
using verbtest::WriteBytes;

const std::string kPngSignature("\x89PNG\r\n\x1A\n", 8);

// Enough of a picture for the checks of the tool, which look at the
// signature and copy the bytes unchanged.
std::string FakePng(const std::string& marker) {
    return kPngSignature + "IHDR" + marker;
}

std::string BlobText(const DocNode& node, const std::string& name) {
    const DocAttribute* attribute = node.FindAttribute(name);
    if (!attribute || attribute->Type() != ValueType::Blob)
        return "<no blob " + name + ">";
    return std::string(attribute->Blob()->View());
}

TEST(ResourcesVerb, EveryFlagPictureBecomesABlobNamedByItsCode) {
    ScratchFolder scratch;
    WriteBytes(scratch / "flags/ad.png", FakePng("andorra"));
    WriteBytes(scratch / "flags/GB.png", FakePng("britain"));
    WriteBytes(scratch / "flags/fake.png", "GIF89a but named png");
    WriteBytes(scratch / "flags/readme.txt", "not a flag");
    WriteBytes(scratch / "flags/bad name.png", FakePng("blank"));
    std::string out = scratch / "Resources.velt";
    ToolResult result = RunDataTool(scratch, {"resources", "--flags", scratch / "flags", out});
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_NE(result.errors.find("fake.png"), std::string::npos) << result.errors;

    DocNode document;
    ASSERT_TRUE(LoadDocument(out, document));
    const DocNode* images = document.Child("images");
    ASSERT_TRUE(images);
    std::vector<std::string> names;
    for (const auto& attribute : images->Attributes())
        names.push_back(attribute->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"f_ad", "f_gb", "f_uk"}));
    EXPECT_EQ(BlobText(*images, "f_ad"), FakePng("andorra"));
    EXPECT_EQ(BlobText(*images, "f_gb"), FakePng("britain"));
    EXPECT_EQ(BlobText(*images, "f_uk"), FakePng("britain"));  // the playlists' code for Britain
}

TEST(ResourcesVerb, AnOwnUkFlagIsKeptAndAMissingFolderFails) {
    ScratchFolder scratch;
    WriteBytes(scratch / "flags/gb.png", FakePng("gb"));
    WriteBytes(scratch / "flags/uk.png", FakePng("uk"));
    std::string out = scratch / "Resources.velt";
    ASSERT_EQ(RunDataTool(scratch, {"resources", "--flags", scratch / "flags", out}).exitCode, 0);
    DocNode document;
    ASSERT_TRUE(LoadDocument(out, document));
    EXPECT_EQ(BlobText(*document.Child("images"), "f_uk"), FakePng("uk"));

    std::string other = scratch / "Other.velt";
    ToolResult missing = RunDataTool(scratch, {"resources", "--flags", scratch / "nowhere", other});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.errors.find("nowhere"), std::string::npos) << missing.errors;
    EXPECT_FALSE(std::filesystem::exists(other));
    EXPECT_EQ(RunDataTool(scratch, {"resources"}).exitCode, 2);
    EXPECT_EQ(RunDataTool(scratch, {"resources", other, "extra"}).exitCode, 2);
}

TEST(ResourcesVerb, TheSystemFlagsGiveAFlagForEveryCommonCountry) {
    const std::filesystem::path flags = "/usr/share/flags/countries/16x11";
    if (!std::filesystem::is_directory(flags))
        GTEST_SKIP() << "famfamfam-flag-png is not installed";
    ScratchFolder scratch;
    std::string out = scratch / "Resources.velt";
    ToolResult result = RunDataTool(scratch, {"resources", out});  // the default folder
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    DocNode document;
    ASSERT_TRUE(LoadDocument(out, document));
    const DocNode* images = document.Child("images");
    ASSERT_TRUE(images);
    EXPECT_GT(images->Attributes().size(), 200u);
    for (const char* name : {"f_hu", "f_us", "f_de", "f_uk", "f_gb"}) {
        std::string bytes = BlobText(*images, name);
        EXPECT_EQ(bytes.substr(0, 8), kPngSignature) << name;
    }
}

TEST(SplashVerb, ThePicturesBytesGoIntoTheRootsImageBlob) {
    ScratchFolder scratch;
    const std::vector<std::string> pictures = {
        FakePng("splash"),
        std::string("\xFF\xD8\xFF\xE0", 4) + "JFIF jpeg",
        "GIF87a a gif picture",
        "BM" + std::string(40, '\x01'),
    };
    for (const std::string& picture : pictures) {
        WriteBytes(scratch / "splash.bin", picture);
        std::string out = scratch / "cbuild.velt";
        ToolResult result = RunDataTool(scratch, {"splash", scratch / "splash.bin", out});
        ASSERT_EQ(result.exitCode, 0) << result.errors;
        DocNode document;
        ASSERT_TRUE(LoadDocument(out, document));
        EXPECT_EQ(BlobText(document, "image"), picture);
    }
}

TEST(SplashVerb, WhatIsNotAPictureIsRefused) {
    ScratchFolder scratch;
    std::string out = scratch / "cbuild.velt";
    WriteBytes(out, "old splash");
    for (const std::string& bytes :
         {std::string("just some text"), std::string(), std::string("BM")}) {
        WriteBytes(scratch / "splash.png", bytes);
        ToolResult result = RunDataTool(scratch, {"splash", scratch / "splash.png", out});
        EXPECT_EQ(result.exitCode, 1) << bytes;
        EXPECT_NE(result.errors.find("splash.png"), std::string::npos) << result.errors;
    }
    EXPECT_EQ(RunDataTool(scratch, {"splash", scratch / "missing.png", out}).exitCode, 1);
    EXPECT_EQ(RunDataTool(scratch, {"splash", scratch / "splash.png"}).exitCode, 2);
    EXPECT_EQ(ReadBytes(out), "old splash");
}

// The project's splash picture is a real PNG of about the size the loading
// dialog shows.
TEST(SplashVerb, TheProjectsSplashPictureIsAPng) {
    std::string picture = ReadBytes(std::string(LUMORA_SOURCE_DIR) + "/data/pictures/splash.png");
    ASSERT_EQ(DetectPictureKind(picture), PictureKind::Png);
    ASSERT_GT(picture.size(), 24u);
    auto bigEndian = [&](std::size_t at) {
        return (unsigned(std::uint8_t(picture[at])) << 24) |
               (unsigned(std::uint8_t(picture[at + 1])) << 16) |
               (unsigned(std::uint8_t(picture[at + 2])) << 8) |
               unsigned(std::uint8_t(picture[at + 3]));
    };
    EXPECT_EQ(picture.substr(12, 4), "IHDR");
    EXPECT_EQ(bigEndian(16), 240u);
    EXPECT_EQ(bigEndian(20), 160u);
}

}  // namespace
}  // namespace lumora::tools
