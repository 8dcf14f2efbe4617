#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/fetch_url.h"
#include "scratch_folder.h"
#include "server_process.h"

namespace lumora::test {

// tests/net/test_server.py serving `root` on 127.0.0.1 at a free port,
// started by the constructor and stopped by the destructor.
class TestServer {
public:
    explicit TestServer(std::filesystem::path root);
    // The same over TLS with the certificate and key (PEM files) given.
    TestServer(std::filesystem::path root, const std::filesystem::path& certificate,
               const std::filesystem::path& key);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    bool Running() const { return port_ > 0; }
    int Port() const { return port_; }
    // "http://127.0.0.1:PORT" (https with TLS)
    std::u16string Base() const;
    std::u16string Url(std::string_view path) const;

    // Sets the behaviour for one path ({"mode": ...}, see test_server.py).
    void SetRule(const std::string& path, const std::string& ruleJson);
    void ClearRules();
    // The paths requested so far, in order.
    std::vector<std::string> Requests() const;

private:
    void WriteRules() const;

    std::filesystem::path root_;
    std::vector<std::pair<std::string, std::string>> rules_;
    void Start(std::vector<std::string> extraArguments);

    std::unique_ptr<ServerProcess> process_;
    int port_ = 0;
    bool tls_ = false;
};

// Short limits, so the tests of dead servers end within seconds.
FetchOptions QuickOptions();

// `count` bytes of a fixed pseudo-random sequence.
std::string RandomBytes(std::size_t count, unsigned seed);

}  // namespace lumora::test
