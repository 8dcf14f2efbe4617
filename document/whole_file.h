#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "document/large_page_allocator.h"

namespace lumora {

// A whole file read into memory with plain reads. A file that another
// program shortens, grows or rewrites while it is read makes the read fail
// (the caller takes it as damaged); a mapping would instead end the process
// with SIGBUS at the first touch of a page that was cut away.
class WholeFile {
public:
    WholeFile() = default;
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;
    ~WholeFile() { Close(); }

    // Opens a regular file and notes its size. False when it cannot be
    // opened, is not a regular file or is larger than 4 GiB.
    bool Open(const std::u16string& path);
    // Reads the noted size, into large pages when it is big. False, with
    // `bytes` empty, when the file no longer holds exactly that many bytes
    // by the end of the read.
    bool ReadAll(LargePageVector<std::uint8_t>& bytes);
    void Close();

private:
    int fd_ = -1;
    std::size_t size_ = 0;
};

}  // namespace lumora
