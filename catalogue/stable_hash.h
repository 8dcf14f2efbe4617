#pragma once

#include <cstdint>
#include <string_view>

// FNV-1a: a fixed hash, the same on every machine and in every version, for
// names made from keys and for telling one content from the next. Nothing is
// trusted on its strength. Standard library only; any thread.
namespace lumora {

constexpr std::uint32_t StableHash32(std::string_view bytes) {
    std::uint32_t hash = 2166136261u;
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

constexpr std::uint64_t StableHash64(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace lumora
