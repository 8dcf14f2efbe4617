#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "document/memory_stream.h"

namespace lumora::tools {

// The picture formats the player's decoder accepts, told by their first bytes.
enum class PictureKind { Unknown, Png, Jpeg, Bmp, Gif };

PictureKind DetectPictureKind(std::string_view bytes);

// Pictures of the interface are small; a file above this is refused.
inline constexpr std::size_t kMaxPictureBytes = 16 * 1024 * 1024;

// The whole file, or nothing with `problem` set when it cannot be read or
// is larger than `maxBytes`.
std::optional<MemoryStream> ReadFileBytes(const std::string& path, std::size_t maxBytes,
                                          std::string& problem);

}  // namespace lumora::tools
