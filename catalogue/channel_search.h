#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "catalogue/channel.h"
#include "catalogue/text_fold.h"

namespace lumora {

// Finding channels by typing part of their name: case- and
// accent-insensitive ("cafe" finds "Café", "ΕΡΤ" finds "ερτ").
//
// Threads: the UI thread only (SearchChannels fills the records' search
// texts).

// The channels of `channels`, in their order, whose name or subtitle
// contains `query` once both are folded (FoldText). Blanks around the query do not
// count; an empty query keeps every channel.
std::vector<Channel*> SearchChannels(const std::vector<Channel*>& channels,
                                     std::u16string_view query);

// True when every channel that `next` finds is also found by `previous`
// (a character typed onto a search): the next search then only needs to
// look among the previous one's results.
bool SearchNarrows(std::u16string_view previous, std::u16string_view next);

}  // namespace lumora
