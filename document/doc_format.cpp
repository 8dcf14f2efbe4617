#include "document/doc_format.h"

#include <limits>

namespace lumora {

namespace {

// Bytes the stream still holds; a read never allocates more than this.
std::uint32_t Remaining(ByteStream& stream)
{
    std::uint32_t size = stream.Size();
    std::uint32_t position = stream.Position();
    return size > position ? size - position : 0;
}

}  // namespace

bool WriteCount(ByteStream& stream, std::uint32_t count)
{
    if (count < 0xFF)
        return stream.WriteU8(static_cast<std::uint8_t>(count));
    if (!stream.WriteU8(0xFF))
        return false;
    if (count < 0xFFFF)
        return stream.WriteU16(static_cast<std::uint16_t>(count));
    return stream.WriteU16(0xFFFF) && stream.WriteU32(count);
}

bool ReadCount(ByteStream& stream, std::uint32_t& count)
{
    std::uint8_t small = 0;
    if (!stream.ReadU8(small))
        return false;
    if (small != 0xFF) {
        count = small;
        return true;
    }
    std::uint16_t medium = 0;
    if (!stream.ReadU16(medium))
        return false;
    if (medium != 0xFFFF) {
        count = medium;
        return true;
    }
    return stream.ReadU32(count);
}

bool WriteNarrow(ByteStream& stream, const std::string& text)
{
    auto n = static_cast<std::uint32_t>(text.size());
    if (!WriteCount(stream, n))
        return false;
    return n == 0 || stream.Write(text.data(), n) == n;
}

bool ReadNarrow(ByteStream& stream, std::string& text)
{
    std::uint32_t n = 0;
    if (!ReadCount(stream, n) || n > Remaining(stream))
        return false;
    std::string read(n, '\0');
    if (n != 0 && stream.Read(read.data(), n) != n)
        return false;
    text = std::move(read);
    return true;
}

bool WriteWide(ByteStream& stream, const std::u16string& text)
{
    auto n = static_cast<std::uint32_t>(text.size());
    if (!WriteCount(stream, n))
        return false;
    std::uint32_t bytes = n * 2;
    return n == 0 || stream.Write(text.data(), bytes) == bytes;
}

bool ReadWide(ByteStream& stream, std::u16string& text)
{
    std::uint32_t n = 0;
    if (!ReadCount(stream, n) || n > Remaining(stream) / 2)
        return false;
    std::u16string read(n, u'\0');
    if (n != 0 && stream.Read(read.data(), n * 2) != n * 2)
        return false;
    text = std::move(read);
    return true;
}

bool WriteBlob(ByteStream& stream, const MemoryStream& blob)
{
    std::uint32_t n = blob.Size();
    if (!stream.WriteU32(n))
        return false;
    return n == 0 || stream.Write(blob.Data(), n) == n;
}

bool ReadBlob(ByteStream& stream, MemoryStream& blob)
{
    blob.Close();
    std::uint32_t n = 0;
    if (!stream.ReadU32(n) || n > Remaining(stream))
        return false;
    if (n == 0)
        return true;
    if (!blob.SetSize(n) || stream.Read(blob.Data(), n) != n) {
        blob.Close();
        return false;
    }
    blob.Seek(0, SeekOrigin::Begin);
    return true;
}

}  // namespace lumora
