#pragma once

#include <cstdint>
#include <string>

#include "document/byte_stream.h"
#include "document/memory_stream.h"

namespace lumora {

// The codecs of the document format. Each Read returns false, with the
// target untouched or emptied, when the stream ends before the value does.

// "VELT" read as a little-endian word.
constexpr std::uint32_t kDocumentMagic = 0x544C4556;

// A count in 1, 3 or 7 bytes.
bool WriteCount(ByteStream& stream, std::uint32_t count);
bool ReadCount(ByteStream& stream, std::uint32_t& count);

bool WriteNarrow(ByteStream& stream, const std::string& text);
bool ReadNarrow(ByteStream& stream, std::string& text);
bool WriteWide(ByteStream& stream, const std::u16string& text);
bool ReadWide(ByteStream& stream, std::u16string& text);
// A 4-byte length and the whole buffer, whatever the blob's position.
bool WriteBlob(ByteStream& stream, const MemoryStream& blob);
// The blob ends with the bytes read and position 0.
bool ReadBlob(ByteStream& stream, MemoryStream& blob);

}  // namespace lumora
