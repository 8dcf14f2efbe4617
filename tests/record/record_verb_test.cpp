// lumora-data record: its command line, and the process itself cut short by
// a file-size limit (a full disk) and by kill -9, each leaving a file that
// plays.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "record_test_support.h"

namespace lumora {
namespace {

using namespace std::chrono_literals;
using recordtest::Quoted;
using recordtest::RunShell;

class RecordVerbTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!recordtest::TestMedia::Get().Ready())
            GTEST_SKIP() << "ffmpeg could not make the test media";
        server_ = recordtest::ServeMedia();
        ASSERT_GT(server_->Port(), 0);
        ASSERT_TRUE(recordtest::MakeCatalogue(
            catalogue_, "Loop", recordtest::LoopbackUrl(server_->Port(), "/stream.ts")));
    }

    // The verb with these arguments after "record"; stderr in errors_.
    std::string Command(const std::string& arguments) const {
        return Quoted(LUMORA_DATA_EXE) + " record " + arguments + " 2>" + Quoted(errors_.string());
    }
    std::string Errors() const { return test::ReadFileBytes(errors_); }

    test::ScratchFolder scratch_;
    std::filesystem::path catalogue_ = scratch_.Path("loop.lmch");
    std::filesystem::path errors_ = scratch_.Path("errors.txt");
    std::filesystem::path file_ = scratch_.Path("out.ts");
    std::unique_ptr<test::ServerProcess> server_;
};

TEST_F(RecordVerbTest, RefusesAWrongCommandLineBeforeRecording) {
    const std::string cat = Quoted(catalogue_.string());
    const std::string out = Quoted(file_.string());
    const struct {
        std::string arguments;
        int exitCode;
        std::string says;
    } rows[] = {
        {cat + " int_Loop " + out, 2, "--until is needed"},
        {cat + " int_Loop --until 20:00 " + out, 2, "--until takes"},
        {cat + " int_Loop --until 2020-01-01T20:00:00Z " + out, 2, "next 24 hours"},
        {cat + " int_Loop --until +25h " + out, 2, "next 24 hours"},
        {cat + " int_Loop --until +5m", 2, "usage:"},
        {cat + " int_Loop --until +5m " + out + " --colour red", 2, "unknown option"},
        {cat + " int_None --until +5m " + out, 1, "no channel int_None"},
        {Quoted(scratch_ / "none.lmch") + " int_Loop --until +5m " + out, 1,
         "cannot read the catalogue"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(RunShell(Command(row.arguments)), row.exitCode) << row.arguments;
        EXPECT_NE(Errors().find(row.says), std::string::npos) << row.arguments << ": " << Errors();
        EXPECT_FALSE(std::filesystem::exists(file_)) << row.arguments;
    }
}

TEST_F(RecordVerbTest, AFullDiskEndsTheRecordingWithAFileThatPlays) {
    // ulimit -f counts blocks of 512 or 1024 bytes: 120 KB or 240 KB, a few
    // seconds of the test media.
    const int exitCode =
        RunShell("ulimit -f 240; " + Command(Quoted(catalogue_.string()) +
                                             " int_Loop --until +20s " + Quoted(file_.string())));
    EXPECT_EQ(exitCode, 1);
    EXPECT_NE(Errors().find("write failed"), std::string::npos) << Errors();
    EXPECT_NE(Errors().find("the file cannot take more"), std::string::npos) << Errors();
    ASSERT_TRUE(std::filesystem::exists(file_));
    EXPECT_LE(std::filesystem::file_size(file_), 240u * 1024);
    EXPECT_GT(recordtest::ProbeFile(file_).seconds, 1.0);
}

TEST_F(RecordVerbTest, KillNineLeavesAFileThatPlays) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(LUMORA_DATA_EXE, LUMORA_DATA_EXE, "record", catalogue_.c_str(), "int_Loop", "--until",
              "+60s", file_.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Until some seconds of media are in the file.
    for (int i = 0; i < 200; ++i) {
        std::error_code error;
        if (std::filesystem::file_size(file_, error) > 100'000 && !error)
            break;
        std::this_thread::sleep_for(100ms);
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_GT(recordtest::ProbeFile(file_).seconds, 1.0);
}

TEST_F(RecordVerbTest, RecordsUntilTheTimeAndSaysWhatItRecorded) {
    const int exitCode = RunShell(Command(Quoted(catalogue_.string()) + " int_Loop --until +4s " +
                                          Quoted(file_.string()) + " --title 'Evening news'"));
    EXPECT_EQ(exitCode, 0) << Errors();
    EXPECT_NE(Errors().find("completed"), std::string::npos) << Errors();
    const recordtest::Probed probed = recordtest::ProbeFile(file_);
    EXPECT_GT(probed.seconds, 1.0);
    EXPECT_EQ(probed.serviceName, "Loop");
}

}  // namespace
}  // namespace lumora
