#include "document/byte_stream.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "the file formats are little-endian and are copied as they lie in memory");

namespace lumora {

namespace {

template <typename T>
bool WriteValue(ByteStream& stream, T value) {
    return stream.Write(&value, sizeof value) == sizeof value;
}

template <typename T>
bool ReadValue(ByteStream& stream, T& value) {
    T read{};
    if (stream.Read(&read, sizeof read) != sizeof read)
        return false;
    value = read;
    return true;
}

}  // namespace

bool ByteStream::WriteU8(std::uint8_t value) {
    return WriteValue(*this, value);
}
bool ByteStream::WriteU16(std::uint16_t value) {
    return WriteValue(*this, value);
}
bool ByteStream::WriteU32(std::uint32_t value) {
    return WriteValue(*this, value);
}
bool ByteStream::WriteU64(std::uint64_t value) {
    return WriteValue(*this, value);
}
bool ByteStream::ReadU8(std::uint8_t& value) {
    return ReadValue(*this, value);
}
bool ByteStream::ReadU16(std::uint16_t& value) {
    return ReadValue(*this, value);
}
bool ByteStream::ReadU32(std::uint32_t& value) {
    return ReadValue(*this, value);
}
bool ByteStream::ReadU64(std::uint64_t& value) {
    return ReadValue(*this, value);
}

}  // namespace lumora
