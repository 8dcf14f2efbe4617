#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lumora {

// A decoded interface picture (a flag). Defined by the resources code; the
// core only passes references on.
struct ResourceImage;

struct Country;
struct Category;

// One address of a channel, with its bit rate in kbit/s and the request
// headers the player must send for it (empty: the player's own).
struct Stream {
    std::int32_t bitRate = 0;
    std::u16string address;
    std::u16string userAgent;  // the stream node's "ua"
    std::u16string referrer;   // the stream node's "ref"
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
    std::vector<Stream> streams;
    std::int32_t streamIndex = 0;  // always inside streams, or 0 when there are none
    bool favourite = false;
    // The user chose the stream at streamIndex (even the first): its address
    // is remembered beside the index, so a reorder of the streams keeps it.
    bool streamChosen = false;
    std::u16string subtitle;  // "country name (bit rate + unit)"
    // Name and subtitle folded for searching (SearchChannels); made by the
    // first search that needs it, emptied when the subtitle changes.
    std::u16string searchText;
};

// A country of the catalogue, with its channels by node name.
struct Country {
    std::string code;
    const ResourceImage* flag = nullptr;
    std::u16string displayName;
    // The records themselves live in one block of their catalogue.
    std::map<std::string, Channel*> channels;
};

}  // namespace lumora
