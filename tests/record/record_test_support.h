#pragma once

// The loopback world of the recording tests: 30 s of test media made once
// by ffmpeg (MPEG-TS, and HLS of 2 s segments cut from it), served at the
// pace they play by tests/player/stream_server.py on 127.0.0.1.

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scratch_folder.h"
#include "server_process.h"

namespace lumora::recordtest {

inline constexpr int kMediaSeconds = 30;

// The media files, made on first use for the whole test program.
class TestMedia {
public:
    static const TestMedia& Get();
    bool Ready() const { return ready_; }
    // stream.ts, hls/index.m3u8, local.m3u8 (whose segment is a local file),
    // jump.ts (4 s of stream.ts twice: its clock jumps back after 4 s)
    const std::filesystem::path& Root() const { return scratch_.Path(); }
    // Bytes a second of stream.ts.
    int Pace() const { return pace_; }

private:
    TestMedia();
    test::ScratchFolder scratch_;
    bool ready_ = false;
    int pace_ = 0;
};

// A paced server of the test media; `extra` are more server options
// (such as "--die-after", "N"); port 0 takes a free one.
std::unique_ptr<test::ServerProcess> ServeMedia(std::vector<std::string> extra = {}, int port = 0);

// "http://127.0.0.1:PORT" + path
std::string LoopbackUrl(int port, std::string_view path);

// What ffprobe reads of a file: its duration in seconds (negative when it
// cannot read it) and the service name in it.
struct Probed {
    double seconds = -1;
    std::string serviceName;
};
Probed ProbeFile(const std::filesystem::path& file);

// A catalogue with one channel "int_Loop" named `name` whose stream is
// `address`, made by lumora-data import-m3u.
bool MakeCatalogue(const std::filesystem::path& catalogue, const std::string& name,
                   const std::string& address);

// Runs a shell command line and gives its exit code (-1 when killed).
int RunShell(const std::string& command);
std::string Quoted(const std::string& text);

}  // namespace lumora::recordtest
