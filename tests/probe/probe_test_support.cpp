#include "probe_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace lumora::probetest {
namespace {

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// stream.ts and hls/ in `folder`.
bool Encode(const std::filesystem::path& folder) {
    const std::string out = folder.string();
    const std::string sources =
        "-f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i sine=frequency=440 -t 8 "
        "-c:v libx264 -preset ultrafast -g 25 -b:v 600k -minrate 600k -maxrate 600k -bufsize 300k "
        "-x264-params nal-hrd=cbr -c:a aac -b:a 64k";
    std::filesystem::create_directories(folder / "hls");
    return Run("ffmpeg -nostdin -loglevel error -y " + sources + " -f mpegts '" + out +
               "/stream.ts'") &&
           Run("ffmpeg -nostdin -loglevel error -y -i '" + out +
               "/stream.ts' -c copy -f hls -hls_time 2 -hls_list_size 0 '" + out +
               "/hls/index.m3u8'");
}

// The encoded media are made once per build tree; test programs that run at
// the same time take turns through a lock file.
bool EncodedMedia(const std::filesystem::path& cache) {
    std::error_code error;
    std::filesystem::create_directories(cache, error);
    int lock = open((cache / "lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock < 0)
        return false;
    flock(lock, LOCK_EX);
    bool ready = std::filesystem::exists(cache / "complete");
    if (!ready && Encode(cache)) {
        std::ofstream(cache / "complete") << "made by ffmpeg for the probe tests\n";
        ready = true;
    }
    flock(lock, LOCK_UN);
    close(lock);
    return ready;
}

// Each test program serves a copy of its own, so the logs it reads are its own.
bool MakeMedia(const std::filesystem::path& root) {
    const std::filesystem::path cache = LUMORA_PROBE_MEDIA_DIR;
    if (!EncodedMedia(cache))
        return false;
    std::error_code error;
    std::filesystem::copy(cache / "stream.ts", root / "stream.ts", error);
    if (!error)
        std::filesystem::copy(cache / "hls", root / "hls", std::filesystem::copy_options::recursive,
                              error);
    std::ofstream(root / "page.html") << "<!DOCTYPE html><html><body><h1>Welcome</h1>"
                                         "<p>This is a web page, not a stream.</p></body></html>\n";
    std::ofstream(root / "local.m3u8") << "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:8\n"
                                          "#EXTINF:8.0,\nfile://"
                                       << root.string() << "/stream.ts\n#EXT-X-ENDLIST\n";
    return !error;
}

}  // namespace

Loopback& Loopback::Get() {
    static Loopback loopback;
    return loopback;
}

Loopback::Loopback() : root_(scratch_.Path()) {
    if (root_.empty())
        return;
    mediaMade_ = MakeMedia(root_);
    server_ = std::make_unique<test::ServerProcess>(
        std::vector<std::string>{LUMORA_TEST_PYTHON, LUMORA_PROBE_SERVER_SCRIPT, root_.string()});
    port_ = server_->Port();
}

Loopback::~Loopback() = default;

std::string Loopback::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::string Loopback::Requests() const {
    return ReadText(root_ / "requests.log");
}

bool Loopback::WaitForRequest(std::string_view part) const {
    for (int i = 0; i < 200; ++i) {
        if (Requests().find(part) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

}  // namespace lumora::probetest
