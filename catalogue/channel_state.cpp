#include "catalogue/channel_state.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "catalogue/track_choice.h"

namespace lumora {

namespace {

// The stored track choice when it is one the program writes; anything else
// is dropped, so a damaged value cannot reach the player.
std::string ReadTrackChoice(DocView::Node child) {
    const std::u16string stored = child.RequireWString(kTrackChoiceAttribute);
    if (stored.empty() ||
        !std::all_of(stored.begin(), stored.end(), [](char16_t c) { return c > 0x20 && c < 0x7F; }))
        return {};
    std::string text(stored.begin(), stored.end());
    return DecodeTrackChoice(text) ? text : std::string();
}

ChannelState ReadChannelState(DocView::Node child) {
    return {child.GetBool(kFavouriteAttribute, false), child.GetInt(kStreamIndexAttribute, 0),
            child.RequireWString(kStreamAddressAttribute), ReadTrackChoice(child)};
}

}  // namespace

void ChannelStateTable::Reserve(std::size_t count, std::size_t idBytes) {
    entries_.reserve(count);
    ids_.reserve(idBytes);
    if (!ascending_ && count * 2 > slots_.size())
        Rebuild(count);
}

bool ChannelStateTable::Add(std::string_view id, const ChannelState& state) {
    // Ids that come in ascending order (a file as the program writes it)
    // cannot repeat and are found by halving: no index is built for them.
    const bool stillAscending = ascending_ && (entries_.empty() || IdOf(entries_.back()) < id);
    if (ascending_ && !stillAscending) {
        ascending_ = false;
        Rebuild(std::max(entries_.capacity(), entries_.size() + 1));
    }
    if (!ascending_ && Find(id) != nullptr)
        return false;
    entries_.push_back(
        {static_cast<std::uint32_t>(ids_.size()), static_cast<std::uint32_t>(id.size()), state});
    ids_.append(id);
    if (ascending_)
        return true;
    if (entries_.size() * 2 > slots_.size())
        Rebuild(entries_.size());
    else
        slots_[SlotOf(id)] = static_cast<std::uint32_t>(entries_.size() - 1);
    return true;
}

std::uint32_t ChannelStateTable::IndexOf(std::string_view id) const {
    if (ascending_) {
        auto found = std::lower_bound(
            entries_.begin(), entries_.end(), id,
            [this](const Entry& entry, std::string_view key) { return IdOf(entry) < key; });
        return found != entries_.end() && IdOf(*found) == id
                   ? static_cast<std::uint32_t>(found - entries_.begin())
                   : kEmpty;
    }
    return slots_.empty() ? kEmpty : slots_[SlotOf(id)];
}

const ChannelState* ChannelStateTable::Find(std::string_view id) const {
    const std::uint32_t at = IndexOf(id);
    return at == kEmpty ? nullptr : &entries_[at].state;
}

const ChannelState* ChannelStateTable::FindNear(std::string_view id, std::size_t& cursor) const {
    if (cursor < entries_.size() && IdOf(entries_[cursor]) == id)
        return &entries_[cursor++].state;
    const std::uint32_t at = IndexOf(id);
    if (at == kEmpty)
        return nullptr;
    cursor = std::size_t{at} + 1;
    return &entries_[at].state;
}

std::size_t ChannelStateTable::SlotOf(std::string_view id) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = std::hash<std::string_view>{}(id)&mask;
    while (slots_[slot] != kEmpty && IdOf(entries_[slots_[slot]]) != id)
        slot = (slot + 1) & mask;
    return slot;
}

// Room for `count` entries, so probes stay short.
void ChannelStateTable::Rebuild(std::size_t count) {
    std::size_t capacity = 16;
    while (capacity < count * 4)
        capacity *= 2;
    slots_.assign(capacity, kEmpty);
    for (std::size_t i = 0; i < entries_.size(); ++i)
        slots_[SlotOf(IdOf(entries_[i]))] = static_cast<std::uint32_t>(i);
}

ChannelStateTable ReadChannelStates(DocView::Node channels) {
    ChannelStateTable table;
    std::size_t idBytes = 0;
    for (DocView::Node child : channels.Children())
        idBytes += child.Name().size();
    table.Reserve(channels.ChildCount(), idBytes);
    for (DocView::Node child : channels.Children())
        table.Add(child.Name(), ReadChannelState(child));
    return table;
}

void AddChannelStateChild(DocNode& channels, std::string_view id, const ChannelState& state) {
    DocNode* child = channels.AddChild(id);
    if (child == nullptr)
        return;
    if (state.favourite)
        child->SetBool(kFavouriteAttribute, true);
    if (state.streamIndex != 0)
        child->SetInt(kStreamIndexAttribute, state.streamIndex);
    if (!state.streamAddress.empty())
        child->SetWString(kStreamAddressAttribute, state.streamAddress);
    if (!state.trackChoice.empty())
        child->SetWString(kTrackChoiceAttribute,
                          std::u16string(state.trackChoice.begin(), state.trackChoice.end()));
}

}  // namespace lumora
