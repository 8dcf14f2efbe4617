#pragma once

// The one way tests make a temporary folder.

#include <filesystem>
#include <string>
#include <string_view>

namespace lumora::test {

// A fresh, empty folder of its own under the system's temporary folder,
// removed with everything in it when the object goes (also when a test
// left it without write permission). Two scratch folders never share a
// path, whichever processes make them.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder itself; empty when it could not be made.
    const std::filesystem::path& Path() const { return path_; }
    // A file or folder in it.
    std::filesystem::path Path(std::string_view name) const { return path_ / name; }
    // The same as the program's functions take it.
    std::u16string File(std::string_view name) const { return Path(name).u16string(); }
    std::string operator/(std::string_view name) const { return Path(name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace lumora::test
