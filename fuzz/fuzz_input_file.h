#pragma once

// A file in a private scratch folder that a fuzz target rewrites with each
// input, for loaders that only read from a path. The folder lies in memory
// when /dev/shm exists and goes when the process ends normally.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <unistd.h>

#include "document/text_encoding.h"

namespace lumora::fuzz {

class FuzzInputFile {
public:
    explicit FuzzInputFile(const std::string& name) {
        std::error_code error;
        std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        folder_ = base / ("lumora-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_, error);
        path_ = folder_ / name;
        widePath_ = FromUtf8(path_.string());
    }
    ~FuzzInputFile() {
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
    FuzzInputFile(const FuzzInputFile&) = delete;
    FuzzInputFile& operator=(const FuzzInputFile&) = delete;

    // Replaces the file's bytes; aborts when the file cannot be written,
    // since every later input would then test nothing.
    void Write(const std::uint8_t* data, std::size_t size) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out)
            std::abort();
    }

    const std::u16string& Path() const { return widePath_; }
    std::filesystem::path Beside(const std::string& name) const { return folder_ / name; }

private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
    std::u16string widePath_;
};

}  // namespace lumora::fuzz
