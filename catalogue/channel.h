#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumora {

// A decoded interface picture (a flag). Defined by the resources code; the
// core only passes references on.
struct ResourceImage;

struct Country;
struct Category;

// One address of a channel, with its bit rate in kbit/s and the request
// headers the player must send for it (empty: the player's own). The texts
// view one text block of their catalogue (no heap string per stream) and
// are valid as long as the stream record is.
struct Stream {
    std::int32_t bitRate = 0;
    std::u16string_view address;
    std::u16string_view userAgent;  // the stream node's "ua"
    std::u16string_view referrer;   // the stream node's "ref"
};

// One of the nine fixed channel categories.
struct Category {
    std::string key;
    std::u16string displayName;
};

// A live channel of the catalogue, owned by its country.
struct Channel {
    Country* country = nullptr;
    Category* category = nullptr;  // null when the file names an unknown category
    std::string id;                // country code + "_" + node name
    std::u16string name;
    std::string pText;  // the node's "p", kept as read
    // What guide matching needs (guide_attributes.h), UTF-8; empty or 0
    // where the catalogue gives none.
    std::string tvgId;
    std::string tvgName;
    std::int32_t tvgShiftMinutes = 0;
    // A run of the catalogue's stream records, which live in one block.
    std::span<const Stream> streams;
    std::int32_t streamIndex = 0;  // always inside streams, or 0 when there are none
    bool favourite = false;
    // The user chose the stream at streamIndex (even the first): its address
    // is remembered beside the index, so a reorder of the streams keeps it.
    bool streamChosen = false;
    // The audio and subtitle tracks the user chose (EncodeTrackChoice's
    // text, settings "trk"); empty, without an allocation, for most.
    std::string trackChoice;
    std::u16string subtitle;  // "country name (bit rate + unit)"
    // Name and subtitle folded for searching (SearchChannels); made by the
    // first search that needs it, emptied when the subtitle changes.
    std::u16string searchText;
};

// A country's channels by node name, in name order: one sorted array, not
// a tree of nodes, so a load makes one allocation per country for it. The
// names view the channels' ids.
class ChannelsByName {
public:
    using Entry = std::pair<std::string_view, Channel*>;

    // `entries` sorted by name, each name once.
    void Assign(std::vector<Entry> entries) { entries_ = std::move(entries); }
    // Null when no channel has that node name.
    Channel* Find(std::string_view name) const;

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
    std::vector<Entry>::const_iterator end() const { return entries_.end(); }

private:
    std::vector<Entry> entries_;
};

// A country of the catalogue, with its channels by node name.
struct Country {
    std::string code;
    const ResourceImage* flag = nullptr;
    std::u16string displayName;
    // The records themselves live in one block of their catalogue.
    ChannelsByName channels;
};

}  // namespace lumora
