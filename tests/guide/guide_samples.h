#pragma once

// Guides made by the tests: XMLTV text, and the same packed with gzip or xz.

#include <lzma.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "guide/guide_time.h"

namespace lumora::test {

inline std::string Gzip(std::string_view bytes) {
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string packed(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = static_cast<uInt>(packed.size());
    deflate(&stream, Z_FINISH);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return packed;
}

inline std::string Xz(std::string_view bytes) {
    std::string packed(lzma_stream_buffer_bound(bytes.size()), '\0');
    std::size_t written = 0;
    lzma_easy_buffer_encode(
        6, LZMA_CHECK_CRC64, nullptr, reinterpret_cast<const std::uint8_t*>(bytes.data()),
        bytes.size(), reinterpret_cast<std::uint8_t*>(packed.data()), &written, packed.size());
    packed.resize(written);
    return packed;
}

// An XMLTV time ("YYYYMMDDhhmmss +0000") of UTC seconds.
inline std::string XmltvStamp(std::int64_t utc) {
    std::string stamp;
    for (char c : FormatUtcTime(utc)) {
        if (c >= '0' && c <= '9')
            stamp += c;
    }
    return stamp + " +0000";
}

// A guide: the channels' and programmes' elements inside <tv>.
inline std::string Guide(std::string_view body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n"
           "<tv generator-info-name=\"test\">\n" +
           std::string(body) + "</tv>\n";
}

inline std::string Channel(std::string_view id, std::string_view name) {
    return "<channel id=\"" + std::string(id) + "\"><display-name>" + std::string(name) +
           "</display-name></channel>\n";
}

// A programme; an empty stop leaves the attribute out.
inline std::string Programme(std::string_view channel, std::string_view start,
                             std::string_view stop, std::string_view title) {
    std::string element =
        "<programme channel=\"" + std::string(channel) + "\" start=\"" + std::string(start) + "\"";
    if (!stop.empty())
        element += " stop=\"" + std::string(stop) + "\"";
    return element + "><title>" + std::string(title) + "</title></programme>\n";
}

}  // namespace lumora::test
