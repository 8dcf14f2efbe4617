#pragma once

// What the engines over libavformat (the probing and the recording engine,
// each a module of its own) share: owners of libav's handles and the small
// checks on what goes into a request. Header only, so each module keeps
// its own copy and links nothing more.

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
}

namespace lumora::libav {

// The player's test patterns: "av://lavfi:" + a generator, run by libavdevice.
inline constexpr std::string_view kLavfiPrefix = "av://lavfi:";
inline constexpr std::string_view kMmsPrefix = "mms://";

struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using Packet = std::unique_ptr<AVPacket, PacketFree>;

// Owns an option list until libavformat has taken what it uses.
class Options {
public:
    Options() = default;
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;
    ~Options() { av_dict_free(&dictionary_); }
    void Set(const char* key, const std::string& value) {
        av_dict_set(&dictionary_, key, value.c_str(), 0);
    }
    AVDictionary** Address() { return &dictionary_; }

private:
    AVDictionary* dictionary_ = nullptr;
};

inline bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [&](char p, char t) { return p == lower(t); });
}

// A header value from a catalogue goes into the request as it is, so one
// that could end the header line early is not sent at all.
inline bool IsSafeHeaderValue(const std::string& value) {
    return std::none_of(value.begin(), value.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

inline std::string ErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

}  // namespace lumora::libav
