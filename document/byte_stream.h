#pragma once

#include <cstdint>

namespace lumora {

enum class SeekOrigin : int { Begin = 0, Current = 1, End = 2 };

// A source or sink of bytes. The document format reads and writes through
// this interface only, so a document can live in a file or in memory.
// A stream is used by one thread at a time.
class ByteStream {
public:
    virtual ~ByteStream() = default;

    // Returns the number of bytes written.
    virtual std::uint32_t Write(const void* data, std::uint32_t count) = 0;
    // Returns the number of bytes read: fewer than asked, or 0, at the end.
    virtual std::uint32_t Read(void* buffer, std::uint32_t count) = 0;
    // Returns the new position.
    virtual std::uint32_t Seek(std::int32_t offset, SeekOrigin origin) = 0;
    virtual std::uint32_t Size() = 0;
    virtual bool SetSize(std::uint32_t size) = 0;
    virtual std::uint32_t Position() = 0;
    virtual void Close() = 0;

    // Fixed-width values, little-endian as they lie in memory. Each returns
    // true when every byte was moved.
    bool WriteU8(std::uint8_t value);
    bool WriteU16(std::uint16_t value);
    bool WriteU32(std::uint32_t value);
    bool WriteU64(std::uint64_t value);
    bool ReadU8(std::uint8_t& value);
    bool ReadU16(std::uint16_t& value);
    bool ReadU32(std::uint32_t& value);
    bool ReadU64(std::uint64_t& value);
};

}  // namespace lumora
