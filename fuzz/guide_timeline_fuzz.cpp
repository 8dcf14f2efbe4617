// Feeds arbitrary bytes to the guide store's packed timeline as parts of
// a few channels, then asks now and next around the times they hold.
// Whatever the bytes, a part is taken whole or not at all, the timeline
// never grows past its room, and every answer holds: the programme on
// started at or before the time and ends after it, the next one starts
// after it, and both have some length.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "guide/guide_store_schema.h"
#include "guide/guide_timeline.h"

using namespace lumora;

namespace {

constexpr std::uint64_t kRoomProgrammes = 256;
constexpr std::uint64_t kRoomTitleBytes = 4096;

void Check(bool holds) {
    if (!holds)
        std::abort();
}

}  // namespace

// The input: parts one after the other, each a byte that says whether it
// starts the next channel, its length (u16), and its bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    GuideTimeline timeline(GuideTimeline::Names::IgnoringCase);
    Check(timeline.Reserve(kRoomProgrammes, kRoomTitleBytes));
    std::int64_t channel = 1;
    std::vector<std::int64_t> times{0};
    while (bytes.size() >= 3) {
        channel += bytes[0] & 1;
        const std::size_t length = guide_schema::ReadLittleEndian(bytes.data() + 1, 2);
        bytes.remove_prefix(3);
        const std::string_view part = bytes.substr(0, length);
        bytes.remove_prefix(part.size());
        const std::size_t before = timeline.Programmes();
        if (timeline.AddPart(channel, part)) {
            const std::uint64_t count =
                guide_schema::ReadLittleEndian(part.data(), guide_schema::kTimelineCountBytes);
            Check(timeline.Programmes() == before + count);
            for (std::uint64_t i = 0; i < count && times.size() < 64; ++i) {
                const char* entry = part.data() + guide_schema::kTimelineCountBytes +
                                    i * guide_schema::kTimelineEntryBytes;
                const auto start =
                    static_cast<std::int64_t>(guide_schema::ReadLittleEndian(entry, 8));
                times.insert(times.end(), {start - 1, start, start + 1});
            }
        } else {
            Check(timeline.Programmes() == before);
        }
        Check(timeline.Programmes() <= kRoomProgrammes);
    }
    std::vector<std::string> names;
    for (std::int64_t c = 0; c <= channel; ++c) {
        names.push_back("c" + std::to_string(c));
        Check(timeline.AddName(names.back(), names.back(), c, (c % 3 - 1) * 3600));
    }
    for (const std::int64_t at : times) {
        for (const NowAndNext& row : timeline.NowAndNextOf(names, at)) {
            if (row.now)
                Check(row.now->start <= at && at < row.now->stop);
            if (row.next)
                Check(row.next->start > at && row.next->stop > row.next->start);
        }
    }
    return 0;
}
