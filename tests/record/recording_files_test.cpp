// Recording file names and the recordings folder.

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <string>

#include "record/recording_files.h"
#include "scratch_folder.h"

namespace lumora {
namespace {

std::tm Evening() {
    std::tm time{};
    time.tm_year = 2026 - 1900;
    time.tm_mon = 11;
    time.tm_mday = 9;
    time.tm_hour = 20;
    time.tm_min = 0;
    return time;
}

TEST(RecordingFileName, NamesChannelTitleAndStartWithRefusedCharactersReplaced) {
    const struct {
        std::string channel;
        std::string title;
        std::string name;
    } rows[] = {
        {"Das Erste", "Tagesschau", "Das Erste \u2013 Tagesschau \u2013 2026-12-09 20-00.ts"},
        {"Das Erste", "", "Das Erste \u2013 2026-12-09 20-00.ts"},
        {"", "News", "Recording \u2013 News \u2013 2026-12-09 20-00.ts"},
        {"A/B\\C", "Q: \"why?\" <1|2*>",
         "A_B_C \u2013 Q_ _why__ _1_2__ \u2013 2026-12-09 20-00.ts"},
        {"../..", "x", "_ \u2013 x \u2013 2026-12-09 20-00.ts"},
        {" .hidden. ", "tab\there\n", "hidden \u2013 tab_here_ \u2013 2026-12-09 20-00.ts"},
        {"...", "   ", "Recording \u2013 2026-12-09 20-00.ts"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(RecordingFileName(row.channel, row.title, Evening()), row.name)
            << row.channel << " / " << row.title;
}

TEST(RecordingFileName, LongNamesFitAFileNameAndKeepWholeCharacters) {
    std::string longTitle;
    for (int i = 0; i < 200; ++i)
        longTitle += "\u00e9";  // two bytes each
    const std::string name = RecordingFileName(std::string(300, 'c'), longTitle, Evening());
    EXPECT_LE(name.size(), 255u);
    EXPECT_TRUE(name.ends_with(" \u2013 2026-12-09 20-00.ts"));
    // Every é is whole: the bytes between the separators come in pairs.
    const std::size_t titleStart = name.find("\u00e9");
    const std::size_t titleEnd = name.rfind(" \u2013 ");
    ASSERT_NE(titleStart, std::string::npos);
    EXPECT_EQ((titleEnd - titleStart) % 2, 0u);
}

TEST(FreeRecordingPath, NeverNamesAFileThatIsThere) {
    test::ScratchFolder scratch;
    const std::string name = "One \u2013 2026-12-09 20-00.ts";
    EXPECT_EQ(FreeRecordingPath(scratch.Path(), name), scratch.Path(name));
    std::ofstream(scratch.Path(name)) << "recorded";
    EXPECT_EQ(FreeRecordingPath(scratch.Path(), name),
              scratch.Path("One \u2013 2026-12-09 20-00 (2).ts"));
    std::ofstream(scratch.Path("One \u2013 2026-12-09 20-00 (2).ts")) << "recorded";
    EXPECT_EQ(FreeRecordingPath(scratch.Path(), name),
              scratch.Path("One \u2013 2026-12-09 20-00 (3).ts"));
}

TEST(IsRecordingIn, OnlyRecordingFilesRightInTheFolder) {
    test::ScratchFolder scratch;
    const std::filesystem::path folder = scratch.Path("Videos/Lumora");
    std::filesystem::create_directories(folder / "sub");
    std::ofstream(scratch.Path("secret.ts")) << "not a recording";
    std::filesystem::create_symlink(scratch.Path("secret.ts"), folder / "link.ts");
    const struct {
        std::filesystem::path file;
        bool recording;
    } rows[] = {
        {folder / "One \u2013 2026-12-09 20-00.ts", true},
        {folder / "sub/../One.ts", true},
        {folder / "sub/One.ts", false},
        {folder / "../secret.ts", false},
        {folder / "link.ts", false},  // a link to a file elsewhere
        {folder / "notes.txt", false},
        {scratch.Path("secret.ts"), false},
        {"", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsRecordingIn(row.file, folder), row.recording) << row.file;
}

TEST(CheckRecordingToPlay, OnlyRegularRecordingFilesRightInTheFolderWithLinksResolved) {
    test::ScratchFolder scratch;
    const std::filesystem::path folder = scratch.Path("Videos/Lumora");
    std::filesystem::create_directories(folder / "sub");
    std::filesystem::create_directories(folder / "folder.ts");
    const std::filesystem::path recording =
        folder / "Eins \u2013 Tagesschau \u2013 2026-12-09 20-00.ts";
    std::ofstream(recording) << "recorded";
    std::ofstream(folder / "sub/Nested.ts") << "recorded";
    std::ofstream(folder / "notes.txt") << "text";
    std::ofstream(scratch.Path("secret.ts")) << "not a recording";
    std::filesystem::create_symlink(scratch.Path("secret.ts"), folder / "escape.ts");
    std::filesystem::create_symlink(recording, folder / "alias.ts");
    std::filesystem::create_symlink(scratch.Path("Videos"), folder / "up");
    using Check = RecordingFileCheck;
    const struct {
        std::filesystem::path file;
        Check check;
        std::filesystem::path opened;  // what the player is given
    } rows[] = {
        {recording, Check::Playable, recording},
        {folder / "sub/../Eins \u2013 Tagesschau \u2013 2026-12-09 20-00.ts", Check::Playable,
         recording},
        {folder / "alias.ts", Check::Playable, recording},  // a link that stays inside
        {folder / "../../secret.ts", Check::OutsideFolder, {}},
        {folder / "escape.ts", Check::OutsideFolder, {}},  // a link to a file elsewhere
        {folder / "up/Lumora/../../secret.ts", Check::OutsideFolder, {}},
        {folder / "sub/Nested.ts", Check::OutsideFolder, {}},
        {scratch.Path("secret.ts"), Check::OutsideFolder, {}},
        {"/etc/passwd", Check::OutsideFolder, {}},
        {folder / "notes.txt", Check::NotARecording, {}},
        {folder / "folder.ts", Check::NotAFile, {}},
        {folder / "gone.ts", Check::Missing, {}},
        {"", Check::Missing, {}},
    };
    for (const auto& row : rows) {
        const RecordingToPlay checked = CheckRecordingToPlay(row.file, folder);
        EXPECT_EQ(checked.Check(), row.check) << row.file;
        const std::filesystem::path opened =
            row.opened.empty() ? row.opened : std::filesystem::canonical(row.opened);
        EXPECT_EQ(checked.File(), opened) << row.file;
    }
}

TEST(CheckRecordingToPlay, NothingPlaysWhenTheFolderIsNotThere) {
    test::ScratchFolder scratch;
    std::ofstream(scratch.Path("One.ts")) << "recorded";
    EXPECT_EQ(CheckRecordingToPlay(scratch.Path("One.ts"), scratch.Path("Videos/Lumora")).Check(),
              RecordingFileCheck::Missing);
    EXPECT_EQ(CheckRecordingToPlay(scratch.Path("One.ts"), "").Check(),
              RecordingFileCheck::Missing);
}

TEST(RecordingsFolder, IsTheVideosFolderOrVideosInTheHomeFolder) {
    const struct {
        std::string videos;
        std::string folder;
    } rows[] = {
        {"/home/ana/Filme", "/home/ana/Filme/Lumora"},
        {"", "/home/ana/Videos/Lumora"},
        {"/home/ana", "/home/ana/Videos/Lumora"},  // no videos folder set up
        {"/home/ana/", "/home/ana/Videos/Lumora"},
        {"relative/Videos", "/home/ana/Videos/Lumora"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(RecordingsFolderFor(row.videos, "/home/ana").string(), row.folder) << row.videos;
}

}  // namespace
}  // namespace lumora
