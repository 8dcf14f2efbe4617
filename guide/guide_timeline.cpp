#include "guide/guide_timeline.h"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <optional>

#include "guide/channel_matcher.h"
#include "guide/guide_store_schema.h"

namespace lumora {

namespace {

using guide_schema::kTimelineCountBytes;
using guide_schema::kTimelineEntryBytes;
using guide_schema::ReadLittleEndian;

constexpr std::uint64_t kMaxIndex = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t kIndexBits = 0xFFFFFFFFu;

struct PartEntry {
    std::int64_t start = 0;
    std::int64_t stop = 0;
    std::uint64_t programme = 0;
    std::uint64_t titleBytes = 0;
};

PartEntry ReadEntry(const char* at) {
    return {static_cast<std::int64_t>(ReadLittleEndian(at, 8)),
            static_cast<std::int64_t>(ReadLittleEndian(at + 8, 8)), ReadLittleEndian(at + 16, 8),
            ReadLittleEndian(at + 24, 4)};
}

std::int64_t SaturatingSubtract(std::int64_t a, std::int64_t b) {
    std::int64_t difference = 0;
    if (!__builtin_sub_overflow(a, b, &difference))
        return difference;
    return b < 0 ? std::numeric_limits<std::int64_t>::max()
                 : std::numeric_limits<std::int64_t>::min();
}

std::optional<std::uint64_t> ParseCount(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// The timeline's two large buffers are read all over by look-ups: in pages
// of 2 MB rather than 4 KB they cost the processor's address cache far
// fewer misses, and filling them far fewer page faults. Only the whole
// huge pages inside a buffer are asked for, so nothing is added to it.
void AdviseHugePages(void* data, std::size_t bytes) {
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (at + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (at + bytes) & ~(kHugePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

std::string StepError(sqlite3* database, const char* what) {
    return std::string(what) + ": " + sqlite3_errmsg(database);
}

}  // namespace

std::unique_ptr<GuideTimeline> GuideTimeline::Load(sqlite3* database, bool hasCatalogue,
                                                   std::string& error) {
    std::optional<std::uint64_t> programmes, titleBytes;
    {
        SqliteStatement meta = PrepareSql(database, "SELECT key, value FROM meta", error);
        if (!meta)
            return nullptr;
        while (sqlite3_step(meta.get()) == SQLITE_ROW) {
            const std::string_view key = ColumnText(meta.get(), 0);
            if (key == guide_schema::kMetaTimelineProgrammes)
                programmes = ParseCount(ColumnText(meta.get(), 1));
            else if (key == guide_schema::kMetaTimelineTitleBytes)
                titleBytes = ParseCount(ColumnText(meta.get(), 1));
        }
    }
    auto timeline =
        std::make_unique<GuideTimeline>(hasCatalogue ? Names::Exact : Names::IgnoringCase);
    if (!programmes || !titleBytes || !timeline->Reserve(*programmes, *titleBytes)) {
        error = "the timeline's size is missing or too large";
        return nullptr;
    }

    SqliteStatement parts = PrepareSql(
        database, "SELECT channel, programmes FROM timeline ORDER BY channel, part", error);
    if (!parts)
        return nullptr;
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(parts.get())) == SQLITE_ROW) {
        const std::int64_t channel = sqlite3_column_int64(parts.get(), 0);
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(parts.get(), 1));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(parts.get(), 1));
        if (!timeline->AddPart(channel, std::string_view(bytes == nullptr ? "" : bytes, size))) {
            error = "a damaged part of channel " + std::to_string(channel) + "'s timeline";
            return nullptr;
        }
    }
    if (status != SQLITE_DONE) {
        error = StepError(database, "the timeline cannot be read");
        return nullptr;
    }
    if (timeline->entries_.size() != *programmes || timeline->titles_.size() != *titleBytes) {
        error = "the timeline holds other totals than the store says";
        return nullptr;
    }

    SqliteStatement names = PrepareSql(
        database,
        hasCatalogue
            ? "SELECT lumora_id, lumora_id, channel, shift FROM matches WHERE channel IS NOT NULL"
            : "SELECT id_key, guide_id, id, 0 FROM channels",
        error);
    if (!names)
        return nullptr;
    while ((status = sqlite3_step(names.get())) == SQLITE_ROW) {
        if (!timeline->AddName(ColumnText(names.get(), 0), ColumnText(names.get(), 1),
                               sqlite3_column_int64(names.get(), 2),
                               sqlite3_column_int64(names.get(), 3))) {
            error = "a channel's time shift or the channels' number is out of bounds";
            return nullptr;
        }
    }
    if (status != SQLITE_DONE) {
        error = StepError(database, "the channels cannot be read");
        return nullptr;
    }
    return timeline;
}

std::uint64_t GuideTimeline::Bytes() const {
    return entries_.capacity() * sizeof(Entry) + titles_.capacity() +
           ranges_.capacity() * sizeof(Range) + routes_.capacity() * sizeof(Route) +
           text_.capacity() + slots_.capacity() * sizeof(std::uint64_t);
}

bool GuideTimeline::Reserve(std::uint64_t programmes, std::uint64_t titleBytes) {
    if (programmes > kMaxIndex || titleBytes > kMaxIndex ||
        Bytes() + programmes * sizeof(Entry) + titleBytes > kMaxBytes)
        return false;
    entries_.reserve(entries_.size() + programmes);
    titles_.reserve(titles_.size() + titleBytes);
    AdviseHugePages(entries_.data(), entries_.capacity() * sizeof(Entry));
    AdviseHugePages(titles_.data(), titles_.capacity());
    return true;
}

bool GuideTimeline::AddPart(std::int64_t channel, std::string_view bytes) {
    if (bytes.size() < kTimelineCountBytes)
        return false;
    const std::uint64_t count = ReadLittleEndian(bytes.data(), kTimelineCountBytes);
    if (count > (bytes.size() - kTimelineCountBytes) / kTimelineEntryBytes)
        return false;
    const char* entries = bytes.data() + kTimelineCountBytes;
    const std::string_view titles = bytes.substr(kTimelineCountBytes + count * kTimelineEntryBytes);
    // The room Reserve made, never more: a part cannot make the timeline
    // grow past what the store announced.
    if (count > entries_.capacity() - entries_.size() ||
        titles.size() > titles_.capacity() - titles_.size() ||
        entries_.size() + count > kMaxIndex || titles_.size() + titles.size() > kMaxIndex)
        return false;
    if (!ranges_.empty() && channel < ranges_.back().channel)
        return false;
    const bool sameChannel = !ranges_.empty() && ranges_.back().channel == channel;
    if (!sameChannel && Bytes() + sizeof(Range) > kMaxBytes)
        return false;
    std::int64_t previousStop = -kMaxTime;
    if (sameChannel && ranges_.back().end > ranges_.back().begin)
        previousStop = entries_[ranges_.back().end - 1].stop;

    // Every entry checked before any is taken.
    std::uint64_t titleOffset = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        const PartEntry entry = ReadEntry(entries + i * kTimelineEntryBytes);
        if (entry.start < previousStop || entry.stop <= entry.start || entry.stop > kMaxTime ||
            entry.programme > kMaxIndex || entry.titleBytes > titles.size() - titleOffset)
            return false;
        previousStop = entry.stop;
        titleOffset += entry.titleBytes;
    }
    if (titleOffset != titles.size())
        return false;

    if (!sameChannel) {
        const auto at = static_cast<std::uint32_t>(entries_.size());
        ranges_.push_back({channel, at, at});
    }
    titles_ += titles;
    std::uint64_t titleEnd = titles_.size() - titles.size();
    for (std::uint64_t i = 0; i < count; ++i) {
        const PartEntry entry = ReadEntry(entries + i * kTimelineEntryBytes);
        titleEnd += entry.titleBytes;
        entries_.push_back({entry.start, entry.stop, static_cast<std::uint32_t>(entry.programme),
                            static_cast<std::uint32_t>(titleEnd)});
    }
    ranges_.back().end = static_cast<std::uint32_t>(entries_.size());
    return true;
}

std::uint64_t GuideTimeline::Hash(std::string_view key) {
    return std::hash<std::string_view>{}(key);
}

std::size_t GuideTimeline::SlotOf(std::string_view key, std::uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint64_t value = slots_[slot];
        if (value == 0)
            return slot;
        if ((value >> 32) == (hash >> 32)) {
            const Route& route = routes_[(value & kIndexBits) - 1];
            if (std::string_view(text_).substr(route.keyBegin, route.keySize) == key)
                return slot;
        }
    }
}

void GuideTimeline::Rehash(std::size_t slots) {
    slots_.assign(slots, 0);
    const std::size_t mask = slots - 1;
    for (std::size_t index = 0; index < routes_.size(); ++index) {
        const Route& route = routes_[index];
        const std::uint64_t hash =
            Hash(std::string_view(text_).substr(route.keyBegin, route.keySize));
        std::size_t slot = hash & mask;
        while (slots_[slot] != 0)
            slot = (slot + 1) & mask;
        slots_[slot] = (hash >> 32 << 32) | (index + 1);
    }
}

bool GuideTimeline::AddName(std::string_view key, std::string_view shown, std::int64_t channel,
                            std::int64_t shift) {
    std::string folded;
    if (names_ == Names::IgnoringCase) {
        folded = GuideIdKey(key);
        key = folded;
    }
    const std::uint64_t adds =
        key.size() + shown.size() + sizeof(Route) + 4 * sizeof(std::uint64_t);
    if (shift < -kMaxShift || shift > kMaxShift || Bytes() + adds > kMaxBytes)
        return false;
    if ((routes_.size() + 1) * 2 > slots_.size())
        Rehash(std::max<std::size_t>(64, slots_.size() * 2));
    const std::uint64_t hash = Hash(key);
    const std::size_t slot = SlotOf(key, hash);
    if (slots_[slot] != 0)
        return true;

    Route route;
    route.shift = shift;
    const auto range =
        std::lower_bound(ranges_.begin(), ranges_.end(), channel,
                         [](const Range& a, std::int64_t channel) { return a.channel < channel; });
    if (range != ranges_.end() && range->channel == channel) {
        route.begin = range->begin;
        route.end = range->end;
    }
    route.keyBegin = static_cast<std::uint32_t>(text_.size());
    route.keySize = static_cast<std::uint32_t>(key.size());
    text_ += key;
    route.shownBegin = route.keyBegin;
    route.shownSize = route.keySize;
    if (shown != key) {
        route.shownBegin = static_cast<std::uint32_t>(text_.size());
        route.shownSize = static_cast<std::uint32_t>(shown.size());
        text_ += shown;
    }
    routes_.push_back(route);
    slots_[slot] = (hash >> 32 << 32) | routes_.size();
    return true;
}

std::string_view GuideTimeline::TitleOf(const Entry& entry) const {
    const std::uint32_t begin = &entry == entries_.data() ? 0 : (&entry - 1)->titleEnd;
    return std::string_view(titles_).substr(begin, entry.titleEnd - begin);
}

ProgrammeSummary GuideTimeline::Summary(const Entry& entry, std::int64_t shift) const {
    ProgrammeSummary summary;
    summary.id = entry.programme;
    summary.start = entry.start + shift;
    summary.stop = entry.stop + shift;
    summary.title = TitleOf(entry);
    return summary;
}

void GuideTimeline::Hashed(std::string_view channel, std::string& folded, Lookup& lookup) const {
    lookup = Lookup{};
    lookup.key = channel;
    if (names_ == Names::IgnoringCase) {
        AssignGuideIdKey(folded, channel);
        lookup.key = folded;
    }
    lookup.hash = Hash(lookup.key);
    if (!slots_.empty())
        __builtin_prefetch(&slots_[lookup.hash & (slots_.size() - 1)]);
}

void GuideTimeline::Locate(Lookup& lookup) const {
    if (slots_.empty())
        return;
    const std::uint64_t slot = slots_[SlotOf(lookup.key, lookup.hash)];
    if (slot == 0)
        return;
    lookup.route = &routes_[(slot & kIndexBits) - 1];
    if (lookup.route->end > lookup.route->begin)
        __builtin_prefetch(&entries_[(lookup.route->begin + lookup.route->end) / 2]);
}

void GuideTimeline::Search(Lookup& lookup, std::int64_t at) const {
    if (lookup.route == nullptr)
        return;
    // The entries never overlap: the last to start at or before the time
    // is the only one that may be on.
    const std::int64_t localAt = SaturatingSubtract(at, lookup.route->shift);
    const Entry* first = entries_.data() + lookup.route->begin;
    const Entry* last = entries_.data() + lookup.route->end;
    const Entry* after = std::upper_bound(
        first, last, localAt, [](std::int64_t time, const Entry& e) { return time < e.start; });
    if (after != first && (after - 1)->stop > localAt) {
        lookup.now = after - 1;
        __builtin_prefetch(TitleOf(*lookup.now).data());
    }
    if (after != last) {
        lookup.next = after;
        __builtin_prefetch(TitleOf(*lookup.next).data());
    }
}

void GuideTimeline::Fill(const Lookup& lookup, const std::string& channel, NowAndNext& into) const {
    if (lookup.route == nullptr) {
        into.channel = channel;
        return;
    }
    into.channel.assign(text_, lookup.route->shownBegin, lookup.route->shownSize);
    if (lookup.now != nullptr)
        into.now = Summary(*lookup.now, lookup.route->shift);
    if (lookup.next != nullptr)
        into.next = Summary(*lookup.next, lookup.route->shift);
}

std::vector<NowAndNext> GuideTimeline::NowAndNextOf(const std::vector<std::string>& channels,
                                                    std::int64_t at) const {
    // Each answer made where it is filled: a list of them all made first
    // would pass through the caches twice.
    std::vector<NowAndNext> result;
    result.reserve(channels.size());
    std::array<Lookup, kLookAhead> batch;
    std::array<std::string, kLookAhead> folded;
    for (std::size_t first = 0; first < channels.size(); first += kLookAhead) {
        const std::size_t count = std::min(kLookAhead, channels.size() - first);
        for (std::size_t i = 0; i < count; ++i)
            Hashed(channels[first + i], folded[i], batch[i]);
        for (std::size_t i = 0; i < count; ++i)
            Locate(batch[i]);
        for (std::size_t i = 0; i < count; ++i)
            Search(batch[i], at);
        for (std::size_t i = 0; i < count; ++i)
            Fill(batch[i], channels[first + i], result.emplace_back());
    }
    return result;
}

}  // namespace lumora
