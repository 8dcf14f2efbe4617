#include "guide/timeline_part.h"

#include <cstdint>
#include <limits>

#include "guide/guide_store_schema.h"

namespace lumora {

using guide_schema::PutLittleEndian;

void TimelinePart::Add(std::int64_t start, std::int64_t stop, std::int64_t programme,
                       std::string_view title) {
    if (entries_.empty())
        entries_.assign(guide_schema::kTimelineCountBytes, '\0');
    // Titles are bounded by the reader far below this; the cut only keeps
    // the count honest.
    title = title.substr(0, std::numeric_limits<std::uint32_t>::max());
    char entry[guide_schema::kTimelineEntryBytes];
    PutLittleEndian(entry, static_cast<std::uint64_t>(start), 8);
    PutLittleEndian(entry + 8, static_cast<std::uint64_t>(stop), 8);
    PutLittleEndian(entry + 16, static_cast<std::uint64_t>(programme), 8);
    PutLittleEndian(entry + 24, title.size(), 4);
    entries_.append(entry, sizeof entry);
    titles_ += title;
    ++programmes_;
}

bool TimelinePart::Full() const {
    return programmes_ >= guide_schema::kTimelinePartProgrammes ||
           entries_.size() + titles_.size() >= guide_schema::kTimelinePartBytes;
}

std::string_view TimelinePart::Bytes() {
    if (entries_.empty())
        entries_.assign(guide_schema::kTimelineCountBytes, '\0');
    PutLittleEndian(entries_.data(), programmes_, guide_schema::kTimelineCountBytes);
    bytes_.clear();
    bytes_.reserve(entries_.size() + titles_.size());
    bytes_ += entries_;
    bytes_ += titles_;
    return bytes_;
}

void TimelinePart::Clear() {
    programmes_ = 0;
    entries_.clear();
    titles_.clear();
}

}  // namespace lumora
