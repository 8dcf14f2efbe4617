// Reading the libraries an ELF file needs, for opening libmpv's libraries
// one at a time.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "player/needed_libraries.h"
#include "scratch_folder.h"

namespace lumora::test {
namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(NeededLibraries, AreReadFromARealProgram) {
    const std::vector<std::string> needed = NeededLibraries("/proc/self/exe");
    EXPECT_TRUE(Contains(needed, "libc.so.6"));
    EXPECT_TRUE(Contains(needed, "libQt6Core.so.6"));
    // The program does not link libmpv: it is opened at run time.
    for (const std::string& name : needed)
        EXPECT_EQ(name.find("libmpv"), std::string::npos) << name;
}

TEST(NeededLibraries, AnythingButAWholeElfFileNeedsNothing) {
    std::ifstream self("/proc/self/exe", std::ios::binary);
    const std::string program((std::istreambuf_iterator<char>(self)),
                              std::istreambuf_iterator<char>());
    const ScratchFolder folder;
    const std::filesystem::path scratch = folder.Path("needed_libraries_test");
    const struct {
        const char* what;
        std::string bytes;
    } rows[] = {
        {"empty", ""},
        {"text", "#!/bin/sh\necho not a library\n"},
        {"the ELF header only", program.substr(0, 64)},
        {"the first kilobyte", program.substr(0, 1024)},
    };
    for (const auto& row : rows) {
        std::ofstream(scratch, std::ios::binary | std::ios::trunc) << row.bytes;
        EXPECT_TRUE(NeededLibraries(scratch.string()).empty()) << row.what;
    }
    std::filesystem::remove(scratch);
    EXPECT_TRUE(NeededLibraries(scratch.string()).empty()) << "missing";
}

}  // namespace
}  // namespace lumora::test
