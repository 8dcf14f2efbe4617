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

// The first line the server prints, "PORT n"; waits at most 20 s.
int ReadPort(int fd) {
    std::string line;
    for (int waited = 0; waited < 200;) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) {
            ++waited;
            continue;
        }
        char c;
        if (read(fd, &c, 1) != 1)
            return 0;
        if (c == '\n')
            return line.starts_with("PORT ") ? std::atoi(line.c_str() + 5) : 0;
        line += c;
    }
    return 0;
}

}  // namespace

Loopback& Loopback::Get() {
    static Loopback loopback;
    return loopback;
}

Loopback::Loopback() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumora-probe-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        return;
    root_ = pattern;
    mediaMade_ = MakeMedia(root_);

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::string python = LUMORA_TEST_PYTHON;
    std::string script = LUMORA_PROBE_SERVER_SCRIPT;
    std::string folder = root_.string();
    char* argv[] = {python.data(), script.data(), folder.data(), nullptr};
    if (posix_spawn(&server_, python.c_str(), &actions, nullptr, argv, environ) != 0)
        server_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (server_ > 0)
        port_ = ReadPort(pipeEnds[0]);
    close(pipeEnds[0]);
}

Loopback::~Loopback() {
    if (server_ > 0) {
        kill(server_, SIGTERM);
        waitpid(server_, nullptr, 0);
    }
    std::error_code ignored;
    if (!root_.empty())
        std::filesystem::remove_all(root_, ignored);
}

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

int UnusedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace lumora::probetest
