#include "tools/picture_file.h"

#include <fstream>

namespace lumora::tools {

PictureKind DetectPictureKind(std::string_view bytes) {
    constexpr std::string_view kPng("\x89PNG\r\n\x1A\n", 8);
    constexpr std::string_view kJpeg("\xFF\xD8\xFF", 3);
    if (bytes.substr(0, kPng.size()) == kPng)
        return PictureKind::Png;
    if (bytes.substr(0, kJpeg.size()) == kJpeg)
        return PictureKind::Jpeg;
    if (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a")
        return PictureKind::Gif;
    // "BM" alone is common in text; a bitmap file header is 14 bytes and
    // the pixel data starts after it.
    if (bytes.size() > 26 && bytes.substr(0, 2) == "BM")
        return PictureKind::Bmp;
    return PictureKind::Unknown;
}

std::optional<MemoryStream> ReadFileBytes(const std::string& path, std::size_t maxBytes,
                                          std::string& problem) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        problem = "cannot be opened";
        return std::nullopt;
    }
    MemoryStream bytes;
    char buffer[64 * 1024];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        std::size_t count = static_cast<std::size_t>(file.gcount());
        if (bytes.Size() + count > maxBytes) {
            problem = "larger than " + std::to_string(maxBytes / (1024 * 1024)) + " MiB";
            return std::nullopt;
        }
        bytes.Write(buffer, static_cast<std::uint32_t>(count));
    }
    if (file.bad()) {
        problem = "cannot be read";
        return std::nullopt;
    }
    bytes.Seek(0, SeekOrigin::Begin);
    return bytes;
}

}  // namespace lumora::tools
