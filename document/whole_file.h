#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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
    // Reads the noted size. False, with `bytes` empty, when the file no
    // longer holds exactly that many bytes by the end of the read.
    bool ReadAll(std::unique_ptr<std::uint8_t[]>& bytes, std::size_t& size);
    void Close();

private:
    int fd_ = -1;
    std::size_t size_ = 0;
};

// Asks the system to back [data, data + size) with large pages where it
// can, so that filling a big array takes a few page faults, not thousands.
// Only whole large pages inside the range are affected; nothing is promised.
void AdviseLargePages(void* data, std::size_t size);

}  // namespace lumora
