#pragma once

#include <string_view>

namespace lumora {

// What a guide's bytes are, told by the bytes themselves and never by the
// address: servers name gzip files ".xml" and answer a guide address with
// a login page. Standard library only; any thread.
enum class GuideFormat {
    NeedMore,  // too few bytes yet to tell
    Gzip,      // 1F 8B
    Xz,        // FD 37 7A 58 5A 00
    Xml,       // "<" after an optional byte order mark and blanks
    Html,      // an HTML page: "<!DOCTYPE html" or "<html"
    Other,
};

// Bytes that always suffice to tell the format: a longer head never
// changes the answer.
inline constexpr std::size_t kGuideSniffBytes = 512;

// The format of a stream that starts with `head`; `complete` says the
// stream has no more bytes than these (so NeedMore is never the answer).
GuideFormat SniffGuideFormat(std::string_view head, bool complete);

// A sentence for the user about a format that is not a guide.
const char* RefusedFormatMessage(GuideFormat format);

}  // namespace lumora
