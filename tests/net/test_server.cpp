#include "test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "document/text_encoding.h"

extern char** environ;

namespace lumora::testing {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumora-net-XXXXXX").string();
    if (mkdtemp(pattern.data()))
        path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty())
        std::filesystem::remove_all(path_, ignored);
}

namespace {

// Reads the first line the server prints (its port), waiting at most 10 s.
int ReadPort(int fd) {
    std::string line;
    for (int waited = 0; waited < 100;) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) {
            ++waited;
            continue;
        }
        char c;
        if (read(fd, &c, 1) != 1)
            return 0;
        if (c == '\n')
            return std::atoi(line.c_str());
        line += c;
    }
    return 0;
}

}  // namespace

TestServer::TestServer(std::filesystem::path root) : root_(std::move(root)) {
    Start({});
}

TestServer::TestServer(std::filesystem::path root, const std::filesystem::path& certificate,
                       const std::filesystem::path& key)
    : root_(std::move(root)), tls_(true) {
    Start({certificate.string(), key.string()});
}

void TestServer::Start(std::vector<std::string> extraArguments) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::string python = LUMORA_TEST_PYTHON;
    std::string script = LUMORA_TEST_SERVER_SCRIPT;
    std::string folder = root_.string();
    std::vector<char*> argv = {python.data(), script.data(), folder.data()};
    for (std::string& argument : extraArguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, python.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (pid_ > 0)
        port_ = ReadPort(pipeEnds[0]);
    close(pipeEnds[0]);
}

TestServer::~TestServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::u16string TestServer::Base() const {
    return FromUtf8((tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_));
}

std::u16string TestServer::Url(std::string_view path) const {
    return Base() + FromUtf8(path);
}

void TestServer::SetRule(const std::string& path, const std::string& ruleJson) {
    for (auto& rule : rules_) {
        if (rule.first == path) {
            rule.second = ruleJson;
            WriteRules();
            return;
        }
    }
    rules_.emplace_back(path, ruleJson);
    WriteRules();
}

void TestServer::ClearRules() {
    rules_.clear();
    WriteRules();
}

void TestServer::WriteRules() const {
    std::string text = "{";
    for (std::size_t i = 0; i < rules_.size(); ++i)
        text += (i ? ",\"" : "\"") + rules_[i].first + "\":" + rules_[i].second;
    text += "}";
    // Written whole and renamed, so the server never reads half a file.
    WriteFileBytes(root_ / "rules.json.new", text);
    std::filesystem::rename(root_ / "rules.json.new", root_ / "rules.json");
}

std::vector<std::string> TestServer::Requests() const {
    std::vector<std::string> paths;
    std::ifstream log(root_ / "requests.log");
    for (std::string line; std::getline(log, line);)
        paths.push_back(line);
    return paths;
}

int UnusedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

}  // namespace lumora::testing
