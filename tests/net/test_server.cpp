#include "test_server.h"

#include <chrono>
#include <random>

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

namespace lumora::test {

TestServer::TestServer(std::filesystem::path root) : root_(std::move(root)) {
    Start({});
}

TestServer::TestServer(std::filesystem::path root, const std::filesystem::path& certificate,
                       const std::filesystem::path& key)
    : root_(std::move(root)), tls_(true) {
    Start({certificate.string(), key.string()});
}

void TestServer::Start(std::vector<std::string> extraArguments) {
    std::vector<std::string> command = {LUMORA_TEST_PYTHON, LUMORA_TEST_SERVER_SCRIPT,
                                        root_.string()};
    command.insert(command.end(), extraArguments.begin(), extraArguments.end());
    process_ = std::make_unique<ServerProcess>(std::move(command));
    port_ = process_->Port();
}

TestServer::~TestServer() = default;

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

FetchOptions QuickOptions() {
    FetchOptions options;
    options.connectTimeout = std::chrono::milliseconds(2000);
    options.stallTimeout = std::chrono::seconds(1);
    options.maxRedirects = 3;
    return options;
}

std::string RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator());
    return bytes;
}

}  // namespace lumora::test
