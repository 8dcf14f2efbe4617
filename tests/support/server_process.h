#pragma once

// The loopback servers the tests start: a program that listens on
// 127.0.0.1 at a free port and says the port on the first line it prints.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::test {

// Runs the command (program first) with its standard output read here,
// until the object goes (SIGTERM, then waited for). The first line the
// server prints is its port, as "n" or "PORT n".
class ServerProcess {
public:
    explicit ServerProcess(std::vector<std::string> command);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // 0 when the server did not start or did not say its port in 20 s.
    int Port() const { return port_; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// A port on 127.0.0.1 where nothing listens (bound for a moment, then freed).
int UnusedPort();

// The whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);
// Writes the file whole, making its folder first.
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace lumora::test
