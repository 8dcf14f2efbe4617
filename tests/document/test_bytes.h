#pragma once

// Helpers shared by the document tests: byte strings written as hex, and the
// bytes a memory stream holds.

#include <cstdint>
#include <string>
#include <string_view>

#include "document/memory_stream.h"

namespace lumora::test {

// "56 45 4C 54" -> the four bytes; spaces are ignored.
inline std::string Hex(std::string_view text) {
    std::string bytes;
    int high = -1;
    for (char c : text) {
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0)
            continue;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<char>(high * 16 + digit));
            high = -1;
        }
    }
    return bytes;
}

// The bytes as upper-case hex pairs separated by spaces, for readable failures.
inline std::string ToHex(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char byte : bytes) {
        if (!text.empty())
            text.push_back(' ');
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 15]);
    }
    return text;
}

inline std::string Contents(const MemoryStream& stream) {
    return std::string(stream.View());
}

// A stream holding the bytes, positioned at 0.
inline MemoryStream StreamOf(std::string_view bytes) {
    MemoryStream stream;
    stream.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    stream.Seek(0, SeekOrigin::Begin);
    return stream;
}

}  // namespace lumora::test
