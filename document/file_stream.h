#pragma once

#include <cstdint>
#include <string>

#include "document/byte_stream.h"

namespace lumora {

enum class OpenMode {
    Read,   // an existing file, shared for reading
    Write,  // created, or cut to zero length
};

// A file on disk. Paths are wide (UTF-16) and handed to the system as UTF-8.
// Every Read and Write is one system call; nothing is buffered here.
class FileStream final : public ByteStream {
public:
    FileStream() = default;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;
    ~FileStream() override { Close(); }

    bool Open(const std::u16string& path, OpenMode mode);
    bool IsOpen() const { return fd_ >= 0; }

    std::uint32_t Write(const void* data, std::uint32_t count) override;
    std::uint32_t Read(void* buffer, std::uint32_t count) override;
    std::uint32_t Seek(std::int32_t offset, SeekOrigin origin) override;
    std::uint32_t Size() override;
    // A file is never resized through the stream: nothing changes and the
    // result tells whether the file holds any bytes.
    bool SetSize(std::uint32_t size) override;
    std::uint32_t Position() override;
    void Close() override;

    // Pushes written bytes to the disk; false when the system reports a fault.
    bool Sync();

private:
    int fd_ = -1;
};

}  // namespace lumora
