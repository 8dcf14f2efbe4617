#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "guide/guide_format.h"

namespace lumora {

// Unpacked bytes one guide may have at most unless the caller says
// otherwise: an endless or hostile body ends here.
inline constexpr std::uint64_t kDefaultGuideByteLimit = 2ull << 30;

// Takes one guide's bytes as they arrive (a file read, a download), tells
// gzip, xz and XML apart by the first bytes, unpacks as it goes and hands
// the XML on in pieces. Memory stays the same whatever the guide's size.
//
// Threads: one object, one thread at a time.
class GuideUnpacker {
public:
    // Receives the XML; returning false stops the guide (the receiver keeps
    // its own reason).
    using XmlSink = std::function<bool(std::string_view xml)>;

    GuideUnpacker(XmlSink sink, std::uint64_t maxUnpackedBytes = kDefaultGuideByteLimit);
    ~GuideUnpacker();
    GuideUnpacker(const GuideUnpacker&) = delete;
    GuideUnpacker& operator=(const GuideUnpacker&) = delete;

    // The next bytes of the guide. False when the guide is refused: Error()
    // says why, or it is empty when the sink stopped.
    bool Feed(std::string_view bytes);
    // The guide's end: false when it was refused or its compressed stream
    // breaks off.
    bool Finish();

    const std::string& Error() const { return error_; }
    // The format the first bytes showed (NeedMore before enough came).
    GuideFormat Format() const { return format_; }
    std::uint64_t UnpackedBytes() const { return unpacked_; }

    // The gzip or xz decoder (guide_unpacker.cpp).
    class Inflater;

private:
    bool Decide(bool complete);
    bool Unpack(std::string_view bytes, bool finish);
    bool Deliver(std::string_view xml);
    bool Fail(std::string message);

    XmlSink sink_;
    std::uint64_t maxUnpacked_;
    std::uint64_t unpacked_ = 0;
    GuideFormat format_ = GuideFormat::NeedMore;
    // The unpacked XML must look like XML too (a gzip of an HTML page).
    GuideFormat innerFormat_ = GuideFormat::NeedMore;
    std::string head_;       // the first bytes, kept until the format is known
    std::string innerHead_;  // the first unpacked bytes, the same
    std::unique_ptr<Inflater> inflater_;
    std::string error_;
    bool failed_ = false;
};

}  // namespace lumora
