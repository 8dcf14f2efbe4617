#include "record_test_support.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace lumora::recordtest {
namespace {

std::string Capture(const std::string& command) {
    struct PipeClose {
        void operator()(std::FILE* pipe) const { pclose(pipe); }
    };
    std::unique_ptr<std::FILE, PipeClose> pipe(popen(command.c_str(), "r"));
    std::string text;
    if (!pipe)
        return text;
    char buffer[4096];
    while (std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe.get()))
        text.append(buffer, read);
    return text;
}

std::string ValueAfter(const std::string& text, const std::string& key) {
    std::size_t at = text.find(key);
    if (at == std::string::npos)
        return {};
    at += key.size();
    return text.substr(at, text.find('\n', at) - at);
}

}  // namespace

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

int RunShell(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const TestMedia& TestMedia::Get() {
    static TestMedia media;
    return media;
}

TestMedia::TestMedia() {
    const std::string root = Root().string();
    std::filesystem::create_directories(Root() / "hls");
    ready_ = RunShell(
                 "ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                 "testsrc2=size=160x120:rate=25 -f lavfi -i sine=frequency=440 -t " +
                 std::to_string(kMediaSeconds) +
                 " -c:v libx264 -preset ultrafast -g 25 -b:v 200k -c:a aac -b:a 48k -f "
                 "mpegts " +
                 Quoted(root + "/stream.ts")) == 0 &&
             RunShell("ffmpeg -nostdin -loglevel error -y -i " + Quoted(root + "/stream.ts") +
                      " -c copy -f hls -hls_time 2 -hls_list_size 0 " +
                      Quoted(root + "/hls/index.m3u8")) == 0;
    std::ofstream(Root() / "local.m3u8") << "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:30\n"
                                            "#EXTINF:30.0,\nfile://"
                                         << root << "/stream.ts\n#EXT-X-ENDLIST\n";
    // Four seconds twice over: the clock jumps back where they meet.
    ready_ =
        ready_ && RunShell("ffmpeg -nostdin -loglevel error -y -i " + Quoted(root + "/stream.ts") +
                           " -t 4 -c copy -f mpegts " + Quoted(root + "/four.ts")) == 0;
    ready_ = ready_ && RunShell("cat " + Quoted(root + "/four.ts") + " " +
                                Quoted(root + "/four.ts") + " > " + Quoted(root + "/jump.ts")) == 0;
    if (ready_)
        pace_ = int(std::filesystem::file_size(Root() / "stream.ts") / kMediaSeconds);
}

std::unique_ptr<test::ServerProcess> ServeMedia(std::vector<std::string> extra, int port) {
    const TestMedia& media = TestMedia::Get();
    std::vector<std::string> command = {LUMORA_TEST_PYTHON, LUMORA_STREAM_SERVER_SCRIPT,
                                        "--root",           media.Root().string(),
                                        "--pace",           std::to_string(media.Pace())};
    if (port > 0) {
        command.push_back("--port");
        command.push_back(std::to_string(port));
    }
    command.insert(command.end(), extra.begin(), extra.end());
    return std::make_unique<test::ServerProcess>(command);
}

std::string LoopbackUrl(int port, std::string_view path) {
    return "http://127.0.0.1:" + std::to_string(port) + std::string(path);
}

Probed ProbeFile(const std::filesystem::path& file) {
    const std::string text = Capture(
        "ffprobe -v error -show_entries format=duration:program_tags=service_name -of "
        "default " +
        Quoted(file.string()) + " 2>/dev/null");
    Probed probed;
    const std::string duration = ValueAfter(text, "duration=");
    if (!duration.empty() && duration != "N/A")
        probed.seconds = std::atof(duration.c_str());
    probed.serviceName = ValueAfter(text, "TAG:service_name=");
    return probed;
}

bool MakeCatalogue(const std::filesystem::path& catalogue, const std::string& name,
                   const std::string& address) {
    const std::filesystem::path playlist = catalogue.parent_path() / "loop.m3u";
    std::ofstream(playlist) << "#EXTM3U\n#EXTINF:-1," << name << "\n" << address << "\n";
    return RunShell(Quoted(LUMORA_DATA_EXE) + " import-m3u --version 2026.1.1 " +
                    Quoted(catalogue.string()) + " " + Quoted(playlist.string()) +
                    " >/dev/null 2>&1") == 0;
}

}  // namespace lumora::recordtest
