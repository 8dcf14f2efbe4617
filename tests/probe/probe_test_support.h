#pragma once

// The loopback world of the stream checker's tests: test media made once by
// ffmpeg, served by probe_server.py on 127.0.0.1, both kept for the whole
// test program.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "scratch_folder.h"
#include "server_process.h"

namespace lumora::probetest {

// What the test media were encoded at: 600 kbit/s of H.264 video (320x240,
// constant bit rate) and 64 kbit/s of AAC sound.
inline constexpr int kEncodedKbps = 664;
inline constexpr int kEncodedHeight = 240;

// Files under Root(): stream.ts (8 s), hls/index.m3u8 (2 s segments),
// page.html (a web page), local.m3u8 (a playlist whose segment is a local
// file given as file://).
class Loopback {
public:
    // Made on first use; nullptr-like (Ready() false) when ffmpeg or the
    // server could not be started.
    static Loopback& Get();

    bool Ready() const { return port_ > 0 && mediaMade_; }
    const std::filesystem::path& Root() const { return root_; }
    // "http://127.0.0.1:PORT" + path
    std::string Url(std::string_view path) const;
    // The request paths the server saw, one per line.
    std::string Requests() const;
    // Waits up to 20 s for a request whose path contains `part`.
    bool WaitForRequest(std::string_view part) const;

    ~Loopback();

private:
    Loopback();
    test::ScratchFolder scratch_;
    std::filesystem::path root_;
    std::unique_ptr<test::ServerProcess> server_;
    int port_ = 0;
    bool mediaMade_ = false;
};

using test::UnusedPort;
// The whole file, as text.
inline std::string ReadText(const std::filesystem::path& path) {
    return test::ReadFileBytes(path);
}

}  // namespace lumora::probetest
