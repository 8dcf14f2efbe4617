#pragma once

#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "document/doc_node.h"
#include "probe/probe_result.h"

namespace lumora::tools {

// The catalogue side of `lumora-data check`: which streams a catalogue
// document holds, and the document rebuilt from their probe results.
// Used by the tool's controlling thread.

// One stream node of the input document, with what the probe and the
// report need. `node` points into the document, which must outlive it.
struct CatalogueStream {
    const DocNode* node = nullptr;
    std::string country;
    std::string channelId;    // country + "_" + channel node name
    std::string channelName;  // "n", UTF-8
    int index = 0;            // the stream's number in the input
    std::string address;      // "u", UTF-8
    std::string userAgent;    // "ua", when the stream carries one
    std::string referrer;     // "ref", when the stream carries one
    // The texts are taken only from wide-string attributes, as the player
    // takes them; any other type reads as empty (an empty address is
    // refused by the probe and never ranks as working).
};

// The countries whose channels are checked; all when empty.
struct CheckScope {
    std::set<std::string> countries;
    bool Includes(const std::string& country) const {
        return countries.empty() || countries.count(country) != 0;
    }
};

// The streams of every channel in scope, in file order: the stream nodes
// "0", "1" ... of each channel up to the first missing number.
std::vector<CatalogueStream> CollectStreams(const DocNode& root, const CheckScope& scope);

enum class DeadChannels {
    Keep,  // channels without a working stream stay, their streams unchanged in order
    Drop,  // channels in scope without a working stream are left out
};

using ResultOfStream = std::unordered_map<const DocNode*, const ProbeResult*>;

struct RankedCatalogue {
    std::unique_ptr<DocNode> document;
    std::size_t channels = 0;  // channels in the new document
    std::size_t dropped = 0;   // channels left out
};

// A copy of `root` in which every channel in scope has its working streams
// first, best picture height and then highest bit rate first (ties and the
// streams that do not work keep their order), its stream nodes renumbered
// from "0", and "b" of each working stream set to its measured bit rate
// when that is known. Everything else is copied as it is, so channel ids
// (and the favourite marks kept under them) stay. A country whose channels
// were all left out is left out too.
RankedCatalogue RankStreams(const DocNode& root, const CheckScope& scope,
                            const ResultOfStream& results, DeadChannels dead);

}  // namespace lumora::tools
