// Feeds arbitrary bytes to the guide reader as a download would: format
// sniffing, gzip or xz unpacking and the XMLTV parser, in uneven pieces.
// Whatever the bytes, the reader ends with an answer, every text it gives
// is valid UTF-8 within its bound, no channel or programme carries more
// repeats than the bound, and a refused guide says why.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "document/text_encoding.h"
#include "guide/guide_time.h"
#include "guide/guide_unpacker.h"
#include "guide/xmltv_reader.h"

using namespace lumora;

namespace {

void CheckText(const std::string& text) {
    if (text.size() > kMaxGuideTextBytes || !IsValidUtf8(text))
        std::abort();
}

class CheckingSink final : public GuideSink {
public:
    bool OnChannel(const GuideChannel& channel) override {
        CheckText(channel.id);
        CheckText(channel.icon);
        if (channel.displayNames.size() > kMaxGuideRepeats)
            std::abort();
        for (const std::string& name : channel.displayNames)
            CheckText(name);
        return true;
    }
    bool OnProgramme(const GuideProgramme& programme) override {
        for (const std::string* text :
             {&programme.channel, &programme.start, &programme.stop, &programme.title,
              &programme.subTitle, &programme.description, &programme.episodeXmltvNs,
              &programme.episodeOnscreen, &programme.icon, &programme.rating, &programme.catchupId})
            CheckText(*text);
        if (programme.categories.size() > kMaxGuideRepeats * (kMaxGuideTextBytes + 1))
            std::abort();
        // Any time the reader passes on reads or is refused, and a read one
        // prints in the tool's form and reads back.
        for (const std::string* time : {&programme.start, &programme.stop}) {
            if (auto parsed = ParseXmltvTime(*time)) {
                if (parsed->utc > 0 && parsed->utc < 253402300799 &&
                    ParseUtcTime(FormatUtcTime(parsed->utc)) != parsed->utc)
                    std::abort();
            }
        }
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckingSink sink;
    XmltvReader reader(sink, "de");
    // A small limit keeps a compressed bomb from taking the fuzzer's time.
    GuideUnpacker unpacker([&reader](std::string_view xml) { return reader.Feed(xml); }, 4u << 20);
    bool fed = true;
    // Uneven pieces: the first byte chooses their size.
    const std::size_t piece = size > 0 ? 1 + data[0] % 97 : 1;
    while (fed && !bytes.empty()) {
        fed = unpacker.Feed(bytes.substr(0, piece));
        bytes.remove_prefix(std::min(bytes.size(), piece));
    }
    const bool read = fed && unpacker.Finish() && reader.Finish();
    if (!read && unpacker.Error().empty() && reader.Error().empty())
        std::abort();
    return 0;
}
