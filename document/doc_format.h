#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "document/byte_stream.h"
#include "document/memory_stream.h"

namespace lumora {

// The codecs of the document format, written once for every kind of byte
// source and sink: the document reader and writer run them over blocks of
// bytes, the stream functions at the end over a ByteStream.
//
// A Source offers `bool Take(void* target, std::size_t n)` (false when fewer
// than n bytes are left) and `std::size_t Left()`. A Sink offers
// `void Put(const void* data, std::size_t n)`.
//
// Each Take returns false, with the target untouched or emptied, when the
// source ends before the value does; a length is checked against the bytes
// that are left before anything is allocated from it.

// The Source over a block of bytes in memory that both document readers
// (the tree and the flat view) take their values from.
class ByteSpanSource {
public:
    ByteSpanSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t Left() const { return size_ - at_; }

    bool Take(void* target, std::size_t n) {
        if (n > Left())
            return false;
        if (n != 0)
            std::memcpy(target, data_ + at_, n);
        at_ += n;
        return true;
    }

protected:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// "VELT" read as a little-endian word.
constexpr std::uint32_t kDocumentMagic = 0x544C4556;

// A count in 1, 3 or 7 bytes: below 0xFF one byte; else 0xFF and, below
// 0xFFFF, a 16-bit word; else 0xFF, 0xFFFF and a 32-bit word.
constexpr std::size_t kLongestCount = 7;
constexpr std::size_t CountSize(std::uint64_t count) {
    return count < 0xFF ? 1 : count < 0xFFFF ? 3 : kLongestCount;
}
// Writes CountSize(count) bytes at `out` and returns that size.
std::size_t EncodeCount(std::uint32_t count, std::uint8_t* out);

template <typename Sink>
void PutCount(Sink& sink, std::uint32_t count) {
    std::uint8_t bytes[kLongestCount];
    sink.Put(bytes, EncodeCount(count, bytes));
}

template <typename Source>
bool TakeCount(Source& source, std::uint32_t& count) {
    std::uint8_t bytes[4];
    if (!source.Take(bytes, 1))
        return false;
    if (bytes[0] != 0xFF) {
        count = bytes[0];
        return true;
    }
    if (!source.Take(bytes, 2))
        return false;
    std::uint32_t medium = bytes[0] | std::uint32_t{bytes[1]} << 8;
    if (medium != 0xFFFF) {
        count = medium;
        return true;
    }
    if (!source.Take(bytes, 4))
        return false;
    count = bytes[0] | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
            std::uint32_t{bytes[3]} << 24;
    return true;
}

// A narrow string: its byte count, then its bytes.
template <typename Sink>
void PutNarrow(Sink& sink, const std::string& text) {
    PutCount(sink, static_cast<std::uint32_t>(text.size()));
    sink.Put(text.data(), text.size());
}

template <typename Source>
bool TakeNarrow(Source& source, std::string& text) {
    std::uint32_t n = 0;
    if (!TakeCount(source, n) || n > source.Left())
        return false;
    text.resize(n);
    if (!source.Take(text.data(), n)) {
        text.clear();
        return false;
    }
    return true;
}

// A wide string: its count of UTF-16 units, then the units (little-endian).
template <typename Sink>
void PutWide(Sink& sink, const std::u16string& text) {
    PutCount(sink, static_cast<std::uint32_t>(text.size()));
    sink.Put(text.data(), text.size() * 2);
}

template <typename Source>
bool TakeWide(Source& source, std::u16string& text) {
    std::uint32_t n = 0;
    if (!TakeCount(source, n) || n > source.Left() / 2)
        return false;
    text.resize(n);
    if (!source.Take(text.data(), std::size_t{n} * 2)) {
        text.clear();
        return false;
    }
    return true;
}

// A blob: a 4-byte length and the whole buffer, whatever its position.
template <typename Sink>
void PutBlob(Sink& sink, const MemoryStream* blob) {
    std::uint32_t n = blob ? blob->Size() : 0;
    std::uint8_t length[4] = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                              static_cast<std::uint8_t>(n >> 16),
                              static_cast<std::uint8_t>(n >> 24)};
    sink.Put(length, 4);
    if (n != 0)
        sink.Put(blob->Data(), n);
}

// The blob ends with the bytes read and position 0, or empty.
template <typename Source>
bool TakeBlob(Source& source, MemoryStream& blob) {
    blob.Close();
    std::uint8_t length[4];
    if (!source.Take(length, 4))
        return false;
    std::uint32_t n = length[0] | std::uint32_t{length[1]} << 8 | std::uint32_t{length[2]} << 16 |
                      std::uint32_t{length[3]} << 24;
    if (n > source.Left())
        return false;
    if (n == 0)
        return true;
    if (!blob.SetSize(n) || !source.Take(blob.Data(), n)) {
        blob.Close();
        return false;
    }
    blob.Seek(0, SeekOrigin::Begin);
    return true;
}

// The same codecs on a ByteStream, which counts as ending where its size
// says. Each Write is false when a byte could not be written.
bool WriteCount(ByteStream& stream, std::uint32_t count);
bool ReadCount(ByteStream& stream, std::uint32_t& count);
bool WriteNarrow(ByteStream& stream, const std::string& text);
bool ReadNarrow(ByteStream& stream, std::string& text);
bool WriteWide(ByteStream& stream, const std::u16string& text);
bool ReadWide(ByteStream& stream, std::u16string& text);
bool WriteBlob(ByteStream& stream, const MemoryStream& blob);
bool ReadBlob(ByteStream& stream, MemoryStream& blob);

}  // namespace lumora
