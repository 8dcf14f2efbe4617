#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "document/byte_stream.h"

namespace lumora {

// Bytes held in memory: the value of a Blob attribute, an HTTP download, a
// document being built. Size() is always the number of bytes held; a Write
// past the end grows the stream to exactly the new end.
class MemoryStream final : public ByteStream {
public:
    MemoryStream() = default;
    // The copy holds the same bytes and starts at position 0.
    MemoryStream(const MemoryStream& other);
    MemoryStream& operator=(const MemoryStream&) = delete;
    MemoryStream(MemoryStream&& other) noexcept;
    ~MemoryStream() override = default;

    std::uint32_t Write(const void* data, std::uint32_t count) override;
    std::uint32_t Read(void* buffer, std::uint32_t count) override;
    std::uint32_t Seek(std::int32_t offset, SeekOrigin origin) override;
    std::uint32_t Size() override { return size_; }
    bool SetSize(std::uint32_t size) override;
    std::uint32_t Position() override { return position_; }
    void Close() override;

    std::uint32_t Size() const { return size_; }
    std::uint32_t Position() const { return position_; }
    // The first byte, or null when the stream is empty.
    const std::uint8_t* Data() const { return size_ ? bytes_.data() : nullptr; }
    std::uint8_t* Data() { return size_ ? bytes_.data() : nullptr; }
    std::string_view View() const { return {reinterpret_cast<const char*>(Data()), size_}; }

private:
    // bytes_.size() == size_ always; its capacity may be larger, which keeps
    // a stream filled by many small writes from copying itself each time.
    std::vector<std::uint8_t> bytes_;
    std::uint32_t size_ = 0;
    std::uint32_t position_ = 0;
};

}  // namespace lumora
