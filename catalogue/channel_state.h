#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/settings_format.h"
#include "document/doc_node.h"
#include "document/doc_view.h"
#include "document/large_page_allocator.h"

namespace lumora {

// What a channel carries between runs, kept in the settings file's node
// "channels" (settings_format.h).

struct ChannelState {
    bool favourite = false;
    std::int32_t streamIndex = 0;
    // Empty when no choice of stream is remembered.
    std::u16string streamAddress;
    // EncodeTrackChoice's text; empty (no allocation) for most channels.
    std::string trackChoice = {};
};

// The saved state of channels by id. Filled once (from the settings file, or
// from the records before a reload) and then only looked up, so one table is
// shared by the threads that load catalogues without being copied.
//
// The ids lie back to back in one buffer: a table of 100,000 channels is
// filled with a handful of allocations. Ids filed in ascending order (as the
// program writes them) are found by halving; once one comes out of order,
// an open-addressing index of entry positions finds them.
class ChannelStateTable {
public:
    // Room for `count` entries of `idBytes` bytes of ids in all.
    void Reserve(std::size_t count, std::size_t idBytes);
    // Files the state unless the id is filed already: of two entries with
    // one id the first counts, as in a document. False for a repeated id.
    bool Add(std::string_view id, const ChannelState& state);
    // Null when the id has no state.
    const ChannelState* Find(std::string_view id) const;
    // The same, for ids asked in about the order they were filed (a load
    // asks in the order the settings were written): the entry at `cursor`
    // is tried first, and `cursor` moves past the entry found.
    const ChannelState* FindNear(std::string_view id, std::size_t& cursor) const;

    // The entries in the order they were filed.
    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    std::string_view IdAt(std::size_t i) const { return IdOf(entries_[i]); }
    const ChannelState& StateAt(std::size_t i) const { return entries_[i].state; }

private:
    struct Entry {
        std::uint32_t at = 0;  // the id's place in ids_
        std::uint32_t size = 0;
        ChannelState state;
    };

    std::string_view IdOf(const Entry& entry) const {
        return std::string_view(ids_).substr(entry.at, entry.size);
    }
    static constexpr std::uint32_t kEmpty = UINT32_MAX;

    // The entry's position, or kEmpty.
    std::uint32_t IndexOf(std::string_view id) const;
    std::size_t SlotOf(std::string_view id) const;
    void Rebuild(std::size_t count);

    // Large pages: a table of 100,000 channels is filled with a few page
    // faults, and probes that land anywhere in the slots spare most of
    // their page-table walks.
    std::string ids_;
    LargePageVector<Entry> entries_;
    // Every id so far greater than the one before: slots_ is not used.
    bool ascending_ = true;
    // Positions in entries_, kEmpty for a free slot; at most half full.
    LargePageVector<std::uint32_t> slots_;
};

// The state of every child of a "channels" node.
ChannelStateTable ReadChannelStates(DocView::Node channels);
// Adds the child `id` to `channels`: "f" for a favourite, "cu" for a chosen
// stream other than the first, "cu_url" for a remembered address, "trk" for
// chosen tracks, and an empty child for none of these. Nothing is added when a child of that id
// exists already.
void AddChannelStateChild(DocNode& channels, std::string_view id, const ChannelState& state);

}  // namespace lumora
