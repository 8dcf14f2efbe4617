#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "guide/guide_store.h"

namespace lumora {

// The store's packed timeline in memory: every programme of some length,
// each channel's in time order, and the names the store answers to. Now and
// next for a channel is a look-up in an open-addressing table and a binary
// search; a list of channels is looked up a few at a time, their table
// slots fetched ahead, so that the memory's latency overlaps.
//
// What it costs: 24 bytes a programme plus its title's bytes, and about 60
// bytes a channel name plus its text (500,000 programmes with titles of 28
// bytes on 10,000 channels: 26 MB).
//
// Loading trusts nothing in the file: every count and length is checked
// against the bytes that hold it, times and shifts against bounds that
// keep the sums in range, and the whole against kMaxBytes; a timeline that
// fails any check is refused whole.
//
// Threads: built on one thread; the const queries then on any.
class GuideTimeline {
public:
    // The most memory a timeline may take.
    static constexpr std::uint64_t kMaxBytes = std::uint64_t{1} << 30;
    // Bounds far past any real guide (year 36,000; a shift of 34,000
    // years) that keep a time plus a shift inside 64 bits.
    static constexpr std::int64_t kMaxTime = std::int64_t{1} << 40;
    static constexpr std::int64_t kMaxShift = std::int64_t{1} << 40;

    // How names are looked up: as given (Lumora ids), or ignoring ASCII
    // case (the guide's own channel ids).
    enum class Names { Exact, IgnoringCase };

    explicit GuideTimeline(Names names) : names_(names) {}

    // The store's timeline, read from `database` (inside one read
    // transaction, so that every table is of one import); nothing, with
    // `error` set, when it is missing, damaged or too large.
    static std::unique_ptr<GuideTimeline> Load(sqlite3* database, bool hasCatalogue,
                                               std::string& error);

    // Room for the programmes and titles a store's meta announces; false
    // when that passes kMaxBytes. Parts never take more than this room.
    bool Reserve(std::uint64_t programmes, std::uint64_t titleBytes);
    // One part of a channel's timeline as the store keeps it. Parts come in
    // the store's order: by channel, then by part. False, with nothing
    // added, when the bytes are not a valid part, its programmes are out of
    // order or overlap the channel's earlier ones, or they pass the room.
    bool AddPart(std::int64_t channel, std::string_view bytes);
    // A name the store answers to, after every part: `key` as look-ups
    // give it, `shown` as answers name the channel, the channel's
    // programmes `shift` seconds later. The first of two with one key
    // stays. False when the shift is out of bounds or the names pass
    // kMaxBytes.
    bool AddName(std::string_view key, std::string_view shown, std::int64_t channel,
                 std::int64_t shift);

    // For each channel, the programme on at `at` and the one after it; a
    // channel the timeline does not know is answered as asked, with neither.
    std::vector<NowAndNext> NowAndNextOf(const std::vector<std::string>& channels,
                                         std::int64_t at) const;

    std::size_t Programmes() const { return entries_.size(); }

private:
    struct Entry {
        std::int64_t start = 0;
        std::int64_t stop = 0;
        std::uint32_t programme = 0;
        std::uint32_t titleEnd = 0;  // in titles_; the title starts where the last one ended
    };
    struct Range {
        std::int64_t channel = 0;
        std::uint32_t begin = 0;
        std::uint32_t end = 0;
    };
    // A name's channel; the texts are in text_.
    struct Route {
        std::int64_t shift = 0;
        std::uint32_t begin = 0;
        std::uint32_t end = 0;
        std::uint32_t keyBegin = 0;
        std::uint32_t keySize = 0;
        std::uint32_t shownBegin = 0;
        std::uint32_t shownSize = 0;
    };

    // One channel of a list on its way through the stages of a look-up;
    // each stage fetches ahead what the next one reads.
    struct Lookup {
        std::string_view key;
        std::uint64_t hash = 0;
        const Route* route = nullptr;
        const Entry* now = nullptr;
        const Entry* next = nullptr;
    };
    static constexpr std::size_t kLookAhead = 16;

    std::uint64_t Bytes() const;
    static std::uint64_t Hash(std::string_view key);
    void Hashed(std::string_view channel, std::string& folded, Lookup& lookup) const;
    void Locate(Lookup& lookup) const;
    void Search(Lookup& lookup, std::int64_t at) const;
    void Fill(const Lookup& lookup, const std::string& channel, NowAndNext& into) const;
    std::string_view TitleOf(const Entry& entry) const;
    // The slot that holds `key`, or the empty one where it would go.
    std::size_t SlotOf(std::string_view key, std::uint64_t hash) const;
    void Rehash(std::size_t slots);
    ProgrammeSummary Summary(const Entry& entry, std::int64_t shift) const;

    Names names_;
    std::vector<Entry> entries_;
    std::string titles_;
    // The channels with programmes, in the order AddPart met them (by id).
    std::vector<Range> ranges_;
    std::vector<Route> routes_;
    std::string text_;
    // Open addressing, linear probing, at most half full: the hash's high
    // half beside the route's index + 1; 0 is an empty slot.
    std::vector<std::uint64_t> slots_;
};

}  // namespace lumora
