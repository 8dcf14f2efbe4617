#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "document/file_stream.h"
#include "document/memory_stream.h"
#include "document/text_encoding.h"
#include "scratch_folder.h"
#include "test_bytes.h"

using namespace lumora;
using lumora::test::Contents;
using lumora::test::StreamOf;

namespace {

MemoryStream TenBytes() {
    return StreamOf("0123456789");
}

// ---------------------------------------------------------------- MemoryStream

TEST(MemoryStream, StartsEmpty) {
    MemoryStream stream;
    EXPECT_EQ(stream.Size(), 0u);
    EXPECT_EQ(stream.Position(), 0u);
    EXPECT_EQ(stream.Data(), nullptr);
    char buffer[4];
    EXPECT_EQ(stream.Read(buffer, 4), 0u);
}

TEST(MemoryStream, WriteOfNothingChangesNothing) {
    MemoryStream stream = StreamOf("abcd");
    stream.Seek(2, SeekOrigin::Begin);
    EXPECT_EQ(stream.Write("xy", 0), 0u);
    EXPECT_EQ(stream.Write(nullptr, 5), 0u);
    EXPECT_EQ(stream.Size(), 4u);
    EXPECT_EQ(stream.Position(), 2u);
    EXPECT_EQ(Contents(stream), "abcd");

    MemoryStream empty;
    EXPECT_EQ(empty.Write(nullptr, 3), 0u);
    EXPECT_EQ(empty.Size(), 0u);
}

TEST(MemoryStream, WritePastTheEndGrowsToExactlyTheNewEnd) {
    MemoryStream stream = StreamOf("abcd");
    stream.Seek(3, SeekOrigin::Begin);
    EXPECT_EQ(stream.Write("VWXYZ", 5), 5u);
    EXPECT_EQ(stream.Size(), 8u);
    EXPECT_EQ(stream.Position(), 8u);
    EXPECT_EQ(Contents(stream), "abcVWXYZ");
}

TEST(MemoryStream, WriteInsideOverwritesWithoutGrowing) {
    MemoryStream stream = StreamOf("abcdef");
    stream.Seek(1, SeekOrigin::Begin);
    EXPECT_EQ(stream.Write("XY", 2), 2u);
    EXPECT_EQ(stream.Size(), 6u);
    EXPECT_EQ(stream.Position(), 3u);
    EXPECT_EQ(Contents(stream), "aXYdef");
}

TEST(MemoryStream, ManySmallWritesHoldExactlyTheBytesWritten) {
    MemoryStream stream;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        char byte = static_cast<char>(i * 7);
        ASSERT_EQ(stream.Write(&byte, 1), 1u);
        expected.push_back(byte);
    }
    EXPECT_EQ(stream.Size(), 5000u);
    EXPECT_EQ(Contents(stream), expected);
    stream.Seek(0, SeekOrigin::Begin);
    std::string back(5000, '\0');
    EXPECT_EQ(stream.Read(back.data(), 5000), 5000u);
    EXPECT_EQ(back, expected);
}

TEST(MemoryStream, ReadStopsAtTheEnd) {
    MemoryStream stream = TenBytes();
    stream.Seek(6, SeekOrigin::Begin);
    char buffer[10] = {};
    EXPECT_EQ(stream.Read(buffer, 10), 4u);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(stream.Position(), 10u);
    EXPECT_EQ(stream.Read(buffer, 10), 0u);
    EXPECT_EQ(stream.Read(buffer, 0), 0u);
    EXPECT_EQ(stream.Position(), 10u);
}

struct SeekCase {
    std::uint32_t from;
    std::int32_t offset;
    SeekOrigin origin;
    std::uint32_t expected;
};

TEST(MemoryStream, SeekOnTenBytes) {
    const SeekCase cases[] = {
        {0, 2, SeekOrigin::End, 8},
        {0, 20, SeekOrigin::End, 0},
        {0, 10, SeekOrigin::End, 0},
        {0, 0, SeekOrigin::End, 10},
        {5, -1, SeekOrigin::End, 0},  // counts backwards: -1 is a huge offset
        {0, 20, SeekOrigin::Begin, 10},
        {3, 7, SeekOrigin::Begin, 7},
        {5, -1, SeekOrigin::Begin, 10},  // wraps to a huge position, ends at the size
        {5, 3, SeekOrigin::Current, 8},
        {5, -3, SeekOrigin::Current, 2},
        {5, 9, SeekOrigin::Current, 10},
        {5, -6, SeekOrigin::Current, 10},  // below zero wraps, ends at the size
        {4, 1, static_cast<SeekOrigin>(7), 4},
    };
    for (const SeekCase& c : cases) {
        MemoryStream stream = TenBytes();
        stream.Seek(static_cast<std::int32_t>(c.from), SeekOrigin::Begin);
        EXPECT_EQ(stream.Seek(c.offset, c.origin), c.expected)
            << "from " << c.from << " offset " << c.offset << " origin " << int(c.origin);
        EXPECT_EQ(stream.Position(), c.expected);
    }
}

TEST(MemoryStream, SeekOnAnEmptyStreamStaysAtZero) {
    MemoryStream stream;
    EXPECT_EQ(stream.Seek(5, SeekOrigin::Begin), 0u);
    EXPECT_EQ(stream.Seek(-5, SeekOrigin::Current), 0u);
    EXPECT_EQ(stream.Seek(0, SeekOrigin::End), 0u);
    EXPECT_EQ(stream.Position(), 0u);
}

TEST(MemoryStream, SetSizeBelowThePositionPullsThePositionIn) {
    MemoryStream stream = TenBytes();
    stream.Seek(7, SeekOrigin::Begin);
    EXPECT_TRUE(stream.SetSize(3));
    EXPECT_EQ(stream.Size(), 3u);
    EXPECT_EQ(stream.Position(), 3u);
    EXPECT_EQ(Contents(stream), "012");
}

TEST(MemoryStream, SetSizeGrowingKeepsBytesAndPosition) {
    MemoryStream stream = StreamOf("abc");
    stream.Seek(2, SeekOrigin::Begin);
    EXPECT_TRUE(stream.SetSize(6));
    EXPECT_EQ(stream.Size(), 6u);
    EXPECT_EQ(stream.Position(), 2u);
    EXPECT_EQ(Contents(stream).substr(0, 3), "abc");
}

TEST(MemoryStream, SetSizeZeroReleasesTheBuffer) {
    MemoryStream stream = TenBytes();
    stream.Seek(4, SeekOrigin::Begin);
    EXPECT_TRUE(stream.SetSize(0));
    EXPECT_EQ(stream.Size(), 0u);
    EXPECT_EQ(stream.Position(), 0u);
    EXPECT_EQ(stream.Data(), nullptr);
    // Still usable afterwards.
    EXPECT_EQ(stream.Write("z", 1), 1u);
    EXPECT_EQ(Contents(stream), "z");
}

TEST(MemoryStream, CopyStartsAtZeroWithItsOwnBytes) {
    MemoryStream original = TenBytes();
    original.Seek(5, SeekOrigin::Begin);
    MemoryStream copy(original);
    EXPECT_EQ(copy.Position(), 0u);
    EXPECT_EQ(Contents(copy), "0123456789");
    EXPECT_EQ(original.Position(), 5u);

    copy.Write("AB", 2);
    EXPECT_EQ(Contents(copy), "AB23456789");
    EXPECT_EQ(Contents(original), "0123456789");

    MemoryStream empty;
    MemoryStream emptyCopy(empty);
    EXPECT_EQ(emptyCopy.Size(), 0u);
    EXPECT_EQ(emptyCopy.Data(), nullptr);
}

TEST(MemoryStream, MoveLeavesTheSourceEmpty) {
    MemoryStream source = TenBytes();
    source.Seek(4, SeekOrigin::Begin);
    MemoryStream moved(std::move(source));
    EXPECT_EQ(Contents(moved), "0123456789");
    EXPECT_EQ(moved.Position(), 4u);
    EXPECT_EQ(source.Size(),
              0u);  // NOLINT(bugprone-use-after-move): the moved-from state is specified
    EXPECT_EQ(source.Position(), 0u);  // NOLINT(bugprone-use-after-move)
}

TEST(MemoryStream, CloseEmptiesTheStream) {
    MemoryStream stream = TenBytes();
    stream.Seek(3, SeekOrigin::Begin);
    stream.Close();
    EXPECT_EQ(stream.Size(), 0u);
    EXPECT_EQ(stream.Position(), 0u);
    EXPECT_EQ(stream.Data(), nullptr);
}

TEST(ByteStream, FixedWidthValuesAreLittleEndian) {
    MemoryStream stream;
    EXPECT_TRUE(stream.WriteU8(0xAB));
    EXPECT_TRUE(stream.WriteU16(0x1234));
    EXPECT_TRUE(stream.WriteU32(0x544C4556));
    EXPECT_TRUE(stream.WriteU64(0x0102030405060708ull));
    EXPECT_EQ(lumora::test::ToHex(Contents(stream)),
              "AB 34 12 56 45 4C 54 08 07 06 05 04 03 02 01");

    stream.Seek(0, SeekOrigin::Begin);
    std::uint8_t u8 = 0;
    std::uint16_t u16 = 0;
    std::uint32_t u32 = 0;
    std::uint64_t u64 = 0;
    EXPECT_TRUE(stream.ReadU8(u8) && stream.ReadU16(u16) && stream.ReadU32(u32) &&
                stream.ReadU64(u64));
    EXPECT_EQ(u8, 0xAB);
    EXPECT_EQ(u16, 0x1234);
    EXPECT_EQ(u32, 0x544C4556u);
    EXPECT_EQ(u64, 0x0102030405060708ull);
}

TEST(ByteStream, ShortFixedReadFailsAndLeavesTheValue) {
    MemoryStream stream = StreamOf("abc");
    std::uint32_t value = 77;
    EXPECT_FALSE(stream.ReadU32(value));
    EXPECT_EQ(value, 77u);
    std::uint64_t wide = 5;
    MemoryStream seven = StreamOf("1234567");
    EXPECT_FALSE(seven.ReadU64(wide));
    EXPECT_EQ(wide, 5u);
}

// ---------------------------------------------------------------- FileStream

class FileStreamTest : public ::testing::Test {
protected:
    std::u16string PathOf(const std::string& name) const { return FromUtf8(folder_ / name); }
    std::string ReadAll(const std::string& name) const {
        std::ifstream in(folder_.Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void WriteAll(const std::string& name, const std::string& bytes) const {
        std::ofstream(folder_.Path(name), std::ios::binary) << bytes;
    }

    test::ScratchFolder folder_;
};

TEST_F(FileStreamTest, OpenForReadingAMissingFileFails) {
    FileStream stream;
    EXPECT_FALSE(stream.Open(PathOf("missing.cfg"), OpenMode::Read));
    EXPECT_FALSE(stream.IsOpen());
    char byte;
    EXPECT_EQ(stream.Read(&byte, 1), 0u);
    EXPECT_EQ(stream.Write("x", 1), 0u);
}

TEST_F(FileStreamTest, OpenForWritingEmptiesAnExistingFile) {
    WriteAll("old.cfg", "old contents");
    FileStream stream;
    ASSERT_TRUE(stream.Open(PathOf("old.cfg"), OpenMode::Write));
    EXPECT_EQ(stream.Size(), 0u);
    stream.Close();
    EXPECT_EQ(ReadAll("old.cfg"), "");
}

TEST_F(FileStreamTest, WritesThenReadsBack) {
    FileStream out;
    ASSERT_TRUE(out.Open(PathOf("data.bin"), OpenMode::Write));
    EXPECT_EQ(out.Write("hello world", 11), 11u);
    EXPECT_EQ(out.Position(), 11u);
    EXPECT_EQ(out.Size(), 11u);
    EXPECT_TRUE(out.Sync());
    out.Close();
    EXPECT_FALSE(out.IsOpen());
    EXPECT_EQ(out.Write("x", 1), 0u);

    FileStream in;
    ASSERT_TRUE(in.Open(PathOf("data.bin"), OpenMode::Read));
    EXPECT_EQ(in.Size(), 11u);
    char buffer[32] = {};
    EXPECT_EQ(in.Read(buffer, 5), 5u);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    EXPECT_EQ(in.Read(buffer, 32), 6u);
    EXPECT_EQ(std::string(buffer, 6), " world");
    EXPECT_EQ(in.Read(buffer, 32), 0u);
    // A file opened for reading takes no writes.
    EXPECT_EQ(in.Write("x", 1), 0u);
}

TEST_F(FileStreamTest, SeekAndPosition) {
    WriteAll("ten.bin", "0123456789");
    FileStream in;
    ASSERT_TRUE(in.Open(PathOf("ten.bin"), OpenMode::Read));
    EXPECT_EQ(in.Seek(2, SeekOrigin::End), 12u);  // the system's meaning: offset added to the end
    EXPECT_EQ(in.Seek(-3, SeekOrigin::End), 7u);
    EXPECT_EQ(in.Seek(-2, SeekOrigin::Current), 5u);
    EXPECT_EQ(in.Seek(1, SeekOrigin::Begin), 1u);
    EXPECT_EQ(in.Position(), 1u);
    // Before the start: refused, the position stays.
    EXPECT_EQ(in.Seek(-5, SeekOrigin::Begin), 1u);
    char byte = 0;
    EXPECT_EQ(in.Read(&byte, 1), 1u);
    EXPECT_EQ(byte, '1');
}

TEST_F(FileStreamTest, SetSizeChangesNothing) {
    WriteAll("four.bin", "abcd");
    FileStream stream;
    ASSERT_TRUE(stream.Open(PathOf("four.bin"), OpenMode::Read));
    stream.SetSize(1);
    EXPECT_EQ(stream.Size(), 4u);
    stream.Close();
    EXPECT_EQ(ReadAll("four.bin"), "abcd");
}

TEST_F(FileStreamTest, AFolderIsNotAFile) {
    std::filesystem::create_directory(folder_.Path("sub"));
    FileStream stream;
    EXPECT_FALSE(stream.Open(PathOf("sub"), OpenMode::Read));
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_FALSE(stream.Open(PathOf("sub"), OpenMode::Write));
    EXPECT_FALSE(stream.IsOpen());
}

TEST_F(FileStreamTest, WritingIntoAMissingFolderFails) {
    FileStream stream;
    EXPECT_FALSE(stream.Open(PathOf("no/such/folder.cfg"), OpenMode::Write));
    EXPECT_FALSE(stream.IsOpen());
}

TEST_F(FileStreamTest, AFailedOpenLeavesNoFileOpen) {
    WriteAll("a.bin", "aaaa");
    FileStream stream;
    ASSERT_TRUE(stream.Open(PathOf("a.bin"), OpenMode::Read));
    EXPECT_FALSE(stream.Open(PathOf("missing.bin"), OpenMode::Read));
    EXPECT_FALSE(stream.IsOpen());
    char byte;
    EXPECT_EQ(stream.Read(&byte, 1), 0u);
    stream.Close();  // closing twice is harmless
    stream.Close();
}

TEST_F(FileStreamTest, WidePathsReachTheDiskAsUtf8) {
    std::u16string path = FromUtf8(folder_.Path().string()) + u"/Kan\u00e4le \u65e5\u672c.lmch";
    FileStream out;
    ASSERT_TRUE(out.Open(path, OpenMode::Write));
    out.Write("x", 1);
    out.Close();
    EXPECT_EQ(ReadAll("Kan\xC3\xA4le \xE6\x97\xA5\xE6\x9C\xAC.lmch"), "x");
}

TEST_F(FileStreamTest, AnEmptyFileReadsNothing) {
    WriteAll("empty.bin", "");
    FileStream in;
    ASSERT_TRUE(in.Open(PathOf("empty.bin"), OpenMode::Read));
    EXPECT_EQ(in.Size(), 0u);
    char byte;
    EXPECT_EQ(in.Read(&byte, 1), 0u);
}

}  // namespace
