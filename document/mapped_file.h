#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumora {

// A whole file mapped for reading, its pages read in at once: a large file
// is looked at where the system keeps it instead of being copied.
//
// The mapping shows the file as it is on disk; a file that another program
// shortens while it is mapped cannot be read safely. The program's own
// saves replace files by renaming, which leaves a mapped file whole.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile() { Close(); }

    // False when the file cannot be opened or mapped; an empty file maps to
    // no bytes and succeeds.
    bool Open(const std::u16string& path);
    void Close();

    const std::uint8_t* Data() const { return data_; }
    std::size_t Size() const { return size_; }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
};

// Asks the system to back [data, data + size) with large pages where it
// can, so that filling a big array takes a few page faults, not thousands.
// Only whole large pages inside the range are affected; nothing is promised.
void AdviseLargePages(void* data, std::size_t size);

}  // namespace lumora
