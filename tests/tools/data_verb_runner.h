#pragma once

// Helpers for the tests that drive lumora-data's data-making verbs through
// the real executable: a scratch folder per test, a runner that captures the
// exit code and stderr, and file helpers.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "scratch_folder.h"

namespace lumora::tools::verbtest {

using ScratchFolder = ::lumora::test::ScratchFolder;

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), std::streamsize(bytes.size()));
    ASSERT_TRUE(file.good()) << path;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

struct ToolResult {
    int exitCode = -1;
    std::string errors;  // what the tool wrote to stderr
    std::string output;  // what it wrote to stdout
};

// Runs lumora-data with the arguments, stdout and stderr captured in `scratch`.
inline ToolResult RunDataTool(const ScratchFolder& scratch, const std::vector<std::string>& args) {
    auto quote = [](const std::string& text) {
        std::string quoted = "'";
        for (char c : text) {
            if (c == '\'')
                quoted += "'\\''";
            else
                quoted += c;
        }
        return quoted + "'";
    };
    std::string errorsFile = scratch / "tool-stderr.txt";
    std::string outputFile = scratch / "tool-stdout.txt";
    std::string command = quote(LUMORA_DATA_EXE);
    for (const std::string& arg : args)
        command += " " + quote(arg);
    command += " >" + quote(outputFile) + " 2>" + quote(errorsFile);
    int status = std::system(command.c_str());
    ToolResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.errors = ReadBytes(errorsFile);
    result.output = ReadBytes(outputFile);
    return result;
}

inline bool LoadDocument(const std::string& path, DocNode& document) {
    return document.LoadFromFile(FromUtf8(path));
}

}  // namespace lumora::tools::verbtest
